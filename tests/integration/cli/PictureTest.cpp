// tessaly-cli show and delete: one picture's texts as the viewer builds
// them, and pictures deleted from the archive as the application deletes them.
#include "CliArchive.h"
#include "CliFixture.h"
#include "viewer/PictureInfo.h"

#include <QFileInfo>

using namespace tessaly;
using namespace tessaly::test;

namespace {
const QStringList kPermissionLabels = {"0 - nobody", "1 - friends & family", "2 - contacts",
                                       "3 - everybody"};
}

class CliPictureTest : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        fakeflickr::Options options;
        options.photos = 12;
        // The picture at 6 gets no EXIF data.
        options.faults = {"error:flickr.photos.getExif@photo=" +
                          fakeflickr::Photostream(12, options.seed).photoAt(6).idText() + ":2"};
        startSynced(options, {"--perms", "--exif", "--files"});
    }
    QString db() const { return archivePath(); }
    QString pix(const QString& name = {}) const { return path("loc/anna_pix/") + name; }
    QStringList filesOf(int index) const {
        QStringList names = QDir(pix()).entryList({idAt(index) + "_*"}, QDir::Files);
        names.sort();
        return names;
    }
};

TEST_F(CliPictureTest, ShowPrintsTheTextsTheViewerBuilds) {
    const QString id = idAt(2);
    env.insert("LC_ALL", "en_US.UTF-8"); // grouping separators in the file size
    // A size not known yet is measured on the original file, and stored.
    CliArchive(db()).change("UPDATE photos SET filesize='0' WHERE flickrID=?", {id});
    CliResult result = run({"show", id});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();

    CliArchive archive(db());
    const SqlRow record = archive.rows(viewer::kPictureInfoQuery, {id}).value(0);
    const QString original = record.value(viewer::column::url_o).section('/', -1);
    const qint64 size = QFileInfo(pix(original)).size();
    ASSERT_GT(size, 0);
    EXPECT_EQ(record.value(viewer::column::filesize), QString::number(size));
    const QString expected =
        viewer::pictureInfoText(record.values, size, kPermissionLabels,
                                QLocale(QLocale::English, QLocale::UnitedStates))
            .text;
    EXPECT_EQ(result.out, expected);
    EXPECT_TRUE(result.out.startsWith("\nOwner Name:  ")) << result.out.toStdString();

    result = run({"show", "--exif", id});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QString exifdata = archive.column(viewer::kExifQuery, {id}).value(0);
    ASSERT_FALSE(exifdata.isEmpty());
    EXPECT_EQ(result.out, viewer::exifText(exifdata).text);

    // The picture whose EXIF download failed has none to print.
    result = run({"show", idAt(6), "--exif"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.errLines(),
              QStringList{"The picture " + idAt(6) + " has no EXIF data in the archive."});

    // What is not there.
    result = run({"show", "12345"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(),
              QStringList{"tessaly-cli: the archive of anna holds no picture 12345"});
    result = run({"show", id, "--account", "bob"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(),
              QStringList{"tessaly-cli: there is no account named bob (see tessaly-cli accounts)"});
    ASSERT_TRUE(QFile::rename(db(), db() + ".away"));
    ASSERT_TRUE(QDir().mkpath(db())); // a folder where the archive was cannot be opened
    result = run({"show", id});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.endsWith("tessaly-cli: the archive " + db() + " cannot be opened\n"))
        << result.err.toStdString();
}

TEST_F(CliPictureTest, DeleteRemovesTheRecordsAndExactlyTheirFiles) {
    const QString first = idAt(1), second = idAt(4);
    ASSERT_EQ(filesOf(1).size(), 3);
    // Files that belong to the record by name, and one that only looks alike.
    QFile(pix(first + "_notes.txt")).open(QIODevice::WriteOnly);
    QFile(pix(first + "1_other.jpg")).open(QIODevice::WriteOnly);
    const QStringList untouched = filesOf(0) + filesOf(2);
    const auto count = [&] { return CliArchive(db()).column("SELECT count(*) FROM photos"); };

    // Unconfirmed, or with an ID the archive lacks: nothing goes.
    CliResult result = run({"delete", first, second});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.errLines().size(), 1);
    EXPECT_TRUE(result.err.contains("--yes"));
    result = run({"delete", first, "999", second, "--yes"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(),
              QStringList{"tessaly-cli: the archive of anna holds no picture 999"});
    EXPECT_EQ(count(), QStringList{"12"});
    EXPECT_EQ(filesOf(1).size(), 4);

    result = run({"delete", first, second, first, "--yes"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "Deleted 2 pictures from the archive.\n");
    EXPECT_EQ(count(), QStringList{"10"});
    EXPECT_TRUE(CliArchive(db())
                    .rows("SELECT 1 FROM photos WHERE flickrID IN (?,?)", {first, second})
                    .isEmpty());
    EXPECT_EQ(filesOf(1), QStringList{});
    EXPECT_EQ(filesOf(4), QStringList{});
    EXPECT_TRUE(QFile::exists(pix(first + "1_other.jpg")));
    EXPECT_EQ(filesOf(0) + filesOf(2), untouched);
    EXPECT_TRUE(run({"status"}).out.startsWith("10 pictures and ")) << run({"status"}).out.toStdString();
    EXPECT_FALSE(run({"search", "--where", ""}).out.contains(first));
    // Deleted once, unknown the next time.
    EXPECT_EQ(run({"delete", second, "--yes"}).exitCode, 1);
}
