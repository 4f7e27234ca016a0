// The two signing schemes of OFFlickrAPIContext. Flickr's servers compute the
// same signatures, so every separator, order and escape here is exact.
#include "OFFlickrAPIContext.h"

#include "OFUtilities.h"

#include <QStringList>

OFFlickrAPIContext::ArgumentComponents
OFFlickrAPIContext::signedArgumentComponentsFromArgumentsUseURIEscape(const QVariantMap& arguments,
                                                                      bool useURIEscape) const {
    QVariantMap all = arguments;
    if (!m_key.isEmpty())
        all.insert(QStringLiteral("api_key"), m_key);
    if (!m_authToken.isEmpty())
        all.insert(QStringLiteral("auth_token"), m_authToken);

    // QVariantMap iterates its names in ordinal order, which is the order signed.
    QString signature = m_sharedSecret;
    ArgumentComponents components;
    for (auto it = all.constBegin(); it != all.constEnd(); ++it) {
        const QString value = OFTextForm(it.value());
        signature += it.key() + value;
        components.append({it.key(), useURIEscape ? OFEscapeURLComponent(value) : value});
    }
    components.append({QStringLiteral("api_sig"), OFMD5HexDigest(signature)});
    return components;
}

QString OFFlickrAPIContext::signedQueryFromArguments(const QVariantMap& arguments) const {
    QStringList pairs;
    for (const auto& [name, value] :
         signedArgumentComponentsFromArgumentsUseURIEscape(arguments, true))
        pairs.append(name + QLatin1Char('=') + value);
    return pairs.join(QLatin1Char('&'));
}

QString OFFlickrAPIContext::OAuthSignatureBaseString(const QVariantMap& parameters,
                                                     const QUrl& baseURL, const QString& method) {
    QStringList pairs;
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it)
        pairs.append(it.key() + QLatin1Char('=') + OFEscapeOAuthComponent(OFTextForm(it.value())));
    // Flickr signs names unescaped and the joined text escaped once more.
    return method + QLatin1Char('&') +
           OFEscapeOAuthComponent(baseURL.toString(QUrl::FullyEncoded)) + QLatin1Char('&') +
           OFEscapeOAuthComponent(pairs.join(QLatin1Char('&')));
}

QVariantMap OFFlickrAPIContext::signedOAuthHTTPQueryArgumentsBaseURLMethod(
    const QVariantMap& arguments, const QUrl& baseURL, const QString& method) const {
    QVariantMap signedArguments = arguments;
    signedArguments.insert(QStringLiteral("oauth_nonce"), m_nonceSource());
    signedArguments.insert(QStringLiteral("oauth_timestamp"), QString::number(m_clock()));
    signedArguments.insert(QStringLiteral("oauth_version"), QStringLiteral("1.0"));
    signedArguments.insert(QStringLiteral("oauth_signature_method"), QStringLiteral("HMAC-SHA1"));
    signedArguments.insert(QStringLiteral("oauth_consumer_key"), m_key);
    // A token passed in the arguments (the access-token exchange) wins.
    if (!arguments.contains(QStringLiteral("oauth_token")) && m_OAuthToken)
        signedArguments.insert(QStringLiteral("oauth_token"), *m_OAuthToken);

    const QString signingKey =
        m_sharedSecret + QLatin1Char('&') + m_OAuthTokenSecret.value_or(QString());
    const QString baseString = OAuthSignatureBaseString(signedArguments, baseURL, method);
    signedArguments.insert(QStringLiteral("oauth_signature"),
                           OFHMACSHA1Base64Signature(signingKey, baseString));
    return signedArguments;
}

QString OFFlickrAPIContext::oauthURLStringFromBaseURLMethodArguments(
    const QUrl& baseURL, const QString& method, const QVariantMap& arguments) const {
    const QVariantMap signedArguments =
        signedOAuthHTTPQueryArgumentsBaseURLMethod(arguments, baseURL, method);
    QStringList pairs;
    for (auto it = signedArguments.constBegin(); it != signedArguments.constEnd(); ++it)
        pairs.append(it.key() + QLatin1Char('=') + OFEscapeOAuthComponent(OFTextForm(it.value())));
    return baseURL.toString(QUrl::FullyEncoded) + QLatin1Char('?') + pairs.join(QLatin1Char('&'));
}

QUrl OFFlickrAPIContext::oauthURLFromBaseURLMethodArguments(const QUrl& baseURL,
                                                            const QString& method,
                                                            const QVariantMap& arguments) const {
    return QUrl(oauthURLStringFromBaseURLMethodArguments(baseURL, method, arguments),
                QUrl::StrictMode);
}
