#pragma once

#include "UpdateFeed.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;


namespace tessaly {

class PlatformServices;

// The software-update component. Tessaly is updated through the system's
// package manager, so a background check does nothing unless an update feed
// is configured (the build setting TESSALY_UPDATE_FEED, or the environment
// variable of that name). Then it fetches the feed, and when the feed names a
// newer version than this one, it hands the offer to its handler, once per
// version and only after the event loop is back.
class SUUpdater : public QObject {
    Q_OBJECT
public:
    explicit SUUpdater(QString currentVersion, QObject* parent = nullptr);
    ~SUUpdater() override;

    QString currentVersion() const { return m_currentVersion; }
    QUrl feedURL() const { return m_feedURL; }
    void setFeedURL(const QUrl& url) { m_feedURL = url; }
    void setUpdateFoundHandler(std::function<void(const UpdateOffer&)> handler) {
        m_handler = std::move(handler);
    }

    // Answers whether a check was started: not without a feed, nor while
    // one is under way.
    bool checkForUpdatesInBackground();
    bool isChecking() const { return bool(m_reply); }
    int checksStarted() const { return m_checks; }

    // The largest feed document read; a longer answer is dropped.
    static constexpr qint64 kMaxFeedBytes = 64 * 1024;

signals:
    // A check ended, with or without an offer.
    void checkFinished();

private:
    void feedArrived(QNetworkReply* reply);

    QString m_currentVersion;
    QUrl m_feedURL;
    std::function<void(const UpdateOffer&)> m_handler;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QSet<QString> m_offered;
    int m_checks = 0;
};

// Tells the user of a newer version; the first button opens its page.
void tellUserOfUpdate(PlatformServices& platform, const UpdateOffer& offer,
                      const QString& currentVersion);

} // namespace tessaly
