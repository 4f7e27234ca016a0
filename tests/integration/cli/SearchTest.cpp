// tessaly-cli search: the window's searches printed as text, JSON and CSV,
// the distance filter, saved searches and the pictures Flickr no longer has.
#include "CliArchive.h"
#include "CliFixture.h"
#include "search/SearchSql.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <csignal>

using namespace tessaly;
using namespace tessaly::test;

namespace {

const QStringList kColumns = {"flickrID", "title",    "description", "url_sq",
                              "tags",     "latitude", "longitude",   "media"};

// RFC 4180 read back: quoted fields may hold commas, doubled quotes and line breaks.
QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += '"', ++i;
            else if (ch == '"')
                quoted = false;
            else
                field += ch;
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == ',') {
            record << field, field.clear();
        } else if (ch == '\n') {
            records << (record << field), record.clear(), field.clear();
        } else {
            field += ch;
        }
    }
    EXPECT_FALSE(quoted);
    EXPECT_TRUE(field.isEmpty() && record.isEmpty()) << "the last line ends with a line break";
    return records;
}

QList<QStringList> parseJson(const QString& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    EXPECT_TRUE(document.isArray());
    QList<QStringList> rows;
    for (const QJsonValue& value : document.array()) {
        const QJsonObject object = value.toObject();
        EXPECT_EQ(object.keys().size(), kColumns.size());
        QStringList row;
        for (const QString& column : kColumns)
            row << (object.value(column).isNull() ? "<null>" : object.value(column).toString());
        rows << row;
    }
    return rows;
}

QStringList ids(const QList<QStringList>& rows) {
    QStringList found;
    for (const QStringList& row : rows)
        found << row.value(0);
    return found;
}

} // namespace

class CliSearchTest : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        fakeflickr::Options options;
        options.photos = 40;
        startSynced(options);
    }
    QString db() const { return archivePath(); }
    // The archive's own eight columns of a picture, NULL marked.
    QStringList stored(const QString& id) {
        CliArchive archive(db());
        const QList<SqlRow> rows = archive.rows(search::kBaseSelect + "WHERE flickrID=?", {id});
        EXPECT_EQ(rows.size(), 1) << id.toStdString();
        QStringList row;
        for (int i = 0; i < kColumns.size(); ++i)
            row << (rows.value(0).isNull(i) ? "<null>" : rows.value(0).value(i));
        return row;
    }
};

TEST_F(CliSearchTest, EveryFormatPrintsTheRowsTheArchiveHolds) {
    // One word, in a title (with a comma, quotes and a line break), a
    // description, the tags and a camera make.
    {
        CliArchive archive(db());
        archive.change("UPDATE photos SET title=? WHERE flickrID=?",
                       {"Zanzibar, \"the\"\nbeach", idAt(3)});
        archive.change("UPDATE photos SET description='off zanzibar' WHERE flickrID=?", {idAt(7)});
        archive.change("UPDATE photos SET tags='sea zanzibar' WHERE flickrID=?", {idAt(11)});
        archive.change("UPDATE photos SET Make='ZANZIBAR' WHERE flickrID=?", {idAt(20)});
        archive.change("UPDATE photos SET media='video' WHERE flickrID IN (?,?,?)",
                       {idAt(0), idAt(7), idAt(25)});
    }
    const QStringList matching = {idAt(3), idAt(7), idAt(11), idAt(20)};
    // The window's first sort: newest taken first.
    CliArchive archive(db());
    const QStringList inOrder = archive.column(
        "SELECT flickrID FROM photos WHERE flickrID IN (?,?,?,?) ORDER BY datetaken DESC",
        {matching[0], matching[1], matching[2], matching[3]});

    const CliResult json = run({"search", "--quick", "zanzibar", "--format", "json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QList<QStringList> rows = parseJson(json.out);
    EXPECT_EQ(ids(rows), inOrder);
    for (const QStringList& row : rows)
        EXPECT_EQ(row, stored(row[0]));

    const CliResult csv = run({"search", "--quick", "zanzibar", "--format=csv"});
    ASSERT_EQ(csv.exitCode, 0);
    const QList<QStringList> records = parseCsv(csv.out);
    ASSERT_FALSE(records.isEmpty());
    EXPECT_EQ(records.first(), kColumns);
    EXPECT_EQ(records.mid(1).size(), rows.size());
    for (qsizetype i = 1; i < records.size(); ++i) {
        QStringList expected = rows[i - 1];
        expected.replaceInStrings(QRegularExpression("^<null>$"), QString());
        EXPECT_EQ(records[i], expected);
    }

    const CliResult text = run({"search", "--quick", "zanzibar"});
    ASSERT_EQ(text.exitCode, 0);
    QStringList lines;
    for (const QStringList& row : rows)
        lines << row[0] + "\t" + row[7] + "\t" + QString(row[1]).replace('\n', ' ');
    EXPECT_EQ(text.outLines(), lines);
    EXPECT_TRUE(
        text.out.contains(idAt(3) + "\t" + stored(idAt(3))[7] + "\tZanzibar, \"the\" beach\n"));

    // The SQL editor's tail, and what the window refuses.
    const CliResult videos =
        run({"search", "--where", "WHERE media = \"video\" ORDER BY views ASC, flickrID ASC",
             "--format", "json"});
    ASSERT_EQ(videos.exitCode, 0) << videos.err.toStdString();
    const QStringList videoIDs = archive.column(
        "SELECT flickrID FROM photos WHERE media='video' ORDER BY views ASC, flickrID ASC");
    EXPECT_GE(videoIDs.size(), 3);
    EXPECT_EQ(ids(parseJson(videos.out)), videoIDs);
    EXPECT_EQ(parseJson(run({"search", "--where", "", "--format", "json"}).out).size(), 40);

    for (const QString& tail : {QString("; DELETE FROM photos"), QString("WHERE nonsense ==")}) {
        const CliResult refused = run({"search", "--where", tail});
        EXPECT_EQ(refused.exitCode, 1) << tail.toStdString();
        EXPECT_TRUE(refused.out.isEmpty());
        EXPECT_TRUE(refused.err.startsWith("SQL Error: ")) << refused.err.toStdString();
        EXPECT_TRUE(refused.err.endsWith("\ntessaly-cli: the search failed\n"));
    }
    EXPECT_EQ(archive.column("SELECT count(*) FROM photos"), QStringList{"40"});
    // Nothing matches: an empty array, a header alone, no lines.
    EXPECT_EQ(parseJson(run({"search", "--quick", "no such words", "--format", "json"}).out),
              QList<QStringList>{});
    EXPECT_EQ(run({"search", "--quick", "no such words", "--format", "csv"}).out,
              kColumns.join(',') + "\n");
    EXPECT_EQ(run({"search", "--quick", "no such words"}).out, "");
}

TEST_F(CliSearchTest, NearAndWithinKeepThePicturesInsideTheRadius) {
    {
        CliArchive archive(db());
        // Everything without a location but a few around Paris.
        archive.change("UPDATE photos SET latitude='0', longitude='0'");
        const auto place = [&](int index, const QString& lat, const QString& lon) {
            archive.change("UPDATE photos SET latitude=?, longitude=? WHERE flickrID=?",
                           {lat, lon, idAt(index)});
        };
        place(1, "48.8566", "2.3522");    // Paris
        place(2, "48.8606", "2.3376");    // the Louvre, 1.2 km away
        place(3, "48.8049", "2.1204");    // Versailles, 17.7 km away
        place(4, "-33.8568", "151.2153"); // Sydney
        place(5, "0", "9.45");            // on the equator
        place(6, "0.001", "9.451");
        archive.change("UPDATE photos SET title='zanzibar' WHERE flickrID IN (?,?)",
                       {idAt(1), idAt(3)});
    }
    const auto found = [&](const QStringList& arguments) {
        const CliResult result = run(QStringList{"search", "--format", "json"} + arguments);
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        QStringList sorted = ids(parseJson(result.out));
        sorted.sort();
        return sorted;
    };
    const auto sortedIds = [&](QList<int> indexes) {
        QStringList list;
        for (int index : indexes)
            list << idAt(index);
        list.sort();
        return list;
    };
    const QStringList paris = {"--near", "48.8566,2.3522"};
    EXPECT_EQ(found(QStringList{"--where", ""} + paris + QStringList{"--within", "2000"}),
              sortedIds({1, 2}));
    EXPECT_EQ(found(QStringList{"--where", ""} + paris + QStringList{"--within", "20000"}),
              sortedIds({1, 2, 3}));
    // A result row's location line pastes in as it is; the filter follows a
    // quick search too.
    EXPECT_EQ(
        found({"--quick", "zanzibar", "--near", "LAT,LON: 48.8566,2.3522", "--within", "2000"}),
        sortedIds({1}));
    EXPECT_EQ(found({"--where", "", "--near", "-33.86,151.21", "--within", "1000"}),
              sortedIds({4}));
    // A centre on the equator is a place like any other.
    EXPECT_EQ(found({"--where", "", "--near", "0,9.45", "--within", "1000"}), sortedIds({5, 6}));

    for (const QStringList& bad :
         {QStringList{"--where", "", "--near", "48.8,2.3"},
          {"--where", "", "--within", "10"},
          QStringList{"--where", "", "--near", "95,2.3", "--within", "10"},
          QStringList{"--where", "", "--near", "Paris", "--within", "10"},
          QStringList{"--where", "", "--near", "48.8,2.3", "--within", "0"},
          QStringList{"--where", "", "--near", "48.8,2.3", "--within", "-5"}}) {
        const CliResult result = run(QStringList{"search"} + bad);
        EXPECT_EQ(result.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_EQ(result.errLines().size(), 1) << result.err.toStdString();
    }
}

TEST_F(CliSearchTest, SavedSearchesAndThePicturesFlickrNoLongerHas) {
    {
        QSettings settings(prefsFile(), QSettings::IniFormat);
        settings.setValue("savedSearches",
                          QVariantList{QVariantMap{
                              {"searchName", "most viewed"},
                              {"savedSearch", search::kBaseSelect + "ORDER BY views DESC"}}});
    }
    CliResult result = run({"search", "--saved", "most viewed", "--format", "json"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    CliArchive archive(db());
    EXPECT_EQ(ids(parseJson(result.out)),
              archive.column("SELECT flickrID FROM photos ORDER BY views DESC"));
    result = run({"search", "--saved", "Most viewed"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(),
              QStringList{"tessaly-cli: there is no saved search named Most viewed"});

    // The stream still lists every picture; an archive from before the
    // comparison lists none either.
    EXPECT_EQ(run({"search", "--removed"}).out, "");
    archive.change("DROP TABLE removedfromflickr");
    result = run({"search", "--removed", "--format", "csv"});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, kColumns.join(',') + "\n");

    service->removePhotos({5, 9, 30});
    result = run({"sync"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(
        "The archive keeps 3 pictures that are no longer in your Flickr photostream.\n"))
        << result.err.toStdString();
    QStringList removed = {idAt(5), idAt(9), idAt(30)};
    removed.sort();
    result = run({"search", "--removed", "--format", "json"});
    QStringList listed = ids(parseJson(result.out));
    listed.sort();
    EXPECT_EQ(listed, removed);
    // Kept, not deleted: until the user deletes one.
    EXPECT_EQ(archive.column("SELECT count(*) FROM photos"), QStringList{"40"});
    ASSERT_EQ(run({"delete", idAt(9), "--yes"}).exitCode, 0);
    EXPECT_EQ(run({"search", "--removed"}).outLines().size(), 2);
}

TEST_F(CliSearchTest, AnEndlessStatementEndsAtItsTimeOrOnCtrlC) {
    const QString endless = "WHERE flickrID IN (WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                            "FROM n) SELECT x FROM n)";
    QElapsedTimer clock;
    clock.start();
    CliResult result = run({"search", "--where", endless, "--timeout", "2"}, {}, 20000);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_TRUE(result.err.contains("The search was stopped after 2 seconds")) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_EQ(run({"search", "--where", "", "--timeout", "0"}).exitCode, 2);

    const auto process = start({"search", "--where", endless});
    QTest::qWait(800);
    ::kill(pid_t(process->processId()), SIGINT);
    result = finish(*process, 20000);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.endsWith("tessaly-cli: the search was stopped\n")) << result.err.toStdString();
}
