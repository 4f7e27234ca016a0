#include "UpdateFeed.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

namespace tessaly {

std::optional<UpdateOffer> parseUpdateFeed(const QByteArray& body) {
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject feed = document.object();
    static const QRegularExpression dotted(QStringLiteral("^\\d{1,9}(\\.\\d{1,9}){0,5}$"));
    const QString version = feed.value("version").toString().trimmed();
    if (!dotted.match(version).hasMatch())
        return std::nullopt;
    const QUrl url(feed.value("url").toString().trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != "https" && scheme != "http"))
        return std::nullopt;
    return UpdateOffer{version, url};
}

int compareVersions(const QString& a, const QString& b) {
    const QStringList left = a.split('.');
    const QStringList right = b.split('.');
    for (qsizetype i = 0; i < qMax(left.size(), right.size()); ++i) {
        const qlonglong x = left.value(i).toLongLong();
        const qlonglong y = right.value(i).toLongLong();
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

} // namespace tessaly
