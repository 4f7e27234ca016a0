// tessaly-cli export and edit: copies named and sized as the export panel
// offers, and a picture's data sent to Flickr as the edit view sends it.
#include "CliFixture.h"

#include <tuple>

using namespace tessaly;
using namespace tessaly::test;

class CliChangeTest : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        startTwelveWithFiles();
    }
    QString out(const QString& name = {}) const { return path("out/") + name; }
    QStringList exported() const { return QDir(out()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QString field(const QString& id, const QString& name) const {
        return column("SELECT " + name + " FROM photos WHERE flickrID=?", {id}).value(0);
    }
    QString best(const fakeflickr::Photo& p) const { return pix(p.fileName(p.hasSize('o') ? 'o' : 'b')); }
};

TEST_F(CliChangeTest, ExportCopiesNamedAndSizedWithTheirTextsAndNeverReplacesAFile) {
    const fakeflickr::Photo a = service->photostream().photoAt(2), b = service->photostream().photoAt(3);
    // Named by prefix in the order given, originals, with their texts; the
    // video's own file beside its picture.
    ASSERT_TRUE(a.isVideo && !b.isVideo);
    CliResult result = run({"export", b.idText(), a.idText(), "--to", out(), "--name", "prefix:trip", "--text"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QString ext = "." + a.fileName('o').section('.', -1);
    EXPECT_EQ(exported(), QStringList({"trip_1" + ext, "trip_1.txt", "trip_2" + ext, "trip_2.mp4", "trip_2.txt"}));
    EXPECT_EQ(bytes(out("trip_2.mp4")),
              bytes(pix(column("SELECT file FROM videofiles WHERE flickrID=?", {a.idText()}).value(0))));
    EXPECT_EQ(bytes(out("trip_1" + ext)), bytes(best(b)));
    EXPECT_EQ(bytes(out("trip_2" + ext)), bytes(best(a)));
    const QString shown = run({"show", a.idText()}).out, exif = run({"show", "--exif", a.idText()}).out;
    EXPECT_EQ(QString::fromUtf8(bytes(out("trip_2.txt"))), exif.isEmpty() ? shown : shown + "\n\n" + exif);

    // Again, large and by file name: taken names get the row number, nothing is replaced.
    result = run({"export", a.idText(), "--to", out(), "--name", "prefix:trip", "--size", "large"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(exported().size(), 7);
    EXPECT_EQ(bytes(out("trip_2" + ext)), bytes(best(a)));

    // A picture whose file is gone is named, and the command fails; the other is copied.
    QFile::remove(pix(b.fileName('b')));
    result = run({"export", a.idText(), b.idText(), "--to", out("large"), "--name", "filename", "--size", "large"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(b.idText() + ")") && result.err.contains("not in the picture folder"))
        << result.err.toStdString();
    EXPECT_TRUE(QFile::exists(out("large/") + a.fileName('b')));
    EXPECT_FALSE(QFile::exists(out("large/") + b.fileName('b')));
    // An unknown picture copies nothing.
    EXPECT_EQ(run({"export", "1", a.idText(), "--to", out("none")}).exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(out("none")));
}

TEST_F(CliChangeTest, EditSendsWhatIsGivenAndTheArchiveFollowsFlickr) {
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
    CliResult result = run({"edit", id, "--license", license});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    ASSERT_EQ(service->writeCalls().size(), 1);
    EXPECT_EQ(service->writeCalls()[0].method, "flickr.photos.licenses.setLicense");
    fakeflickr::Photo after = *service->photo(id);
    EXPECT_EQ(after.license, license.toInt());
    EXPECT_EQ(std::tuple(after.title, after.description, after.rawTags, after.dateTaken, after.isPublic,
                         after.permComment, after.geotagged),
              std::tuple(before.title, before.description, before.rawTags, before.dateTaken, before.isPublic,
                         before.permComment, before.geotagged));
    EXPECT_EQ(run({"edit", id, "--license", license}).out,
              "Nothing to change: Flickr already holds these values for the picture " + id + ".\n");
    EXPECT_EQ(service->writeCalls().size(), 1);

    result = run({"edit", id, "--title", "Harbour at dusk", "--tags", "sunset \"new york\"", "--public", "0",
                  "--comments", "2", "--license", "4", "--location", " 45.5,-73.25 "});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
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
    EXPECT_EQ(run({"edit", "1", "--title", "x"}).exitCode, 1);
    EXPECT_EQ(service->writeCalls().size(), writes);

    // The copy exported with --metadata carries the new title; the file in the picture folder is untouched.
    const QByteArray original = bytes(best(*service->photo(id)));
    ASSERT_EQ(run({"export", id, "--to", out(), "--name", "prefix:m", "--metadata"}).exitCode, 0);
    const QByteArray copy = bytes(out("m_1." + service->photo(id)->fileName('o').section('.', -1)));
    EXPECT_TRUE(copy.contains("Harbour at dusk"));
    EXPECT_FALSE(original.contains("Harbour at dusk"));
    EXPECT_EQ(bytes(best(*service->photo(id))), original);

    // A call that fails stops the rest; what went before stays.
    ASSERT_TRUE(service->addFault("error:flickr.photos.setTags:1"));
    result = run({"edit", id, "--title", "Second", "--tags", "other"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("SetTags")) << result.err.toStdString();
    EXPECT_EQ(field(id, "title"), "Second");
    EXPECT_EQ(field(id, "tags"), "sunset \"new york\"");
}
