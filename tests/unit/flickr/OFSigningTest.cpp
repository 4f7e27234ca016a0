// Request signing, endpoints and URLs of OFFlickrAPIContext. Expected values are
// derived here from the signing rules, independently of the library's helpers.
#include "OFFlickrAPIContext.h"
#include "OFFlickrHosts.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

QString md5(const QString& text) {
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString hmacBase64(const QString& key, const QString& data) {
    return QString::fromLatin1(
        QMessageAuthenticationCode::hash(data.toUtf8(), key.toUtf8(), QCryptographicHash::Sha1).toBase64());
}

// Base64 holds only "+", "/" and "=" beyond letters and digits.
QString escapeBase64(QString text) {
    return text.replace("+", "%2B").replace("/", "%2F").replace("=", "%3D");
}

std::shared_ptr<OFFlickrAPIContext> pinnedContext() {
    auto context = std::make_shared<OFFlickrAPIContext>("ckey", "csecret");
    context->setClock([] { return quint64(1700000000); });
    context->setNonceSource([] { return QStringLiteral("ABCDEF12"); });
    return context;
}

const QUrl kRest("https://api.flickr.com/services/rest/");

} // namespace

TEST(OFLegacySigning, SortedQueryWithMD5SignatureLast) {
    OFFlickrAPIContext context("KEY", "SECRET");
    context.setAuthToken("TOK");
    const QVariantMap args{{"method", "flickr.test.login"}, {"per_page", 5}, {"text", "a&b c"}, {"Zoom", "z"}};
    // Ordinal order puts "Zoom" before "api_key"; the signed text runs names and
    // raw values together after the secret.
    const QString signedText =
        "SECRET" "Zoomz" "api_keyKEY" "auth_tokenTOK" "methodflickr.test.login" "per_page5" "texta&b c";
    EXPECT_EQ(context.signedQueryFromArguments(args),
              "Zoom=z&api_key=KEY&auth_token=TOK&method=flickr.test.login&per_page=5&text=a%26b%20c"
              "&api_sig=" + md5(signedText));

    const auto raw = context.signedArgumentComponentsFromArgumentsUseURIEscape(args, false);
    ASSERT_EQ(raw.size(), 7);
    EXPECT_EQ(raw[5], qMakePair(QString("text"), QString("a&b c")));
    EXPECT_EQ(raw.last(), qMakePair(QString("api_sig"), md5(signedText)));
}

TEST(OFLegacySigning, EmptyKeyAndTokenAreLeftOut) {
    OFFlickrAPIContext context("", "");
    EXPECT_EQ(context.signedQueryFromArguments({{"method", "m"}}), "method=m&api_sig=" + md5("methodm"));
}

TEST(OFOAuthSigning, GETURLForPinnedClockAndNonce) {
    auto context = pinnedContext();
    context->setOAuthToken("tok");
    context->setOAuthTokenSecret("tsecret");
    const QVariantMap args{{"method", "flickr.test.echo"}, {"text", QString::fromUtf8("a~b c&d=é")}};

    // Values escaped once: a~b c&d=é -> a%7Eb%20c%26d%3D%C3%A9; then the whole
    // parameter text escaped again: "=" %3D, "&" %26, "%" %25.
    const QString base =
        "GET&https%3A%2F%2Fapi.flickr.com%2Fservices%2Frest%2F&"
        "method%3Dflickr.test.echo%26oauth_consumer_key%3Dckey%26oauth_nonce%3DABCDEF12"
        "%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1700000000%26oauth_token%3Dtok"
        "%26oauth_version%3D1.0%26text%3Da%257Eb%2520c%2526d%253D%25C3%25A9";
    const QString signature = hmacBase64("csecret&tsecret", base);

    const QString url = context->oauthURLStringFromBaseURLMethodArguments(kRest, "GET", args);
    EXPECT_EQ(url, "https://api.flickr.com/services/rest/?method=flickr.test.echo&oauth_consumer_key=ckey"
                   "&oauth_nonce=ABCDEF12&oauth_signature=" + escapeBase64(signature) +
                   "&oauth_signature_method=HMAC-SHA1&oauth_timestamp=1700000000&oauth_token=tok"
                   "&oauth_version=1.0&text=a%7Eb%20c%26d%3D%C3%A9");
    // The URL object carries the same query values.
    const QUrlQuery query(context->oauthURLFromBaseURLMethodArguments(kRest, "GET", args));
    EXPECT_EQ(query.queryItemValue("text", QUrl::FullyDecoded), QString::fromUtf8("a~b c&d=é"));
    EXPECT_EQ(query.queryItemValue("oauth_signature", QUrl::FullyDecoded), signature);
}

TEST(OFOAuthSigning, ArgumentTokenWinsAndKeyWithoutSecretEndsInAmpersand) {
    auto context = pinnedContext();
    context->setOAuthToken("context-token");
    // No token secret: the key is "csecret&".
    const QVariantMap signedArgs = context->signedOAuthHTTPQueryArgumentsBaseURLMethod(
        {{"oauth_token", "request-token"}, {"oauth_verifier", "v"}}, kRest, "POST");
    EXPECT_EQ(signedArgs.value("oauth_token"), "request-token");
    const QString base =
        "POST&https%3A%2F%2Fapi.flickr.com%2Fservices%2Frest%2F&"
        "oauth_consumer_key%3Dckey%26oauth_nonce%3DABCDEF12%26oauth_signature_method%3DHMAC-SHA1"
        "%26oauth_timestamp%3D1700000000%26oauth_token%3Drequest-token%26oauth_verifier%3Dv"
        "%26oauth_version%3D1.0";
    EXPECT_EQ(signedArgs.value("oauth_signature"), hmacBase64("csecret&", base));
    EXPECT_EQ(signedArgs.size(), 8);
}

TEST(OFOAuthSigning, TokenHeldAsEmptyTextIsStillSent) {
    auto context = pinnedContext();
    EXPECT_FALSE(context->signedOAuthHTTPQueryArgumentsBaseURLMethod({}, kRest, "GET").contains("oauth_token"));
    context->setOAuthToken("");
    context->setOAuthTokenSecret("");
    EXPECT_TRUE(context->usesOAuth());
    const QVariantMap signedArgs = context->signedOAuthHTTPQueryArgumentsBaseURLMethod({}, kRest, "GET");
    EXPECT_EQ(signedArgs.value("oauth_token"), "");
    EXPECT_TRUE(signedArgs.contains("oauth_token"));
    context->clearOAuthTokenSecret();
    EXPECT_FALSE(context->usesOAuth());
}

TEST(OFOAuthSigning, DefaultNonceIsEightHexDigitsAndTimeIsNow) {
    OFFlickrAPIContext context("k", "s");
    const QVariantMap signedArgs = context.signedOAuthHTTPQueryArgumentsBaseURLMethod({}, kRest, "GET");
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}$").match(signedArgs.value("oauth_nonce").toString()).hasMatch());
    const qint64 stamp = signedArgs.value("oauth_timestamp").toString().toLongLong();
    EXPECT_LE(std::abs(stamp - QDateTime::currentSecsSinceEpoch()), 5);
}

TEST(OFFlickrHosts, OverrideReplacesSchemeHostAndPort) {
    EXPECT_EQ(OFFlickrHostBaseWithOverride(OFFlickrHost::API, ""), "https://api.flickr.com");
    EXPECT_EQ(OFFlickrHostBaseWithOverride(OFFlickrHost::Upload, "http://127.0.0.1:8123/ignored?x"),
              "http://127.0.0.1:8123");
    EXPECT_EQ(OFFlickrHostBaseWithOverride(OFFlickrHost::Web, "ftp://127.0.0.1"), "https://www.flickr.com");
    EXPECT_EQ(OFFlickrHostBaseWithOverride(OFFlickrHost::Web, "not a url"), "https://www.flickr.com");

    const QByteArray saved = qgetenv("TESSALY_FLICKR_ENDPOINT");
    qputenv("TESSALY_FLICKR_ENDPOINT", "http://127.0.0.1:8123");
    OFFlickrAPIContext context("k", "s");
    qputenv("TESSALY_FLICKR_ENDPOINT", saved);
    EXPECT_EQ(context.RESTAPIEndpoint(), "http://127.0.0.1:8123/services/rest/");
    EXPECT_EQ(context.photoSource(), "http://127.0.0.1:8123/");
    EXPECT_EQ(context.photoWebPageSource(), "http://127.0.0.1:8123/photos/");
    EXPECT_EQ(context.authEndpoint(), "http://127.0.0.1:8123/services/oauth/");
    EXPECT_EQ(context.uploadEndpoint(), "http://127.0.0.1:8123/services/upload/");
    EXPECT_EQ(context.OAuthRequestTokenURL(), "http://127.0.0.1:8123/services/oauth/request_token");
    EXPECT_EQ(context.OAuthAccessTokenURL(), "http://127.0.0.1:8123/services/oauth/access_token");
    EXPECT_EQ(context.userAuthorizationURLWithRequestTokenRequestedPermission("t", "").toString(),
              "http://127.0.0.1:8123/services/oauth/authorize?oauth_token=t");
}

TEST(OFContextURLs, PhotoSourceURL) {
    OFFlickrAPIContext context("k", "s");
    context.setPhotoSource("https://staticflickr.com/");
    const QVariantMap photo{{"id", "456"}, {"secret", "abc"}, {"server", "123"}, {"farm", "5"}};
    EXPECT_EQ(context.photoSourceURLFromDictionarySize(photo, "b").toString(),
              "https://farm5.staticflickr.com/123/456_abc_b.jpg");
    EXPECT_EQ(context.photoSourceURLFromDictionarySize(photo, "").toString(),
              "https://farm5.staticflickr.com/123/456_abc.jpg");
    QVariantMap noFarm = photo;
    noFarm.remove("farm");
    EXPECT_EQ(context.photoSourceURLFromDictionarySize(noFarm, "s").toString(),
              "https://staticflickr.com/123/456_abc_s.jpg");
    // Answers from the network may lack fields: no URL rather than a stop.
    QVariantMap noSecret = photo;
    noSecret.remove("secret");
    EXPECT_TRUE(context.photoSourceURLFromDictionarySize(noSecret, "s").isEmpty());
    // An address host cannot take a farm sub-domain; the port stays.
    context.setPhotoSource("http://127.0.0.1:8123/");
    EXPECT_EQ(context.photoSourceURLFromDictionarySize(photo, "o").toString(),
              "http://127.0.0.1:8123/123/456_abc_o.jpg");
}

TEST(OFContextURLs, WebPageAuthorizationAndLegacyLogin) {
    OFFlickrAPIContext context("KEY", "SECRET");
    context.setPhotoWebPageSource("https://www.flickr.com/photos/");
    EXPECT_EQ(context.photoWebPageURLFromDictionary({{"owner", "12@N0"}, {"id", "99"}}).toString(),
              "https://www.flickr.com/photos/12@N0/99");

    const QString authorize = context.userAuthorizationURLWithRequestTokenRequestedPermission("tok", "write").toString();
    EXPECT_TRUE(authorize.endsWith("/services/oauth/authorize?oauth_token=tok&perms=write")) << authorize.toStdString();

    context.setAuthEndpoint("https://www.flickr.com/services/auth/");
    const QVariantMap frob{{"frob", QVariantMap{{"_text", "F1"}}}};
    EXPECT_EQ(context.loginURLFromFrobDictionaryRequestedPermission(frob, "read").toString(),
              "https://www.flickr.com/services/auth/?api_key=KEY&frob=F1&perms=read&api_sig=" +
                  md5("SECRETapi_keyKEYfrobF1permsread"));
    EXPECT_EQ(context.loginURLFromFrobDictionaryRequestedPermission({}, "read").toString(),
              "https://www.flickr.com/services/auth/?api_key=KEY&perms=read&api_sig=" +
                  md5("SECRETapi_keyKEYpermsread"));
}

TEST(OFContextURLsDeathTest, PhotoSourceMustBeAURL) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    OFFlickrAPIContext context("k", "s");
    EXPECT_DEATH(context.setPhotoSource("http://[broken"), "Must be a valid URL, but was given: http://\\[broken");
}
