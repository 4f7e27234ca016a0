#include "SUUpdater.h"

#include <QDebug>
#include <QtGlobal>

namespace tessaly {

SUUpdater::SUUpdater() {
    const QString feed = qEnvironmentVariable("TESSALY_UPDATE_FEED");
    if (!feed.isEmpty())
        m_feedURL = QUrl(feed);
}

bool SUUpdater::checkForUpdatesInBackground() {
    if (!m_feedURL.isValid() || m_feedURL.isEmpty())
        return false;
    ++m_checks;
    qInfo().noquote() << "Update check: feed" << m_feedURL.toString();
    return true;
}

} // namespace tessaly
