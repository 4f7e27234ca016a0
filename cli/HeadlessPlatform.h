#pragma once

#include "PlatformServices.h"

#include <QList>
#include <QQueue>

namespace tessaly::cli {

class Console;

// Platform services without a window. An alert goes to standard error as its
// title and message; a confirmation takes the answer the command was given;
// a folder or file panel answers what the command queued (cancelled when
// nothing); an address to open is printed on standard output, and opened in
// the browser too when there is a display.
class HeadlessPlatform : public PlatformServices {
public:
    explicit HeadlessPlatform(Console& console);

    int runAlert(const AlertRequest& alert) override;
    QStringList runOpenPanel(const OpenPanelRequest& panel) override;
    QString runSavePanel(const SavePanelRequest& panel) override;
    bool openURL(const QUrl& url) override;
    bool openFile(const QString& path) override;
    SystemVersion systemVersion() const override;
    void noteRecentDocument(const QString&) override {}
    void showAboutPanel() override {}
    // A command ends when its work is done; nothing else quits it.
    void terminate() override {}
    void checkForUpdatesInBackground() override {}
    URLDownloadService& urlDownloads() override { return m_downloads; }

    // The answer to an alert with more than one button: its first (yes) or
    // its second (no, cancel). No unless the command was told otherwise.
    void setConfirms(bool confirms) { m_confirms = confirms; }
    QQueue<QStringList> openPanelAnswers;
    QQueue<QString> savePanelAnswers;

    int alertsShown() const { return m_alertsShown; }
    // Those of them that tell of a failure.
    int criticalAlertsShown() const { return m_criticalAlertsShown; }
    const QList<QUrl>& openedURLs() const { return m_openedURLs; }

    // Whether a graphical session is there to show a browser.
    static bool hasDisplay();

private:
    bool launchDesktop(const QString& target);

    Console& m_console;
    URLDownloadService m_downloads;
    bool m_confirms = false;
    int m_alertsShown = 0;
    int m_criticalAlertsShown = 0;
    QList<QUrl> m_openedURLs;
};

} // namespace tessaly::cli
