// tessaly-cli search: the window's searches printed as text, JSON and CSV,
// the distance filter, saved searches, the pictures Flickr no longer has, and
// statements that do not end.
#include "CliFixture.h"
#include "search/SearchSql.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <tuple>

using namespace tessaly;
using namespace tessaly::test;

namespace {

const QStringList kColumns = {"flickrID", "title", "description", "url_sq", "tags", "latitude", "longitude", "media"};

QStringList ids(const QList<QStringList>& rows, bool sorted = false) {
    QStringList found;
    for (const QStringList& row : rows)
        found << row.value(0);
    if (sorted)
        found.sort();
    return found;
}

} // namespace

class CliSearchTest : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        fakeflickr::Options options;
        options.photos = 40;
        startConnected(options);
        run(0, {"sync"});
    }
    // The archive's own eight columns of a picture, NULL marked.
    QStringList stored(const QString& id) {
        const QList<SqlRow> rows = sql(search::kBaseSelect + "WHERE flickrID=?", {id});
        EXPECT_EQ(rows.size(), 1) << id.toStdString();
        QStringList row;
        for (int i = 0; i < kColumns.size(); ++i)
            row << (rows.value(0).isNull(i) ? "<null>" : rows.value(0).value(i));
        return row;
    }
    // The rows of a search printed as JSON, every column, NULL marked.
    QList<QStringList> json(const QStringList& arguments) {
        const CliResult result = run(0, QStringList{"search", "--format", "json"} + arguments);
        const QJsonDocument document = QJsonDocument::fromJson(result.out.toUtf8());
        EXPECT_TRUE(document.isArray()) << result.out.toStdString();
        QList<QStringList> rows;
        for (const QJsonValue& value : document.array()) {
            EXPECT_EQ(value.toObject().keys().size(), kColumns.size());
            QStringList row;
            for (const QString& column : kColumns)
                row << (value[column].isNull() ? "<null>" : value[column].toString());
            rows << row;
        }
        return rows;
    }
    QStringList sortedIds(const QList<int>& indexes) const {
        QStringList list;
        for (int index : indexes)
            list << idAt(index);
        list.sort();
        return list;
    }
};

TEST_F(CliSearchTest, EveryFormatPrintsTheRowsTheArchiveHoldsAndNearKeepsThoseInsideTheRadius) {
    // One word, in a title (with a comma, quotes and a line break), a
    // description, the tags and a camera make.
    sql("UPDATE photos SET title=? WHERE flickrID=?", {"Zanzibar, \"the\"\nbeach", idAt(3)});
    sql("UPDATE photos SET description='off zanzibar' WHERE flickrID=?", {idAt(7)});
    sql("UPDATE photos SET tags='sea zanzibar' WHERE flickrID=?", {idAt(11)});
    sql("UPDATE photos SET Make='ZANZIBAR' WHERE flickrID=?", {idAt(20)});
    sql("UPDATE photos SET media='video' WHERE flickrID IN (?,?,?)", {idAt(0), idAt(7), idAt(25)});
    // The window's first sort: newest taken first.
    const QStringList inOrder = column("SELECT flickrID FROM photos WHERE flickrID IN (?,?,?,?) ORDER BY datetaken DESC",
                                       {idAt(3), idAt(7), idAt(11), idAt(20)});
    const QList<QStringList> rows = json({"--quick", "zanzibar"});
    EXPECT_EQ(ids(rows), inOrder);
    QString csv = kColumns.join(',') + "\n", text;
    for (QStringList row : rows) {
        EXPECT_EQ(row, stored(row[0]));
        text += row[0] + "\t" + row[7] + "\t" + QString(row[1]).replace('\n', ' ') + "\n";
        for (QString& field : row)
            field = field == "<null>" ? QString()
                    : field.contains(QRegularExpression("[,\"\r\n]")) ? "\"" + field.replace("\"", "\"\"") + "\""
                                                                      : field;
        csv += row.join(',') + "\n";
    }
    EXPECT_EQ(run(0, {"search", "--quick", "zanzibar", "--format=csv"}).out, csv);
    EXPECT_TRUE(csv.contains(",\"Zanzibar, \"\"the\"\"\nbeach\","));
    EXPECT_EQ(run(0, {"search", "--quick", "zanzibar"}).out, text);
    EXPECT_TRUE(text.contains(idAt(3) + "\t" + stored(idAt(3))[7] + "\tZanzibar, \"the\" beach\n"));

    // The SQL editor's tail, and what the window refuses.
    const QStringList videoIDs =
        column("SELECT flickrID FROM photos WHERE media='video' ORDER BY views ASC, flickrID ASC");
    EXPECT_GE(videoIDs.size(), 3);
    EXPECT_EQ(ids(json({"--where", "WHERE media = \"video\" ORDER BY views ASC, flickrID ASC"})), videoIDs);
    EXPECT_EQ(json({"--where", ""}).size(), 40);
    for (const QString& tail : {QString("; DELETE FROM photos"), QString("WHERE nonsense ==")}) {
        const CliResult result = run(1, {"search", "--where", tail});
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_TRUE(result.err.startsWith("SQL Error: ")) << result.err.toStdString();
        EXPECT_TRUE(result.err.endsWith("\ntessaly-cli: the search failed\n"));
    }
    EXPECT_EQ(column("SELECT count(*) FROM photos"), QStringList{"40"});
    // Nothing matches: an empty array, a header alone, no lines.
    EXPECT_EQ(json({"--quick", "no such words"}), QList<QStringList>{});
    EXPECT_EQ(run(0, {"search", "--quick", "no such words", "--format", "csv"}).out, kColumns.join(',') + "\n");
    EXPECT_EQ(run(0, {"search", "--quick", "no such words"}).out, "");

    // Everything without a location but a few around Paris.
    sql("UPDATE photos SET latitude='0', longitude='0'");
    const QList<std::tuple<int, QString, QString>> places = {
        {1, "48.8566", "2.3522"},    // Paris
        {2, "48.8606", "2.3376"},    // the Louvre, 1.2 km away
        {3, "48.8049", "2.1204"},    // Versailles, 17.7 km away
        {4, "-33.8568", "151.2153"}, // Sydney
        {5, "0", "9.45"},            // on the equator
        {6, "0.001", "9.451"}};
    for (const auto& [index, lat, lon] : places)
        sql("UPDATE photos SET latitude=?, longitude=? WHERE flickrID=?", {lat, lon, idAt(index)});
    sql("UPDATE photos SET title='kilimanjaro' WHERE flickrID IN (?,?)", {idAt(1), idAt(3)});
    EXPECT_EQ(ids(json({"--where", "", "--near", "48.8566,2.3522", "--within", "2000"}), true), sortedIds({1, 2}));
    EXPECT_EQ(ids(json({"--where", "", "--near", "48.8566,2.3522", "--within", "20000"}), true), sortedIds({1, 2, 3}));
    // A result row's location line pastes in as it is; the filter follows a quick search too.
    EXPECT_EQ(ids(json({"--quick", "kilimanjaro", "--near", "LAT,LON: 48.8566,2.3522", "--within", "2000"})),
              sortedIds({1}));
    EXPECT_EQ(ids(json({"--where", "", "--near", "-33.86,151.21", "--within", "1000"})), sortedIds({4}));
    // A centre on the equator is a place like any other.
    EXPECT_EQ(ids(json({"--where", "", "--near", "0,9.45", "--within", "1000"}), true), sortedIds({5, 6}));
}

TEST_F(CliSearchTest, SavedSearchesThePicturesFlickrNoLongerHasAndEndlessStatements) {
    QSettings(prefsFile(), QSettings::IniFormat)
        .setValue("savedSearches", QVariantList{QVariantMap{{"searchName", "most viewed"},
                                                            {"savedSearch", search::kBaseSelect + "ORDER BY views DESC"}}});
    EXPECT_EQ(ids(json({"--saved", "most viewed"})), column("SELECT flickrID FROM photos ORDER BY views DESC"));
    EXPECT_EQ(run(1, {"search", "--saved", "Most viewed"}).errLines(),
              QStringList{"tessaly-cli: there is no saved search named Most viewed"});

    // The stream still lists every picture; an archive from before the
    // comparison lists none either.
    EXPECT_EQ(run(0, {"search", "--removed"}).out, "");
    sql("DROP TABLE removedfromflickr");
    EXPECT_EQ(run(0, {"search", "--removed", "--format", "csv"}).out, kColumns.join(',') + "\n");

    service->removePhotos({5, 9, 30});
    EXPECT_TRUE(run(0, {"sync"}).err.contains(
        "The archive keeps 3 pictures that are no longer in your Flickr photostream.\n"));
    EXPECT_EQ(ids(json({"--removed"}), true), sortedIds({5, 9, 30}));
    // Kept, not deleted: until the user deletes one.
    EXPECT_EQ(column("SELECT count(*) FROM photos"), QStringList{"40"});
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
