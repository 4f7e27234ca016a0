// OFFlickrAPIRequest against a scripted server on 127.0.0.1: what goes on the
// wire, how answers become completions or errors, and the token exchanges.
#include "LocalHttpServer.h"
#include "OFFlickrAPIRequest.h"
#include "OFXMLMapper.h"

#include <QBuffer>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QTest>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

struct RecordingDelegate : OFFlickrAPIRequestDelegate {
    QStringList events;
    QVariantMap response;
    OFError error;
    QStringList tokens;
    QList<QPair<quint32, quint32>> progress;
    std::function<void(OFFlickrAPIRequest*)> onComplete;

    void flickrAPIRequestDidCompleteWithResponse(OFFlickrAPIRequest* r, const QVariantMap& rsp) override {
        events << "complete";
        response = rsp;
        if (onComplete)
            onComplete(r);
    }
    void flickrAPIRequestDidFailWithError(OFFlickrAPIRequest*, const OFError& e) override {
        events << "fail";
        error = e;
    }
    void flickrAPIRequestImageUploadSentBytesTotalBytes(OFFlickrAPIRequest*, quint32 sent, quint32 total) override {
        progress.append({sent, total});
    }
    void flickrAPIRequestDidObtainOAuthRequestTokenSecret(OFFlickrAPIRequest*, const QString& token,
                                                          const QString& secret) override {
        events << "requestToken";
        tokens = {token, secret};
    }
    void flickrAPIRequestDidObtainOAuthAccessTokenSecretUserFullNameUserNameUserNSID(
        OFFlickrAPIRequest*, const QString& token, const QString& secret, const QString& fullName,
        const QString& userName, const QString& nsid) override {
        events << "accessToken";
        tokens = {token, secret, fullName, userName, nsid};
    }
};

// Escapes all but letters, digits, "-", "." and "_", written apart from the library.
QString oauthEscape(const QString& text) {
    QString out;
    for (const char c : text.toUtf8()) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_')
            out += QLatin1Char(c);
        else
            out += QStringLiteral("%%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

// Checks a received OAuth signature the way a server does: from the decoded
// parameters and the URL the request arrived at.
bool signatureIsValid(const QString& method, const QString& url, QMap<QString, QString> params,
                      const QString& signingKey) {
    const QString signature = params.take("oauth_signature");
    QStringList pairs;
    for (auto it = params.constBegin(); it != params.constEnd(); ++it)
        pairs << it.key() + "=" + oauthEscape(it.value());
    const QString base = method + "&" + oauthEscape(url) + "&" + oauthEscape(pairs.join("&"));
    const QByteArray expected =
        QMessageAuthenticationCode::hash(base.toUtf8(), signingKey.toUtf8(), QCryptographicHash::Sha1).toBase64();
    return signature == QString::fromLatin1(expected);
}

QMap<QString, QString> decodedQuery(const QByteArray& encoded) {
    QMap<QString, QString> out;
    for (const QByteArray& piece : encoded.split('&')) {
        const qsizetype eq = piece.indexOf('=');
        out.insert(QUrl::fromPercentEncoding(piece.left(eq)), QUrl::fromPercentEncoding(piece.mid(eq + 1)));
    }
    return out;
}

class OFFlickrAPIRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        const QByteArray saved = qgetenv("TESSALY_FLICKR_ENDPOINT");
        qputenv("TESSALY_FLICKR_ENDPOINT", server.url().toString(QUrl::RemovePath).toUtf8());
        context = std::make_shared<OFFlickrAPIContext>("ckey", "csecret");
        qputenv("TESSALY_FLICKR_ENDPOINT", saved);
        request = std::make_unique<OFFlickrAPIRequest>(context);
        request->setDelegate(&delegate);
        request->setRequestTimeoutInterval(1.0);
    }
    void useOAuth() {
        context->setOAuthToken("atoken");
        context->setOAuthTokenSecret("asecret");
    }
    bool waitForEvents(int count, int ms = 5000) {
        return QTest::qWaitFor([&] { return delegate.events.size() >= count; }, ms);
    }
    void answer(int status, const QByteArray& body) { server.setHandler(LocalHttpServer::respond(status, body)); }

    LocalHttpServer server;
    std::shared_ptr<OFFlickrAPIContext> context;
    std::unique_ptr<OFFlickrAPIRequest> request;
    RecordingDelegate delegate;
};

} // namespace

TEST_F(OFFlickrAPIRequestTest, StatOkCompletesWithTheRspMapAndAValidSignature) {
    useOAuth();
    answer(200, "<?xml version=\"1.0\"?><rsp stat=\"ok\"><photos total=\"3\"/></rsp>");
    request->setSessionInfo("CountPhotos");
    ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.photos.getCounts", {{"dates", "1~2 3"}}));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(delegate.events, QStringList{"complete"});
    EXPECT_EQ(OFValueForKeyPath(delegate.response, "photos.total"), "3");
    EXPECT_EQ(request->sessionInfo(), "CountPhotos");

    const LocalHttpRequest& seen = server.requests().value(0);
    EXPECT_EQ(seen.method, "GET");
    const QByteArray target = seen.target;
    ASSERT_TRUE(target.startsWith("/services/rest/?"));
    const QMap<QString, QString> params = decodedQuery(target.mid(target.indexOf('?') + 1));
    EXPECT_EQ(params.value("method"), "flickr.photos.getCounts");
    EXPECT_EQ(params.value("dates"), "1~2 3");
    EXPECT_EQ(params.value("oauth_token"), "atoken");
    EXPECT_TRUE(signatureIsValid("GET", server.url("/services/rest/").toString(), params, "csecret&asecret"));
}

TEST_F(OFFlickrAPIRequestTest, BodyDecidesNotTheHTTPStatus) {
    answer(500, "<rsp stat=\"ok\"/>");
    ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.test.echo"));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(delegate.events, QStringList{"complete"});
}

TEST_F(OFFlickrAPIRequestTest, FlickrErrorsWithAndWithoutMessage) {
    answer(200, "<rsp stat=\"fail\"><err code=\"98\" msg=\"Invalid auth token\"/></rsp>");
    ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.test.login"));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(delegate.error.domain, OFFlickrAPIReturnedErrorDomain);
    EXPECT_EQ(delegate.error.code, 98);
    EXPECT_EQ(delegate.error.localizedDescription(), "Invalid auth token");

    delegate = RecordingDelegate();
    answer(200, "<rsp stat=\"fail\"><err code=\"1\"/></rsp>");
    ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.test.login"));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(delegate.error.code, 1);
    EXPECT_TRUE(delegate.error.failureReason.isEmpty());
    EXPECT_EQ(delegate.error.localizedDescription(), "The operation couldn't be completed. (com.flickr error 1.)");
}

TEST_F(OFFlickrAPIRequestTest, UnusableAnswersAreFaultyResponses) {
    const QByteArray answers[] = {
        "<!DOCTYPE html><html><body><h1>502 Bad Gateway<br></h1></body></html>",
        "<rsp stat=\"fail\"><err msg=\"no code\"/></rsp>",
        "<rsp><photo id=\"1\"><id/></photo></rsp>", // unmappable structure
        "<html><body>ok</body></html>",
        "",
    };
    for (const QByteArray& body : answers) {
        delegate = RecordingDelegate();
        answer(200, body);
        ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.test.echo"));
        ASSERT_TRUE(waitForEvents(1));
        EXPECT_EQ(delegate.events, QStringList{"fail"}) << body.constData();
        EXPECT_EQ(delegate.error.domain, OFFlickrAPIRequestErrorDomain);
        EXPECT_EQ(delegate.error.code, 2147418115);
        EXPECT_TRUE(delegate.error.failureReason.isEmpty());
    }
}

TEST_F(OFFlickrAPIRequestTest, NetworkFailuresMapToLibraryErrors) {
    server.setHandler(LocalHttpServer::writeThenDrop());
    ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.test.echo"));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(delegate.error.code, 2147418113);
    EXPECT_EQ(delegate.error.localizedDescription(), "Network connection error");

    delegate = RecordingDelegate();
    server.setHandler(LocalHttpServer::writeThenStall({}));
    ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.test.echo"));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(delegate.error.code, 2147418114);
    EXPECT_EQ(delegate.error.localizedDescription(), "Request timeout");
}

TEST_F(OFFlickrAPIRequestTest, CallWhileRunningIsRefusedAndCancelIsSilent) {
    server.setHandler(LocalHttpServer::writeThenStall({}));
    ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.one"));
    EXPECT_TRUE(request->isRunning());
    EXPECT_FALSE(request->callAPIMethodWithGETArguments("flickr.two"));
    EXPECT_FALSE(request->callAPIMethodWithPOSTArguments("flickr.two"));
    EXPECT_FALSE(request->fetchOAuthRequestTokenWithCallbackURL(QUrl("tessaly://callback")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests().size() == 1; }, 5000));
    request->cancel();
    EXPECT_FALSE(request->isRunning());
    QTest::qWait(1500); // past the stall limit
    EXPECT_TRUE(delegate.events.isEmpty());
    EXPECT_EQ(server.requests().size(), 1);
}

TEST_F(OFFlickrAPIRequestTest, NextCallStartsFromInsideTheCallback) {
    server.setHandler([](QTcpSocket* socket, const LocalHttpRequest& r) {
        const QByteArray stage = r.target.contains("flickr.first") ? "1" : "2";
        socket->write(LocalHttpServer::response(200, "<rsp stat=\"ok\"><stage n=\"" + stage + "\"/></rsp>"));
        socket->disconnectFromHost();
    });
    bool chained = false;
    delegate.onComplete = [&](OFFlickrAPIRequest* r) {
        EXPECT_FALSE(r->isRunning());
        if (!chained)
            chained = r->callAPIMethodWithGETArguments("flickr.second");
    };
    ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.first"));
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_TRUE(chained);
    EXPECT_EQ(OFValueForKeyPath(delegate.response, "stage.n"), "2");
}

TEST_F(OFFlickrAPIRequestTest, LegacyPOSTWhenTheTokenSecretIsMissing) {
    context->setOAuthToken("atoken"); // no secret: legacy signing
    context->setAuthToken("legacy");
    answer(200, "<rsp stat=\"ok\"/>");
    ASSERT_TRUE(request->callAPIMethodWithPOSTArguments("flickr.photos.setTags", {{"tags", "a b"}}));
    ASSERT_TRUE(waitForEvents(1));
    const LocalHttpRequest& seen = server.requests().value(0);
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.target, "/services/rest/");
    EXPECT_EQ(seen.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen.body, context->signedQueryFromArguments({{"method", "flickr.photos.setTags"}, {"tags", "a b"}}));
    EXPECT_TRUE(seen.body.startsWith("api_key=ckey&auth_token=legacy&method=flickr.photos.setTags&tags=a%20b&api_sig="));
}

TEST_F(OFFlickrAPIRequestTest, OAuthPOSTFormCarriesAValidSignature) {
    useOAuth();
    answer(200, "<rsp stat=\"ok\"/>");
    ASSERT_TRUE(request->callAPIMethodWithPOSTArguments("flickr.photos.setMeta", {{"title", "Fish & chips ~"}}));
    ASSERT_TRUE(waitForEvents(1));
    const LocalHttpRequest& seen = server.requests().value(0);
    const QMap<QString, QString> params = decodedQuery(seen.body);
    EXPECT_EQ(params.value("title"), "Fish & chips ~");
    EXPECT_TRUE(signatureIsValid("POST", server.url("/services/rest/").toString(), params, "csecret&asecret"));
}

TEST_F(OFFlickrAPIRequestTest, RequestTokenExchange) {
    answer(200, "oauth_callback_confirmed=true&oauth_token=72157-req&oauth_token_secret=s3cr3t");
    ASSERT_TRUE(request->fetchOAuthRequestTokenWithCallbackURL(QUrl("tessaly://callback")));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(delegate.events, QStringList{"requestToken"});
    EXPECT_EQ(delegate.tokens, (QStringList{"72157-req", "s3cr3t"}));
    const LocalHttpRequest& seen = server.requests().value(0);
    ASSERT_TRUE(seen.target.startsWith("/services/oauth/request_token?"));
    const QMap<QString, QString> params = decodedQuery(seen.target.mid(seen.target.indexOf('?') + 1));
    EXPECT_EQ(params.value("oauth_callback"), "tessaly://callback");
    EXPECT_FALSE(params.contains("oauth_token"));
    EXPECT_TRUE(signatureIsValid("GET", server.url("/services/oauth/request_token").toString(), params, "csecret&"));
}

TEST_F(OFFlickrAPIRequestTest, AccessTokenExchangeAndAnswersLackingFields) {
    context->setOAuthTokenSecret("reqsecret");
    answer(200, "fullname=Jane%20Doe&oauth_token=acc&oauth_token_secret=accs&user_nsid=1%40N0&username=jane");
    ASSERT_TRUE(request->fetchOAuthAccessTokenWithRequestTokenVerifier("72157-req", "ver"));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(delegate.tokens, (QStringList{"acc", "accs", "Jane%20Doe", "jane", "1%40N0"}));
    const LocalHttpRequest& seen = server.requests().value(0);
    const QMap<QString, QString> params = decodedQuery(seen.target.mid(seen.target.indexOf('?') + 1));
    EXPECT_EQ(params.value("oauth_token"), "72157-req");
    EXPECT_TRUE(signatureIsValid("GET", server.url("/services/oauth/access_token").toString(), params,
                                 "csecret&reqsecret"));

    for (const QByteArray& body : {QByteArray("oauth_problem=signature_invalid"),
                                   QByteArray("oauth_token=acc&oauth_token_secret=accs"),
                                   QByteArray("oauth_token=a&junk")}) {
        delegate = RecordingDelegate();
        answer(401, body);
        ASSERT_TRUE(request->fetchOAuthAccessTokenWithRequestTokenVerifier("72157-req", "ver"));
        ASSERT_TRUE(waitForEvents(1));
        EXPECT_EQ(delegate.events, QStringList{"fail"});
        EXPECT_EQ(delegate.error.code, 2147418116);
        EXPECT_EQ(delegate.error.userInfo.value("OAuthError"), QString::fromLatin1(body));
    }
}

TEST_F(OFFlickrAPIRequestTest, FailedTokenExchangeDoesNotTurnTheNextCallIntoOne) {
    server.setHandler(LocalHttpServer::writeThenDrop());
    ASSERT_TRUE(request->fetchOAuthRequestTokenWithCallbackURL(QUrl("tessaly://callback")));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(delegate.error.code, 2147418113);

    delegate = RecordingDelegate();
    answer(200, "<rsp stat=\"ok\"/>");
    ASSERT_TRUE(request->callAPIMethodWithGETArguments("flickr.test.login"));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(delegate.events, QStringList{"complete"});
}

TEST_F(OFFlickrAPIRequestTest, UploadSendsMultipartFromATemporaryFileAndRemovesIt) {
    useOAuth();
    context->setUploadEndpoint(server.url("/services/upload/").toString());
    answer(200, "<rsp stat=\"ok\"><photoid>1234</photoid></rsp>");
    const QByteArray picture(200000, '\xd8');
    QBuffer stream;
    stream.setData(picture);
    stream.open(QIODevice::ReadOnly);
    ASSERT_TRUE(request->uploadImageStreamSuggestedFilenameMIMETypeArguments(&stream, "beach.jpg", "image/jpeg",
                                                                             {{"title", "Beach"}}));
    const QString tempPath = request->uploadTempFilename();
    ASSERT_FALSE(tempPath.isEmpty());
    EXPECT_TRUE(QFile::exists(tempPath));
    EXPECT_EQ(QFile::permissions(tempPath) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(delegate.events, QStringList{"complete"});
    EXPECT_EQ(OFTextContent(delegate.response.value("photoid")), "1234");
    EXPECT_FALSE(QFile::exists(tempPath));
    ASSERT_FALSE(delegate.progress.isEmpty());

    const LocalHttpRequest& seen = server.requests().value(0);
    const QByteArray contentType = seen.header("Content-Type");
    ASSERT_TRUE(contentType.startsWith("multipart/form-data; boundary="));
    const QByteArray boundary = contentType.mid(contentType.indexOf('=') + 1);
    EXPECT_EQ(seen.header("Content-Length").toLongLong(), seen.body.size());
    EXPECT_EQ(delegate.progress.last(), qMakePair(quint32(seen.body.size()), quint32(seen.body.size())));
    EXPECT_TRUE(seen.body.contains("--" + boundary + "\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\nBeach\r\n"));
    EXPECT_TRUE(seen.body.contains("name=\"oauth_signature\""));
    const QByteArray photoHead = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"photo\"; "
                                 "filename=\"beach.jpg\"\r\nContent-Type: image/jpeg\r\n\r\n";
    const qsizetype at = seen.body.indexOf(photoHead);
    ASSERT_GE(at, 0);
    EXPECT_EQ(seen.body.mid(at + photoHead.size()), picture + "\r\n--" + boundary + "--");
}

TEST_F(OFFlickrAPIRequestTest, UploadRefusalsAndCancelRemoveTheTemporaryFile) {
    QBuffer stream;
    stream.setData("jpeg");
    stream.open(QIODevice::ReadOnly);
    // Legacy upload needs an auth token.
    EXPECT_FALSE(request->uploadImageStreamSuggestedFilenameMIMETypeArguments(&stream, "", "image/jpeg"));
    EXPECT_FALSE(request->uploadImageStreamSuggestedFilenameMIMETypeArguments(nullptr, "", "image/jpeg"));

    context->setAuthToken("legacy");
    context->setUploadEndpoint(server.url("/services/upload/").toString());
    server.setHandler(LocalHttpServer::writeThenStall({}));
    ASSERT_TRUE(request->uploadImageStreamSuggestedFilenameMIMETypeArguments(&stream, "", "image/jpeg"));
    const QString tempPath = request->uploadTempFilename();
    EXPECT_TRUE(QFile::exists(tempPath));
    request->cancel();
    EXPECT_FALSE(QFile::exists(tempPath));
    EXPECT_TRUE(request->uploadTempFilename().isEmpty());
}
