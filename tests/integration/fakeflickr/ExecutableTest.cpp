// The fakeflickr program: its first line, its flags, and refusing bad faults.
#include "Options.h"
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
    const auto page = fftest::get(r.baseUrl + "/services/rest/?method=flickr.people.getPhotos&per_page=500&page=3&api_key="
                                  + fakeflickr::kDemoApiKey + "&user_id=" + fftest::escape(nsid));
    EXPECT_TRUE(page.body.contains("total=\"1234\""));
    EXPECT_EQ(page.body.count("<photo "), 234);
    EXPECT_TRUE(fftest::callRest(r.baseUrl, "flickr.photos.getExif", {{"photo_id", "1"}}, anonymous).body.contains("code=\"105\""));
}

TEST(Executable, OtherKeysAndBadFlagsAreRefused) {
    Running r;
    ASSERT_TRUE(start(r, {"--api-key", "k", "--shared-secret", "s", "--photos", "0"}));
    EXPECT_TRUE(fftest::callRest(r.baseUrl, "flickr.photosets.getList", {}, {"k", "s", "", ""}).body.contains("total=\"0\""));
    EXPECT_TRUE(fftest::callRest(r.baseUrl, "flickr.photosets.getList", {}, {fakeflickr::kDemoApiKey, "s", "", ""})
                    .body.contains("code=\"100\""));

    for (const QStringList& args : {QStringList{"--fault", "explode:flickr.test.login"}, QStringList{"--photos", "many"}}) {
        QProcess bad;
        bad.start(QStringLiteral(FAKEFLICKR_BIN), args);
        ASSERT_TRUE(bad.waitForFinished(10000));
        EXPECT_EQ(bad.exitCode(), 2);
        EXPECT_TRUE(bad.readAllStandardError().startsWith("fakeflickr: "));
    }
}
