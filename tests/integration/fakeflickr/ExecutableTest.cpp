// The fakeflickr program: its first line, its flags, and refusing bad faults.
#include "Options.h"
#include "Photostream.h"
#include "ServiceClient.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct Running {
    QProcess process;
    QString baseUrl;
    ~Running() {
        process.kill();
        process.waitForFinished(5000);
    }
};

bool start(Running& r, const QStringList& args) {
    r.process.start(QStringLiteral(FAKEFLICKR_BIN), args);
    if (!r.process.waitForStarted(5000))
        return false;
    while (!r.process.canReadLine())
        if (!r.process.waitForReadyRead(10000))
            return false;
    const auto m = QRegularExpression("^listening on (http://127\\.0\\.0\\.1:\\d+)\\n$").match(QString::fromUtf8(r.process.readLine()));
    r.baseUrl = m.captured(1);
    return m.hasMatch();
}

} // namespace

TEST(Executable, ServesTheStreamItWasAskedFor) {
    Running r;
    ASSERT_TRUE(start(r, {"--photos", "1234", "--seed", "5", "--sets", "4", "--user", "alice",
                          "--fault", "error:flickr.photos.getExif:105"}));
    const fftest::Credentials anonymous{fakeflickr::kDemoApiKey, fakeflickr::kDemoSharedSecret, "", ""};
    const auto profile = fftest::callRest(r.baseUrl, "flickr.urls.getUserProfile", {}, anonymous);
    EXPECT_TRUE(profile.body.contains(r.baseUrl.toUtf8() + "/people/alice/\"")) << profile.body.constData();
    const auto sets = fftest::callRest(r.baseUrl, "flickr.photosets.getList", {}, anonymous);
    EXPECT_TRUE(sets.body.contains("total=\"4\"")) << sets.body.constData();
    const QString nsid = QString::fromUtf8(profile.body).section("nsid=\"", 1).section('"', 0, 0);
    // Unsigned, the stream shows its public pictures only.
    const fakeflickr::Photostream stream(1234, 5);
    int publicCount = 0;
    for (int i = 0; i < stream.size(); ++i)
        publicCount += stream.isPublicAt(i);
    const int lastPage = (publicCount + 499) / 500;
    const auto page = fftest::get(r.baseUrl + "/services/rest/?method=flickr.people.getPhotos&per_page=500&page="
                                  + QString::number(lastPage) + "&api_key=" + fakeflickr::kDemoApiKey
                                  + "&user_id=" + fftest::escape(nsid));
    EXPECT_TRUE(page.body.contains(QStringLiteral("total=\"%1\"").arg(publicCount).toUtf8())) << publicCount;
    EXPECT_EQ(page.body.count("<photo "), publicCount - (lastPage - 1) * 500);
    EXPECT_FALSE(page.body.contains("ispublic=\"0\""));
    EXPECT_TRUE(fftest::callRest(r.baseUrl, "flickr.photos.getExif", {{"photo_id", "1"}}, anonymous).body.contains("code=\"105\""));
}

TEST(Executable, OtherKeysAndBadFlagsAreRefused) {
    Running r;
    ASSERT_TRUE(start(r, {"--api-key", "k", "--shared-secret", "s", "--photos", "0"}));
    EXPECT_TRUE(fftest::callRest(r.baseUrl, "flickr.photosets.getList", {}, {"k", "s", "", ""}).body.contains("total=\"0\""));
    EXPECT_TRUE(fftest::callRest(r.baseUrl, "flickr.photosets.getList", {}, {fakeflickr::kDemoApiKey, "s", "", ""})
                    .body.contains("code=\"100\""));

    for (const QStringList& args : {QStringList{"--fault", "explode:flickr.test.login"}, QStringList{"--photos", "many"},
                                    QStringList{"--fault", "http404:flickr.test.login"}, QStringList{"--fault", "stall:flickr.test.login#0"},
                                    QStringList{"--burst", "0"}, QStringList{"--calls-per-hour", "-1"}}) {
        QProcess bad;
        bad.start(QStringLiteral(FAKEFLICKR_BIN), args);
        ASSERT_TRUE(bad.waitForFinished(10000));
        EXPECT_EQ(bad.exitCode(), 2);
        EXPECT_TRUE(bad.readAllStandardError().startsWith("fakeflickr: "));
    }
}

TEST(Executable, KeepsABudgetAndCountedFaults) {
    Running r;
    ASSERT_TRUE(start(r, {"--photos", "10", "--calls-per-hour", "2", "--burst", "2", "--no-retry-after",
                          "--fault", "http503:flickr.photosets.getList#1~2"}));
    const fftest::Credentials anonymous{fakeflickr::kDemoApiKey, fakeflickr::kDemoSharedSecret, "", ""};
    const auto busy = fftest::callRest(r.baseUrl, "flickr.photosets.getList", {}, anonymous);
    EXPECT_EQ(busy.status, 503);
    EXPECT_EQ(busy.retryAfter, QByteArray("2"));
    EXPECT_EQ(fftest::callRest(r.baseUrl, "flickr.photosets.getList", {}, anonymous).status, 200);
    // Two calls an hour, two at once: the third waits half an hour, and is not told so.
    const auto throttled = fftest::callRest(r.baseUrl, "flickr.photosets.getList", {}, anonymous);
    EXPECT_EQ(throttled.status, 429);
    EXPECT_FALSE(throttled.retryAfter.has_value());
}
