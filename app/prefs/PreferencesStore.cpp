#include "PreferencesStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

namespace tessaly {

namespace {

constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

SettingsPreferencesStore::SettingsPreferencesStore(const QString& filePath)
    : m_filePath(filePath) {
    const QString folder = QFileInfo(filePath).absolutePath();
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, kOwnerOnly | QFileDevice::ExeOwner);
    }
    // Create the file readable by its owner only before anything is written.
    if (!QFileInfo::exists(filePath)) {
        const int fd = ::open(QFile::encodeName(filePath).constData(), O_CREAT | O_WRONLY, 0600);
        if (fd >= 0)
            ::close(fd);
    }
    m_settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
    restrictPermissions();
}

SettingsPreferencesStore::~SettingsPreferencesStore() = default;

QString SettingsPreferencesStore::defaultFilePath(const QString& profile) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Tessaly/" + profile + ".conf";
}

bool SettingsPreferencesStore::contains(const QString& key) const {
    return m_settings->contains(key) || m_registered.contains(key);
}

QVariant SettingsPreferencesStore::value(const QString& key) const {
    if (m_settings->contains(key))
        return m_settings->value(key);
    return m_registered.value(key);
}

void SettingsPreferencesStore::setValue(const QString& key, const QVariant& value) {
    m_settings->setValue(key, value);
}

void SettingsPreferencesStore::registerDefaults(const QVariantMap& defaults) {
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

bool SettingsPreferencesStore::synchronize() {
    m_settings->sync();
    restrictPermissions();
    return m_settings->status() == QSettings::NoError;
}

void SettingsPreferencesStore::restrictPermissions() const {
    if (QFileInfo::exists(m_filePath))
        QFile::setPermissions(m_filePath, kOwnerOnly);
}

void DefaultsController::setValue(const QString& key, const QVariant& value) {
    m_initialValues.insert(key, value);
    m_store.setValue(key, value);
}

bool DefaultsController::save() {
    m_store.registerDefaults(m_initialValues);
    return m_store.synchronize();
}

} // namespace tessaly
