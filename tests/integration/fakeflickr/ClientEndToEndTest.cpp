// Tessaly's Flickr client against the stand-in service, end to end.
#include "ClientRecorder.h"
#include "OFUtilities.h"
#include "OFXMLMapper.h"
#include "Server.h"
#include "ServiceClient.h"

#include <QScopeGuard>

#include <gtest/gtest.h>

using namespace fakeflickr;

namespace {

using fftest::Recorder;

class ClientEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        Options options;
        options.photos = 1234;
        options.seed = 21;
        server = std::make_unique<Server>(options);
        ASSERT_TRUE(server->listen());
        qputenv("TESSALY_FLICKR_ENDPOINT", server->baseUrl().toUtf8());
        access = server->issueAccessToken("write");
        request = makeRequest(options.apiKey, options.sharedSecret, access.token, access.secret);
    }
    void TearDown() override { qunsetenv("TESSALY_FLICKR_ENDPOINT"); }

    std::unique_ptr<OFFlickrAPIRequest> makeRequest(const QString& key, const QString& secret, const QString& token,
                                                    const QString& tokenSecret) {
        auto context = std::make_shared<OFFlickrAPIContext>(key, secret);
        if (!token.isNull()) {
            context->setOAuthToken(token);
            context->setOAuthTokenSecret(tokenSecret);
        }
        auto r = std::make_unique<OFFlickrAPIRequest>(context);
        r->setDelegate(&recorder);
        return r;
    }
    // Calls and waits; true when the call completed with stat="ok".
    bool get(OFFlickrAPIRequest& r, const QString& method, const QVariantMap& args = {}) {
        recorder.reset();
        EXPECT_TRUE(r.callAPIMethodWithGETArguments(method, args));
        EXPECT_TRUE(recorder.wait());
        return recorder.done && !recorder.failed;
    }
    bool post(OFFlickrAPIRequest& r, const QString& method, const QVariantMap& args = {}) {
        recorder.reset();
        EXPECT_TRUE(r.callAPIMethodWithPOSTArguments(method, args));
        EXPECT_TRUE(recorder.wait());
        return recorder.done && !recorder.failed;
    }
    QString id(int index) const { return server->photostream().photoAt(index).idText(); }

    std::unique_ptr<Server> server;
    Server::Token access;
    Recorder recorder;
    std::unique_ptr<OFFlickrAPIRequest> request;
};

} // namespace

TEST_F(ClientEndToEnd, SignedCallsAreAcceptedAndTheStreamPagesThrough) {
    ASSERT_TRUE(get(*request, "flickr.test.login"));
    EXPECT_EQ(OFValueForKeyPath(recorder.response, "user.username._text").toString(), "tessaly_demo");

    const QVariantMap page{{"api_key", server->options().apiKey}, {"user_id", "me"}, {"per_page", "500"},
                           {"extras", "description, license, date_upload, url_sq, url_l, url_o"}};
    QStringList sizes;
    for (int p = 1; p <= 3; ++p) {
        QVariantMap args = page;
        args["page"] = QString::number(p);
        ASSERT_TRUE(get(*request, "flickr.people.getPhotos", args));
        EXPECT_EQ(OFValueForKeyPath(recorder.response, "photos.pages").toString(), "3");
        sizes << QString::number(OFValueForKeyPath(recorder.response, "photos.photo").toList().size());
    }
    EXPECT_EQ(sizes, QStringList({"500", "500", "234"}));

    // Values with every escaping quirk, by POST and by GET.
    const QString title = QString::fromUtf8("a~b c&d=e \"q\" \\\" é/東京+%*'()");
    ASSERT_TRUE(post(*request, "flickr.photos.setMeta", {{"api_key", server->options().apiKey}, {"photo_id", id(2)}, {"title", title}, {"description", "line\nbreak"}}))
        << recorder.error.failureReason.toStdString();
    EXPECT_EQ(server->photo(id(2))->title, title);
    EXPECT_EQ(server->photo(id(2))->description, "line\nbreak");
    ASSERT_TRUE(get(*request, "flickr.photos.getPerms", {{"photo_id", id(2)}, {"note", title}}));
    EXPECT_EQ(server->writeCalls().size(), 1);
    EXPECT_EQ(server->writeCalls()[0].args.value("title"), title);
}

TEST_F(ClientEndToEnd, TamperedOrForeignCredentialsAreRefused) {
    const QString key = server->options().apiKey, secret = server->options().sharedSecret;
    const auto expectFlickrError = [&](OFFlickrAPIRequest& r, qint64 code, const QString& reason) {
        EXPECT_FALSE(get(r, "flickr.test.login"));
        EXPECT_EQ(recorder.error.domain, OFFlickrAPIReturnedErrorDomain);
        EXPECT_EQ(recorder.error.code, code);
        EXPECT_EQ(recorder.error.failureReason, reason);
    };
    auto wrongSecret = makeRequest(key, secret, access.token, access.secret + "0");
    expectFlickrError(*wrongSecret, 96, "Invalid signature");
    auto wrongShared = makeRequest(key, "0" + secret, access.token, access.secret);
    expectFlickrError(*wrongShared, 96, "Invalid signature");
    auto unknownToken = makeRequest(key, secret, "72157000000000000-0000000000000000", access.secret);
    expectFlickrError(*unknownToken, 98, "Invalid auth token");
    auto wrongKey = makeRequest("0000", secret, access.token, access.secret);
    expectFlickrError(*wrongKey, 100, "Invalid API Key (Key not found)");

    // Without a token the client signs the legacy way, which is accepted for public methods.
    auto legacy = makeRequest(key, secret, QString(), QString());
    ASSERT_TRUE(get(*legacy, "flickr.urls.getUserProfile", {{"api_key", key}}));
    EXPECT_EQ(OFValueForKeyPath(recorder.response, "user.url").toString(), server->baseUrl() + "/people/tessaly_demo/");
    expectFlickrError(*legacy, 99, "Insufficient permissions. Method requires read privileges; none granted.");
}

TEST_F(ClientEndToEnd, AuthorizationThroughTheBrowserStep) {
    auto context = std::make_shared<OFFlickrAPIContext>(server->options().apiKey, server->options().sharedSecret);
    OFFlickrAPIRequest r(context);
    r.setDelegate(&recorder);
    ASSERT_TRUE(r.fetchOAuthRequestTokenWithCallbackURL(QUrl("tessaly://callback")));
    ASSERT_TRUE(recorder.wait());
    ASSERT_FALSE(recorder.failed) << recorder.error.userInfo.value("OAuthError").toString().toStdString();
    context->setOAuthToken(recorder.token);
    context->setOAuthTokenSecret(recorder.secret);

    // The browser step: the authorize page approves at once and redirects to the callback.
    const QUrl authorize = context->userAuthorizationURLWithRequestTokenRequestedPermission(recorder.token, "write");
    const auto page = fftest::get(authorize.toString());
    ASSERT_EQ(page.status, 302);
    QString token, verifier;
    ASSERT_TRUE(OFExtractOAuthCallback(QUrl(QString::fromUtf8(page.location)), QUrl("tessaly://callback"), &token, &verifier));

    recorder.reset();
    ASSERT_TRUE(r.fetchOAuthAccessTokenWithRequestTokenVerifier(token, "bad" + verifier));
    ASSERT_TRUE(recorder.wait());
    EXPECT_EQ(recorder.error.code, OFFlickrAPIRequestOAuthError);
    EXPECT_TRUE(recorder.error.userInfo.value(OFFlickrAPIRequestOAuthErrorUserInfoKey).toString().contains("oauth_problem"));

    recorder.reset();
    ASSERT_TRUE(r.fetchOAuthAccessTokenWithRequestTokenVerifier(token, verifier));
    ASSERT_TRUE(recorder.wait());
    ASSERT_FALSE(recorder.failed) << recorder.error.userInfo.value("OAuthError").toString().toStdString();
    EXPECT_EQ(recorder.identity, QStringList({"Tessaly%20Demo", "tessaly_demo", QUrl::toPercentEncoding(server->userNsid())}));
    context->setOAuthToken(recorder.token);
    context->setOAuthTokenSecret(recorder.secret);

    ASSERT_TRUE(get(r, "flickr.test.login"));
    ASSERT_TRUE(post(r, "flickr.photos.setTags", {{"photo_id", id(0)}, {"tags", "one \"two words\""}}));
    EXPECT_EQ(server->photo(id(0))->rawTags, QStringList({"one", "two words"}));
}

TEST_F(ClientEndToEnd, EveryFaultKindFailsTheWayItPromises) {
    // Each fault shows as it is, without the retries that would wait it out.
    const OFRetryPolicy saved = OFFlickrAPIRequest::retryPolicy();
    OFFlickrAPIRequest::retryPolicy().attempts = 1;
    const auto restore = qScopeGuard([&] { OFFlickrAPIRequest::retryPolicy() = saved; });
    ASSERT_TRUE(server->addFault("stall:flickr.people.getPhotos@page=2"));
    ASSERT_TRUE(server->addFault("drop:flickr.photos.getPerms"));
    ASSERT_TRUE(server->addFault("http500:flickr.photosets.getList"));
    ASSERT_TRUE(server->addFault("malformed:flickr.test.login"));
    ASSERT_TRUE(server->addFault("error:flickr.photos.getExif@photo=" + id(4) + ":2"));

    request->setRequestTimeoutInterval(1.0);
    EXPECT_FALSE(get(*request, "flickr.people.getPhotos", {{"user_id", "me"}, {"page", "2"}}));
    EXPECT_EQ(recorder.error.code, OFFlickrAPIRequestTimeoutError);
    EXPECT_TRUE(get(*request, "flickr.people.getPhotos", {{"user_id", "me"}, {"page", "3"}}));

    EXPECT_FALSE(get(*request, "flickr.photos.getPerms", {{"photo_id", id(1)}}));
    EXPECT_EQ(recorder.error.code, OFFlickrAPIRequestConnectionError);
    EXPECT_FALSE(get(*request, "flickr.photosets.getList"));
    EXPECT_EQ(recorder.error.code, OFFlickrAPIRequestFaultyXMLResponseError);
    EXPECT_FALSE(get(*request, "flickr.test.login"));
    EXPECT_EQ(recorder.error.code, OFFlickrAPIRequestFaultyXMLResponseError);

    EXPECT_FALSE(get(*request, "flickr.photos.getExif", {{"photo_id", id(4)}}));
    EXPECT_EQ(recorder.error.domain, OFFlickrAPIReturnedErrorDomain);
    EXPECT_EQ(recorder.error.code, 2);
    EXPECT_TRUE(get(*request, "flickr.photos.getExif", {{"photo_id", id(5)}}));
}
