// The HTTP engine against a scripted server on 127.0.0.1: callback order, stalls, lost connections, header rules.
#include "LFHTTPRequest.h"
#include "LocalHttpServer.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct RecordingDelegate : LFHTTPRequestDelegate {
    QStringList events; // a run of "received" noted once, "written" left out
    quint32 status = 0;
    QUrl finalURL;
    QList<QPair<quint64, quint64>> sent;
    QByteArrayList written;
    QString error;
    bool takesBytes = false;
    std::function<void(LFHTTPRequest*, const QString&)> on; // called after each event

    void note(LFHTTPRequest* r, const QString& event) {
        if (event != "written" && (event != "received" || events.value(events.size() - 1) != event))
            events << event;
        if (on)
            on(r, event);
    }
    void httpRequestSentBytesTotal(LFHTTPRequest* r, quint64 bytes, quint64 total) override {
        sent.append({bytes, total}), note(r, "sent");
    }
    void httpRequestDidReceiveStatusCodeURLResponseHeader(LFHTTPRequest* r, quint32 code, const QUrl& url,
                                                          const LFHTTPResponseHeader&) override {
        status = code, finalURL = url, note(r, "status");
    }
    bool implementsHttpRequestWriteReceivedBytes() const override { return takesBytes; }
    void httpRequestWriteReceivedBytesSizeExpectedTotal(LFHTTPRequest* r, const char* bytes, qint64 size,
                                                        quint64) override {
        written << QByteArray(bytes, size), note(r, "written");
    }
    void httpRequestReceivedBytesExpectedTotal(LFHTTPRequest* r, quint64, quint64) override { note(r, "received"); }
    void httpRequestDidComplete(LFHTTPRequest* r) override { note(r, "complete"); }
    void httpRequestDidFailWithError(LFHTTPRequest* r, const QString& text) override { error = text, note(r, "fail"); }
    void httpRequestDidCancel(LFHTTPRequest* r) override { note(r, "cancel"); }
    bool ended() const { return QStringList{"complete", "fail", "cancel"}.contains(events.value(events.size() - 1)); }
};

class LFHTTPRequestTest : public ::testing::Test {
protected:
    void SetUp() override { request.setDelegate(&delegate); }
    bool run(const QString& method, const QString& path, const QByteArray& body = {}) {
        delegate.events.clear();
        return request.performMethodOnURLWithData(method, server.url(path), body) && waitForEnd();
    }
    bool waitForEnd() { return QTest::qWaitFor([&] { return delegate.ended(); }, 5000); }

    LocalHttpServer server;
    RecordingDelegate delegate;
    LFHTTPRequest request;
};

} // namespace

TEST_F(LFHTTPRequestTest, AnswersOfAnyStatusCompleteInOrderRedirectsAreFollowedAndHeadersAreTheCallers) {
    EXPECT_FALSE(request.performMethodOnURLWithData("GET", QUrl()));
    EXPECT_FALSE(request.performMethodOnURLWithInputStreamKnownContentSize("POST", server.url(), nullptr, 0));
    const QMap<QByteArray, QByteArray> answers{
        {"/old", LocalHttpServer::response(302, "", "Location: " + server.url("/new").toEncoded() + "\r\n")},
        {"/500", LocalHttpServer::response(500, "")},
        {"/long", LocalHttpServer::response(200, "0123456789abcdefghijklmnopqrstuvwxyz")}};
    server.setHandler(LocalHttpServer::answerWith([&](const LocalHttpRequest& r) {
        return answers.value(r.target, LocalHttpServer::response(200, "<rsp/>", "Content-Type: text/xml\r\n"));
    }));
    request.setUserAgent("tessaly");
    ASSERT_TRUE(run("GET", "/services/rest/?a=1"));
    EXPECT_EQ(delegate.events, (QStringList{"sent", "status", "received", "complete"}));
    EXPECT_EQ(delegate.sent.value(0), qMakePair(quint64(0), quint64(0)));
    EXPECT_EQ(request.receivedData() + " " + request.receivedContentType(), "<rsp/> text/xml");
    const LocalHttpRequest& seen = server.requests().value(0);
    EXPECT_EQ(seen.method + " " + seen.target + " " + seen.header("User-Agent"), "GET /services/rest/?a=1 tessaly");
    EXPECT_FALSE(seen.headers.contains("content-length"));

    // An HTTP error status is an answer; an empty body still reports its status.
    ASSERT_TRUE(run("GET", "/500"));
    EXPECT_EQ(delegate.events, (QStringList{"sent", "status", "complete"}));
    EXPECT_EQ(delegate.status, 500u);
    ASSERT_TRUE(run("GET", "/old"));
    EXPECT_EQ(delegate.finalURL, server.url("/new"));
    EXPECT_EQ(request.receivedData(), "<rsp/>");

    // No bytes, no "Content-Length"; the caller's header fields win over contentType.
    request.setContentType("application/x-www-form-urlencoded");
    request.setRequestHeader({{"content-type", "text/plain"}});
    ASSERT_TRUE(run("POST", "/"));
    EXPECT_FALSE(server.requests().last().headers.contains("content-length"));
    EXPECT_EQ(server.requests().last().header("Content-Type"), "text/plain");

    // A delegate that takes the bytes gets them in read-buffer-sized chunks instead.
    request.setReadBufferSize(7);
    delegate.takesBytes = true;
    ASSERT_TRUE(run("GET", "/long"));
    EXPECT_EQ(delegate.written.join(), "0123456789abcdefghijklmnopqrstuvwxyz");
    for (const QByteArray& chunk : delegate.written)
        EXPECT_LE(chunk.size(), 7);
    EXPECT_TRUE(request.receivedData().isEmpty());
}

TEST_F(LFHTTPRequestTest, StallsTimeOutAndLostConnectionsFail) {
    request.setTimeoutInterval(0.5);
    const struct {
        LocalHttpServer::Handler handler;
        QStringList events;
        QString error;
    } cases[] = {
        {LocalHttpServer::writeThenStall(), {"fail"}, "HTTP request timeout"},
        // A stall in the middle of the body, measured from the last bytes.
        {LocalHttpServer::writeThenStall("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst ten."),
         {"sent", "status", "received", "fail"}, "HTTP request timeout"},
        {LocalHttpServer::writeThenDrop(), {"fail"}, "HTTP request connection lost"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error.toStdString() + " after " + c.events.join(",").toStdString());
        server.setHandler(c.handler);
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(run("GET", "/"));
        if (&c == &cases[0]) { // within a second after the limit, with slack
            EXPECT_GE(clock.elapsed(), 500);
            EXPECT_LE(clock.elapsed(), 1500 + 400);
        }
        EXPECT_EQ(delegate.events, c.events);
        EXPECT_EQ(delegate.error, c.error);
        EXPECT_FALSE(request.isRunning());
    }

    // A body stream of unknown size, sent while the server holds back its answer: progress has an unknown total.
    server.setHandler([](QTcpSocket* socket, const LocalHttpRequest&) {
        QTimer::singleShot(1300, socket, [socket] {
            socket->write(LocalHttpServer::response(200, "late"));
            socket->disconnectFromHost();
        });
    });
    QByteArray payload(100000, 'p');
    QBuffer unknown(&payload);
    unknown.open(QIODevice::ReadOnly);
    delegate = RecordingDelegate();
    ASSERT_TRUE(request.performMethodOnURLWithInputStreamKnownContentSize("POST", server.url(), &unknown,
                                                                          LFHTTPRequestUnknownLength));
    EXPECT_FALSE(request.performMethodOnURLWithData("POST", server.url("/refused"), "x")); // while running
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(server.requests().last().body, payload);
    EXPECT_EQ(delegate.sent.value(0), qMakePair(quint64(100000), LFHTTPRequestUnknownLength));
}

TEST_F(LFHTTPRequestTest, CancelOrDeletionFromAnyCallbackEndsEverything) {
    server.setHandler(LocalHttpServer::respond(200, QByteArray(50000, 'x')));
    delegate.on = [](LFHTTPRequest* r, const QString& event) {
        if (event == "status")
            r->cancel();
    };
    ASSERT_TRUE(request.performMethodOnURLWithData("GET", server.url()));
    ASSERT_TRUE(waitForEnd());
    QTest::qWait(100); // nothing may trail the cancel
    EXPECT_EQ(delegate.events, (QStringList{"sent", "status", "cancel"}));
    EXPECT_TRUE(request.receivedData().isEmpty());

    for (const QString at : {"sent", "status", "received", "written"}) {
        RecordingDelegate owner;
        LFHTTPRequest* owned = new LFHTTPRequest;
        owner.takesBytes = at == "written";
        owner.on = [&](LFHTTPRequest*, const QString& event) {
            if (owned && event == at) {
                delete std::exchange(owned, nullptr);
                owner.events << "deleted";
            }
        };
        owned->setReadBufferSize(1000);
        owned->setDelegate(&owner);
        ASSERT_TRUE(owned->performMethodOnURLWithData("GET", server.url()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return owned == nullptr; }, 5000)) << at.toStdString();
        QTest::qWait(100); // nothing may reach the owner afterwards
        EXPECT_EQ(owner.events.last(), "deleted") << at.toStdString();
    }
}
