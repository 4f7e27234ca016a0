// The archive connection: rows, bound values and errors, and opening an archive file from the application.
#include "AppTest.h"
#include "archive/Schema.h"

#include <sqlite3.h>

using apptest::column;

TEST(ArchiveDatabase, RowsBoundValuesAndErrors) {
    ArchiveDatabase db;
    EXPECT_FALSE(db.exec("SELECT 1").ok() || db.run("SELECT 1", {}).ok()); // no connection yet
    ASSERT_TRUE(db.open(":memory:").ok());
    ASSERT_TRUE(db.exec("CREATE TABLE t(a TEXT, b INTEGER); INSERT INTO t VALUES('x', NULL), ('y', 2);").ok());
    QList<SqlRow> rows;
    ASSERT_TRUE(db.exec("SELECT a, b FROM t ORDER BY a", [&](const SqlRow& row) {
                      rows << row;
                      return 0;
                  }).ok());
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].names == QStringList({"a", "b"}) && rows[0].isNull(1) && rows[1].value(1) == "2");
    int seen = 0; // a callback answering other than 0 stops the statement
    EXPECT_TRUE(db.exec("SELECT a FROM t", [&](const SqlRow&) { return ++seen == 1 ? 999 : 0; }).code == SQLITE_ABORT &&
                seen == 1);

    // A value that equals a column name, quotes and a backslash stay texts.
    ASSERT_TRUE(db.exec(schema::kCreatePhotos).ok());
    const QString description = "say \"hi\" \\ and 'bye'";
    ASSERT_TRUE(db.run("INSERT INTO photos (flickrID,title,description,views,media) VALUES(?,?,?,?,?)",
                       {"42", "title", description, 7, "video"}).ok());
    // Double-quoted texts compare as strings.
    EXPECT_EQ(column(db, "SELECT title||'|'||description||'|'||typeof(views) FROM photos WHERE media=\"video\""),
              QStringList{"title|" + description + "|integer"});

    // A duplicate key is recognised by its code, and only that.
    EXPECT_TRUE(db.exec("INSERT INTO photos (flickrID) VALUES(\"42\")").isUniquenessViolation());
    const SqlResult bad = db.exec("INSERT INTO nowhere VALUES(1)");
    EXPECT_FALSE(bad.ok() || bad.isUniquenessViolation());
}

class OpenDatabaseTest : public AppFixture {};

TEST_F(OpenDatabaseTest, ANewPathGetsBothTablesAnExistingArchiveKeepsItsDataAndAFailureLeavesNothingOpen) {
    auto& app = makeApp(false);
    app.controls().searchDbButton->setEnabled(false);
    const QString first = path("first_db");
    app.openDatabase(first);
    EXPECT_TRUE(QFileInfo::exists(first) && app.controls().searchDbButton->isEnabled());
    EXPECT_EQ(column(app.database(), "SELECT name FROM sqlite_master WHERE type = \"table\" ORDER BY name"),
              QStringList({"photos", "sets"}));
    ASSERT_TRUE(
        app.database().run("INSERT INTO photos (flickrID,title) VALUES(?,?)", {"7", "a \"quoted\" title"}).ok());
    app.openDatabase(path("second_db")); // a second open replaces the first
    EXPECT_TRUE(app.database().path() == path("second_db") && column(app.database(), "SELECT * FROM photos").isEmpty());
    app.openDatabase(first);
    EXPECT_EQ(column(app.database(), "SELECT title FROM photos"), QStringList{"a \"quoted\" title"});
    EXPECT_TRUE(platform.alerts.isEmpty());

    app.showSchema(); // the schema is shown as it is
    EXPECT_TRUE(platform.lastAlertMessage().startsWith("photos table\n\tflickrID\t\tTEXT\n\towner\tTEXT"));
    EXPECT_TRUE(platform.lastAlertMessage().endsWith("\tmedia\tTEXT\n\texifdata\tTEXT\n"));

    // What cannot be opened is reported and leaves nothing open.
    const QString file = path("notes.txt");
    apptest::writeFile(file, QByteArray("These are not the pages of a database. ").repeated(200));
    app.controls().searchDbButton->setEnabled(false);

    app.openDatabase(file);
    EXPECT_EQ(platform.lastAlertMessage(), "This is not a valid database file.");
    EXPECT_FALSE(app.controls().searchDbButton->isEnabled() || app.database().isOpen());
    EXPECT_EQ(QFileInfo(file).size(), 39 * 200); // the file was not changed

    app.openDatabase(path("good_db"));
    app.openDatabase("");
    EXPECT_TRUE(platform.lastAlertMessage() == " is not a valid database file." && !app.database().isOpen());

    app.openDatabase(path("good_db"));
    app.openDatabase(path("missing/folder/x_db"));
    EXPECT_TRUE(platform.lastAlertMessage().startsWith("SQL Error: " + path("missing/folder/x_db")));
    EXPECT_TRUE(platform.alerts.size() == 4 && !app.database().isOpen());
}
