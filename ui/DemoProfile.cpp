#include "DemoProfile.h"

#include "TSAppDelegate.h"
#include "AppConfig.h"
#include "prefs/PreferencesStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>

#ifndef TESSALY_LIBEXEC_FROM_BIN
#define TESSALY_LIBEXEC_FROM_BIN "../libexec/tessaly"
#endif

#include <csignal>
#include <sys/prctl.h>

namespace tessaly {

DemoProfile::DemoProfile(QObject* parent) : QObject(parent) {}

DemoProfile::~DemoProfile() { stop(); }

bool DemoProfile::start(QString* error, int photos) {
    // Beside tessaly in the build, in libexec once installed.
    const QDir bin(QCoreApplication::applicationDirPath());
    QString program = bin.filePath("fakeflickr");
    if (!QFileInfo(program).isExecutable())
        program = QDir::cleanPath(bin.filePath(TESSALY_LIBEXEC_FROM_BIN "/fakeflickr"));
    m_service.setProgram(program);
    m_service.setArguments({"--photos", QString::number(photos), "--user", kUser, "--api-key",
                            config::apiKey(), "--shared-secret", config::sharedSecret()});
    m_service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The service ends with Tessaly, even when Tessaly is killed.
    m_service.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_service.start();
    if (!m_service.waitForStarted(5000)) {
        *error = QString("The demo service %1 could not be started: %2").arg(program, m_service.errorString());
        return false;
    }
    // Its first line tells where it listens.
    QByteArray line;
    while (!line.contains('\n')) {
        if (!m_service.waitForReadyRead(10000)) {
            *error = "The demo service did not start listening.";
            stop();
            return false;
        }
        line += m_service.readLine();
    }
    const QByteArray prefix = "listening on ";
    const QByteArray address = line.trimmed();
    if (!address.startsWith(prefix)) {
        *error = "The demo service answered: " + QString::fromUtf8(address);
        stop();
        return false;
    }
    m_endpoint = QUrl(QString::fromUtf8(address.mid(prefix.size())));
    qputenv("TESSALY_FLICKR_ENDPOINT", m_endpoint.toString().toUtf8());
    return true;
}

void DemoProfile::stop() {
    if (m_service.state() == QProcess::NotRunning)
        return;
    m_service.terminate();
    if (!m_service.waitForFinished(3000)) {
        m_service.kill();
        m_service.waitForFinished(1000);
    }
}

QString DemoProfile::preferencesFile() { return SettingsPreferencesStore::defaultFilePath("Tessaly-demo"); }

QString DemoProfile::pictureLocation() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Tessaly/demo";
}

void DemoProfile::ensureDemoAccount(TSAppDelegate& app) {
    for (const AccountsRow& row : app.state().accountRows)
        if (row.accountName() == QLatin1String(kUser))
            return;
    auto& c = app.controls();
    QDir().mkpath(pictureLocation());
    c.addAcctNameTextField->setStringValue(kUser);
    c.pixLocTextField->setStringValue(pictureLocation());
    app.savePixPath();
}

void DemoProfile::forgetTokens(PreferencesStore& store) {
    store.setValue("authTokenArray", QStringList());
    store.setValue("authTokenSecretArray", QStringList());
    store.synchronize();
}

DemoPlatform::DemoPlatform(PlatformServices& base, QUrl endpoint,
                           std::function<void(const QString&)> deliverCallback)
    : m_base(base), m_endpoint(std::move(endpoint)), m_deliverCallback(std::move(deliverCallback)),
      m_network(new QNetworkAccessManager) {}

DemoPlatform::~DemoPlatform() { delete m_network; }

bool DemoPlatform::openURL(const QUrl& url) {
    const bool authorizePage = url.host() == m_endpoint.host() && url.port() == m_endpoint.port() &&
                               url.path().endsWith("/services/oauth/authorize");
    if (!authorizePage)
        return m_base.openURL(url);
    // The stand-in approves at once and redirects to the callback address.
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_network->get(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
        reply->deleteLater();
        const QString location = QString::fromUtf8(reply->rawHeader("Location"));
        if (!location.isEmpty())
            m_deliverCallback(location);
        else
            qWarning("The demo authorization page did not redirect: %s", qPrintable(reply->errorString()));
    });
    return true;
}

} // namespace tessaly
