#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <optional>

// What all Flickr calls share: the API key and shared secret, the endpoints, the
// legacy auth token and the OAuth token and secret. Builds signed URLs and
// photo URLs.
class OFFlickrAPIContext {
public:
    // Seconds since 1970-01-01 00:00 UTC.
    using Clock = std::function<quint64()>;
    // The "oauth_nonce" value of one signature.
    using NonceSource = std::function<QString()>;
    using ArgumentComponents = QList<QPair<QString, QString>>;

    OFFlickrAPIContext(const QString& apiKey, const QString& sharedSecret);

    QString key() const { return m_key; }
    QString sharedSecret() const { return m_sharedSecret; }

    QString authToken() const { return m_authToken; }
    void setAuthToken(const QString& token) { m_authToken = token; }

    QString RESTAPIEndpoint() const { return m_RESTAPIEndpoint; }
    void setRESTAPIEndpoint(const QString& endpoint) { m_RESTAPIEndpoint = endpoint; }
    QString photoSource() const { return m_photoSource; }
    // The setters of the two photo sources require a valid URL.
    void setPhotoSource(const QString& source);
    QString photoWebPageSource() const { return m_photoWebPageSource; }
    void setPhotoWebPageSource(const QString& source);
    QString authEndpoint() const { return m_authEndpoint; }
    void setAuthEndpoint(const QString& endpoint) { m_authEndpoint = endpoint; }
    QString uploadEndpoint() const { return m_uploadEndpoint; }
    // The User-Agent every call of this context sends; empty: none.
    QString userAgent() const { return m_userAgent; }
    void setUserAgent(const QString& userAgent) { m_userAgent = userAgent; }
    void setUploadEndpoint(const QString& endpoint) { m_uploadEndpoint = endpoint; }

    // The fixed OAuth token-exchange URLs on the web host.
    QString OAuthRequestTokenURL() const {
        return m_webBase + QLatin1String("/services/oauth/request_token");
    }
    QString OAuthAccessTokenURL() const {
        return m_webBase + QLatin1String("/services/oauth/access_token");
    }

    // A token or secret held as empty text still counts as held.
    QString OAuthToken() const { return m_OAuthToken.value_or(QString()); }
    void setOAuthToken(const QString& token) { m_OAuthToken = token; }
    bool hasOAuthToken() const { return m_OAuthToken.has_value(); }
    void clearOAuthToken() { m_OAuthToken.reset(); }
    QString OAuthTokenSecret() const { return m_OAuthTokenSecret.value_or(QString()); }
    void setOAuthTokenSecret(const QString& secret) { m_OAuthTokenSecret = secret; }
    bool hasOAuthTokenSecret() const { return m_OAuthTokenSecret.has_value(); }
    void clearOAuthTokenSecret() { m_OAuthTokenSecret.reset(); }
    // Calls are OAuth-signed only when both the token and its secret are held.
    bool usesOAuth() const { return hasOAuthToken() && hasOAuthTokenSecret(); }

    // The picture file URL of a photo dictionary ("id", "secret", "server",
    // optional "farm"); size is a suffix such as "s" or "b", or empty. An empty
    // URL when "id", "secret" or "server" is missing.
    QUrl photoSourceURLFromDictionarySize(const QVariantMap& photo, const QString& size) const;
    // The web page of a photo dictionary ("owner", "id").
    QUrl photoWebPageURLFromDictionary(const QVariantMap& photo) const;
    // The page where the user grants access; permission "read", "write", "delete" or empty.
    QUrl userAuthorizationURLWithRequestTokenRequestedPermission(const QString& requestToken,
                                                                 const QString& permission) const;
    // Legacy login URL; the dictionary's "frob" entry carries the frob under "_text".
    QUrl loginURLFromFrobDictionaryRequestedPermission(const QVariantMap& frobDictionary,
                                                       const QString& permission) const;

    // Legacy signing: sorted (name, value) pairs with "api_key", "auth_token"
    // when held, and "api_sig" last; values through OFEscapeURLComponent when asked.
    ArgumentComponents
    signedArgumentComponentsFromArgumentsUseURIEscape(const QVariantMap& arguments,
                                                      bool useURIEscape) const;
    QString signedQueryFromArguments(const QVariantMap& arguments) const;
    // OAuth 1.0 HMAC-SHA1: the arguments plus the protocol parameters and "oauth_signature".
    QVariantMap signedOAuthHTTPQueryArgumentsBaseURLMethod(const QVariantMap& arguments,
                                                           const QUrl& baseURL,
                                                           const QString& method) const;
    // The text that is signed for these (already completed) OAuth parameters.
    static QString OAuthSignatureBaseString(const QVariantMap& parameters, const QUrl& baseURL,
                                            const QString& method);
    // The OAuth-signed GET URL, as exact text and as a URL.
    QString oauthURLStringFromBaseURLMethodArguments(const QUrl& baseURL, const QString& method,
                                                     const QVariantMap& arguments) const;
    QUrl oauthURLFromBaseURLMethodArguments(const QUrl& baseURL, const QString& method,
                                            const QVariantMap& arguments) const;

    void setClock(Clock clock);
    void setNonceSource(NonceSource nonceSource);

private:
    QString m_key;
    QString m_userAgent;
    QString m_sharedSecret;
    QString m_authToken;
    QString m_RESTAPIEndpoint;
    QString m_photoSource;
    QString m_photoWebPageSource;
    QString m_authEndpoint;
    QString m_uploadEndpoint;
    std::optional<QString> m_OAuthToken;
    std::optional<QString> m_OAuthTokenSecret;
    QString m_webBase;
    Clock m_clock;
    NonceSource m_nonceSource;
};
