#include "ScriptedPlatform.h"

namespace tessaly {

int ScriptedPlatform::runAlert(const AlertRequest& alert) {
    alerts << alert;
    return alertAnswers.isEmpty() ? AlertFirstButton : alertAnswers.dequeue();
}

QStringList ScriptedPlatform::runOpenPanel(const OpenPanelRequest& panel) {
    openPanels << panel;
    return openPanelAnswers.isEmpty() ? QStringList() : openPanelAnswers.dequeue();
}

QString ScriptedPlatform::runSavePanel(const SavePanelRequest& panel) {
    savePanels << panel;
    return savePanelAnswers.isEmpty() ? QString() : savePanelAnswers.dequeue();
}

bool ScriptedPlatform::openURL(const QUrl& url) {
    openedURLs << url;
    return onOpenURL ? onOpenURL(url) : true;
}

bool ScriptedPlatform::openFile(const QString& path) {
    openedFiles << path;
    return openFileSucceeds;
}

} // namespace tessaly
