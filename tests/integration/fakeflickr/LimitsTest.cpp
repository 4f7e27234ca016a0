// How the stand-in limits and fails as Flickr does: the per-key budget on a scripted
// clock, faults with statuses, counts and Retry-After, lasting file statuses.
#include "ClientRecorder.h"
#include "OFCallBudget.h"
#include "OFTimeSource.h"

#include <QScopeGuard>

using namespace fakeflickr;
using namespace fftest;

namespace {

class Limits : public ServiceTest {
protected:
    void start(double callsPerHour, int burst, bool sendRetryAfter = true, std::function<qint64()> clock = {}) {
        Options options;
        options.photos = 1200;
        options.callsPerHour = callsPerHour;
        options.burst = burst;
        options.sendRetryAfter = sendRetryAfter;
        options.clockMs = clock ? clock : [this] { return now; };
        ServiceTest::start(options);
    }
    int call(const QString& method = "flickr.test.login", const Args& args = {}) {
        last = ServiceTest::call(method, args);
        return last.status == 200 && !last.body.contains("stat=\"ok\"") ? -1 : last.status;
    }
    int file(int index, char suffix) {
        last = get(fileUrl(index, suffix));
        return last.status;
    }
    QList<int> statuses() const {
        QList<int> out;
        for (const auto& c : server->calls())
            out << c.status;
        return out;
    }

    qint64 now = 5'000'000;  // any origin: the clock is monotonic, not wall time
    Reply last;
};

} // namespace

TEST_F(Limits, TheBudgetAnswers429UntilTheClockHasRefilledIt) {
    start(3600, 3);  // one call a second, three at once
    EXPECT_EQ(QList<int>({call(), call(), call(), call()}), QList<int>({200, 200, 200, 429}));
    EXPECT_TRUE(last.contentType.startsWith("text/html") && last.body.contains("429 Too Many Requests"));
    EXPECT_EQ(last.retryAfter, QByteArray("1"));
    // Refused calls spend nothing: a second on, exactly one call goes through.
    now += 999;
    EXPECT_EQ(call(), 429);
    now += 1;
    EXPECT_EQ(QList<int>({call(), call()}), QList<int>({200, 429}));
    // A long pause refills the budget to its burst, not beyond.
    now += 10 * 3600 * 1000;
    EXPECT_EQ(QList<int>({call(), call(), call(), call()}), QList<int>({200, 200, 200, 429}));
    EXPECT_EQ(statuses(), QList<int>({200, 200, 200, 429, 429, 200, 429, 200, 200, 200, 429}));
    EXPECT_EQ(server->calls()[3].errorCode, -1);
    EXPECT_EQ(server->calls()[3].timeMs, 5'000'000);
    EXPECT_EQ(server->calls()[5].timeMs, 5'001'000);

    start(1000, 1);  // a call every 3.6 seconds
    call();
    EXPECT_EQ(call(), 429);
    EXPECT_EQ(last.retryAfter, QByteArray("4"));
    now += 3000;
    call();
    EXPECT_EQ(last.retryAfter, QByteArray("1"));  // 0.6 s left: at least 1
    now += 600;
    EXPECT_EQ(call(), 200);

    start(1000, 1, false);
    EXPECT_EQ(QList<int>({call(), call()}), QList<int>({200, 429}));
    EXPECT_FALSE(last.retryAfter.has_value());
}

TEST_F(Limits, FaultsAnswerTheirStatusCountedAndTimed) {
    start(3600, 1);
    const QString id = server->photostream().photoAt(2).idText();
    const Args page2{{"user_id", "me"}, {"per_page", "500"}, {"page", "2"}};
    for (const QString fault : {"http503:flickr.people.getPhotos@page=2#2~3", "http429:flickr.photos.getPerms~30",
                                "error:flickr.photos.getExif:105~5#1", "http502:flickr.photosets.getList#1",
                                "http504:flickr.test.login#1"})
        ASSERT_TRUE(server->addFault(fault));
    const auto step = [&](const QString& method, const Args& args = {}) {
        const int status = call(method, args);
        now += 1000;  // within the budget
        return QStringLiteral("%1 %2").arg(status).arg(QString::fromLatin1(last.retryAfter.value_or("-")));
    };
    EXPECT_EQ(step("flickr.people.getPhotos", page2), "503 3");
    EXPECT_EQ(step("flickr.people.getPhotos", page2), "503 3");
    EXPECT_EQ(step("flickr.people.getPhotos", page2), "200 -");
    EXPECT_EQ(last.body.count("<photo "), 500);
    EXPECT_EQ(step("flickr.photos.getPerms", {{"photo_id", id}}), "429 30");
    EXPECT_EQ(step("flickr.photos.getPerms", {{"photo_id", id}}), "429 30");
    EXPECT_EQ(step("flickr.photos.getExif", {{"photo_id", id}}), "-1 5");
    EXPECT_TRUE(last.body.contains("code=\"105\""));
    EXPECT_EQ(step("flickr.photos.getExif", {{"photo_id", id}}), "200 -");
    EXPECT_EQ(step("flickr.photosets.getList"), "502 -");
    EXPECT_EQ(step("flickr.photosets.getList"), "200 -");
    // A call the budget refuses leaves the fault for the next one.
    EXPECT_EQ(call("flickr.urls.getUserProfile"), 200);
    EXPECT_EQ(call(), 429);
    now += 1000;
    EXPECT_EQ(step("flickr.test.login"), "504 -");
    EXPECT_EQ(step("flickr.test.login"), "200 -");

    // Files: 403, 404 and 410 last; a counted 429 or 503 passes. The budget never counts them.
    const Photo b = server->photostream().photoAt(1);
    for (const QString& fault : QStringList{"http404:file:*_s.jpg", "http403:file:*_t.jpg", "http410:file:*_m.jpg",
                                "http429:file:" + b.fileName('z') + "#1~7", "http503:file:" + b.fileName('-') + "#2"})
        ASSERT_TRUE(server->addFault(fault));
    const int calls = int(server->calls().size());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(QList<int>({file(0, 's'), file(0, 't'), file(0, 'm')}), QList<int>({404, 403, 410}));
    EXPECT_TRUE(last.body.contains("410 Gone"));
    EXPECT_EQ(file(1, 'z'), 429);
    EXPECT_EQ(last.retryAfter, QByteArray("7"));
    EXPECT_EQ(QList<int>({file(1, 'z'), file(1, '-'), file(1, '-'), file(1, '-')}), QList<int>({200, 503, 503, 200}));
    EXPECT_EQ(last.contentType, "image/jpeg");
    EXPECT_EQ(server->calls().size(), calls);
}

// Tessaly's client and the stand-in on one scripted clock: every 429 is waited out
// as long as Retry-After says, and no real second passes.
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
        qunsetenv("TESSALY_FLICKR_ENDPOINT");
    });
    start(3600, 1, true, [&clock] { return clock.nowMs(); });
    qputenv("TESSALY_FLICKR_ENDPOINT", server->baseUrl().toUtf8());
    ClientCall c(owner);
    Recorder& recorder = c.recorder;

    for (int i = 0; i < 3; ++i) {
        recorder.reset();
        ASSERT_TRUE(c.request().callAPIMethodWithGETArguments("flickr.test.login"));
        if (i > 0) {
            ASSERT_TRUE(recorder.wait([&] { return clock.pendingCalls() > 0 || recorder.done; }));
            ASSERT_FALSE(recorder.done);
            EXPECT_EQ(recorder.retryWaits, QList<double>({1.0}));
            clock.advance(1000);
        }
        ASSERT_TRUE(recorder.wait());
        EXPECT_FALSE(recorder.failed) << i;
    }
    QList<qint64> times;
    for (const auto& call : server->calls())
        times << call.timeMs;
    EXPECT_EQ(times, QList<qint64>({0, 0, 1000, 1000, 2000}));
    EXPECT_EQ(statuses(), QList<int>({200, 429, 200, 429, 200}));

    // With a single attempt the client reports the refusal instead.
    OFFlickrAPIRequest::retryPolicy().attempts = 1;
    EXPECT_FALSE(c.run("flickr.test.login"));
    EXPECT_TRUE(recorder.retries.isEmpty());
    EXPECT_EQ(server->calls().last().status, 429);
}
