#include "OFFlickrAPIContext.h"

#include "OFAssert.h"
#include "OFFlickrHosts.h"
#include "OFUtilities.h"
#include "OFXMLMapper.h"

#include <QDateTime>
#include <QHostAddress>

namespace {

void assertIsValidURLString(const QString& text) {
    if (!QUrl(text, QUrl::StrictMode).isValid())
        qFatal("Must be a valid URL, but was given: %s", qUtf8Printable(text));
}

} // namespace

OFFlickrAPIContext::OFFlickrAPIContext(const QString& apiKey, const QString& sharedSecret)
    : m_key(apiKey), m_sharedSecret(sharedSecret),
      m_RESTAPIEndpoint(OFFlickrHostBase(OFFlickrHost::API) + QLatin1String("/services/rest/")),
      m_photoSource(OFFlickrHostBase(OFFlickrHost::StaticPhoto) + QLatin1String("/")),
      m_photoWebPageSource(OFFlickrHostBase(OFFlickrHost::Web) + QLatin1String("/photos/")),
      m_authEndpoint(OFFlickrHostBase(OFFlickrHost::Web) + QLatin1String("/services/oauth/")),
      m_uploadEndpoint(OFFlickrHostBase(OFFlickrHost::Upload) + QLatin1String("/services/upload/")),
      m_webBase(OFFlickrHostBase(OFFlickrHost::Web)) {
    setClock({});
    setNonceSource({});
}

void OFFlickrAPIContext::setPhotoSource(const QString& source) {
    assertIsValidURLString(source);
    m_photoSource = source;
}

void OFFlickrAPIContext::setPhotoWebPageSource(const QString& source) {
    assertIsValidURLString(source);
    m_photoWebPageSource = source;
}

void OFFlickrAPIContext::setClock(Clock clock) {
    if (!clock)
        clock = [] { return static_cast<quint64>(QDateTime::currentSecsSinceEpoch()); };
    m_clock = std::move(clock);
}

void OFFlickrAPIContext::setNonceSource(NonceSource nonceSource) {
    if (!nonceSource)
        nonceSource = [] { return OFNewUUIDString().left(8); };
    m_nonceSource = std::move(nonceSource);
}

QUrl OFFlickrAPIContext::photoSourceURLFromDictionarySize(const QVariantMap& photo,
                                                          const QString& size) const {
    const QString photoID = OFTextForm(photo.value(QStringLiteral("id")));
    const QString secret = OFTextForm(photo.value(QStringLiteral("secret")));
    const QString server = OFTextForm(photo.value(QStringLiteral("server")));
    const QString farm = OFTextForm(photo.value(QStringLiteral("farm")));
    // These come from Flickr's answers, so a missing one is not a programming error.
    if (photoID.isEmpty() || secret.isEmpty() || server.isEmpty())
        return {};

    QUrl url(m_photoSource);
    QString host = url.host();
    // A farm becomes a sub-domain; an address or "localhost" (the stand-in service) has none.
    const bool hostTakesSubdomain = QHostAddress(host).isNull() &&
                                    host.compare(QLatin1String("localhost"), Qt::CaseInsensitive);
    if (!farm.isEmpty() && hostTakesSubdomain)
        host = QStringLiteral("farm%1.%2").arg(farm, host);
    const QString suffix = size.isEmpty() ? QString() : QLatin1Char('_') + size;
    QUrl result;
    result.setScheme(url.scheme());
    result.setHost(host);
    result.setPort(url.port());
    result.setPath(QStringLiteral("/%1/%2_%3%4.jpg").arg(server, photoID, secret, suffix));
    return result;
}

QUrl OFFlickrAPIContext::photoWebPageURLFromDictionary(const QVariantMap& photo) const {
    return QUrl(m_photoWebPageSource + OFTextForm(photo.value(QStringLiteral("owner"))) +
                QLatin1Char('/') + OFTextForm(photo.value(QStringLiteral("id"))));
}

QUrl OFFlickrAPIContext::userAuthorizationURLWithRequestTokenRequestedPermission(
    const QString& requestToken, const QString& permission) const {
    QString text =
        m_webBase + QLatin1String("/services/oauth/authorize?oauth_token=") + requestToken;
    if (!permission.isEmpty())
        text += QLatin1String("&perms=") + permission;
    return QUrl(text);
}

QUrl OFFlickrAPIContext::loginURLFromFrobDictionaryRequestedPermission(
    const QVariantMap& frobDictionary, const QString& permission) const {
    QVariantMap arguments;
    const QString frob = OFTextContent(frobDictionary.value(QStringLiteral("frob")));
    if (!frob.isEmpty())
        arguments.insert(QStringLiteral("frob"), frob);
    arguments.insert(QStringLiteral("perms"), permission);
    return QUrl(m_authEndpoint + QLatin1Char('?') + signedQueryFromArguments(arguments));
}
