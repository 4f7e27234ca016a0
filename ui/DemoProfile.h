#pragma once

#include "PlatformServices.h"

#include <QObject>
#include <QProcess>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;

namespace tessaly {

class PreferencesStore;
class TSAppDelegate;

// The demo profile: a stand-in Flickr service as a child process, a
// preferences file and picture location of its own, and the demo account.
class DemoProfile : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kUser = "tessaly_demo";
    static constexpr int kPhotos = 1000;

    explicit DemoProfile(QObject* parent = nullptr);
    ~DemoProfile() override;

    // Starts the service beside this executable and points Tessaly at it.
    // Answers false (with `error`) when it does not come up.
    bool start(QString* error, int photos = kPhotos);
    void stop();
    QUrl endpoint() const { return m_endpoint; }

    static QString preferencesFile();
    static QString pictureLocation();

    // Makes the demo account current when the demo preferences lack it.
    static void ensureDemoAccount(TSAppDelegate& app);
    // The stand-in starts afresh each run, so tokens of an earlier run are
    // unknown to it: the demo connects anew instead of failing a token test.
    static void forgetTokens(PreferencesStore& store);

private:
    QProcess m_service;
    QUrl m_endpoint;
};

// Platform services of the demo: the browser step of the authorization is
// done here, by following the stand-in's authorize page to its callback;
// everything else goes to the platform underneath.
class DemoPlatform : public PlatformServices {
public:
    DemoPlatform(PlatformServices& base, QUrl endpoint,
                 std::function<void(const QString&)> deliverCallback);
    ~DemoPlatform() override;

    bool openURL(const QUrl& url) override;
    int runAlert(const AlertRequest& alert) override { return m_base.runAlert(alert); }
    QStringList runOpenPanel(const OpenPanelRequest& panel) override { return m_base.runOpenPanel(panel); }
    QString runSavePanel(const SavePanelRequest& panel) override { return m_base.runSavePanel(panel); }
    bool openFile(const QString& path) override { return m_base.openFile(path); }
    SystemVersion systemVersion() const override { return m_base.systemVersion(); }
    void noteRecentDocument(const QString& path) override { m_base.noteRecentDocument(path); }
    void showAboutPanel() override { m_base.showAboutPanel(); }
    void terminate() override { m_base.terminate(); }
    void checkForUpdatesInBackground() override { m_base.checkForUpdatesInBackground(); }
    URLDownloadService& urlDownloads() override { return m_base.urlDownloads(); }

private:
    PlatformServices& m_base;
    QUrl m_endpoint;
    std::function<void(const QString&)> m_deliverCallback;
    QNetworkAccessManager* m_network;
};

} // namespace tessaly
