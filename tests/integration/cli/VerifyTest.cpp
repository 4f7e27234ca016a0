// tessaly-cli verify: planted problems found, repaired, and found no more.
#include "CliArchive.h"
#include "CliFixture.h"
#include "QtGTest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace tessaly::test;

class CliVerifyTest : public CliFixture {
protected:
    QString pix(const QString& name = {}) const { return path("loc/anna_pix/") + name; }
    // The problems of a JSON report, one "problem id role" text each (or "stray name").
    static QStringList problems(const QString& json) {
        QStringList found;
        for (const QJsonValue& value : QJsonDocument::fromJson(json.toUtf8()).array()) {
            const QJsonObject o = value.toObject();
            found << (o["problem"].toString() == "stray"
                          ? "stray " + QFileInfo(o["file"].toString()).fileName()
                          : o["problem"].toString() + " " + o["flickrID"].toString() + " " + o["role"].toString());
        }
        found.sort();
        return found;
    }
};

TEST_F(CliVerifyTest, FindsWhatIsBrokenRepairsItAndListsStrayFiles) {
    fakeflickr::Options options;
    options.photos = 12;
    startSynced(options, {"--files"});
    const auto& stream = service->photostream();
    // Pictures whose original and large files are files of their own.
    QList<fakeflickr::Photo> whole;
    for (int i = 0; i < stream.size(); ++i)
        if (stream.photoAt(i).hasSize('o') && stream.photoAt(i).hasSize('b'))
            whole << stream.photoAt(i);
    ASSERT_GE(whole.size(), 3);
    const fakeflickr::Photo& a = whole[0];
    const fakeflickr::Photo& b = whole[1];
    const fakeflickr::Photo& c = whole[2];
    ASSERT_TRUE(QFile::remove(pix(a.fileName('o'))));
    QFile large(pix(b.fileName('b')));
    ASSERT_TRUE(large.resize(large.size() / 2));
    QFile square(pix(c.fileName('s')));
    ASSERT_TRUE(square.open(QIODevice::WriteOnly | QIODevice::Truncate));
    square.write("<html><body>Service unavailable</body></html>\n");
    square.close();
    // A video file cut short.
    QString videoID;
    for (int i = 0; i < stream.size() && videoID.isEmpty(); ++i)
        if (stream.photoAt(i).isVideo)
            videoID = stream.photoAt(i).idText();
    ASSERT_FALSE(videoID.isEmpty());
    const QString videoName = CliArchive(path("loc/anna_db")).column("SELECT file FROM videofiles WHERE flickrID=?", {videoID}).value(0);
    QFile video(pix(videoName));
    ASSERT_TRUE(video.resize(video.size() - 100));
    QFile stray(pix("notes.txt"));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.write("mine");
    stray.close();

    CliResult result = run({"verify", "--format", "json"});
    EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
    QStringList expected = {"missing " + a.idText() + " original", "truncated " + b.idText() + " large",
                            "not-an-image " + c.idText() + " square", "truncated " + videoID + " video",
                            "stray notes.txt"};
    expected.sort();
    EXPECT_EQ(problems(result.out), expected);

    result = run({"verify", "--repair"});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.outLines(), QStringList({"All of your picture files have finished downloading.",
                                              pix("notes.txt") + " is in the picture folder, but no record names it"}));
    // Nothing was deleted: the broken files went aside, the stray file stays.
    QStringList aside = {b.fileName('b'), c.fileName('s'), videoName};
    aside.sort();
    EXPECT_EQ(QDir(pix(".broken")).entryList(QDir::Files, QDir::Name), aside);
    EXPECT_TRUE(QFile::exists(pix("notes.txt")));
    EXPECT_EQ(run({"verify", "--deep"}).exitCode, 0);
}
