// Request signing, endpoints and URLs of OFFlickrAPIContext. Expected values are
// derived here by hand from the signing rules, apart from the library's helpers.
#include "OFFlickrAPIContext.h"
#include "OFFlickrHosts.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString md5(const QString& text) {
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex();
}

QString hmacBase64(const QString& key, const QString& data) {
    return QMessageAuthenticationCode::hash(data.toUtf8(), key.toUtf8(), QCryptographicHash::Sha1).toBase64();
}

OFFlickrAPIContext pinnedContext() {
    OFFlickrAPIContext context("ckey", "csecret");
    context.setClock([] { return quint64(1700000000); });
    context.setNonceSource([] { return QStringLiteral("ABCDEF12"); });
    return context;
}

const QUrl kRest("https://api.flickr.com/services/rest/");

} // namespace

TEST(OFLegacySigning, SortedQueryWithMD5SignatureLast) {
    OFFlickrAPIContext context("KEY", "SECRET");
    context.setAuthToken("TOK");
    const QVariantMap args{{"method", "m.x"}, {"per_page", 5}, {"text", "a&b c"}, {"Zoom", "z"}};
    // Ordinal order puts "Zoom" first; the signed text is the secret, then
    // names and raw values run together.
    const QString signedText = "SECRETZoomzapi_keyKEYauth_tokenTOKmethodm.xper_page5texta&b c";
    EXPECT_EQ(context.signedQueryFromArguments(args),
              "Zoom=z&api_key=KEY&auth_token=TOK&method=m.x&per_page=5&text=a%26b%20c&api_sig=" + md5(signedText));
    const auto raw = context.signedArgumentComponentsFromArgumentsUseURIEscape(args, false);
    EXPECT_EQ(raw.value(5), qMakePair(QString("text"), QString("a&b c")));
    // Without key and token both are left out.
    EXPECT_EQ(OFFlickrAPIContext("", "").signedQueryFromArguments({{"method", "m"}}),
              "method=m&api_sig=" + md5("methodm"));
}

TEST(OFOAuthSigning, GETURLForPinnedClockAndNonce) {
    OFFlickrAPIContext context = pinnedContext();
    context.setOAuthToken("tok");
    context.setOAuthTokenSecret("tsecret");
    const QVariantMap args{{"method", "flickr.test.echo"}, {"text", QString::fromUtf8("a~b c&d=é")}};
    // Values escaped once (a~b c&d=é -> a~b%20c%26d%3D%C3%A9), then the whole
    // parameter text once more: "=" %3D, "&" %26, "%" %25.
    const QString base = "GET&https%3A%2F%2Fapi.flickr.com%2Fservices%2Frest%2F&"
                         "method%3Dflickr.test.echo%26oauth_consumer_key%3Dckey%26oauth_nonce%3DABCDEF12"
                         "%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1700000000%26oauth_token%3Dtok"
                         "%26oauth_version%3D1.0%26text%3Da~b%2520c%2526d%253D%25C3%25A9";
    // Base64 holds only "+", "/" and "=" besides letters and digits.
    const QString escapedSignature =
        hmacBase64("csecret&tsecret", base).replace("+", "%2B").replace("/", "%2F").replace("=", "%3D");
    EXPECT_EQ(context.oauthURLStringFromBaseURLMethodArguments(kRest, "GET", args),
              "https://api.flickr.com/services/rest/?method=flickr.test.echo&oauth_consumer_key=ckey"
              "&oauth_nonce=ABCDEF12&oauth_signature=" +
                  escapedSignature +
                  "&oauth_signature_method=HMAC-SHA1&oauth_timestamp=1700000000&oauth_token=tok"
                  "&oauth_version=1.0&text=a~b%20c%26d%3D%C3%A9");
}

TEST(OFOAuthSigning, TokenRules) {
    // A token in the arguments wins; a key without a token secret ends in "&".
    OFFlickrAPIContext context = pinnedContext();
    context.setOAuthToken("context-token");
    const QVariantMap signedArgs = context.signedOAuthHTTPQueryArgumentsBaseURLMethod(
        {{"oauth_token", "request-token"}, {"oauth_verifier", "v"}}, kRest, "POST");
    EXPECT_EQ(signedArgs.value("oauth_token"), "request-token");
    const QString base = "POST&https%3A%2F%2Fapi.flickr.com%2Fservices%2Frest%2F&"
                         "oauth_consumer_key%3Dckey%26oauth_nonce%3DABCDEF12%26oauth_signature_method%3DHMAC-SHA1"
                         "%26oauth_timestamp%3D1700000000%26oauth_token%3Drequest-token%26oauth_verifier%3Dv"
                         "%26oauth_version%3D1.0";
    EXPECT_EQ(signedArgs.value("oauth_signature"), hmacBase64("csecret&", base));

    // No token, no "oauth_token"; a token held as empty text is still sent. The default nonce and clock are live.
    OFFlickrAPIContext live("k", "s");
    EXPECT_FALSE(live.signedOAuthHTTPQueryArgumentsBaseURLMethod({}, kRest, "GET").contains("oauth_token"));
    live.setOAuthToken("");
    live.setOAuthTokenSecret("");
    EXPECT_TRUE(live.usesOAuth());
    const QVariantMap emptyToken = live.signedOAuthHTTPQueryArgumentsBaseURLMethod({}, kRest, "GET");
    EXPECT_EQ(emptyToken.value("oauth_token"), QString(""));
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}$").match(emptyToken.value("oauth_nonce").toString()).hasMatch());
    EXPECT_LE(std::abs(emptyToken.value("oauth_timestamp").toLongLong() - QDateTime::currentSecsSinceEpoch()), 5);
}

TEST(OFFlickrHosts, OverrideReplacesSchemeHostAndPortOfEveryEndpoint) {
    EXPECT_EQ(OFFlickrHostBaseWithOverride(OFFlickrHost::API, ""), "https://api.flickr.com");
    EXPECT_EQ(OFFlickrHostBaseWithOverride(OFFlickrHost::Upload, "http://127.0.0.1:8123/x?y"), "http://127.0.0.1:8123");
    EXPECT_EQ(OFFlickrHostBaseWithOverride(OFFlickrHost::Web, "ftp://127.0.0.1"), "https://www.flickr.com");

    const QByteArray saved = qgetenv("TESSALY_FLICKR_ENDPOINT");
    qputenv("TESSALY_FLICKR_ENDPOINT", "http://127.0.0.1:8123");
    OFFlickrAPIContext context("k", "s");
    qputenv("TESSALY_FLICKR_ENDPOINT", saved);
    // The REST, upload and token addresses are checked on the wire by the request tests.
    const QString base = "http://127.0.0.1:8123";
    EXPECT_EQ(context.photoSource(), base + "/");
    EXPECT_EQ(context.photoWebPageSource(), base + "/photos/");
    EXPECT_EQ(context.authEndpoint(), base + "/services/oauth/");
    EXPECT_EQ(context.userAuthorizationURLWithRequestTokenRequestedPermission("t", "").toString(),
              base + "/services/oauth/authorize?oauth_token=t");
    EXPECT_EQ(context.userAuthorizationURLWithRequestTokenRequestedPermission("t", "write").toString(),
              base + "/services/oauth/authorize?oauth_token=t&perms=write");
}

TEST(OFContextURLs, PhotoFileAndPageURLs) {
    OFFlickrAPIContext context("KEY", "SECRET");
    const auto photoURL = [&](const QString& source, const QVariantMap& photo, const QString& size) {
        context.setPhotoSource(source);
        return context.photoSourceURLFromDictionarySize(photo, size).toString();
    };
    QVariantMap photo{{"id", "456"}, {"secret", "abc"}, {"server", "123"}, {"farm", "5"}};
    const QString cdn = "https://staticflickr.com/";
    EXPECT_EQ(photoURL(cdn, photo, "b"), "https://farm5.staticflickr.com/123/456_abc_b.jpg");
    EXPECT_EQ(photoURL(cdn, photo, ""), "https://farm5.staticflickr.com/123/456_abc.jpg");
    // An address cannot take a farm sub-domain; the port stays.
    EXPECT_EQ(photoURL("http://127.0.0.1:8123/", photo, "o"), "http://127.0.0.1:8123/123/456_abc_o.jpg");
    photo.remove("farm");
    EXPECT_EQ(photoURL(cdn, photo, "s"), "https://staticflickr.com/123/456_abc_s.jpg");
    // Answers from the network may lack fields: no URL rather than a stop.
    photo.remove("secret");
    EXPECT_TRUE(photoURL(cdn, photo, "s").isEmpty());

    context.setPhotoWebPageSource("https://www.flickr.com/photos/");
    EXPECT_EQ(context.photoWebPageURLFromDictionary({{"owner", "12@N0"}, {"id", "99"}}).toString(),
              "https://www.flickr.com/photos/12@N0/99");
    context.setAuthEndpoint("https://www.flickr.com/services/auth/");
    EXPECT_EQ(context.loginURLFromFrobDictionaryRequestedPermission({{"frob", QVariantMap{{"_text", "F1"}}}}, "read")
                  .toString(),
              "https://www.flickr.com/services/auth/?api_key=KEY&frob=F1&perms=read&api_sig=" +
                  md5("SECRETapi_keyKEYfrobF1permsread"));
}
