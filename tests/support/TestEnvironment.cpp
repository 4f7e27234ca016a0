#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

namespace tessaly::test {

namespace {
QTemporaryDir* g_home = nullptr;
}

void isolateHome() {
    if (g_home)
        return;
    g_home = new QTemporaryDir(QDir::tempPath() + "/tessaly-test-home-XXXXXX");
    const QString home = g_home->path();
    for (const char* sub : {".config", ".local/share", ".cache", "runtime"})
        QDir(home).mkpath(QString::fromLatin1(sub));
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home + "/.local/share").toUtf8());
    qputenv("XDG_CACHE_HOME", (home + "/.cache").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (home + "/runtime").toUtf8());
    QFile::setPermissions(home + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never let a test reach a real Flickr host.
    if (qEnvironmentVariableIsEmpty("TESSALY_FLICKR_ENDPOINT"))
        qputenv("TESSALY_FLICKR_ENDPOINT", "http://127.0.0.1:9");
    // Update checks reach only the feeds a test serves itself.
    qunsetenv("TESSALY_UPDATE_FEED");
    // Calls Flickr could not serve are sent again after milliseconds, not minutes.
    if (qEnvironmentVariableIsEmpty("TESSALY_RETRY_WAIT_MS"))
        qputenv("TESSALY_RETRY_WAIT_MS", "5");
}

QString homeFolder() { return g_home ? g_home->path() : QString(); }

} // namespace tessaly::test
