// tessaly-cli show, export, delete, verify and edit on twelve downloaded
// pictures: the viewer's texts, copies named and sized as the export panel
// offers, records deleted with exactly their files, planted problems found
// and repaired, and a picture's data sent to Flickr as the edit view sends it.
#include "CliFixture.h"
#include "viewer/PictureInfo.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <tuple>

using namespace tessaly;
using namespace tessaly::test;

class CliPictureTest : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        startTwelveWithFiles();
    }
    QStringList filesOf(int index) const { return QDir(pix()).entryList({idAt(index) + "_*"}, QDir::Files, QDir::Name); }
    QStringList count() const { return column("SELECT count(*) FROM photos"); }
    QString out(const QString& name = {}) const { return path("out/") + name; }
    QString best(const fakeflickr::Photo& p) const { return pix(p.fileName(p.hasSize('o') ? 'o' : 'b')); }
};

TEST_F(CliPictureTest, ShowPrintsTheViewersTextsAndExportCopiesThemWithoutReplacingAFile) {
    const fakeflickr::Photo a = service->photostream().photoAt(2), b = service->photostream().photoAt(3);
    const QString id = a.idText();
    env.insert("LC_ALL", "en_US.UTF-8"); // grouping separators in the file size
    // A size not known yet is measured on the original file, and stored.
    sql("UPDATE photos SET filesize='0' WHERE flickrID=?", {id});
    CliResult result = run(0, {"show", id});
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();
    const SqlRow record = sql(viewer::kPictureInfoQuery, {id}).value(0);
    const qint64 size = QFileInfo(pix(record.value(viewer::column::url_o).section('/', -1))).size();
    ASSERT_GT(size, 0);
    EXPECT_EQ(record.value(viewer::column::filesize), QString::number(size));
    const QStringList permissions = {"0 - nobody", "1 - friends & family", "2 - contacts", "3 - everybody"};
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(result.out, viewer::pictureInfoText(record.values, size, permissions, english).text);
    EXPECT_TRUE(result.out.startsWith("\nOwner Name:  ")) << result.out.toStdString();
    const QString shown = result.out, exif = run(0, {"show", "--exif", id}).out;
    ASSERT_FALSE(column(viewer::kExifQuery, {id}).value(0).isEmpty());
    EXPECT_EQ(exif, viewer::exifText(column(viewer::kExifQuery, {id}).value(0)).text);
    // The picture whose EXIF download failed has none to print; what is not there.
    result = run(0, {"show", idAt(6), "--exif"});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.errLines(), QStringList{"The picture " + idAt(6) + " has no EXIF data in the archive."});
    EXPECT_EQ(run(1, {"show", "12345"}).errLines(), QStringList{"tessaly-cli: the archive of anna holds no picture 12345"});
    EXPECT_EQ(run(1, {"show", id, "--account", "bob"}).errLines(),
              QStringList{"tessaly-cli: there is no account named bob (see tessaly-cli accounts)"});

    // Named by prefix in the order given, originals, with their texts; the
    // video's own file beside its picture.
    ASSERT_TRUE(a.isVideo && !b.isVideo);
    run(0, {"export", b.idText(), id, "--to", out(), "--name", "prefix:trip", "--text"});
    const QString ext = "." + a.fileName('o').section('.', -1);
    const auto exported = [&] { return QDir(out()).entryList(QDir::Files | QDir::Hidden, QDir::Name); };
    EXPECT_EQ(exported(), QStringList({"trip_1" + ext, "trip_1.txt", "trip_2" + ext, "trip_2.mp4", "trip_2.txt"}));
    EXPECT_EQ(bytes(out("trip_2.mp4")), bytes(pix(column("SELECT file FROM videofiles WHERE flickrID=?", {id}).value(0))));
    EXPECT_EQ(bytes(out("trip_1" + ext)), bytes(best(b)));
    EXPECT_EQ(bytes(out("trip_2" + ext)), bytes(best(a)));
    EXPECT_EQ(QString::fromUtf8(bytes(out("trip_2.txt"))), shown + "\n\n" + exif);
    // Again, large: taken names get the row number, nothing is replaced.
    run(0, {"export", id, "--to", out(), "--name", "prefix:trip", "--size", "large"});
    EXPECT_EQ(exported().size(), 7);
    EXPECT_EQ(bytes(out("trip_2" + ext)), bytes(best(a)));
    // A picture whose file is gone is named, and the command fails; the other is copied.
    QFile::remove(pix(b.fileName('b')));
    result = run(1, {"export", id, b.idText(), "--to", out("large"), "--name", "filename", "--size", "large"});
    EXPECT_TRUE(result.err.contains(b.idText() + ")") && result.err.contains("not in the picture folder"));
    EXPECT_TRUE(QFile::exists(out("large/") + a.fileName('b')));
    EXPECT_FALSE(QFile::exists(out("large/") + b.fileName('b')));
    // An unknown picture copies nothing.
    run(1, {"export", "1", id, "--to", out("none")});
    EXPECT_FALSE(QFileInfo::exists(out("none")));
}

TEST_F(CliPictureTest, DeleteRemovesExactlyTheirFilesAndVerifyFindsAndRepairsWhatIsBroken) {
    const QString first = idAt(1), second = idAt(4), lookalike = first + "1_other.jpg";
    ASSERT_EQ(filesOf(1).size(), 3);
    // Files that belong to the record by name, and one that only looks alike.
    write(pix(first + "_notes.txt"), "");
    write(pix(lookalike), "");
    const QStringList untouched = filesOf(0) + filesOf(2);
    // An ID the archive lacks: nothing goes.
    EXPECT_EQ(run(1, {"delete", first, "999", second, "--yes"}).errLines(),
              QStringList{"tessaly-cli: the archive of anna holds no picture 999"});
    EXPECT_EQ(count(), QStringList{"12"});
    EXPECT_EQ(filesOf(1).size(), 4);

    EXPECT_EQ(run(0, {"delete", first, second, first, "--yes"}).out, "Deleted 2 pictures from the archive.\n");
    EXPECT_EQ(count(), QStringList{"10"});
    EXPECT_TRUE(sql("SELECT 1 FROM photos WHERE flickrID IN (?,?)", {first, second}).isEmpty());
    EXPECT_EQ(filesOf(1) + filesOf(4), QStringList{});
    EXPECT_TRUE(QFile::exists(pix(lookalike)));
    EXPECT_EQ(filesOf(0) + filesOf(2), untouched);
    EXPECT_TRUE(run({"status"}).out.startsWith("10 pictures and "));
    EXPECT_FALSE(run({"search", "--where", ""}).out.contains(first));
    run(1, {"delete", second, "--yes"}); // deleted once, unknown the next time

    // Of the pictures left whose original and large files are files of their
    // own: one without its original, one large file cut short, one square
    // file that is a web page; and a video file cut short.
    QList<fakeflickr::Photo> whole;
    QString video;
    for (int i = 0; i < 12; ++i) {
        const fakeflickr::Photo p = service->photostream().photoAt(i);
        if (i != 1 && i != 4 && p.hasSize('o') && p.hasSize('b'))
            whole << p;
        if (i != 1 && i != 4 && p.isVideo && video.isEmpty())
            video = column("SELECT file FROM videofiles WHERE flickrID=?", {p.idText()}).value(0);
    }
    ASSERT_GE(whole.size(), 3);
    ASSERT_FALSE(video.isEmpty());
    ASSERT_TRUE(QFile::remove(pix(whole[0].fileName('o'))));
    QFile large(pix(whole[1].fileName('b'))), videoFile(pix(video));
    ASSERT_TRUE(large.resize(large.size() / 2) && videoFile.resize(videoFile.size() - 100));
    write(pix(whole[2].fileName('s')), "<html><body>Service unavailable</body></html>\n");

    QStringList problems;
    for (const QJsonValue& o : QJsonDocument::fromJson(run(1, {"verify", "--format", "json"}).out.toUtf8()).array())
        problems << (o["problem"].toString() == "stray"
                         ? "stray " + QFileInfo(o["file"].toString()).fileName()
                         : o["problem"].toString() + " " + o["flickrID"].toString() + " " + o["role"].toString());
    problems.sort();
    QStringList expected = {"missing " + whole[0].idText() + " original", "truncated " + whole[1].idText() + " large",
                            "not-an-image " + whole[2].idText() + " square",
                            "truncated " + video.section('_', 0, 0) + " video", "stray " + lookalike};
    expected.sort();
    EXPECT_EQ(problems, expected);

    EXPECT_EQ(run(0, {"verify", "--repair"}).outLines(),
              QStringList({"All of your picture files have finished downloading.",
                           pix(lookalike) + " is in the picture folder, but no record names it"}));
    // Nothing was deleted: the broken files went aside, the stray file stays.
    QStringList aside = {whole[1].fileName('b'), whole[2].fileName('s'), video};
    aside.sort();
    EXPECT_EQ(QDir(pix(".broken")).entryList(QDir::Files, QDir::Name), aside);
    EXPECT_TRUE(QFile::exists(pix(lookalike)));
    run(0, {"verify", "--deep"});
}

TEST_F(CliPictureTest, EditSendsWhatIsGivenAndTheArchiveFollowsFlickr) {
    const QString id = idAt(4);
    // A licence alone changes the licence alone: texts the archive cannot
    // hold as they are stay on Flickr byte for byte.
    const QString description = QString::fromUtf8("Line one\n\nLine three: \\\"q\\\" ~ & <b>\tZürich");
    service->editPhoto(id, [&](fakeflickr::Photo& p) {
        p.title = "Say \\\"cheese\\\" ~";
        p.description = description;
    });
    const fakeflickr::Photo before = *service->photo(id);
    const QString license = before.license == 4 ? "5" : "4";
    run(0, {"edit", id, "--license", license});
    ASSERT_EQ(service->writeCalls().size(), 1);
    EXPECT_EQ(service->writeCalls()[0].method, "flickr.photos.licenses.setLicense");
    fakeflickr::Photo after = *service->photo(id);
    EXPECT_EQ(after.license, license.toInt());
    EXPECT_EQ(std::tuple(after.title, after.description, after.rawTags, after.dateTaken, after.isPublic,
                         after.permComment, after.geotagged),
              std::tuple(before.title, before.description, before.rawTags, before.dateTaken, before.isPublic,
                         before.permComment, before.geotagged));
    EXPECT_EQ(run(0, {"edit", id, "--license", license}).out,
              "Nothing to change: Flickr already holds these values for the picture " + id + ".\n");
    EXPECT_EQ(service->writeCalls().size(), 1);

    run(0, {"edit", id, "--title", "Harbour at dusk", "--tags", "sunset \"new york\"", "--public", "0", "--comments",
            "2", "--license", "4", "--location", " 45.5,-73.25 "});
    after = *service->photo(id);
    EXPECT_EQ(std::tuple(after.title, after.description, after.rawTags, after.isPublic, after.permComment,
                         after.license), // the description as Flickr held it
              std::tuple(QString("Harbour at dusk"), description, QStringList({"sunset", "new york"}), false, 2, 4));
    EXPECT_DOUBLE_EQ(after.latitude, 45.5);
    EXPECT_DOUBLE_EQ(after.longitude, -73.25);
    EXPECT_EQ(sql("SELECT title,tags,ispublic,permcomment,license,latitude,longitude FROM photos WHERE flickrID=?",
                  {id}).value(0).values,
              QStringList({"Harbour at dusk", "sunset \"new york\"", "0", "2", "4", "45.5", "-73.25"}));
    // An unknown picture sends nothing.
    const qsizetype writes = service->writeCalls().size();
    run(1, {"edit", "1", "--title", "x"});
    EXPECT_EQ(service->writeCalls().size(), writes);

    // The copy exported with --metadata carries the new title; the file in the picture folder is untouched.
    const QByteArray original = bytes(best(after));
    run(0, {"export", id, "--to", out(), "--name", "prefix:m", "--metadata"});
    EXPECT_TRUE(bytes(out("m_1." + after.fileName('o').section('.', -1))).contains("Harbour at dusk"));
    EXPECT_FALSE(original.contains("Harbour at dusk"));
    EXPECT_EQ(bytes(best(after)), original);

    // A call that fails stops the rest; what went before stays.
    ASSERT_TRUE(service->addFault("error:flickr.photos.setTags:1"));
    EXPECT_TRUE(run(1, {"edit", id, "--title", "Second", "--tags", "other"}).err.contains("SetTags"));
    EXPECT_EQ(column("SELECT title || '|' || tags FROM photos WHERE flickrID=?", {id}),
              QStringList{"Second|sunset \"new york\""});
}
