// The HTTP engine against a scripted server on 127.0.0.1: callback order,
// stalls, dropped connections, re-entrant delegates and header rules.
#include "LFHTTPRequest.h"
#include "LocalHttpServer.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct RecordingDelegate : LFHTTPRequestDelegate {
    QStringList events;
    quint32 status = 0;
    QUrl finalURL;
    QList<QPair<quint64, quint64>> sent;
    QList<qint64> writtenChunks;
    QByteArray written;
    QString error;
    bool ended = false;
    bool takesBytes = false;
    std::function<void(LFHTTPRequest*)> onStatus;
    std::function<void(LFHTTPRequest*)> onComplete;

    void httpRequestSentBytesTotal(LFHTTPRequest*, quint64 bytes, quint64 total) override {
        events << "sent";
        sent.append({bytes, total});
    }
    void httpRequestDidReceiveStatusCodeURLResponseHeader(LFHTTPRequest* r, quint32 code, const QUrl& url,
                                                          const LFHTTPResponseHeader&) override {
        events << "status";
        status = code;
        finalURL = url;
        if (onStatus)
            onStatus(r);
    }
    bool implementsHttpRequestWriteReceivedBytes() const override { return takesBytes; }
    void httpRequestWriteReceivedBytesSizeExpectedTotal(LFHTTPRequest*, const char* bytes, qint64 size,
                                                        quint64) override {
        events << "write";
        writtenChunks << size;
        written.append(bytes, size);
    }
    void httpRequestReceivedBytesExpectedTotal(LFHTTPRequest*, quint64, quint64) override {
        if (events.isEmpty() || events.last() != "received")
            events << "received";
    }
    void httpRequestDidComplete(LFHTTPRequest* r) override {
        events << "complete";
        ended = true;
        if (onComplete)
            onComplete(r);
    }
    void httpRequestDidFailWithError(LFHTTPRequest*, const QString& text) override {
        events << "fail";
        error = text;
        ended = true;
    }
    void httpRequestDidCancel(LFHTTPRequest*) override {
        events << "cancel";
        ended = true;
    }
};

class LFHTTPRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        request.setDelegate(&delegate);
    }
    bool waitForEnd(int ms = 5000) { return QTest::qWaitFor([&] { return delegate.ended; }, ms); }

    LocalHttpServer server;
    RecordingDelegate delegate;
    LFHTTPRequest request;
};

} // namespace

TEST_F(LFHTTPRequestTest, GetCollectsBodyAndReportsInOrder) {
    server.setHandler(LocalHttpServer::respond(200, "<rsp stat=\"ok\"/>", {{"Content-Type", "text/xml"}}));
    request.setUserAgent("Tessaly-Test");
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url("/services/rest/?a=1")));
    EXPECT_TRUE(request.isRunning());
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate.events, (QStringList{"sent", "status", "received", "complete"}));
    EXPECT_EQ(delegate.sent.value(0), qMakePair(quint64(0), quint64(0)));
    EXPECT_EQ(delegate.status, 200u);
    EXPECT_EQ(request.receivedData(), "<rsp stat=\"ok\"/>");
    EXPECT_EQ(request.receivedContentType(), "text/xml");
    EXPECT_FALSE(request.isRunning());

    const LocalHttpRequest& seen = server.requests().value(0);
    EXPECT_EQ(seen.method, "GET");
    EXPECT_EQ(seen.target, "/services/rest/?a=1");
    EXPECT_EQ(seen.header("User-Agent"), "Tessaly-Test");
    EXPECT_FALSE(seen.hasHeader("Content-Length"));
}

TEST_F(LFHTTPRequestTest, HTTPErrorStatusIsAnAnswerAndEmptyBodyStillReportsStatus) {
    server.setHandler(LocalHttpServer::respond(404, "missing"));
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url("/nothing")));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate.status, 404u);
    EXPECT_EQ(delegate.events.last(), "complete");
    EXPECT_EQ(request.receivedData(), "missing");

    delegate = RecordingDelegate();
    server.setHandler(LocalHttpServer::respond(500, ""));
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate.events, (QStringList{"sent", "status", "complete"}));
    EXPECT_EQ(delegate.status, 500u);
    EXPECT_TRUE(request.receivedData().isEmpty());
}

TEST_F(LFHTTPRequestTest, FollowsRedirectsAndReportsFinalURL) {
    server.setHandler([&](QTcpSocket* socket, const LocalHttpRequest& r) {
        if (r.target == "/old")
            socket->write(LocalHttpServer::response(302, "", {{"Location", server.url("/new").toEncoded()}}));
        else
            socket->write(LocalHttpServer::response(200, "here"));
        socket->disconnectFromHost();
    });
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url("/old")));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate.finalURL, server.url("/new"));
    EXPECT_EQ(request.receivedData(), "here");
}

TEST_F(LFHTTPRequestTest, SilentServerTimesOutWithinOneSecondAfterTheLimit) {
    server.setHandler(LocalHttpServer::writeThenStall({}));
    request.setTimeoutInterval(1.0);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    ASSERT_TRUE(waitForEnd(5000));
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(delegate.error, "HTTP request timeout");
    EXPECT_EQ(delegate.events, QStringList{"fail"});
    EXPECT_GE(elapsed, 1000);
    EXPECT_LE(elapsed, 2000 + 250); // scheduling slack on a busy machine
    EXPECT_FALSE(request.isRunning());
}

TEST_F(LFHTTPRequestTest, StallInTheMiddleOfTheBodyTimesOut) {
    server.setHandler(LocalHttpServer::writeThenStall(
        "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst ten."));
    request.setTimeoutInterval(1.0);
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    ASSERT_TRUE(waitForEnd(5000));
    EXPECT_EQ(delegate.events, (QStringList{"sent", "status", "received", "fail"}));
    EXPECT_EQ(delegate.error, "HTTP request timeout");
    EXPECT_EQ(request.receivedData(), "first ten.");
}

TEST_F(LFHTTPRequestTest, DroppedConnectionIsConnectionLost) {
    server.setHandler(LocalHttpServer::writeThenDrop());
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate.events, QStringList{"fail"});
    EXPECT_EQ(delegate.error, "HTTP request connection lost");

    // A body cut short is not a completed answer either.
    delegate = RecordingDelegate();
    server.setHandler(LocalHttpServer::writeThenDrop("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort"));
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate.events.last(), "fail");
    EXPECT_EQ(delegate.error, "HTTP request connection lost");
}

TEST_F(LFHTTPRequestTest, NobodyListeningIsConnectionLost) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/").arg(probe.serverPort()));
    probe.close();
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", url));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate.error, "HTTP request connection lost");
}

TEST_F(LFHTTPRequestTest, CancelInsideStatusCallbackEndsEverything) {
    server.setHandler(LocalHttpServer::respond(200, QByteArray(5000, 'x')));
    delegate.onStatus = [](LFHTTPRequest* r) { r->cancel(); };
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    ASSERT_TRUE(waitForEnd());
    QTest::qWait(200); // nothing may trail the cancel
    EXPECT_EQ(delegate.events, (QStringList{"sent", "status", "cancel"}));
    EXPECT_TRUE(request.receivedData().isEmpty());
    EXPECT_FALSE(request.isRunning());
}

TEST_F(LFHTTPRequestTest, SecondStartWhileRunningIsRefusedAndHarmless) {
    server.setHandler(LocalHttpServer::respond(200, "first"));
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url("/one")));
    EXPECT_FALSE(request.performMethodOnURLWithData("GET", server.url("/two")));
    EXPECT_FALSE(request.performMethodOnURLWithData("POST", server.url("/two"), "x"));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate.events.last(), "complete");
    EXPECT_EQ(request.receivedData(), "first");
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].target, "/one");
}

TEST_F(LFHTTPRequestTest, RefusesMissingURLWithoutCallback) {
    EXPECT_FALSE(request.performMethodOnURLWithData("GET", QUrl()));
    EXPECT_FALSE(request.performMethodOnURLWithInputStreamKnownContentSize("POST", server.url(), nullptr, 0));
    EXPECT_FALSE(request.isRunning());
    QTest::qWait(50);
    EXPECT_TRUE(delegate.events.isEmpty());
}

TEST_F(LFHTTPRequestTest, RestartFromCompletionCallbackAndDetachedBufferStaysIntact) {
    server.setHandler([](QTcpSocket* socket, const LocalHttpRequest& r) {
        socket->write(LocalHttpServer::response(200, "body of " + r.target));
        socket->disconnectFromHost();
    });
    QByteArray detached;
    int completions = 0;
    delegate.onComplete = [&](LFHTTPRequest* r) {
        if (++completions == 1) {
            detached = r->getReceivedDataAndDetachFromRequest();
            EXPECT_TRUE(r->receivedData().isEmpty());
            EXPECT_TRUE(r->performMethodOnURLWithData("GET", server.url("/second")));
            delegate.ended = false;
        }
    };
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url("/first")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return completions == 2; }, 5000));
    EXPECT_EQ(detached, "body of /first");
    EXPECT_EQ(request.receivedData(), "body of /second");
}

TEST_F(LFHTTPRequestTest, BodyLengthHeaderRules) {
    request.setContentType("application/x-www-form-urlencoded");
    ASSERT_TRUE(request.performMethodOnURLWithData("POST", server.url(), "a=1&b=2"));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(server.requests().value(0).header("Content-Length"), "7");
    EXPECT_EQ(server.requests().value(0).header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(server.requests().value(0).body, "a=1&b=2");

    // No bytes: no "Content-Length"; the caller's header fields win over contentType.
    delegate = RecordingDelegate();
    request.setRequestHeader({{"content-type", "text/plain"}, {"X-Extra", "1"}});
    ASSERT_TRUE(request.performMethodOnURLWithData("POST", server.url(), QByteArray()));
    ASSERT_TRUE(waitForEnd());
    const LocalHttpRequest& empty = server.requests().value(1);
    EXPECT_FALSE(empty.hasHeader("Content-Length"));
    EXPECT_EQ(empty.header("Content-Type"), "text/plain");
    EXPECT_EQ(empty.header("X-Extra"), "1");
}

TEST_F(LFHTTPRequestTest, StreamBodyWithKnownAndUnknownSize) {
    const QByteArray payload(100000, 'p');
    QBuffer known;
    known.setData(payload);
    known.open(QIODevice::ReadOnly);
    ASSERT_TRUE(request.performMethodOnURLWithInputStreamKnownContentSize("POST", server.url(), &known,
                                                                          payload.size()));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(server.requests().value(0).header("Content-Length"), "100000");
    EXPECT_EQ(server.requests().value(0).body, payload);
    // The response begins with everything sent.
    EXPECT_EQ(delegate.sent.last(), qMakePair(quint64(payload.size()), quint64(payload.size())));

    // Unknown size: progress reports carry an unknown total.
    delegate = RecordingDelegate();
    server.setHandler([](QTcpSocket* socket, const LocalHttpRequest&) {
        QTimer::singleShot(1500, socket, [socket] {
            socket->write(LocalHttpServer::response(200, "late"));
            socket->disconnectFromHost();
        });
    });
    QBuffer unknown;
    unknown.setData(payload);
    unknown.open(QIODevice::ReadOnly);
    ASSERT_TRUE(request.performMethodOnURLWithInputStreamKnownContentSize(
        "POST", server.url(), &unknown, LFHTTPRequestUnknownLength));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(server.requests().value(1).body, payload);
    ASSERT_GE(delegate.sent.size(), 2);
    EXPECT_EQ(delegate.sent.first(), qMakePair(quint64(payload.size()), LFHTTPRequestUnknownLength));
}

TEST_F(LFHTTPRequestTest, DelegateThatTakesBytesGetsChunksOfTheReadBufferSize) {
    const QByteArray body = "0123456789abcdefghijklmnopqrstuvwxyz";
    server.setHandler(LocalHttpServer::respond(200, body));
    request.setReadBufferSize(7);
    delegate.takesBytes = true;
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate.written, body);
    for (qint64 size : delegate.writtenChunks)
        EXPECT_LE(size, 7);
    EXPECT_TRUE(request.receivedData().isEmpty());
    EXPECT_TRUE(delegate.events.contains("status"));
}

TEST_F(LFHTTPRequestTest, SynchronousModeReturnsAfterTheEnd) {
    server.setHandler(LocalHttpServer::respond(200, "sync"));
    request.setShouldWaitUntilDone(true);
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    EXPECT_TRUE(delegate.ended);
    EXPECT_FALSE(request.isRunning());
    EXPECT_EQ(request.receivedData(), "sync");

    delegate = RecordingDelegate();
    server.setHandler(LocalHttpServer::writeThenStall({}));
    request.setTimeoutInterval(1.0);
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    EXPECT_EQ(delegate.error, "HTTP request timeout");
}

TEST_F(LFHTTPRequestTest, DestroyingARunningRequestSendsNothing) {
    server.setHandler(LocalHttpServer::writeThenStall({}));
    auto* running = new LFHTTPRequest;
    running->setDelegate(&delegate);
    ASSERT_TRUE(running->performMethodOnURLWithData("GET", server.url()));
    delete running;
    QTest::qWait(100);
    EXPECT_TRUE(delegate.events.isEmpty());
}

TEST(LFHTTPRequestDeathTest, ReadBufferSizeMisuse) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    LFHTTPRequest request;
    EXPECT_DEATH(request.setReadBufferSize(0), "Read buffer size must > 0");
}
