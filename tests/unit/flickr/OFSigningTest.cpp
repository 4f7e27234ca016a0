// Digests, escapes, request signing, endpoints and URLs of the Flickr client.
// Expected values are derived here by hand from the signing rules, apart from the library's helpers.
#include "LFHTTPRequest.h"
#include "OFFlickrAPIContext.h"
#include "OFFlickrHosts.h"
#include "OFUtilities.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString md5(const QString& text) { return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex(); }
QString hmacBase64(const QString& key, const QString& data) {
    return QMessageAuthenticationCode::hash(data.toUtf8(), key.toUtf8(), QCryptographicHash::Sha1).toBase64();
}
OFFlickrAPIContext pinnedContext(const QString& token) {
    OFFlickrAPIContext context("ckey", "csecret");
    context.setClock([] { return quint64(1700000000); });
    context.setNonceSource([] { return QStringLiteral("ABCDEF12"); });
    context.setOAuthToken(token);
    return context;
}
const QUrl kRest("https://api.flickr.com/services/rest/");
} // namespace

TEST(OFLegacySigning, SortedQueryWithMD5SignatureLast) {
    OFFlickrAPIContext context("KEY", "SECRET");
    context.setAuthToken("TOK");
    const QVariantMap args{{"method", "m.x"}, {"per_page", 5}, {"text", "a&b c"}, {"Zoom", "z"}};
    // Ordinal order puts "Zoom" first; the signed text is the secret, then names and raw values run together.
    EXPECT_EQ(context.signedQueryFromArguments(args),
              "Zoom=z&api_key=KEY&auth_token=TOK&method=m.x&per_page=5&text=a%26b%20c&api_sig=" +
                  md5("SECRETZoomzapi_keyKEYauth_tokenTOKmethodm.xper_page5texta&b c"));
    const auto raw = context.signedArgumentComponentsFromArgumentsUseURIEscape(args, false);
    EXPECT_EQ(raw.value(5), qMakePair(QString("text"), QString("a&b c")));
    EXPECT_EQ(OFFlickrAPIContext("", "").signedQueryFromArguments({{"method", "m"}}),
              "method=m&api_sig=" + md5("methodm"));
}

TEST(OFOAuthSigning, GETURLForPinnedClockAndNonce) {
    OFFlickrAPIContext context = pinnedContext("tok");
    context.setOAuthTokenSecret("tsecret");
    const QVariantMap args{{"method", "flickr.test.echo"}, {"text", QString::fromUtf8("a~b c&d=é")}};
    // Values escaped once (a~b%20c%26d%3D%C3%A9), then the whole parameter text once more: "=" %3D, "&" %26, "%" %25.
    const QString base = "GET&https%3A%2F%2Fapi.flickr.com%2Fservices%2Frest%2F&"
                         "method%3Dflickr.test.echo%26oauth_consumer_key%3Dckey%26oauth_nonce%3DABCDEF12"
                         "%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1700000000%26oauth_token%3Dtok"
                         "%26oauth_version%3D1.0%26text%3Da~b%2520c%2526d%253D%25C3%25A9";
    const QString sig = hmacBase64("csecret&tsecret", base).replace("+", "%2B").replace("/", "%2F").replace("=", "%3D");
    EXPECT_EQ(context.oauthURLStringFromBaseURLMethodArguments(kRest, "GET", args),
              "https://api.flickr.com/services/rest/?method=flickr.test.echo&oauth_consumer_key=ckey"
              "&oauth_nonce=ABCDEF12&oauth_signature=" + sig + "&oauth_signature_method=HMAC-SHA1"
              "&oauth_timestamp=1700000000&oauth_token=tok&oauth_version=1.0&text=a~b%20c%26d%3D%C3%A9");
}

TEST(OFOAuthSigning, TokenRules) {
    // A token in the arguments wins; no token, no "oauth_token"; a token held as empty text is still sent.
    EXPECT_EQ(pinnedContext("context-token")
                  .signedOAuthHTTPQueryArgumentsBaseURLMethod({{"oauth_token", "request-token"}}, kRest, "POST")
                  .value("oauth_token"),
              "request-token");
    OFFlickrAPIContext live("k", "s");
    EXPECT_FALSE(live.signedOAuthHTTPQueryArgumentsBaseURLMethod({}, kRest, "GET").contains("oauth_token"));
    live.setOAuthToken("");
    live.setOAuthTokenSecret("");
    const QVariantMap emptyToken = live.signedOAuthHTTPQueryArgumentsBaseURLMethod({}, kRest, "GET");
    EXPECT_EQ(emptyToken.value("oauth_token"), QString(""));
    // The default nonce and clock are live.
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}$").match(emptyToken.value("oauth_nonce").toString()).hasMatch());
    EXPECT_LE(std::abs(emptyToken.value("oauth_timestamp").toLongLong() - QDateTime::currentSecsSinceEpoch()), 5);
}

TEST(OFFlickrHosts, OverrideReplacesSchemeHostAndPortOnlyWithAWebAddress) {
    EXPECT_EQ(OFFlickrHostBaseWithOverride(OFFlickrHost::API, ""), "https://api.flickr.com");
    EXPECT_EQ(OFFlickrHostBaseWithOverride(OFFlickrHost::Upload, "http://127.0.0.1:8123/x?y"), "http://127.0.0.1:8123");
    EXPECT_EQ(OFFlickrHostBaseWithOverride(OFFlickrHost::Web, "ftp://127.0.0.1"), "https://www.flickr.com");
    const OFFlickrAPIContext context("k", "s");
    EXPECT_EQ(context.userAuthorizationURLWithRequestTokenRequestedPermission("t", "").toString(),
              OFFlickrHostBase(OFFlickrHost::Web) + "/services/oauth/authorize?oauth_token=t");
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
}

TEST(OFHMACSHA1, MatchesAKnownVectorAndQtAroundTheBlockSize) {
    EXPECT_EQ(OFHMACSHA1Base64Signature("Jefe", "what do ya want for nothing?"), "7/zfauXrL6LSdBbV8YTfnCWafHk=");
    // A 64-byte key is used as is, 65 bytes are hashed first.
    for (int length : {0, 63, 64, 65, 200}) {
        const QByteArray key(length, 'k');
        EXPECT_EQ(OFHMACSHA1Digest(key, "data"),
                  QMessageAuthenticationCode::hash("data", key, QCryptographicHash::Sha1)) << length;
    }
    EXPECT_EQ(OFHMACSHA1Base64Signature(QString::fromUtf8("clé"), "Jefe"),
              QMessageAuthenticationCode::hash("Jefe", "cl\xc3\xa9", QCryptographicHash::Sha1).toBase64());
}

TEST(OFDigests, MD5StopsAtNulAndUUIDIsUpperCase) {
    EXPECT_EQ(OFMD5HexDigest(QString::fromUtf8("abc\0def", 7)), "900150983cd24fb0d6963f7d28e17f72");
    const QString uuid = OFNewUUIDString();
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$").match(uuid).hasMatch());
    EXPECT_NE(uuid, OFNewUUIDString());
}

TEST(OFEscape, ThreeStrengthsUTF8BytesAndTheFormEncoder) {
    const QString marks = "-_.!~*'();/?:@&=+$,";
    EXPECT_EQ(OFEscapeURLString("aZ09" + marks), "aZ09" + marks);
    EXPECT_EQ(OFEscapeURLString(" %#[]\"<>\\^`{|}\n"), "%20%25%23%5B%5D%22%3C%3E%5C%5E%60%7B%7C%7D%0A");
    EXPECT_EQ(OFEscapeURLComponent("a&b=c~d e"), "a%26b=c~d%20e");
    // OAuth: only letters, digits, "-", ".", "_" and "~" stay.
    EXPECT_EQ(OFEscapeOAuthComponent("aZ09-._~ &=%"), "aZ09-._~%20%26%3D%25");
    EXPECT_EQ(OFEscapeOAuthComponent("!*'();/?:@+$,"), "%21%2A%27%28%29%3B%2F%3F%3A%40%2B%24%2C");
    EXPECT_EQ(OFEscapeURLComponentWithChars("a~b", "~"), "a%7Eb");
    for (const auto escape : {OFEscapeURLString, OFEscapeURLComponent, OFEscapeOAuthComponent})
        EXPECT_EQ(escape(QString::fromUtf8("é€😀")), "%C3%A9%E2%82%AC%F0%9F%98%80");

    EXPECT_EQ(QStringList({OFTextForm(qlonglong(-1234567890123)), OFTextForm(2.5), OFTextForm(1e20)}),
              QStringList({"-1234567890123", "2.5", "100000000000000000000"}));
    EXPECT_EQ(dataAsWWWURLEncodedFormFromDictionary({{"b", "x y"}, {"a", "1&2=3+4"}, {"c", 7}}),
              "a=1%262%3D3%2B4&b=x%20y&c=7");
}

TEST(OFOAuthCallback, QueriesSplitAsAWholeAndOnlyTheBaseCallbackWithBothValuesCounts) {
    const auto parsed = OFDictionaryFromQueryString("a=1&b=%20x&a=2&empty=");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, (QMap<QString, QString>{{"a", "2"}, {"b", "%20x"}, {"empty", ""}}));
    for (const char* bad : {"", "a=1&b", "a=1=2", "a=1&", "&a=1", "oauth_problem"})
        EXPECT_FALSE(OFDictionaryFromQueryString(bad)) << bad;

    const QUrl cb("tessaly://callback");
    QString t, v;
    EXPECT_TRUE(OFExtractOAuthCallback(QUrl("tessaly://callback?oauth_token=72-a%2Fc&oauth_verifier=5d"), cb, &t, &v));
    EXPECT_EQ(QStringList({t, v}), QStringList({"72-a%2Fc", "5d"}));
    for (const char* url : {"tessaly://callback?oauth_token=t", "tessaly://callback?oauth_verifier=v",
                            "tessaly://callback", "tessaly://callback?",
                            "tessaly://callbackx?oauth_token=t&oauth_verifier=v",
                            "other://callback?oauth_token=t&oauth_verifier=v",
                            "tessaly://callback?oauth_token=t&oauth_verifier"}) {
        t = v = "kept";
        EXPECT_FALSE(OFExtractOAuthCallback(QUrl(url), cb, &t, &v)) << url;
        EXPECT_EQ(t + v, "keptkept");
    }
}

TEST(OFProgrammingErrorDeathTest, MissingOutParameterOrAnEmptyReadBuffer) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QString out;
    const QUrl url("tessaly://callback?oauth_token=t&oauth_verifier=v");
    EXPECT_DEATH(OFExtractOAuthCallback(url, url, nullptr, &out), "outRequestToken cannot be nil");
    EXPECT_DEATH(OFExtractOAuthCallback(url, url, &out, nullptr), "outVerifier cannot be nil");
    EXPECT_DEATH(LFHTTPRequest().setReadBufferSize(0), "Read buffer size must > 0");
}
