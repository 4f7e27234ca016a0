// The update check: the feed document, version order, and SUUpdater against
// a feed served from 127.0.0.1.
#include "LocalHttpServer.h"
#include "SUUpdater.h"
#include "ScriptedPlatform.h"
#include "Wait.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace tessaly;
using tessaly::test::waitFor;

TEST(UpdateFeed, OffersOnlyDottedVersionsWithWebAddressesAndComparesThemPartByPart) {
    const auto offer = parseUpdateFeed(R"({"version": "1.4.2", "url": "https://example.org/tessaly"})");
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->version, "1.4.2");
    EXPECT_EQ(offer->url, QUrl("https://example.org/tessaly"));
    EXPECT_TRUE(parseUpdateFeed(R"({"version":"2","url":"http://h/x"})"));
    // The address is opened in the browser: no files, scripts or hostless addresses.
    for (const char* body : {R"({"version":"2","url":"file:///etc/passwd"})",
                             R"j({"version":"2","url":"javascript:alert(1)"})j",
                             R"({"version":"2","url":"https:///nohost"})", R"({"version":"2"})",
                             R"({"version":"2.x","url":"https://h/"})", R"({"version":" ","url":"https://h/"})",
                             R"({"version":2,"url":"https://h/"})", R"(["2","https://h/"])", "not json", ""})
        EXPECT_FALSE(parseUpdateFeed(body)) << body;

    const struct {
        const char *a, *b;
        int order;
    } versions[] = {
        {"1.10", "1.9", 1}, {"0.1.0", "0.2", -1}, {"1.2", "1.2.0", 0}, {"1.2.0.1", "1.2", 1}, {"9", "10", -1}};
    for (const auto& v : versions) {
        const int order = compareVersions(v.a, v.b);
        EXPECT_EQ((order > 0) - (order < 0), v.order) << v.a << " against " << v.b;
    }
}

namespace {
// Runs one check to its end; answers the offers handed over meanwhile.
QList<UpdateOffer> check(SUUpdater& updater) {
    QList<UpdateOffer> offers;
    updater.setUpdateFoundHandler([&](const UpdateOffer& offer) { offers << offer; });
    QSignalSpy finished(&updater, &SUUpdater::checkFinished);
    EXPECT_TRUE(updater.checkForUpdatesInBackground());
    EXPECT_TRUE(waitFor([&] { return !finished.isEmpty(); }, 10000));
    waitFor([] { return false; }, 20); // the queued hand-over
    return offers;
}
QByteArray feed(const char* version) {
    return QByteArray(R"({"version": ")") + version + R"(", "url": "https://example.org/get"})";
}
} // namespace

TEST(Updater, ANewerVersionIsOfferedOnceAndOlderOrEqualOnesNever) {
    LocalHttpServer server(LocalHttpServer::respond(200, feed("0.2.0")));
    qputenv("TESSALY_UPDATE_FEED", server.url("/feed.json").toEncoded());
    SUUpdater updater("0.1.0");
    qunsetenv("TESSALY_UPDATE_FEED");
    EXPECT_EQ(updater.feedURL(), server.url("/feed.json"));

    const QList<UpdateOffer> first = check(updater);
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first[0].version, "0.2.0");
    EXPECT_EQ(first[0].url, QUrl("https://example.org/get"));
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].method + " " + server.requests()[0].target, "GET /feed.json");
    EXPECT_EQ(server.requests()[0].header("User-Agent"), "Tessaly/0.1.0");

    // Checked again: the same version is not offered a second time.
    EXPECT_TRUE(check(updater).isEmpty());
    for (const char* older : {"0.1.0", "0.0.9"}) {
        server.setHandler(LocalHttpServer::respond(200, feed(older)));
        EXPECT_TRUE(check(updater).isEmpty()) << older;
    }
    server.setHandler(LocalHttpServer::respond(200, feed("0.3")));
    EXPECT_EQ(check(updater).value(0).version, "0.3");
}

TEST(Updater, MissingFailedOversizedOrBrokenFeedsOfferNothing) {
    QByteArray huge = feed("9.0");
    huge.insert(1, QByteArray(SUUpdater::kMaxFeedBytes, ' '));
    // Without a feed, or with one that is not on the web, nothing is fetched.
    qunsetenv("TESSALY_UPDATE_FEED");
    SUUpdater updater("0.1.0");
    EXPECT_TRUE(updater.feedURL().isEmpty());
    EXPECT_FALSE(updater.checkForUpdatesInBackground());
    EXPECT_FALSE(updater.isChecking());
    updater.setFeedURL(QUrl("file:///tmp/feed.json"));
    EXPECT_FALSE(updater.checkForUpdatesInBackground());
    EXPECT_EQ(updater.checksStarted(), 0);

    LocalHttpServer server;
    updater.setFeedURL(server.url("/feed.json"));
    for (const auto& handler : {LocalHttpServer::respond(500, feed("9.0")),
                                LocalHttpServer::respond(200, R"({"version": "9.0", "url": "file:///x"})"),
                                LocalHttpServer::respond(200, huge),
                                LocalHttpServer::writeThenDrop("HTTP/1.1 200 OK\r\nContent-Length: 90\r\n\r\n{")}) {
        server.setHandler(handler);
        EXPECT_TRUE(check(updater).isEmpty()) << updater.checksStarted();
    }
    // A check under way is not started twice.
    server.setHandler(LocalHttpServer::writeThenStall());
    EXPECT_TRUE(updater.checkForUpdatesInBackground());
    EXPECT_FALSE(updater.checkForUpdatesInBackground());
    EXPECT_EQ(updater.checksStarted(), 5);
}

TEST(UpdateAnnouncement, TheFirstButtonOpensTheDownloadPage) {
    ScriptedPlatform platform;
    const UpdateOffer offer{"0.2.0", QUrl("https://example.org/get")};
    platform.alertAnswers.enqueue(AlertSecondButton);
    tellUserOfUpdate(platform, offer, "0.1.0");
    ASSERT_EQ(platform.alerts.size(), 1);
    EXPECT_EQ(platform.alerts[0].title, "A new version of Tessaly is available");
    EXPECT_EQ(platform.alerts[0].message, "Tessaly 0.2.0 is available; you have 0.1.0. Open its download page?");
    EXPECT_TRUE(platform.openedURLs.isEmpty());
    tellUserOfUpdate(platform, offer, "0.1.0");
    EXPECT_EQ(platform.openedURLs, QList<QUrl>{offer.url});
}
