// OFFlickrAPIRequest against a scripted server on 127.0.0.1: how answers become completions or errors, the token
// exchanges and uploads. Every signature on the wire is checked by the stand-in service in the integration tests.
#include "OFFlickrAPIRequest.h"
#include "LocalHttpServer.h"
#include "OFXMLMapper.h"

#include <QBuffer>
#include <QFile>
#include <QScopeGuard>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct RecordingDelegate : OFFlickrAPIRequestDelegate {
    QStringList events; // a token exchange notes its fields
    QVariantMap response;
    OFError err;
    QPair<quint32, quint32> progress;
    std::function<void(OFFlickrAPIRequest*)> onComplete;

    void flickrAPIRequestDidCompleteWithResponse(OFFlickrAPIRequest* r, const QVariantMap& rsp) override {
        events << "complete";
        response = rsp;
        if (onComplete)
            onComplete(r);
    }
    void flickrAPIRequestDidFailWithError(OFFlickrAPIRequest*, const OFError& e) override { events << "fail", err = e; }
    void flickrAPIRequestImageUploadSentBytesTotalBytes(OFFlickrAPIRequest*, quint32 sent, quint32 total) override {
        progress = {sent, total};
    }
    void flickrAPIRequestDidObtainOAuthRequestTokenSecret(OFFlickrAPIRequest*, const QString& token,
                                                          const QString& secret) override {
        events << QStringList{"requestToken", token, secret}.join(' ');
    }
    void flickrAPIRequestDidObtainOAuthAccessTokenSecretUserFullNameUserNameUserNSID(
        OFFlickrAPIRequest*, const QString& token, const QString& secret, const QString& fullName,
        const QString& userName, const QString& nsid) override {
        events << QStringList{"accessToken", token, secret, fullName, userName, nsid}.join(' ');
    }
};

class OFFlickrAPIRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QByteArray saved = qgetenv("TESSALY_FLICKR_ENDPOINT");
        qputenv("TESSALY_FLICKR_ENDPOINT", server.url().toString(QUrl::RemovePath).toUtf8());
        context = std::make_shared<OFFlickrAPIContext>("ckey", "csecret");
        qputenv("TESSALY_FLICKR_ENDPOINT", saved);
        request = std::make_unique<OFFlickrAPIRequest>(context);
        request->setDelegate(&delegate);
        request->setRequestTimeoutInterval(0.5);
    }
    // Waits for the callback of a call that started; the delegate is reset first.
    bool finish(const std::function<bool()>& start) {
        delegate = RecordingDelegate();
        return start() && QTest::qWaitFor([&] { return !delegate.events.isEmpty(); }, 5000);
    }
    bool get(const QString& method) { return finish([&] { return request->callAPIMethodWithGETArguments(method); }); }
    void answer(int status, const QByteArray& body) { server.setHandler(LocalHttpServer::respond(status, body)); }
    const LocalHttpRequest& lastSeen() const { return server.requests().last(); }

    LocalHttpServer server;
    std::shared_ptr<OFFlickrAPIContext> context;
    std::unique_ptr<OFFlickrAPIRequest> request;
    RecordingDelegate delegate;
};

} // namespace

TEST_F(OFFlickrAPIRequestTest, ATokenWithoutSecretSignsTheLegacyWayAndStatOkCompletesWhateverTheHTTPStatus) {
    context->setOAuthToken("atoken");
    context->setAuthToken("legacy");
    answer(500, "<?xml version=\"1.0\"?><rsp stat=\"ok\"><photos total=\"3\"/></rsp>");
    request->setSessionInfo("CountPhotos");
    ASSERT_TRUE(
        finish([&] { return request->callAPIMethodWithPOSTArguments("flickr.photos.setTags", {{"tags", "a b"}}); }));
    EXPECT_EQ(lastSeen().method + " " + lastSeen().target + " " + lastSeen().header("Content-Type"),
              "POST /services/rest/ application/x-www-form-urlencoded");
    EXPECT_TRUE(lastSeen().body.startsWith("api_key=ckey&auth_token=legacy&method=flickr.photos.setTags&tags=a%20b"
                                           "&api_sig="));
    EXPECT_EQ(delegate.events, QStringList{"complete"});
    EXPECT_EQ(OFValueForKeyPath(delegate.response, "photos.total"), "3");
    EXPECT_EQ(request->sessionInfo(), "CountPhotos");
}

TEST_F(OFFlickrAPIRequestTest, FlickrErrorsUnusableAnswersNetworkFailuresAndOverlongAnswersFail) {
    // Each failure is the last of its attempts.
    const OFRetryPolicy saved = OFFlickrAPIRequest::retryPolicy();
    OFFlickrAPIRequest::retryPolicy().attempts = 1;
    const auto restore = qScopeGuard([&] { OFFlickrAPIRequest::retryPolicy() = saved; });
    const QString faulty = "The operation couldn't be completed. (org.quorvel.Aperkit error 2147418115.)";
    const QByteArray announced = "HTTP/1.1 200 OK\r\nContent-Length: ";
    const auto answering = [](const QByteArray& body) { return LocalHttpServer::respond(200, body); };
    const struct {
        LocalHttpServer::Handler handler;
        qint64 code; // 98 and 1 are Flickr's own, the rest the library's
        QString description;
    } cases[] = {
        {answering("<rsp stat=\"fail\"><err code=\"98\" msg=\"Invalid auth token\"/></rsp>"), 98, "Invalid auth token"},
        {answering("<rsp stat=\"fail\"><err code=\"1\"/></rsp>"), 1,
         "The operation couldn't be completed. (com.flickr error 1.)"},
        {answering("<!DOCTYPE html><html><body><h1>502 Bad Gateway<br></h1></body></html>"), 2147418115, faulty},
        {answering("<rsp stat=\"fail\"><err msg=\"no code\"/></rsp>"), 2147418115, faulty},
        {answering("<rsp><photo id=\"1\"><id/></photo></rsp>"), 2147418115, faulty}, // unmappable
        {answering("<html><body>ok</body></html>"), 2147418115, faulty},
        // 64 MiB are still taken; a byte more is given up at once.
        {LocalHttpServer::writeThenDrop(announced + "67108864\r\n\r\n<rsp"), 2147418113, "Network connection error"},
        {LocalHttpServer::writeThenStall(announced + "67108865\r\n\r\n<rsp"), 2147418117,
         "Flickr's answer grew past 64 MiB, far beyond any real answer; the call was given up."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description.toStdString() + " " + std::to_string(&c - cases));
        server.setHandler(c.handler);
        ASSERT_TRUE(get("flickr.test.echo"));
        EXPECT_EQ(delegate.events, QStringList{"fail"});
        EXPECT_EQ(delegate.err.domain, c.code < 100 ? OFFlickrAPIReturnedErrorDomain : OFFlickrAPIRequestErrorDomain);
        EXPECT_EQ(delegate.err.code, c.code);
        EXPECT_EQ(delegate.err.localizedDescription(), c.description);
        EXPECT_FALSE(request->isRunning());
    }
}

TEST_F(OFFlickrAPIRequestTest, CallWhileRunningIsRefusedAndCancelIsSilent) {
    server.setHandler(LocalHttpServer::writeThenStall());
    ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.one"));
    EXPECT_FALSE(request->callAPIMethodWithPOSTArguments("flickr.two"));
    EXPECT_FALSE(request->fetchOAuthRequestTokenWithCallbackURL(QUrl("tessaly://callback")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests().size() == 1; }, 5000));
    request->cancel();
    EXPECT_FALSE(request->isRunning());
    QTest::qWait(1200); // past the stall limit
    EXPECT_TRUE(delegate.events.isEmpty());

    // The next call starts from inside the callback of the one before.
    server.setHandler(LocalHttpServer::answerWith([](const LocalHttpRequest& r) {
        const QByteArray stage = r.target.contains("flickr.first") ? "1" : "2";
        return LocalHttpServer::response(200, "<rsp stat=\"ok\"><stage n=\"" + stage + "\"/></rsp>");
    }));
    delegate.onComplete = [&](OFFlickrAPIRequest* r) {
        delegate.onComplete = nullptr;
        EXPECT_TRUE(r->callAPIMethodWithGETArguments("flickr.second"));
    };
    ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.first"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.events.size() == 2; }, 5000));
    EXPECT_EQ(OFValueForKeyPath(delegate.response, "stage.n"), "2");
}

TEST_F(OFFlickrAPIRequestTest, TokenExchangesReportTheAnswerFieldsOrOAuthErrors) {
    const auto reqToken = [&] { return request->fetchOAuthRequestTokenWithCallbackURL(QUrl("tessaly://callback")); };
    const auto accessToken = [&] { return request->fetchOAuthAccessTokenWithRequestTokenVerifier("72157-req", "ver"); };
    answer(200, "oauth_callback_confirmed=true&oauth_token=72157-req&oauth_token_secret=s3cr3t");
    ASSERT_TRUE(finish(reqToken));
    EXPECT_EQ(delegate.events, QStringList{"requestToken 72157-req s3cr3t"});

    answer(200, "fullname=Jane%20Doe&oauth_token=acc&oauth_token_secret=accs&user_nsid=1%40N0&username=jane");
    ASSERT_TRUE(finish(accessToken));
    EXPECT_EQ(delegate.events, QStringList{"accessToken acc accs Jane%20Doe jane 1%40N0"});

    for (const QByteArray& body : {QByteArray("oauth_problem=signature_invalid"), QByteArray("oauth_token=a&junk"),
                                   QByteArray("oauth_token=acc&oauth_token_secret=accs")}) {
        answer(401, body);
        ASSERT_TRUE(finish(accessToken));
        EXPECT_EQ(delegate.events, QStringList{"fail"}) << body.constData();
        EXPECT_EQ(delegate.err.code, 2147418116);
        EXPECT_EQ(delegate.err.userInfo.value("OAuthError"), QString::fromLatin1(body));
    }
    // A failed exchange does not turn the next API call into one.
    server.setHandler(LocalHttpServer::writeThenDrop());
    ASSERT_TRUE(finish(reqToken));
    answer(200, "<rsp stat=\"ok\"/>");
    ASSERT_TRUE(get("flickr.test.login"));
    EXPECT_EQ(delegate.events, QStringList{"complete"});
}

TEST_F(OFFlickrAPIRequestTest, UploadSendsMultipartFromAPrivateTemporaryFileAndLeavesNone) {
    QByteArray picture(200000, '\xd8');
    QBuffer stream(&picture);
    stream.open(QIODevice::ReadOnly);
    const auto upload = [&](const QString& name, const QVariantMap& arguments = {}) {
        stream.seek(0);
        return request->uploadImageStreamSuggestedFilenameMIMETypeArguments(&stream, name, "image/jpeg", arguments);
    };
    EXPECT_FALSE(upload("beach.jpg")); // without any authorization
    context->setOAuthToken("atoken");
    context->setOAuthTokenSecret("asecret");
    answer(200, "<rsp stat=\"ok\"><photoid>1234</photoid></rsp>");
    ASSERT_TRUE(upload("beach.jpg", {{"title", "Beach"}}));
    const QString tempPath = request->uploadTempFilename();
    EXPECT_EQ(QFile::permissions(tempPath) & (QFileDevice::ReadOwner | QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::ReadOwner); // there, and private
    ASSERT_TRUE(QTest::qWaitFor([&] { return !delegate.events.isEmpty(); }, 5000));
    EXPECT_EQ(OFTextContent(delegate.response.value("photoid")), "1234");
    EXPECT_FALSE(QFile::exists(tempPath));

    const LocalHttpRequest& seen = lastSeen();
    EXPECT_EQ(seen.target, "/services/upload/");
    const QByteArray type = seen.header("Content-Type");
    ASSERT_TRUE(type.startsWith("multipart/form-data; boundary="));
    const QByteArray boundary = "--" + type.mid(type.indexOf('=') + 1);
    EXPECT_EQ(delegate.progress, qMakePair(quint32(seen.body.size()), quint32(seen.body.size())));
    EXPECT_TRUE(seen.body.contains(boundary + "\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\nBeach\r\n"));
    EXPECT_TRUE(seen.body.contains("name=\"oauth_signature\""));
    EXPECT_TRUE(seen.body.endsWith(boundary +
                                   "\r\nContent-Disposition: form-data; name=\"photo\"; filename=\"beach.jpg\"\r\n"
                                   "Content-Type: image/jpeg\r\n\r\n" + picture + "\r\n" + boundary + "--"));

    server.setHandler(LocalHttpServer::writeThenStall());
    ASSERT_TRUE(upload(""));
    const QString cancelledPath = request->uploadTempFilename();
    EXPECT_TRUE(QFile::exists(cancelledPath));
    request->cancel();
    EXPECT_FALSE(QFile::exists(cancelledPath));
}
