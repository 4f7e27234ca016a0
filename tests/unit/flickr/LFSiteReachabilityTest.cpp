// Site reachability: reports only real changes, probes the site on 127.0.0.1, and reads the kernel's route tables.
#include "LFSiteReachability.h"
#include "LocalHttpServer.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

struct FakeSource : LFReachabilitySource {
    std::optional<LFReachabilityFlags> flags;
    std::optional<LFReachabilityFlags> currentFlags() override { return flags; }
    void change(LFReachabilityFlags f) { emit flagsChanged(f); }
};

struct RecordingDelegate : LFSiteReachabilityDelegate {
    QStringList reports;
    void reachabilitySiteIsAvailableOverConnectionType(LFSiteReachability*, const QUrl&, const QString& type) override {
        reports << type;
    }
    void reachabilitySiteIsNotAvailable(LFSiteReachability*, const QUrl&) override { reports << "not"; }
};

const LFReachabilityFlags kUp{true, false};
const LFReachabilityFlags kDown{false, false};
const QString kWiFi = QString::fromLatin1(LFSiteReachabilityConnectionTypeWiFi);

class LFSiteReachabilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        reachability.setDelegate(&delegate);
        reachability.setReachabilitySourceFactory([this] {
            auto source = std::make_unique<FakeSource>();
            source->flags = initialFlags;
            fake = source.get();
            return source;
        });
    }
    LocalHttpServer server;
    LFSiteReachability reachability;
    RecordingDelegate delegate;
    std::optional<LFReachabilityFlags> initialFlags = kUp;
    FakeSource* fake = nullptr;
};

} // namespace

TEST_F(LFSiteReachabilityTest, WithoutSiteTheRouteDecidesAndRepeatsAreSilent) {
    reachability.setSiteURL(QUrl());
    reachability.startChecking();
    fake->change(kUp);
    EXPECT_EQ(delegate.reports, QStringList{kWiFi});
    fake->change(kDown);
    fake->change(kDown);
    EXPECT_EQ(delegate.reports, (QStringList{kWiFi, "not"}));

    // Stop and start: the first state is reported afresh.
    reachability.stopChecking();
    reachability.startChecking();
    EXPECT_EQ(delegate.reports, (QStringList{kWiFi, "not", kWiFi}));
    // A route that needs a connection first is not available.
    reachability.stopChecking();
    initialFlags = LFReachabilityFlags{true, true};
    reachability.startChecking();
    EXPECT_EQ(delegate.reports, (QStringList{kWiFi, "not", kWiFi, "not"}));
}

TEST_F(LFSiteReachabilityTest, ASiteThatNeverAnswersOrAnUnreadableStateIsNotAvailableOnceAndAnyAnswerIsAvailable) {
    server.setHandler(LocalHttpServer::writeThenStall());
    reachability.setSiteURL(server.url("/"));
    reachability.setTimeoutInterval(0.5);
    // No readable state: not available after the limit, without a probe.
    initialFlags.reset();
    reachability.startChecking();
    EXPECT_TRUE(delegate.reports.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !delegate.reports.isEmpty(); }, 3000));
    EXPECT_EQ(delegate.reports, QStringList{"not"});
    EXPECT_TRUE(server.requests().isEmpty());

    reachability.stopChecking();
    initialFlags = kUp;
    reachability.startChecking();
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.reports.size() == 2; }, 5000));
    fake->change(kUp);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests().size() == 2; }, 5000));
    QTest::qWait(1300); // past the second probe's stall limit (checked each second)
    EXPECT_EQ(delegate.reports, (QStringList{"not", "not"}));

    // A HEAD answer that announces a body it does not send, the connection left open.
    server.setHandler(LocalHttpServer::writeThenStall("HTTP/1.1 404 Not Found\r\nContent-Length: 1234\r\n\r\n"));
    fake->change(kUp);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.reports.size() == 3; }, 5000));
    EXPECT_EQ(server.requests().value(2).method, "HEAD");
    // A further usable state probes again but reports nothing new.
    fake->change(kUp);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests().size() == 4; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(delegate.reports, (QStringList{"not", "not", kWiFi}));
}

TEST(LFDefaultRoute, ReadsBothRoutingTables) {
    const QByteArray v4 = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    const QByteArray v4Local = "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
    const QByteArray v6 = "00000000000000000000000000000000 00 00000000000000000000000000000000 00 ";
    const struct {
        QByteArray v4, v6;
        bool present;
    } cases[] = {
        {v4 + "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n" + v4Local, {}, true},
        {v4 + v4Local, {}, false},
        {v4 + "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n", {}, false}, // not up
        {v4 + v4Local, v6 + "fd000000000000000000000000000001 00000400 00000002 00000000 00000003     eth0\n", true},
        // A reject route on the loopback device is no way out.
        {v4 + v4Local, v6 + "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n", false},
        {{}, {}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LFDefaultRoutePresent(c.v4, c.v6), c.present) << c.v4.constData() << c.v6.constData();
}
