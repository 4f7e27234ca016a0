// tessaly-cli on twelve downloaded pictures: show prints the viewer's texts,
// export makes copies named and sized as the export panel offers, delete
// removes records with exactly their files, verify finds and repairs planted
// problems, edit sends a picture's data as the edit view sends it, and search
// prints the window's searches as text, JSON and CSV.
#include "CliFixture.h"
#include "search/SearchSql.h"
#include "viewer/PictureInfo.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

using namespace tessaly;
using namespace tessaly::test;

class CliPictureTest : public CliFixture {
protected:
    static inline const QStringList kColumns = {"flickrID", "title",     "description", "url_sq",
                                                "tags",     "latitude", "longitude",   "media"};
    void SetUp() override {
        CliFixture::SetUp();
        // Twelve pictures downloaded with every option; the one at 6 without EXIF data.
        fakeflickr::Options options = stream(12);
        options.faults = {"error:flickr.photos.getExif@photo=" + fakeflickr::Photostream(12, 1).photoAt(6).idText() +
                          ":2"};
        startConnected(options);
        run(0, {"sync", "--perms", "--exif", "--files"});
    }
    QStringList filesOf(int i) const { return QDir(pix()).entryList({idAt(i) + "_*"}, QDir::Files, QDir::Name); }
    QStringList count() const { return column("SELECT count(*) FROM photos"); }
    QString out(const QString& name = {}) const { return path("out/") + name; }
    QString best(const fakeflickr::Photo& p) const { return pix(p.fileName(p.hasSize('o') ? 'o' : 'b')); }
    // The rows of a search printed as JSON, every column, NULL marked.
    QList<QStringList> json(const QStringList& arguments) {
        const CliResult result = run(0, QStringList{"search", "--format", "json"} + arguments);
        const QJsonDocument document = QJsonDocument::fromJson(result.out.toUtf8());
        EXPECT_TRUE(document.isArray()) << result.out.toStdString();
        QList<QStringList> rows;
        for (const QJsonValue& value : document.array()) {
            EXPECT_EQ(value.toObject().keys().size(), kColumns.size());
            rows << QStringList{};
            for (const QString& column : kColumns)
                rows.last() << (value[column].isNull() ? "<null>" : value[column].toString());
        }
        return rows;
    }
    // The IDs a search finds, sorted or in its order.
    QStringList found(const QStringList& arguments, bool sorted = true) {
        QStringList ids;
        for (const QStringList& row : json(arguments))
            ids << row[0];
        if (sorted)
            ids.sort();
        return ids;
    }
    QStringList idsAt(const QList<int>& indexes) const {
        QStringList ids;
        for (int index : indexes)
            ids << idAt(index);
        ids.sort();
        return ids;
    }
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
    EXPECT_EQ(result.out, viewer::pictureInfoText(record.values, size, {"0 - nobody", "1 - friends & family",
                                                  "2 - contacts", "3 - everybody"}, QLocale("en_US")).text);
    const QString shown = result.out, exif = run(0, {"show", "--exif", id}).out;
    const QString exifdata = column(viewer::kExifQuery, {id}).value(0);
    ASSERT_FALSE(exifdata.isEmpty());
    EXPECT_EQ(exif, viewer::exifText(exifdata).text);
    // The picture whose EXIF download failed has none to print; what is not there.
    result = run(0, {"show", idAt(6), "--exif"});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.errLines(), QStringList{"The picture " + idAt(6) + " has no EXIF data in the archive."});
    EXPECT_EQ(run(1, {"show", "12345"}).err, "tessaly-cli: the archive of anna holds no picture 12345\n");
    EXPECT_EQ(run(1, {"show", id, "--account", "bob"}).errLines(),
              QStringList{"tessaly-cli: there is no account named bob (see tessaly-cli accounts)"});

    // Named by prefix in the order given, originals, with their texts; the
    // video's own file beside its picture.
    ASSERT_TRUE(a.isVideo && !b.isVideo);
    run(0, {"export", b.idText(), id, "--to", out(), "--name", "prefix:trip", "--text"});
    const QString ext = "." + a.fileName('o').section('.', -1);
    const auto exported = [&] { return QDir(out()).entryList(QDir::Files | QDir::Hidden, QDir::Name); };
    EXPECT_EQ(exported(), QStringList({"trip_1" + ext, "trip_1.txt", "trip_2" + ext, "trip_2.mp4", "trip_2.txt"}));
    EXPECT_EQ(bytes(out("trip_2.mp4")), bytes(pix(column("SELECT file FROM videofiles WHERE flickrID=?", {id})[0])));
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

TEST_F(CliPictureTest, DeleteVerifyAndEditKeepTheArchiveAndItsFilesRight) {
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
    for (int i : {0, 2, 3, 5, 6, 7, 8, 9, 10, 11})
        if (service->photostream().photoAt(i).hasSize('o') && service->photostream().photoAt(i).hasSize('b'))
            whole << service->photostream().photoAt(i);
    const QString video = column("SELECT file FROM videofiles ORDER BY file").value(0);
    ASSERT_TRUE(whole.size() >= 3 && !video.isEmpty());
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

    // Edit: a picture's data sent to Flickr as the edit view sends it.
    const QString id = idAt(5);
    // A licence alone changes the licence alone: texts the archive cannot
    // hold as they are stay on Flickr byte for byte.
    const QString description = QString::fromUtf8("Line one\n\nLine three: \\\"q\\\" ~ & <b>\tZürich");
    service->editPhoto(id, [&](fakeflickr::Photo& p) {
        p.title = "Say \\\"cheese\\\" ~";
        p.description = description;
    });
    const auto data = [](const fakeflickr::Photo& p) {
        return std::tuple(p.title, p.description, p.rawTags, p.dateTaken, p.isPublic, p.permComment, p.license,
                          p.geotagged, p.latitude, p.longitude);
    };
    fakeflickr::Photo want = *service->photo(id);
    const QString license = want.license == 4 ? "5" : "4";
    want.license = license.toInt();
    run(0, {"edit", id, "--license", license});
    ASSERT_EQ(service->writeCalls().size(), 1);
    EXPECT_EQ(service->writeCalls()[0].method, "flickr.photos.licenses.setLicense");
    EXPECT_EQ(data(*service->photo(id)), data(want));
    EXPECT_EQ(run(0, {"edit", id, "--license", license}).out,
              "Nothing to change: Flickr already holds these values for the picture " + id + ".\n");
    EXPECT_EQ(service->writeCalls().size(), 1);

    run(0, {"edit", id, "--title", "Harbour at dusk", "--tags", "sunset \"new york\"", "--public", "0", "--comments",
            "2", "--license", "4", "--location", " 45.5,-73.25 "});
    // The description as Flickr held it.
    const fakeflickr::Photo after = *service->photo(id);
    EXPECT_EQ(data(after), std::tuple(QString("Harbour at dusk"), description, QStringList({"sunset", "new york"}),
                                      want.dateTaken, false, 2, 4, true, 45.5, -73.25));
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


TEST_F(CliPictureTest, SearchPrintsTheArchivesRowsInEveryFormatAndStopsAStatementThatDoesNotEnd) {
    // One word, in a title (with a comma, quotes and a line break), a
    // description, the tags and a camera make.
    sql("UPDATE photos SET title=? WHERE flickrID=?", {"Zanzibar, \"the\"\nbeach", idAt(3)});
    sql("UPDATE photos SET description='off zanzibar' WHERE flickrID=?", {idAt(7)});
    sql("UPDATE photos SET tags='sea zanzibar' WHERE flickrID=?", {idAt(9)});
    sql("UPDATE photos SET Make='ZANZIBAR' WHERE flickrID=?", {idAt(11)});
    sql("UPDATE photos SET media='video' WHERE flickrID IN (?,?,?)", {idAt(0), idAt(7), idAt(10)});
    // The archive's own rows, in the window's first sort: newest taken first.
    QString csv = kColumns.join(',') + "\n", text;
    QList<QStringList> rows;
    for (const SqlRow& found : sql(search::kBaseSelect + "WHERE flickrID IN (?,?,?,?) ORDER BY datetaken DESC",
                                   {idAt(3), idAt(7), idAt(9), idAt(11)})) {
        QStringList row;
        for (int i = 0; i < kColumns.size(); ++i)
            row << (found.isNull(i) ? "<null>" : found.value(i));
        rows << row;
        text += row[0] + "\t" + row[7] + "\t" + QString(row[1]).replace('\n', ' ') + "\n";
        for (QString& field : row)
            field = field == "<null>" ? QString()
                    : field.contains(QRegularExpression("[,\"\r\n]")) ? "\"" + field.replace("\"", "\"\"") + "\""
                                                                      : field;
        csv += row.join(',') + "\n";
    }
    EXPECT_EQ(json({"--quick", "zanzibar"}), rows);
    EXPECT_TRUE(csv.contains(",\"Zanzibar, \"\"the\"\"\nbeach\","));
    EXPECT_TRUE(text.contains("\tZanzibar, \"the\" beach\n"));
    EXPECT_EQ(run(0, {"search", "--quick", "zanzibar", "--format=csv"}).out, csv);
    EXPECT_EQ(run(0, {"search", "--quick", "zanzibar"}).out, text);

    // The SQL editor's tail, and what the window refuses.
    const QStringList videos = column("SELECT flickrID FROM photos WHERE media='video' ORDER BY views, flickrID");
    EXPECT_GE(videos.size(), 3);
    EXPECT_EQ(found({"--where", "WHERE media = \"video\" ORDER BY views ASC, flickrID ASC"}, false), videos);
    EXPECT_EQ(json({"--where", ""}).size(), 12);
    for (const QString tail : {"; DELETE FROM photos", "WHERE nonsense =="}) {
        const CliResult result = run(1, {"search", "--where", tail});
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_TRUE(result.err.startsWith("SQL Error: ")) << result.err.toStdString();
        EXPECT_TRUE(result.err.endsWith("\ntessaly-cli: the search failed\n"));
    }
    EXPECT_EQ(count(), QStringList{"12"});
    // Nothing matches: an empty array, a header alone, no lines.
    EXPECT_EQ(json({"--quick", "no such words"}), QList<QStringList>{});
    EXPECT_EQ(run(0, {"search", "--quick", "no such words", "--format", "csv"}).out, kColumns.join(',') + "\n");
    EXPECT_EQ(run(0, {"search", "--quick", "no such words"}).out, "");

    // Everything without a location but a few: Paris, the Louvre 1.2 km away,
    // Versailles 17.7 km away, Sydney, and two on the equator.
    sql("UPDATE photos SET latitude='0', longitude='0'");
    const QStringList places = {"48.8566,2.3522", "48.8606,2.3376", "48.8049,2.1204", "-33.8568,151.2153",
                                "0,9.45",         "0.001,9.451"};
    for (int i = 0; i < places.size(); ++i)
        sql("UPDATE photos SET latitude=?, longitude=? WHERE flickrID=?",
            {places[i].section(',', 0, 0), places[i].section(',', 1), idAt(i + 1)});
    sql("UPDATE photos SET title='kilimanjaro' WHERE flickrID IN (?,?)", {idAt(1), idAt(3)});
    EXPECT_EQ(found({"--where", "", "--near", "48.8566,2.3522", "--within", "2000"}), idsAt({1, 2}));
    EXPECT_EQ(found({"--where", "", "--near", "48.8566,2.3522", "--within", "20000"}), idsAt({1, 2, 3}));
    // A result row's location line pastes in as it is; the filter follows a quick search too.
    EXPECT_EQ(found({"--quick", "kilimanjaro", "--near", "LAT,LON: 48.8566,2.3522", "--within", "2000"}), idsAt({1}));
    EXPECT_EQ(found({"--where", "", "--near", "-33.86,151.21", "--within", "1000"}), idsAt({4}));
    // A centre on the equator is a place like any other.
    EXPECT_EQ(found({"--where", "", "--near", "0,9.45", "--within", "1000"}), idsAt({5, 6}));

    // Saved searches.
    const QString byViews = search::kBaseSelect + "ORDER BY views DESC";
    const QVariantMap saved = {{"searchName", "most viewed"}, {"savedSearch", byViews}};
    QSettings(prefsFile(), QSettings::IniFormat).setValue("savedSearches", QVariantList{saved});
    EXPECT_EQ(found({"--saved", "most viewed"}, false), column("SELECT flickrID FROM photos ORDER BY views DESC"));
    EXPECT_EQ(run(1, {"search", "--saved", "Most viewed"}).errLines(),
              QStringList{"tessaly-cli: there is no saved search named Most viewed"});

    // The stream still lists every picture; an archive from before the
    // comparison lists none either.
    EXPECT_EQ(run(0, {"search", "--removed"}).out, "");
    sql("DROP TABLE removedfromflickr");
    EXPECT_EQ(run(0, {"search", "--removed", "--format", "csv"}).out, kColumns.join(',') + "\n");
    service->removePhotos({5, 9, 10});
    EXPECT_TRUE(run(0, {"sync"}).err.contains("The archive keeps 3 pictures that are no longer in your Flickr "
                                              "photostream.\n"));
    EXPECT_EQ(found({"--removed"}), idsAt({5, 9, 10}));
    // Kept, not deleted: until the user deletes one.
    EXPECT_EQ(count(), QStringList{"12"});
    run(0, {"delete", idAt(9), "--yes"});
    EXPECT_EQ(run({"search", "--removed"}).outLines().size(), 2);

    // A statement that does not end ends at its time, or on Ctrl+C.
    const QString endless =
        "WHERE flickrID IN (WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT x FROM n)";
    QElapsedTimer clock;
    clock.start();
    CliResult result = run({"search", "--where", endless, "--timeout", "1"}, 20000);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_LT(clock.elapsed(), 12000);
    EXPECT_TRUE(result.err.contains("The search was stopped after 1 second: ")) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    const auto process = start({"search", "--where", endless});
    QTest::qWait(800);
    ::kill(pid_t(process->processId()), SIGINT);
    result = finish(*process, 20000);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.endsWith("tessaly-cli: the search was stopped\n")) << result.err.toStdString();
}
