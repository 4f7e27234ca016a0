// How the stand-in limits and fails as Flickr does: the per-key budget on a scripted
// clock, faults with statuses, counts and Retry-After, lasting file statuses.
#include "ClientRecorder.h"
#include "OFCallBudget.h"
#include "OFTimeSource.h"
#include "Server.h"
#include "ServiceClient.h"

#include <QScopeGuard>

#include <gtest/gtest.h>

using namespace fakeflickr;
using fftest::Reply;

namespace {

class Limits : public ::testing::Test {
protected:
    void start(double callsPerHour, int burst, bool sendRetryAfter = true, std::function<qint64()> clock = {}) {
        Options options;
        options.photos = 1200;
        options.seed = 17;
        options.callsPerHour = callsPerHour;
        options.burst = burst;
        options.sendRetryAfter = sendRetryAfter;
        options.clockMs = clock ? clock : [this] { return now; };
        server = std::make_unique<Server>(options);
        ASSERT_TRUE(server->listen());
        const auto token = server->issueAccessToken("write");
        creds = {options.apiKey, options.sharedSecret, token.token, token.secret};
    }
    Reply call(const QString& method = "flickr.test.login", const fftest::Args& args = {}) {
        return fftest::callRest(server->baseUrl(), method, args, creds);
    }
    Reply file(const Photo& p, char suffix) {
        return fftest::get(server->baseUrl() + "/" + p.server + "/" + p.fileName(suffix));
    }
    QList<int> statuses() const {
        QList<int> out;
        for (const auto& c : server->calls())
            out << c.status;
        return out;
    }

    qint64 now = 5'000'000;  // any origin: the clock is monotonic, not wall time
    std::unique_ptr<Server> server;
    fftest::Credentials creds;
};

bool isOk(const Reply& r) {
    return r.status == 200 && r.body.contains("stat=\"ok\"");
}

} // namespace

TEST_F(Limits, TheBudgetAnswers429UntilTheClockHasRefilledIt) {
    start(3600, 3);  // one call a second, three at once
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(isOk(call())) << i;
    Reply refused = call();
    EXPECT_EQ(refused.status, 429);
    EXPECT_TRUE(refused.contentType.startsWith("text/html"));
    EXPECT_TRUE(refused.body.contains("429 Too Many Requests"));
    EXPECT_EQ(refused.retryAfter, QByteArray("1"));

    // Refused calls spend nothing: a second later exactly one call goes through.
    now += 999;
    EXPECT_EQ(call().status, 429);
    now += 1;
    EXPECT_TRUE(isOk(call()));
    EXPECT_EQ(call().status, 429);

    // A long pause refills the budget to its burst, not beyond.
    now += 10 * 3600 * 1000;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(isOk(call())) << i;
    EXPECT_EQ(call().status, 429);

    EXPECT_EQ(statuses(), QList<int>({200, 200, 200, 429, 429, 200, 429, 200, 200, 200, 429}));
    const auto calls = server->calls();
    EXPECT_EQ(calls[3].errorCode, -1);
    EXPECT_EQ(calls[3].timeMs, 5'000'000);
    EXPECT_EQ(calls[5].timeMs, 5'001'000);
    EXPECT_EQ(calls[3].method, "flickr.test.login");
}

TEST_F(Limits, RetryAfterRoundsUpAndCanBeLeftOut) {
    start(1000, 1);  // a call every 3.6 seconds
    EXPECT_TRUE(isOk(call()));
    EXPECT_EQ(call().retryAfter, QByteArray("4"));
    now += 3000;
    EXPECT_EQ(call().retryAfter, QByteArray("1"));  // 0.6 s left: at least 1
    now += 600;
    EXPECT_TRUE(isOk(call()));

    start(1000, 1, false);
    EXPECT_TRUE(isOk(call()));
    const Reply bare = call();
    EXPECT_EQ(bare.status, 429);
    EXPECT_FALSE(bare.retryAfter.has_value());
}

TEST_F(Limits, AnUnlimitedServiceNeverThrottles) {
    start(0, 1);
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(isOk(call())) << i;
}

TEST_F(Limits, CountedFaultsAreUsedUpAndTimedOnesSayWhen) {
    start(0, 4);
    const QString id = server->photostream().photoAt(2).idText();
    ASSERT_TRUE(server->addFault("http503:flickr.people.getPhotos@page=2#2~3"));
    ASSERT_TRUE(server->addFault("http429:flickr.photos.getPerms~30"));
    ASSERT_TRUE(server->addFault("error:flickr.photos.getExif:105~5#1"));
    ASSERT_TRUE(server->addFault("http502:flickr.photosets.getList#1"));
    ASSERT_TRUE(server->addFault("http504:flickr.urls.getUserProfile#1"));

    const fftest::Args page2{{"user_id", "me"}, {"per_page", "500"}, {"page", "2"}};
    for (int i = 0; i < 2; ++i) {
        const Reply busy = call("flickr.people.getPhotos", page2);
        EXPECT_EQ(busy.status, 503);
        EXPECT_EQ(busy.retryAfter, QByteArray("3"));
    }
    EXPECT_TRUE(isOk(call("flickr.people.getPhotos", {{"user_id", "me"}, {"page", "1"}})));
    const Reply served = call("flickr.people.getPhotos", page2);
    EXPECT_TRUE(isOk(served));
    EXPECT_FALSE(served.retryAfter.has_value());
    EXPECT_EQ(served.body.count("<photo "), 500);

    for (int i = 0; i < 3; ++i) {
        const Reply throttled = call("flickr.photos.getPerms", {{"photo_id", id}});
        EXPECT_EQ(throttled.status, 429);
        EXPECT_EQ(throttled.retryAfter, QByteArray("30"));
    }
    const Reply unavailable = call("flickr.photos.getExif", {{"photo_id", id}});
    EXPECT_EQ(unavailable.status, 200);
    EXPECT_TRUE(unavailable.body.contains("code=\"105\""));
    EXPECT_EQ(unavailable.retryAfter, QByteArray("5"));
    EXPECT_TRUE(isOk(call("flickr.photos.getExif", {{"photo_id", id}})));
    EXPECT_EQ(call("flickr.photosets.getList").status, 502);
    EXPECT_TRUE(isOk(call("flickr.photosets.getList")));
    EXPECT_EQ(call("flickr.urls.getUserProfile").status, 504);
    EXPECT_TRUE(isOk(call("flickr.urls.getUserProfile")));

    EXPECT_EQ(statuses(), QList<int>({503, 503, 200, 200, 429, 429, 429, 200, 200, 502, 200, 504, 200}));
    EXPECT_EQ(server->calls()[7].errorCode, 105);
}

TEST_F(Limits, AThrottledCallLeavesTheFaultsForLater) {
    start(3600, 1);
    ASSERT_TRUE(server->addFault("http503:flickr.test.login#1"));
    EXPECT_EQ(call().status, 503);  // spends the budget
    EXPECT_EQ(call().status, 429);
    now += 1000;
    EXPECT_TRUE(isOk(call()));
    ASSERT_TRUE(server->addFault("http500:flickr.test.login#1"));
    EXPECT_EQ(call().status, 429);
    now += 1000;
    EXPECT_EQ(call().status, 500);
}

TEST_F(Limits, FilesAnswerLastingAndPassingStatuses) {
    start(3600, 1);
    const Photo a = server->photostream().photoAt(0), b = server->photostream().photoAt(1);
    ASSERT_TRUE(server->addFault("http404:file:" + a.fileName('s')));
    ASSERT_TRUE(server->addFault("http403:file:" + a.fileName('t')));
    ASSERT_TRUE(server->addFault("http410:file:" + a.fileName('m')));
    ASSERT_TRUE(server->addFault("http429:file:" + b.fileName('s') + "#1~7"));
    ASSERT_TRUE(server->addFault("http503:file:" + b.idText() + "_*_t.jpg#2"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(file(a, 's').status, 404);
        EXPECT_EQ(file(a, 't').status, 403);
        const Reply gone = file(a, 'm');
        EXPECT_EQ(gone.status, 410);
        EXPECT_TRUE(gone.body.contains("410 Gone"));
    }
    const Reply throttled = file(b, 's');
    EXPECT_EQ(throttled.status, 429);
    EXPECT_EQ(throttled.retryAfter, QByteArray("7"));
    EXPECT_EQ(file(b, 's').status, 200);
    EXPECT_EQ(file(b, 't').status, 503);
    EXPECT_EQ(file(b, 't').status, 503);
    const Reply served = file(b, 't');
    EXPECT_EQ(served.status, 200);
    EXPECT_EQ(served.contentType, "image/jpeg");
    // Files are no API calls: the budget of one call a second never touched them.
    EXPECT_TRUE(server->calls().isEmpty());
    EXPECT_EQ(file(a, 'z').status, 200);
}

// Tessaly's client against the budget, both on the same scripted clock: every 429
// is waited out as long as Retry-After says, and no real second passes.
TEST_F(Limits, TessalysClientWaitsOutTheBudgetOnTheSameClock) {
    OFScriptedTimeSource clock;
    OFTimeSource::setShared(&clock);
    const double clientPace = OFCallBudget::shared().callsPerHour();
    OFCallBudget::shared().setCallsPerHour(0);  // only the service limits here
    const OFRetryPolicy savedPolicy = OFFlickrAPIRequest::retryPolicy();
    const auto restore = qScopeGuard([&] {
        OFTimeSource::setShared(nullptr);
        OFCallBudget::shared().setCallsPerHour(clientPace);
        OFFlickrAPIRequest::retryPolicy() = savedPolicy;
    });
    start(3600, 1, true, [&clock] { return clock.nowMs(); });
    qputenv("TESSALY_FLICKR_ENDPOINT", server->baseUrl().toUtf8());
    const auto unsetEndpoint = qScopeGuard([] { qunsetenv("TESSALY_FLICKR_ENDPOINT"); });
    const auto token = server->issueAccessToken("read");
    auto context = std::make_shared<OFFlickrAPIContext>(creds.apiKey, creds.sharedSecret);
    context->setOAuthToken(token.token);
    context->setOAuthTokenSecret(token.secret);
    OFFlickrAPIRequest request(context);
    fftest::Recorder recorder;
    request.setDelegate(&recorder);

    for (int i = 0; i < 3; ++i) {
        recorder.reset();
        ASSERT_TRUE(request.callAPIMethodWithGETArguments("flickr.test.login"));
        if (i > 0) {
            // Told to come back in a second, the client waits on the scripted clock.
            ASSERT_TRUE(recorder.wait(10000, [&] { return clock.pendingCalls() > 0 || recorder.done; }));
            ASSERT_FALSE(recorder.done);
            ASSERT_EQ(recorder.retryWaits, QList<double>({1.0}));
            clock.advance(1000);
        }
        ASSERT_TRUE(recorder.wait());
        EXPECT_FALSE(recorder.failed) << i;
    }
    EXPECT_EQ(server->calls().size(), 5);
    QList<qint64> times;
    for (const auto& c : server->calls())
        times << c.timeMs;
    EXPECT_EQ(times, QList<qint64>({0, 0, 1000, 1000, 2000}));

    // With a single attempt the client reports the refusal instead.
    OFFlickrAPIRequest::retryPolicy().attempts = 1;
    recorder.reset();
    ASSERT_TRUE(request.callAPIMethodWithGETArguments("flickr.test.login"));
    ASSERT_TRUE(recorder.wait());
    EXPECT_TRUE(recorder.failed);
    EXPECT_TRUE(recorder.retries.isEmpty());
    EXPECT_EQ(server->calls().last().status, 429);
}
