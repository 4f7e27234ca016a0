#pragma once

#include "PlatformServices.h"
#include "SUUpdater.h"

#include <memory>

class QMessageBox;
class QWidget;

namespace tessaly {

// Platform services on Qt Widgets: message boxes, file dialogs and the
// desktop's default applications.
class QtPlatform : public PlatformServices {
public:
    QtPlatform();
    int runAlert(const AlertRequest& alert) override;
    QStringList runOpenPanel(const OpenPanelRequest& panel) override;
    QString runSavePanel(const SavePanelRequest& panel) override;
    bool openURL(const QUrl& url) override;
    bool openFile(const QString& path) override;
    SystemVersion systemVersion() const override;
    void noteRecentDocument(const QString& path) override;
    void showAboutPanel() override;
    void terminate() override;
    void checkForUpdatesInBackground() override { m_updater.checkForUpdatesInBackground(); }
    URLDownloadService& urlDownloads() override { return m_downloads; }

    // The message box of an alert, its buttons in the order asked for.
    static std::unique_ptr<QMessageBox> makeAlertBox(const AlertRequest& alert, QWidget* parent);

private:
    SUUpdater m_updater;  // tells of a newer version through this platform's alerts
    URLDownloadService m_downloads;
};

} // namespace tessaly
