// tessaly-cli show, delete and verify: one picture's texts as the viewer
// builds them, pictures deleted from the archive as the application deletes
// them, and planted problems found, repaired, and found no more.
#include "CliFixture.h"
#include "viewer/PictureInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace tessaly;
using namespace tessaly::test;

class CliPictureTest : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        startTwelveWithFiles();
    }
    QStringList filesOf(int index) const {
        QStringList names = QDir(pix()).entryList({idAt(index) + "_*"}, QDir::Files);
        names.sort();
        return names;
    }
    QStringList count() const { return column("SELECT count(*) FROM photos"); }
};

TEST_F(CliPictureTest, ShowPrintsTheTextsTheViewerBuilds) {
    const QString id = idAt(2);
    env.insert("LC_ALL", "en_US.UTF-8"); // grouping separators in the file size
    // A size not known yet is measured on the original file, and stored.
    sql("UPDATE photos SET filesize='0' WHERE flickrID=?", {id});
    CliResult result = run({"show", id});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();
    const SqlRow record = sql(viewer::kPictureInfoQuery, {id}).value(0);
    const qint64 size = QFileInfo(pix(record.value(viewer::column::url_o).section('/', -1))).size();
    ASSERT_GT(size, 0);
    EXPECT_EQ(record.value(viewer::column::filesize), QString::number(size));
    const QStringList permissions = {"0 - nobody", "1 - friends & family", "2 - contacts", "3 - everybody"};
    EXPECT_EQ(result.out,
              viewer::pictureInfoText(record.values, size, permissions, QLocale(QLocale::English, QLocale::UnitedStates))
                  .text);
    EXPECT_TRUE(result.out.startsWith("\nOwner Name:  ")) << result.out.toStdString();

    result = run({"show", "--exif", id});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QString exifdata = column(viewer::kExifQuery, {id}).value(0);
    ASSERT_FALSE(exifdata.isEmpty());
    EXPECT_EQ(result.out, viewer::exifText(exifdata).text);

    // The picture whose EXIF download failed has none to print.
    result = run({"show", idAt(6), "--exif"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.errLines(), QStringList{"The picture " + idAt(6) + " has no EXIF data in the archive."});

    // What is not there.
    result = run({"show", "12345"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(), QStringList{"tessaly-cli: the archive of anna holds no picture 12345"});
    result = run({"show", id, "--account", "bob"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(), QStringList{"tessaly-cli: there is no account named bob (see tessaly-cli accounts)"});
}

TEST_F(CliPictureTest, DeleteRemovesExactlyTheirFilesAndVerifyFindsAndRepairsWhatIsBroken) {
    const QString first = idAt(1), second = idAt(4), lookalike = first + "1_other.jpg";
    ASSERT_EQ(filesOf(1).size(), 3);
    // Files that belong to the record by name, and one that only looks alike.
    write(pix(first + "_notes.txt"), "");
    write(pix(lookalike), "");
    const QStringList untouched = filesOf(0) + filesOf(2);

    // An ID the archive lacks: nothing goes.
    CliResult result = run({"delete", first, "999", second, "--yes"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(), QStringList{"tessaly-cli: the archive of anna holds no picture 999"});
    EXPECT_EQ(count(), QStringList{"12"});
    EXPECT_EQ(filesOf(1).size(), 4);

    result = run({"delete", first, second, first, "--yes"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "Deleted 2 pictures from the archive.\n");
    EXPECT_EQ(count(), QStringList{"10"});
    EXPECT_TRUE(sql("SELECT 1 FROM photos WHERE flickrID IN (?,?)", {first, second}).isEmpty());
    EXPECT_EQ(filesOf(1), QStringList{});
    EXPECT_EQ(filesOf(4), QStringList{});
    EXPECT_TRUE(QFile::exists(pix(lookalike)));
    EXPECT_EQ(filesOf(0) + filesOf(2), untouched);
    result = run({"status"});
    EXPECT_TRUE(result.out.startsWith("10 pictures and ")) << result.out.toStdString();
    EXPECT_FALSE(run({"search", "--where", ""}).out.contains(first));
    EXPECT_EQ(run({"delete", second, "--yes"}).exitCode, 1); // deleted once, unknown the next time

    // Of the pictures left whose original and large files are files of their
    // own: one without its original, one large file cut short, one square
    // file that is a web page; and a video file cut short.
    const auto& stream = service->photostream();
    QList<fakeflickr::Photo> whole;
    QString video;
    for (int i = 0; i < stream.size(); ++i) {
        const fakeflickr::Photo p = stream.photoAt(i);
        if (i != 1 && i != 4 && p.hasSize('o') && p.hasSize('b'))
            whole << p;
        if (i != 1 && i != 4 && p.isVideo && video.isEmpty())
            video = column("SELECT file FROM videofiles WHERE flickrID=?", {p.idText()}).value(0);
    }
    ASSERT_GE(whole.size(), 3);
    ASSERT_FALSE(video.isEmpty());
    ASSERT_TRUE(QFile::remove(pix(whole[0].fileName('o'))));
    QFile large(pix(whole[1].fileName('b')));
    ASSERT_TRUE(large.resize(large.size() / 2));
    write(pix(whole[2].fileName('s')), "<html><body>Service unavailable</body></html>\n");
    QFile videoFile(pix(video));
    ASSERT_TRUE(videoFile.resize(videoFile.size() - 100));

    result = run({"verify", "--format", "json"});
    EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
    QStringList problems;
    for (const QJsonValue& value : QJsonDocument::fromJson(result.out.toUtf8()).array()) {
        const QJsonObject o = value.toObject();
        problems << (o["problem"].toString() == "stray" ? "stray " + QFileInfo(o["file"].toString()).fileName()
                                                        : o["problem"].toString() + " " + o["flickrID"].toString() +
                                                              " " + o["role"].toString());
    }
    problems.sort();
    QStringList expected = {"missing " + whole[0].idText() + " original", "truncated " + whole[1].idText() + " large",
                            "not-an-image " + whole[2].idText() + " square",
                            "truncated " + video.section('_', 0, 0) + " video", "stray " + lookalike};
    expected.sort();
    EXPECT_EQ(problems, expected);

    result = run({"verify", "--repair"});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.outLines(), QStringList({"All of your picture files have finished downloading.",
                                              pix(lookalike) + " is in the picture folder, but no record names it"}));
    // Nothing was deleted: the broken files went aside, the stray file stays.
    QStringList aside = {whole[1].fileName('b'), whole[2].fileName('s'), video};
    aside.sort();
    EXPECT_EQ(QDir(pix(".broken")).entryList(QDir::Files, QDir::Name), aside);
    EXPECT_TRUE(QFile::exists(pix(lookalike)));
    EXPECT_EQ(run({"verify", "--deep"}).exitCode, 0);
}
