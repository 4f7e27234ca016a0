#pragma once

#include "PlatformServices.h"

#include <QList>
#include <QQueue>

#include <functional>

namespace tessaly {

// Platform services for tests and headless front ends: records every alert,
// panel and desktop request and answers from queues, never blocking.
class ScriptedPlatform : public PlatformServices {
public:
    int runAlert(const AlertRequest& alert) override;
    QStringList runOpenPanel(const OpenPanelRequest& panel) override;
    QString runSavePanel(const SavePanelRequest& panel) override;
    bool openURL(const QUrl& url) override;
    bool openFile(const QString& path) override;
    SystemVersion systemVersion() const override { return version; }
    void noteRecentDocument(const QString& path) override { recentDocuments << path; }
    void showAboutPanel() override { ++aboutPanelsShown; }
    void terminate() override { ++terminateRequests; }
    void checkForUpdatesInBackground() override { ++updateChecks; }
    // Real downloads (tests fetch from the stand-in on 127.0.0.1).
    URLDownloadService& urlDownloads() override { return downloads; }

    // Answers, taken in order; an empty queue answers the first button,
    // a cancelled open panel and a cancelled save panel.
    QQueue<int> alertAnswers;
    QQueue<QStringList> openPanelAnswers;
    QQueue<QString> savePanelAnswers;
    // Called for every opened URL (after recording it); answers its success.
    std::function<bool(const QUrl&)> onOpenURL;
    bool openFileSucceeds = true;
    SystemVersion version{6, 1};
    URLDownloadService downloads;

    // What the application asked for.
    QList<AlertRequest> alerts;
    QList<OpenPanelRequest> openPanels;
    QList<SavePanelRequest> savePanels;
    QList<QUrl> openedURLs;
    QStringList openedFiles;
    QStringList recentDocuments;
    int aboutPanelsShown = 0;
    int terminateRequests = 0;
    int updateChecks = 0;

    // The last alert's message, or empty.
    QString lastAlertMessage() const { return alerts.isEmpty() ? QString() : alerts.last().message; }
};

} // namespace tessaly
