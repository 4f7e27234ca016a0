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
    QList<qint64> chunks;
    QByteArray written;
    QString error;
    bool takesBytes = false;
    std::function<void(LFHTTPRequest*)> onStatus, onComplete;

    void httpRequestSentBytesTotal(LFHTTPRequest*, quint64 bytes, quint64 total) override {
        events << "sent";
        sent.append({bytes, total});
    }
    void httpRequestDidReceiveStatusCodeURLResponseHeader(LFHTTPRequest* r, quint32 code,
                                                          const QUrl& url,
                                                          const LFHTTPResponseHeader&) override {
        events << "status";
        status = code;
        finalURL = url;
        if (onStatus)
            onStatus(r);
    }
    bool implementsHttpRequestWriteReceivedBytes() const override { return takesBytes; }
    void httpRequestWriteReceivedBytesSizeExpectedTotal(LFHTTPRequest*, const char* bytes,
                                                        qint64 size, quint64) override {
        chunks << size;
        written.append(bytes, size);
    }
    void httpRequestReceivedBytesExpectedTotal(LFHTTPRequest*, quint64, quint64) override {
        if (events.last() != "received")
            events << "received";
    }
    void httpRequestDidComplete(LFHTTPRequest* r) override {
        events << "complete";
        if (onComplete)
            onComplete(r);
    }
    void httpRequestDidFailWithError(LFHTTPRequest*, const QString& text) override {
        events << "fail";
        error = text;
    }
    void httpRequestDidCancel(LFHTTPRequest*) override { events << "cancel"; }
    bool ended() const {
        return !events.isEmpty() && (events.last() == "complete" || events.last() == "fail" ||
                                     events.last() == "cancel");
    }
};

class LFHTTPRequestTest : public ::testing::Test {
protected:
    void SetUp() override { request.setDelegate(&delegate); }
    // Starts a request and waits for its end; the delegate is reset first.
    bool run(const QString& method, const QString& path, const QByteArray& body = {}) {
        delegate = RecordingDelegate();
        if (!request.performMethodOnURLWithData(method, server.url(path), body))
            return false;
        return QTest::qWaitFor([&] { return delegate.ended(); }, 5000);
    }

    LocalHttpServer server;
    RecordingDelegate delegate;
    LFHTTPRequest request;
};

} // namespace

TEST_F(LFHTTPRequestTest, AnswersOfAnyStatusCompleteInOrder) {
    server.setHandler(LocalHttpServer::respond(200, "<rsp/>", {{"Content-Type", "text/xml"}}));
    request.setUserAgent("Tessaly-Test");
    ASSERT_TRUE(run("GET", "/services/rest/?a=1"));
    EXPECT_EQ(delegate.events, (QStringList{"sent", "status", "received", "complete"}));
    EXPECT_EQ(delegate.sent.value(0), qMakePair(quint64(0), quint64(0)));
    EXPECT_EQ(request.receivedData(), "<rsp/>");
    EXPECT_EQ(request.receivedContentType(), "text/xml");
    const LocalHttpRequest& seen = server.requests().value(0);
    EXPECT_EQ(seen.method + " " + seen.target, "GET /services/rest/?a=1");
    EXPECT_EQ(seen.header("User-Agent"), "Tessaly-Test");
    EXPECT_FALSE(seen.hasHeader("Content-Length"));

    // An HTTP error status is an answer; an empty body still reports its status.
    server.setHandler(LocalHttpServer::respond(404, "missing"));
    ASSERT_TRUE(run("GET", "/"));
    EXPECT_EQ(delegate.status, 404u);
    EXPECT_EQ(request.receivedData(), "missing");
    server.setHandler(LocalHttpServer::respond(500, ""));
    ASSERT_TRUE(run("GET", "/"));
    EXPECT_EQ(delegate.events, (QStringList{"sent", "status", "complete"}));
    EXPECT_EQ(delegate.status, 500u);
}

TEST_F(LFHTTPRequestTest, FollowsRedirectsAndReportsTheFinalURL) {
    server.setHandler([&](QTcpSocket* socket, const LocalHttpRequest& r) {
        socket->write(
            r.target == "/old"
                ? LocalHttpServer::response(302, "", {{"Location", server.url("/new").toEncoded()}})
                : LocalHttpServer::response(200, "here"));
        socket->disconnectFromHost();
    });
    ASSERT_TRUE(run("GET", "/old"));
    EXPECT_EQ(delegate.finalURL, server.url("/new"));
    EXPECT_EQ(request.receivedData(), "here");
}

TEST_F(LFHTTPRequestTest, StallsTimeOutWithinOneSecondAfterTheLimit) {
    request.setTimeoutInterval(1.0);
    server.setHandler(LocalHttpServer::writeThenStall({}));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(run("GET", "/"));
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(delegate.events, QStringList{"fail"});
    EXPECT_EQ(delegate.error, "HTTP request timeout");
    EXPECT_GE(elapsed, 1000);
    EXPECT_LE(elapsed, 2000 + 400); // scheduling slack on a busy machine

    // A stall in the middle of the body, measured from the last bytes.
    server.setHandler(LocalHttpServer::writeThenStall(
        "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst ten."));
    ASSERT_TRUE(run("GET", "/"));
    EXPECT_EQ(delegate.events, (QStringList{"sent", "status", "received", "fail"}));
    EXPECT_EQ(delegate.error, "HTTP request timeout");
    EXPECT_FALSE(request.isRunning());
}

TEST_F(LFHTTPRequestTest, LostConnectionsFail) {
    server.setHandler(LocalHttpServer::writeThenDrop());
    ASSERT_TRUE(run("GET", "/"));
    EXPECT_EQ(delegate.events, QStringList{"fail"});
    EXPECT_EQ(delegate.error, "HTTP request connection lost");
    // A body cut short is not a completed answer.
    server.setHandler(
        LocalHttpServer::writeThenDrop("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort"));
    ASSERT_TRUE(run("GET", "/"));
    EXPECT_EQ(delegate.events.last(), "fail");
    EXPECT_EQ(delegate.error, "HTTP request connection lost");
}

TEST_F(LFHTTPRequestTest, CancelInsideStatusCallbackEndsEverything) {
    server.setHandler(LocalHttpServer::respond(200, QByteArray(5000, 'x')));
    delegate.onStatus = [](LFHTTPRequest* r) { r->cancel(); };
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.ended(); }, 5000));
    QTest::qWait(200); // nothing may trail the cancel
    EXPECT_EQ(delegate.events, (QStringList{"sent", "status", "cancel"}));
    EXPECT_TRUE(request.receivedData().isEmpty());
}

TEST_F(LFHTTPRequestTest, RefusedStartsChangeNothing) {
    EXPECT_FALSE(request.performMethodOnURLWithData("GET", QUrl()));
    EXPECT_FALSE(request.performMethodOnURLWithInputStreamKnownContentSize("POST", server.url(),
                                                                           nullptr, 0));
    server.setHandler(LocalHttpServer::respond(200, "first"));
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url("/one")));
    EXPECT_FALSE(request.performMethodOnURLWithData("POST", server.url("/two"), "x"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.ended(); }, 5000));
    EXPECT_EQ(delegate.events.last(), "complete");
    EXPECT_EQ(request.receivedData(), "first");
    ASSERT_EQ(server.requests().size(), 1);
}

TEST_F(LFHTTPRequestTest, RestartFromCompletionKeepsTheDetachedBodyIntact) {
    server.setHandler([](QTcpSocket* socket, const LocalHttpRequest& r) {
        socket->write(LocalHttpServer::response(200, "body of " + r.target));
        socket->disconnectFromHost();
    });
    QByteArray detached;
    delegate.onComplete = [&](LFHTTPRequest* r) {
        detached = r->getReceivedDataAndDetachFromRequest();
        delegate.onComplete = nullptr;
        EXPECT_TRUE(r->performMethodOnURLWithData("GET", server.url("/second")));
    };
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url("/first")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.events.count("complete") == 2; }, 5000));
    EXPECT_EQ(detached, "body of /first");
    EXPECT_EQ(request.receivedData(), "body of /second");
}

TEST_F(LFHTTPRequestTest, ContentLengthAndHeaderRules) {
    request.setContentType("application/x-www-form-urlencoded");
    ASSERT_TRUE(run("POST", "/", "a=1&b=2"));
    EXPECT_EQ(server.requests().value(0).header("Content-Length"), "7");
    EXPECT_EQ(server.requests().value(0).body, "a=1&b=2");
    // No bytes, no "Content-Length"; the caller's header fields win over contentType.
    request.setRequestHeader({{"content-type", "text/plain"}});
    ASSERT_TRUE(run("POST", "/"));
    EXPECT_FALSE(server.requests().value(1).hasHeader("Content-Length"));
    EXPECT_EQ(server.requests().value(1).header("Content-Type"), "text/plain");
}

TEST_F(LFHTTPRequestTest, StreamBodiesOfKnownAndUnknownSize) {
    QByteArray payload(100000, 'p');
    QBuffer known(&payload);
    known.open(QIODevice::ReadOnly);
    ASSERT_TRUE(request.performMethodOnURLWithInputStreamKnownContentSize("POST", server.url(),
                                                                          &known, 100000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.ended(); }, 5000));
    EXPECT_EQ(server.requests().value(0).header("Content-Length"), "100000");
    EXPECT_EQ(server.requests().value(0).body, payload);
    EXPECT_EQ(delegate.sent.last(), qMakePair(quint64(100000), quint64(100000)));

    // Unknown size: progress while the server holds back its answer has an unknown total.
    delegate = RecordingDelegate();
    server.setHandler([](QTcpSocket* socket, const LocalHttpRequest&) {
        QTimer::singleShot(1500, socket, [socket] {
            socket->write(LocalHttpServer::response(200, "late"));
            socket->disconnectFromHost();
        });
    });
    QBuffer unknown(&payload);
    unknown.open(QIODevice::ReadOnly);
    ASSERT_TRUE(request.performMethodOnURLWithInputStreamKnownContentSize(
        "POST", server.url(), &unknown, LFHTTPRequestUnknownLength));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.ended(); }, 5000));
    EXPECT_EQ(server.requests().value(1).body, payload);
    EXPECT_EQ(delegate.sent.value(0), qMakePair(quint64(100000), LFHTTPRequestUnknownLength));
}

TEST_F(LFHTTPRequestTest, DelegateThatTakesBytesGetsReadBufferSizedChunks) {
    const QByteArray body = "0123456789abcdefghijklmnopqrstuvwxyz";
    server.setHandler(LocalHttpServer::respond(200, body));
    request.setReadBufferSize(7);
    delegate.takesBytes = true;
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.ended(); }, 5000));
    EXPECT_EQ(delegate.written, body);
    EXPECT_LE(*std::max_element(delegate.chunks.begin(), delegate.chunks.end()), 7);
    EXPECT_TRUE(request.receivedData().isEmpty());
}

TEST_F(LFHTTPRequestTest, SynchronousModeReturnsAfterTheEnd) {
    request.setShouldWaitUntilDone(true);
    request.setTimeoutInterval(1.0);
    server.setHandler(LocalHttpServer::respond(200, "sync"));
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    EXPECT_EQ(delegate.events.last(), "complete");
    EXPECT_EQ(request.receivedData(), "sync");
    server.setHandler(LocalHttpServer::writeThenStall({}));
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    EXPECT_EQ(delegate.error, "HTTP request timeout");
}

TEST_F(LFHTTPRequestTest, DestroyingARunningRequestSendsNothing) {
    server.setHandler(LocalHttpServer::writeThenStall({}));
    auto running = std::make_unique<LFHTTPRequest>();
    running->setDelegate(&delegate);
    ASSERT_TRUE(running->performMethodOnURLWithData("GET", server.url()));
    running.reset();
    QTest::qWait(100);
    EXPECT_TRUE(delegate.events.isEmpty());
}

TEST(LFHTTPRequestDeathTest, ReadBufferSizeMisuse) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    LFHTTPRequest request;
    EXPECT_DEATH(request.setReadBufferSize(0), "Read buffer size must > 0");
}

TEST_F(LFHTTPRequestTest, AnOwnerMayDeleteTheRequestInsideAnyProgressCallback) {
    server.setHandler(LocalHttpServer::respond(200, QByteArray(50000, 'x')));
    struct Deleting : RecordingDelegate {
        QString at;
        LFHTTPRequest* owned = nullptr;
        void dropAt(const QString& event) {
            if (owned && event == at) {
                delete std::exchange(owned, nullptr);
                events << "deleted";
            }
        }
        void httpRequestSentBytesTotal(LFHTTPRequest* r, quint64 b, quint64 t) override {
            RecordingDelegate::httpRequestSentBytesTotal(r, b, t);
            dropAt("sent");
        }
        void httpRequestDidReceiveStatusCodeURLResponseHeader(LFHTTPRequest* r, quint32 code,
                                                              const QUrl& url,
                                                              const LFHTTPResponseHeader& h) override {
            RecordingDelegate::httpRequestDidReceiveStatusCodeURLResponseHeader(r, code, url, h);
            dropAt("status");
        }
        void httpRequestReceivedBytesExpectedTotal(LFHTTPRequest* r, quint64 a, quint64 b) override {
            RecordingDelegate::httpRequestReceivedBytesExpectedTotal(r, a, b);
            dropAt("received");
        }
        void httpRequestWriteReceivedBytesSizeExpectedTotal(LFHTTPRequest* r, const char* bytes,
                                                            qint64 size, quint64 total) override {
            RecordingDelegate::httpRequestWriteReceivedBytesSizeExpectedTotal(r, bytes, size, total);
            dropAt("written");
        }
    };
    for (const QString at : {"sent", "status", "received", "written"}) {
        Deleting owner;
        owner.at = at;
        owner.takesBytes = at == "written";
        owner.owned = new LFHTTPRequest;
        owner.owned->setReadBufferSize(1000);
        owner.owned->setDelegate(&owner);
        ASSERT_TRUE(owner.owned->performMethodOnURLWithData("GET", server.url()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return owner.owned == nullptr; }, 5000)) << at.toStdString();
        QTest::qWait(100); // nothing may reach the owner afterwards
        EXPECT_EQ(owner.events.last(), "deleted") << at.toStdString();
    }
}
