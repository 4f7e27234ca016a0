// Signing in: OAuth parameters in an Authorization header, and sign-in with a code.
#include "ClientRecorder.h"
#include "Server.h"
#include "ServiceClient.h"

#include <QRegularExpression>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace fakeflickr;
using fftest::Args;
using fftest::Reply;

namespace {

class SignIn : public ::testing::Test {
protected:
    void SetUp() override {
        Options options;
        options.photos = 300;
        options.seed = 41;
        server = std::make_unique<Server>(options);
        ASSERT_TRUE(server->listen());
        qputenv("TESSALY_FLICKR_ENDPOINT", server->baseUrl().toUtf8());
        const auto token = server->issueAccessToken("write");
        creds = {options.apiKey, options.sharedSecret, token.token, token.secret};
        for (int i = 0; privateId.isEmpty(); ++i)
            if (!server->photostream().isPublicAt(i) && !server->photostream().exifFor(server->photostream().photoAt(i).id).isEmpty())
                privateId = server->photostream().photoAt(i).idText();
    }
    void TearDown() override { qunsetenv("TESSALY_FLICKR_ENDPOINT"); }

    QString rest() const { return server->baseUrl() + "/services/rest/"; }
    // A REST call with its OAuth parameters in the header and the rest in the query or body.
    Reply headerCall(Args args, const QString& http = "GET", const QString& realm = {},
                     const std::function<void(Args&)>& tamper = {}) {
        Args all = fftest::oauthSigned(args, http, rest(), creds);
        if (tamper)
            tamper(all);
        const QByteArray header = fftest::takeOAuthHeader(&all, realm);
        if (http == "POST")
            return fftest::post(rest(), fftest::encodeQuery(all), 5000, {{"Authorization", header}});
        return fftest::get(rest() + "?" + fftest::encodeQuery(all), 5000, {{"Authorization", header}});
    }
    static QString stat(const Reply& r) {
        return QString::fromUtf8(r.body).section("stat=\"", 1).section('"', 0, 0);
    }
    static QString errorCode(const Reply& r) {
        return QString::fromUtf8(r.body).section("code=\"", 1).section('"', 0, 0);
    }

    std::unique_ptr<Server> server;
    fftest::Credentials creds;
    QString privateId;
};

} // namespace

TEST_F(SignIn, OAuthParametersInTheHeaderAreSignedAndCountAsTheOwner) {
    // The owner's token in the header shows a private picture's EXIF.
    const Reply exif = headerCall({{"method", "flickr.photos.getExif"}, {"photo_id", privateId}}, "GET", "http://127.0.0.1/");
    EXPECT_EQ(stat(exif), "ok") << exif.body.constData();
    EXPECT_TRUE(headerCall({{"method", "flickr.photos.getExif"}, {"photo_id", privateId}}).body.contains("stat=\"ok\""));
    const Reply write = headerCall({{"method", "flickr.photos.setMeta"}, {"photo_id", privateId}, {"title", "a b~c&d"}}, "POST");
    EXPECT_EQ(stat(write), "ok") << write.body.constData();
    EXPECT_EQ(server->photo(privateId)->title, "a b~c&d");
    ASSERT_EQ(server->calls().size(), 3);
    EXPECT_FALSE(server->calls()[0].args.contains("oauth_token"));

    // Header values, query values and body values are all part of the signature.
    EXPECT_EQ(errorCode(headerCall({{"method", "flickr.test.login"}}, "GET", {}, [](Args& a) { a["oauth_nonce"] += "x"; })), "96");
    EXPECT_EQ(errorCode(headerCall({{"method", "flickr.test.login"}, {"x", "1"}}, "GET", {}, [](Args& a) { a["x"] = "2"; })), "96");
    EXPECT_EQ(errorCode(headerCall({{"method", "flickr.photos.setMeta"}, {"photo_id", privateId}, {"title", "t"}}, "POST", {},
                                   [](Args& a) { a["title"] = "u"; })),
              "96");
    // Without its token secret in the key, the header's token is refused as well.
    auto wrong = creds;
    wrong.tokenSecret = "0";
    std::swap(creds, wrong);
    EXPECT_EQ(errorCode(headerCall({{"method", "flickr.test.login"}})), "96");
    std::swap(creds, wrong);
    EXPECT_EQ(server->calls().size(), 3);
}

TEST_F(SignIn, TokenEndpointsTakeTheHeaderToo) {
    const QString endpoint = server->baseUrl() + "/services/oauth/request_token";
    Args args = fftest::oauthSigned({{"oauth_callback", "oob"}}, "GET", endpoint, {creds.apiKey, creds.sharedSecret, "", ""});
    const QByteArray header = fftest::takeOAuthHeader(&args, "");
    ASSERT_TRUE(args.isEmpty());
    const Reply token = fftest::get(endpoint, 5000, {{"Authorization", header}});
    EXPECT_EQ(token.status, 200) << token.body.constData();
    EXPECT_TRUE(token.body.startsWith("oauth_callback_confirmed=true&oauth_token="));
    Reply bad = fftest::get(endpoint, 5000, {{"Authorization", QByteArray(header).replace("oauth_callback=\"oob\"", "oauth_callback=\"x\"")}});
    EXPECT_EQ(bad.status, 401);
    EXPECT_TRUE(bad.body.contains("signature_invalid"));
}

TEST_F(SignIn, ACodeTakesThePlaceOfTheCallback) {
    auto context = std::make_shared<OFFlickrAPIContext>(creds.apiKey, creds.sharedSecret);
    fftest::ClientCall client(context);
    ASSERT_TRUE(client.request().fetchOAuthRequestTokenWithCallbackURL(QUrl("oob")));
    ASSERT_TRUE(client.recorder.wait());
    ASSERT_FALSE(client.recorder.failed);
    const QString requestToken = client.recorder.token;
    context->setOAuthToken(requestToken);
    context->setOAuthTokenSecret(client.recorder.secret);

    // The page shows the code instead of sending the browser back.
    const Reply page = fftest::get(context->userAuthorizationURLWithRequestTokenRequestedPermission(requestToken, "read").toString());
    ASSERT_EQ(page.status, 200);
    EXPECT_TRUE(page.location.isEmpty());
    EXPECT_TRUE(page.contentType.startsWith("text/html"));
    const auto m = QRegularExpression("id=\"verifier\">(\\d{3}-\\d{3}-\\d{3})<").match(QString::fromUtf8(page.body));
    ASSERT_TRUE(m.hasMatch()) << page.body.constData();
    const QString code = m.captured(1);

    // Only the code as shown is accepted; a wrong one leaves the request token usable.
    const QString otherDigits = QString::number((code.left(3).toInt() + 1) % 1000).rightJustified(3, '0') + code.mid(3);
    for (const QString& wrong : {QString(code).remove('-'), otherDigits}) {
        client.recorder.reset();
        ASSERT_TRUE(client.request().fetchOAuthAccessTokenWithRequestTokenVerifier(requestToken, wrong));
        ASSERT_TRUE(client.recorder.wait());
        EXPECT_TRUE(client.recorder.failed) << wrong.toStdString();
        EXPECT_EQ(client.recorder.error.code, OFFlickrAPIRequestOAuthError);
    }
    client.recorder.reset();
    ASSERT_TRUE(client.request().fetchOAuthAccessTokenWithRequestTokenVerifier(requestToken, code));
    ASSERT_TRUE(client.recorder.wait());
    ASSERT_FALSE(client.recorder.failed);
    context->setOAuthToken(client.recorder.token);
    context->setOAuthTokenSecret(client.recorder.secret);
    ASSERT_TRUE(client.run("flickr.photos.getPerms", {{"photo_id", privateId}}));
    EXPECT_EQ(client.at("perms.ispublic").toString(), "0");

    // A browser callback still redirects with a verifier of its own kind.
    Args args = fftest::oauthSigned({{"oauth_callback", "tessaly://callback"}}, "GET",
                                    server->baseUrl() + "/services/oauth/request_token", {creds.apiKey, creds.sharedSecret, "", ""});
    const QUrlQuery other(QString::fromUtf8(fftest::get(server->baseUrl() + "/services/oauth/request_token?" + fftest::encodeQuery(args)).body));
    const Reply redirect = fftest::get(server->baseUrl() + "/services/oauth/authorize?oauth_token=" + other.queryItemValue("oauth_token"));
    ASSERT_EQ(redirect.status, 302);
    const QString verifier = QUrlQuery(QUrl(QString::fromUtf8(redirect.location))).queryItemValue("oauth_verifier");
    EXPECT_FALSE(verifier.isEmpty());
    EXPECT_FALSE(QRegularExpression("^\\d{3}-\\d{3}-\\d{3}$").match(verifier).hasMatch());
}
