#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include "URLDownload.h"

namespace tessaly {

enum class AlertStyle { Informational, Critical };

// An alert panel: a title, a message and up to three buttons, the first being
// the default. An empty button list means one "OK" button.
struct AlertRequest {
    QString title;
    QString message;
    QStringList buttons;
    AlertStyle style = AlertStyle::Informational;
};

// Which button closed an alert: its index in AlertRequest::buttons.
enum AlertResponse : int { AlertFirstButton = 0, AlertSecondButton = 1, AlertThirdButton = 2 };

struct OpenPanelRequest {
    QString title;
    QString prompt;  // the confirming button's title
    QString message; // shown above the file list
    QString directory;
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool canCreateDirectories = false;
    bool allowsMultipleSelection = false;
};

struct SavePanelRequest {
    QString title;
    QString message;
    QString suggestedName;
    QString directory;
    bool canCreateDirectories = true;
};

struct SystemVersion {
    int major = 0;
    int minor = 0;
};

// Everything the application asks of the desktop that a test must be able to
// script: alerts, file panels, opening URLs and files, the system version,
// recent documents, the About panel, quitting and the update check.
class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // Runs a modal alert; answers the index of the pressed button.
    virtual int runAlert(const AlertRequest& alert) = 0;
    // Runs an open panel; answers the chosen paths, empty when cancelled.
    virtual QStringList runOpenPanel(const OpenPanelRequest& panel) = 0;
    // Runs a save panel; answers the chosen path, empty when cancelled.
    virtual QString runSavePanel(const SavePanelRequest& panel) = 0;

    virtual bool openURL(const QUrl& url) = 0;
    virtual bool openFile(const QString& path) = 0;
    virtual SystemVersion systemVersion() const = 0;
    virtual void noteRecentDocument(const QString& path) = 0;
    virtual void showAboutPanel() = 0;
    virtual void terminate() = 0;
    virtual void checkForUpdatesInBackground() = 0;
    // Downloads of picture files.
    virtual URLDownloadService& urlDownloads() = 0;

    // Shorthands for the common one-button alerts.
    void alert(const QString& title, const QString& message,
               AlertStyle style = AlertStyle::Informational, const QString& button = {}) {
        runAlert({title, message, button.isEmpty() ? QStringList() : QStringList{button}, style});
    }
    void criticalAlert(const QString& title, const QString& message) {
        alert(title, message, AlertStyle::Critical);
    }
};

} // namespace tessaly
