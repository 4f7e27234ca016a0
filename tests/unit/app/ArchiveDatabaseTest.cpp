#include "AppFixture.h"
#include "archive/ArchiveDatabase.h"
#include "archive/Schema.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

using namespace tessaly;
using tessaly::test::AppFixture;

namespace {

QStringList column(ArchiveDatabase& db, const QString& sql) {
    QStringList values;
    const SqlResult result = db.exec(sql, [&](const SqlRow& row) {
        values << (row.isNull(0) ? QStringLiteral("<null>") : row.value(0));
        return 0;
    });
    EXPECT_TRUE(result.ok()) << result.message.toStdString();
    return values;
}

} // namespace

TEST(ArchiveDatabase, RowCallbackSeesTextsAndNullsAndCanStop) {
    ArchiveDatabase db;
    ASSERT_TRUE(db.open(":memory:").ok());
    ASSERT_TRUE(db.exec("CREATE TABLE t(a TEXT, b INTEGER); INSERT INTO t VALUES('x', NULL);"
                        "INSERT INTO t VALUES('y', 2);")
                    .ok());
    QList<SqlRow> rows;
    SqlResult result = db.exec("SELECT a, b FROM t ORDER BY a", [&](const SqlRow& row) {
        rows << row;
        return 0;
    });
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].names, QStringList({"a", "b"}));
    EXPECT_TRUE(rows[0].isNull(1));
    EXPECT_EQ(rows[1].value(1), "2");

    int seen = 0;
    result = db.exec("SELECT a FROM t", [&](const SqlRow&) { return ++seen == 1 ? 999 : 0; });
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(result.code, SQLITE_ABORT);
}

TEST(ArchiveDatabase, BoundValuesAreStoredExactlyAndNeverReadAsColumns) {
    ArchiveDatabase db;
    ASSERT_TRUE(db.open(":memory:").ok());
    ASSERT_TRUE(db.exec(schema::kCreatePhotos).ok());
    // A value that equals a column name, quotes and a backslash stay texts.
    const QString title = "title";
    const QString description = "say \"hi\" \\ and 'bye'";
    ASSERT_TRUE(db.run("INSERT INTO photos (flickrID,title,description,views) VALUES(?,?,?,?)",
                       {"42", title, description, 7})
                    .ok());
    EXPECT_EQ(column(db, "SELECT title FROM photos"), QStringList{"title"});
    EXPECT_EQ(column(db, "SELECT description FROM photos"), QStringList{description});
    EXPECT_EQ(column(db, "SELECT typeof(views) FROM photos"), QStringList{"integer"});
}

TEST(ArchiveDatabase, DuplicateKeyIsRecognisedByItsCode) {
    ArchiveDatabase db;
    ASSERT_TRUE(db.open(":memory:").ok());
    ASSERT_TRUE(db.exec(schema::kCreatePhotos).ok());
    ASSERT_TRUE(db.exec("INSERT INTO photos (flickrID) VALUES(\"1\")").ok());
    const SqlResult again = db.exec("INSERT INTO photos (flickrID) VALUES(\"1\")");
    EXPECT_TRUE(again.isUniquenessViolation());
    const SqlResult bad = db.exec("INSERT INTO nowhere VALUES(1)");
    EXPECT_FALSE(bad.ok());
    EXPECT_FALSE(bad.isUniquenessViolation());
}

TEST(ArchiveDatabase, DoubleQuotedTextsCompareAsStrings) {
    ArchiveDatabase db;
    ASSERT_TRUE(db.open(":memory:").ok());
    ASSERT_TRUE(db.exec(schema::kCreatePhotos).ok());
    ASSERT_TRUE(db.run("INSERT INTO photos (flickrID,media) VALUES(?,?)", {"1", "video"}).ok());
    EXPECT_EQ(column(db, "SELECT flickrID FROM photos WHERE media = \"video\""), QStringList{"1"});
}

TEST(ArchiveDatabase, StatementsWithoutAConnectionFail) {
    ArchiveDatabase db;
    EXPECT_FALSE(db.exec("SELECT 1").ok());
    EXPECT_FALSE(db.run("SELECT 1", {}).ok());
}

class OpenDatabaseTest : public AppFixture {};

TEST_F(OpenDatabaseTest, NewPathCreatesBothTablesAndEnablesSearch) {
    auto& app = makeApp(false);
    app.controls().searchDbButton->setEnabled(false);
    const QString file = path("new_db");
    app.openDatabase(file);
    EXPECT_TRUE(platform.alerts.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(app.controls().searchDbButton->isEnabled());
    EXPECT_EQ(column(app.database(), "SELECT name FROM sqlite_master WHERE type = \"table\" ORDER BY name"),
              QStringList({"photos", "sets"}));
}

TEST_F(OpenDatabaseTest, ExistingArchiveKeepsItsDataAndSecondOpenReplacesTheFirst) {
    auto& app = makeApp(false);
    const QString first = path("first_db");
    const QString second = path("second_db");
    app.openDatabase(first);
    ASSERT_TRUE(app.database().run("INSERT INTO photos (flickrID,title) VALUES(?,?)",
                                   {"7", "a \"quoted\" title"})
                    .ok());
    app.openDatabase(second);
    EXPECT_EQ(app.database().path(), second);
    EXPECT_TRUE(column(app.database(), "SELECT flickrID FROM photos").isEmpty());
    app.openDatabase(first);
    EXPECT_EQ(column(app.database(), "SELECT title FROM photos"),
              QStringList{"a \"quoted\" title"});
    EXPECT_TRUE(platform.alerts.isEmpty());
}

TEST_F(OpenDatabaseTest, FileThatIsNotADatabaseIsReportedAndLeavesNothingOpen) {
    auto& app = makeApp(false);
    const QString file = path("notes.txt");
    QFile text(file);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray("These are not the pages of a database. ").repeated(200));
    text.close();
    app.controls().searchDbButton->setEnabled(false);

    app.openDatabase(file);
    ASSERT_EQ(platform.alerts.size(), 1);
    EXPECT_EQ(platform.alerts[0].title, "Open Failed");
    EXPECT_EQ(platform.alerts[0].message, "This is not a valid database file.");
    EXPECT_EQ(platform.alerts[0].style, AlertStyle::Critical);
    EXPECT_FALSE(app.controls().searchDbButton->isEnabled());
    EXPECT_FALSE(app.database().isOpen());
    // The file was not changed.
    EXPECT_EQ(QFileInfo(file).size(), 39 * 200);
}

TEST_F(OpenDatabaseTest, EmptyPathAndUnopenablePathAreReported) {
    auto& app = makeApp(false);
    app.openDatabase(path("good_db"));
    app.openDatabase("");
    ASSERT_EQ(platform.alerts.size(), 1);
    EXPECT_EQ(platform.alerts[0].title, "Open Failed");
    EXPECT_EQ(platform.alerts[0].message, " is not a valid database file.");
    EXPECT_FALSE(app.database().isOpen());

    app.openDatabase(path("missing/folder/x_db"));
    ASSERT_EQ(platform.alerts.size(), 2);
    EXPECT_TRUE(platform.alerts[1].title.isEmpty());
    EXPECT_TRUE(platform.alerts[1].message.startsWith("SQL Error: " + path("missing/folder/x_db")));
    EXPECT_FALSE(app.database().isOpen());
}

TEST_F(OpenDatabaseTest, SchemaIsShownVerbatim) {
    auto& app = makeApp(false);
    app.showSchema();
    ASSERT_EQ(platform.alerts.size(), 1);
    EXPECT_EQ(platform.alerts[0].title, "Database Schema");
    EXPECT_TRUE(platform.alerts[0].message.startsWith("photos table\n\tflickrID\t\tTEXT\n\towner\tTEXT"));
    EXPECT_TRUE(platform.alerts[0].message.endsWith("\tmedia\tTEXT\n\texifdata\tTEXT\n"));
}
