#include "SUUpdater.h"

#include "PlatformServices.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QtGlobal>

#ifndef TESSALY_UPDATE_FEED_DEFAULT
#define TESSALY_UPDATE_FEED_DEFAULT ""
#endif

namespace tessaly {

SUUpdater::SUUpdater(QString currentVersion, QObject* parent)
    : QObject(parent), m_currentVersion(std::move(currentVersion)) {
    QString feed = qEnvironmentVariable("TESSALY_UPDATE_FEED");
    if (feed.isEmpty())
        feed = QStringLiteral(TESSALY_UPDATE_FEED_DEFAULT);
    if (!feed.isEmpty())
        m_feedURL = QUrl(feed);
}

SUUpdater::~SUUpdater() {
    if (m_reply)
        m_reply->abort();
}

bool SUUpdater::checkForUpdatesInBackground() {
    const QString scheme = m_feedURL.scheme().toLower();
    if (!m_feedURL.isValid() || (scheme != "https" && scheme != "http") || m_reply)
        return false;
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(m_feedURL);
    request.setHeader(QNetworkRequest::UserAgentHeader, "Tessaly/" + m_currentVersion);
    request.setTransferTimeout(30000);
    QNetworkReply* reply = m_network->get(request);
    m_reply = reply;
    ++m_checks;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > kMaxFeedBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { feedArrived(reply); });
    return true;
}

void SUUpdater::feedArrived(QNetworkReply* reply) {
    reply->deleteLater();
    m_reply = nullptr;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    std::optional<UpdateOffer> offer;
    if (reply->error() == QNetworkReply::NoError && status == 200) {
        const QByteArray body = reply->read(kMaxFeedBytes + 1);
        if (body.size() <= kMaxFeedBytes)
            offer = parseUpdateFeed(body);
    } else
        qInfo().noquote() << "Update check failed:" << reply->errorString();
    if (offer && compareVersions(offer->version, m_currentVersion) > 0 &&
        !m_offered.contains(offer->version)) {
        m_offered.insert(offer->version);
        // The handler may run a modal alert: not from inside the network callback.
        QMetaObject::invokeMethod(
            this,
            [this, offer = *offer] {
                if (m_handler)
                    m_handler(offer);
            },
            Qt::QueuedConnection);
    }
    emit checkFinished();
}

void tellUserOfUpdate(PlatformServices& platform, const UpdateOffer& offer,
                      const QString& currentVersion) {
    const int answer = platform.runAlert(
        {"A new version of Tessaly is available",
         QString("Tessaly %1 is available; you have %2. Open its download page?")
             .arg(offer.version, currentVersion),
         {"Open Download Page", "Later"},
         AlertStyle::Informational});
    if (answer == AlertFirstButton)
        platform.openURL(offer.url);
}

} // namespace tessaly
