#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class QSettings;

namespace tessaly {

// The per-user preferences store. Registered defaults answer for keys that
// were never written.
class PreferencesStore {
public:
    virtual ~PreferencesStore() = default;
    virtual bool contains(const QString& key) const = 0;
    virtual QVariant value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const QVariant& value) = 0;
    virtual void registerDefaults(const QVariantMap& defaults) = 0;
    // Writes the store to disk; answers whether that worked.
    virtual bool synchronize() = 0;
};

// The store as an INI file (QSettings), readable by its owner only: it holds
// OAuth tokens.
class SettingsPreferencesStore : public PreferencesStore {
public:
    explicit SettingsPreferencesStore(const QString& filePath);
    ~SettingsPreferencesStore() override;

    // $XDG_CONFIG_HOME/Tessaly/<profile>.conf
    static QString defaultFilePath(const QString& profile = QStringLiteral("Tessaly"));

    QString filePath() const { return m_filePath; }
    bool contains(const QString& key) const override;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void registerDefaults(const QVariantMap& defaults) override;
    bool synchronize() override;

private:
    void restrictPermissions() const;

    QString m_filePath;
    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_registered;
};

// The defaults controller: a dictionary of initial values written alongside
// the store, registered as its defaults when saved.
class DefaultsController {
public:
    explicit DefaultsController(PreferencesStore& store) : m_store(store) {}

    PreferencesStore& store() { return m_store; }
    QVariantMap& initialValues() { return m_initialValues; }
    // Writes a key into the initial values and into the store.
    void setValue(const QString& key, const QVariant& value);
    // Registers the initial values as the store's defaults and saves the store.
    bool save();

private:
    PreferencesStore& m_store;
    QVariantMap m_initialValues;
};

} // namespace tessaly
