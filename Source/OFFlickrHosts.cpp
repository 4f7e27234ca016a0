#include "OFFlickrHosts.h"

#include <QUrl>
#include <QtGlobal>

namespace {

QString defaultBase(OFFlickrHost host) {
    switch (host) {
    case OFFlickrHost::API:
        return QStringLiteral("https://api.flickr.com");
    case OFFlickrHost::StaticPhoto:
        return QStringLiteral("https://staticflickr.com");
    case OFFlickrHost::Web:
        return QStringLiteral("https://www.flickr.com");
    case OFFlickrHost::Upload:
        return QStringLiteral("https://up.flickr.com");
    }
    return {};
}

} // namespace

QString OFFlickrHostBaseWithOverride(OFFlickrHost host, const QString& endpointOverride) {
    if (endpointOverride.isEmpty())
        return defaultBase(host);
    const QUrl url(endpointOverride.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty()) {
        qWarning("Ignoring TESSALY_FLICKR_ENDPOINT \"%s\": not an http(s) URL with a host",
                 qUtf8Printable(endpointOverride));
        return defaultBase(host);
    }
    return url.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                        QUrl::RemoveUserInfo | QUrl::FullyEncoded);
}

QString OFFlickrHostBase(OFFlickrHost host) {
    return OFFlickrHostBaseWithOverride(host, qEnvironmentVariable("TESSALY_FLICKR_ENDPOINT"));
}
