// The update check: the feed document, version order, and SUUpdater against a feed served from 127.0.0.1.
#include "LocalHttpServer.h"
#include "SUUpdater.h"
#include "ScriptedPlatform.h"
#include "Wait.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tessaly;

TEST(Updater, OffersOnlyNewerDottedVersionsWithWebAddressesOnceAndFailingFeedsNothing) {
    // The address is opened in the browser: no files, scripts or hostless addresses.
    for (const char* body :
         {R"({"version":"2","url":"file:///etc/passwd"})", R"j({"version":"2","url":"javascript:alert(1)"})j",
          R"({"version":"2","url":"https:///nohost"})", R"({"version":"2"})", R"({"version":"2.x","url":"https://h/"})",
          R"({"version":" ","url":"https://h/"})", R"({"version":2,"url":"https://h/"})", R"(["2","https://h/"])",
          "not json", ""})
        EXPECT_FALSE(parseUpdateFeed(body)) << body;
    for (const auto& [a, b, order] : {std::tuple("1.10", "1.9", 1), std::tuple("0.1.0", "0.2", -1),
                                      std::tuple("1.2", "1.2.0", 0), std::tuple("1.2.0.1", "1.2", 1),
                                      std::tuple("9", "10", -1)}) {
        const int got = compareVersions(a, b);
        EXPECT_EQ((got > 0) - (got < 0), order) << a << " against " << b;
    }

    const auto feed = [](const char* version) {
        return QByteArray(R"({"version": ")") + version + R"(", "url": "http://example.org/get"})";
    };
    LocalHttpServer server(LocalHttpServer::respond(200, feed("0.2.0")));
    const auto check = [](SUUpdater& updater) {
        QList<UpdateOffer> offers;
        updater.setUpdateFoundHandler([&](const UpdateOffer& offer) { offers << offer; });
        QSignalSpy finished(&updater, &SUUpdater::checkFinished);
        EXPECT_TRUE(updater.checkForUpdatesInBackground());
        EXPECT_TRUE(test::waitFor([&] { return !finished.isEmpty(); }, 10000));
        test::waitFor([] { return false; }, 20); // the queued hand-over
        return offers;
    };
    qputenv("TESSALY_UPDATE_FEED", server.url("/feed.json").toEncoded());
    SUUpdater updater("0.1.0");
    qunsetenv("TESSALY_UPDATE_FEED");
    const QList<UpdateOffer> first = check(updater);
    EXPECT_EQ(first.size(), 1);
    EXPECT_EQ(first.value(0).version + " " + first.value(0).url.toString(), "0.2.0 http://example.org/get");
    const LocalHttpRequest seen = server.requests().value(0);
    EXPECT_EQ(seen.method + " " + seen.target + " " + seen.header("User-Agent"), "GET /feed.json Tessaly/0.1.0");
    // Checked again, or an older one: not offered; a newer one still is.
    EXPECT_TRUE(check(updater).isEmpty());
    server.setHandler(LocalHttpServer::respond(200, feed("0.1.0")));
    EXPECT_TRUE(check(updater).isEmpty());
    server.setHandler(LocalHttpServer::respond(200, feed("1")));
    EXPECT_EQ(check(updater).value(0).version, "1");

    QByteArray huge = feed("9.0");
    huge.insert(1, QByteArray(SUUpdater::kMaxFeedBytes, ' '));
    for (const auto& handler : {LocalHttpServer::respond(500, feed("9.0")), LocalHttpServer::respond(200, huge),
                                LocalHttpServer::writeThenDrop("HTTP/1.1 200 OK\r\nContent-Length: 90\r\n\r\n{")}) {
        server.setHandler(handler);
        EXPECT_TRUE(check(updater).isEmpty()) << updater.checksStarted();
    }
    // A check under way is not started twice.
    server.setHandler(LocalHttpServer::writeThenStall());
    EXPECT_TRUE(updater.checkForUpdatesInBackground());
    EXPECT_FALSE(updater.checkForUpdatesInBackground());
    EXPECT_EQ(updater.checksStarted(), 8);

    // Without a feed, or with one that is not on the web, nothing is fetched.
    SUUpdater unset("0.1.0");
    EXPECT_FALSE(unset.checkForUpdatesInBackground());
    unset.setFeedURL(QUrl("file:///tmp/feed.json"));
    EXPECT_FALSE(unset.checkForUpdatesInBackground());
    EXPECT_EQ(unset.checksStarted(), 0);

    ScriptedPlatform platform;
    platform.alertAnswers.enqueue(AlertSecondButton); // then the first button
    tellUserOfUpdate(platform, first.value(0), "0.1.0");
    tellUserOfUpdate(platform, first.value(0), "0.1.0");
    EXPECT_EQ(platform.alerts.value(0).message, "Tessaly 0.2.0 is available; you have 0.1.0. Open its download page?");
    EXPECT_EQ(platform.openedURLs, QList<QUrl>{QUrl("http://example.org/get")});
}
