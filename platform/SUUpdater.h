#pragma once

#include <QUrl>

namespace tessaly {

// The software-update component. Tessaly is updated through the system's
// package manager, so a background check does nothing unless an update feed
// is configured (TESSALY_UPDATE_FEED); then it only notes where it would look.
class SUUpdater {
public:
    SUUpdater();
    QUrl feedURL() const { return m_feedURL; }
    void setFeedURL(const QUrl& url) { m_feedURL = url; }
    // Answers whether a check was started.
    bool checkForUpdatesInBackground();
    int checksStarted() const { return m_checks; }

private:
    QUrl m_feedURL;
    int m_checks = 0;
};

} // namespace tessaly
