// The fakeflickr program: its first line, its flags, and refusing bad ones.
#include "ServiceClient.h"

#include <QProcess>
#include <QScopeGuard>
#include <QRegularExpression>

using namespace fftest;

namespace {

// Starts the program and reads the address from its first line.
QString start(QProcess& process, const QStringList& args) {
    process.start(QStringLiteral(FAKEFLICKR_BIN), args);
    while (process.waitForStarted(5000) && !process.canReadLine() && process.waitForReadyRead(10000)) {
    }
    return QRegularExpression("^listening on (http://127\\.0\\.0\\.1:\\d+)\\n$").match(QString::fromUtf8(process.readLine())).captured(1);
}

const Credentials anonymous{fakeflickr::kDemoApiKey, fakeflickr::kDemoSharedSecret, "", ""};

} // namespace

TEST(Executable, ServesTheStreamItWasAskedForKeepsABudgetAndCountedFaultsAndRefusesOtherKeysAndBadFlags) {
    QProcess process, limited;
    const auto stop = qScopeGuard([&] {
        for (QProcess* p : {&process, &limited})
            p->kill(), p->waitForFinished(5000);
    });
    const QString url = start(process, {"--photos", "1234", "--seed", "5", "--sets", "4", "--user", "alice",
                                        "--fault", "error:flickr.photos.getExif:105"});
    ASSERT_FALSE(url.isEmpty());
    const Reply profile = callRest(url, "flickr.urls.getUserProfile", {}, anonymous);
    EXPECT_EQ(L({value(profile, "user.url"), value(callRest(url, "flickr.photosets.getList", {}, anonymous), "photosets.total"),
                 value(callRest(url, "flickr.photos.getExif", {{"photo_id", "1"}}, anonymous), "err.code")}),
              L({url + "/people/alice/", "4", "105"}));
    // Unsigned, the stream shows its public pictures only.
    const fakeflickr::Photostream stream(1234, 5);
    int publicCount = 0;
    for (int i = 0; i < stream.size(); ++i)
        publicCount += stream.isPublicAt(i);
    const int lastPage = (publicCount + 499) / 500;
    const Reply page = get(url + "/services/rest/?method=flickr.people.getPhotos&per_page=500&page=" + QString::number(lastPage)
                           + "&api_key=" + fakeflickr::kDemoApiKey + "&user_id=" + escape(value(profile, "user.nsid")));
    EXPECT_EQ(value(page, "photos.total").toInt(), publicCount);
    EXPECT_EQ(values(page, "photos.photo[].ispublic"), L(publicCount - (lastPage - 1) * 500, "1"));

    const QString other = start(limited, {"--photos", "10", "--calls-per-hour", "2", "--burst", "2", "--no-retry-after", "--api-key",
                                          "k", "--shared-secret", "s", "--fault", "http503:flickr.photosets.getList#1~2"});
    // Two calls an hour, two at once: the third waits half an hour, and is not told so.
    QList<Reply> replies;
    for (const Credentials& c : {Credentials{"k", "s", "", ""}, anonymous, Credentials{"k", "s", "", ""}, Credentials{"k", "s", "", ""}})
        replies << callRest(other, "flickr.photosets.getList", {}, c);
    EXPECT_EQ(QList<int>({replies[0].status, replies[2].status, replies[3].status}), QList<int>({503, 200, 429}));
    EXPECT_EQ(L({value(replies[1], "err.code"), value(replies[2], "photosets.total")}), L({"100", "1"}));
    EXPECT_TRUE(replies[0].retryAfter == "2" && !replies[3].retryAfter.has_value());
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
