// The search as the user drives it: the form, the result list, the value menus, the SQL editor and the saved
// searches, on a real archive; deleting found pictures; Archive > Verify Archive... and its Repair.
#include "AppTest.h"
#include "Wait.h"
#include "archive/VerifyController.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

using apptest::column;

class SearchTest : public ArchiveTest {
protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        s = &app->search().controls();
    }
    // A picture at 0,0 with the tag "t", unless other columns are given.
    void add(const QString& id, const QString& title, const QVariantMap& more = {}) {
        QVariantMap columns{{"flickrID", id}, {"title", title}, {"tags", "t"}, {"latitude", "0"}, {"longitude", "0"}};
        columns.insert(more);
        insert(columns);
    }
    QStringList found() { return app->state().resultIDs; }
    void search() { s->searchButton->performClick(); }

    SearchControls* s = nullptr;
};

TEST_F(SearchTest, FormSearchFillsTheResultsTableAndCount) {
    add("1", "Beach day");
    add("2", "Beach night");
    add("3", "Mountain");
    c->searchDbButton->performClick();
    c->searchTextFields[0]->setStringValue("Beach"); // row 1 searches titles
    s->sortButton->selectItemWithTitle("title");
    s->sortMatrix->selectCellAtRow(1);
    c->searchTextFields[0]->performClick(); // Return in the field
    EXPECT_TRUE(found() == QStringList({"1", "2"}) && c->foundTextField->stringValue() == "Found 2 pictures.");
    EXPECT_TRUE(app->state().resultsShown && platform.alerts.isEmpty());
    TableView* table = c->resultsTableView;
    for (const auto& [title, count] : {std::pair{"Mountain", "1 picture"}, std::pair{"Desert", "0 pictures"}}) {
        c->searchTextFields[0]->setStringValue(title);
        search();
        EXPECT_EQ(c->foundTextField->stringValue(), QString("Found %1.").arg(count));
    }
    EXPECT_TRUE(!c->exportButton->isHidden() && table->numberOfRows() == 0);

    c->searchTextFields[0]->setStringValue("Beach"); // returning home empties the list; coming back resets the form
    search();
    c->goHomeItem->performClick();
    EXPECT_TRUE(table->numberOfRows() == 0 && found().isEmpty());
    c->searchItem->performClick();
    EXPECT_TRUE(c->searchTextFields[0]->stringValue() == "" && s->sortButton->indexOfSelectedItem() == 0);
    EXPECT_EQ(s->sortMatrix->selectedRow(), 1); // the direction is kept

    search(); // another account's archive does not hold these pictures: they go
    ASSERT_EQ(found().size(), 3);
    c->imageWindow->makeKeyAndOrderFront();
    c->addAccountButton->performClick();
    platform.openPanelAnswers.enqueue({path("loc")});
    c->choosePixPathButton->performClick();
    c->addAcctNameTextField->setStringValue("bob");
    c->savePixPathButton->performClick();
    EXPECT_TRUE(app->state().currentAccountName == "bob" && found().isEmpty() && table->numberOfRows() == 0);
    EXPECT_FALSE(app->state().resultsShown || c->deleteItem->isEnabled() || c->imageWindow->isVisible());
}

TEST_F(SearchTest, DistanceSearchesAndSavedSearches) {
    add("paris", "a", {{"latitude", "48.85"}, {"longitude", "2.35"}});
    add("london", "a", {{"latitude", "51.5"}, {"longitude", "-0.12"}});
    add("nowhere", "a");
    const QString all = search::kBaseSelect;
    s->latlonTextField->setStringValue("48.86,2.34");
    s->distanceButton->selectItemAtIndex(7);
    s->savedSearchesButton->performClick();
    EXPECT_TRUE(s->savedSearchTextField->stringValue() == all + " ORDER BY datetaken DESC" &&
                app->state().savedSearchIndex == -1);

    const auto save = [&](const QString& name, const QString& statement) {
        s->searchNameTextField->setStringValue(name);
        s->savedSearchTextField->setStringValue(statement);
        s->saveSearchButton->performClick();
    };
    save("near Paris", all);
    save("by title", all + "ORDER BY title");
    // A new name is appended, an existing one replaced in place; the sheet then shows entry 0.
    const auto& st = app->state();
    EXPECT_EQ(st.savedSearchNames, QStringList({"near Paris", "by title"}));
    EXPECT_TRUE(s->savedSearchesTableView->selectedRow() == 0 && st.savedSearchIndex == 0);
    EXPECT_EQ(s->searchNameTextField->stringValue() + " / " + s->savedSearchTextField->stringValue(),
              "near Paris / " + all);
    save("by title", all + "ORDER BY title DESC");
    EXPECT_EQ(st.savedSearchNames, QStringList({"near Paris", "by title"}));
    EXPECT_EQ(st.savedSearchList[1].toMap().value("savedSearch").toString(), all + "ORDER BY title DESC");

    s->doSavedSearchButton->performClick(); // run as shown, filtered by the centre the form had when the sheet opened
    EXPECT_EQ(found(), QStringList{"paris"});

    restart(); // they come back with the next start
    makeApp();
    s = &app->search().controls();
    c = &app->controls();
    const auto& st2 = app->state();
    EXPECT_EQ(st2.savedSearchNames, QStringList({"near Paris", "by title"}));
    EXPECT_TRUE(st2.savedSearchIndex == -1 && s->savedSearchesTableView->numberOfRows() == 2);

    // Deleting: nothing without a selection; the selected one otherwise; after the last, the fields stay.
    s->savedSearchesButton->performClick();
    s->deleteSearchButton->performClick();
    EXPECT_EQ(st2.savedSearchList.size(), 2);
    s->savedSearchesTableView->selectRow(1);
    s->deleteSearchButton->performClick();
    EXPECT_TRUE(st2.savedSearchNames == QStringList{"near Paris"} && st2.savedSearchIndex == 0);
    s->deleteSearchButton->performClick();
    EXPECT_TRUE(s->savedSearchesTableView->numberOfRows() == 0 && st2.savedSearchIndex == -1);
    EXPECT_EQ(s->searchNameTextField->stringValue(), "near Paris");
    EXPECT_TRUE(store->value("savedSearches").toList().isEmpty());

    s->sortButton->selectItemWithTitle("title");
    s->latlonTextField->setStringValue("LAT,LON: 48.86,2.34");
    s->distanceButton->selectItemAtIndex(7); // 100 km
    search();
    EXPECT_EQ(found(), QStringList{"paris"});
    s->distanceButton->selectItemAtIndex(8); // 1000 km
    search();
    EXPECT_TRUE(found().size() == 2 && !found().contains("nowhere"));

    s->quickSearch->setStringValue("a"); // a quick search afterwards is not filtered by that centre
    search();
    EXPECT_EQ(found().size(), 3);
    s->quickSearch->setStringValue("");

    const QStringList shown = found(); // bad centres are refused before anything runs; the list stays
    for (const auto& [text, message] : {std::pair{"90.0001,2", "90.000100,2.000000"},
                                        std::pair{"48.85", "48.850000,0.000000"},
                                        std::pair{"north,2.35", "0.000000,2.350000"}}) {
        s->latlonTextField->setStringValue(text);
        search();
        EXPECT_EQ(platform.lastAlertMessage(), QString("Invalid Latitude and longitude: ") + message) << text;
        EXPECT_EQ(found(), shown);
    }
    const auto alerts = platform.alerts.size();
    s->latlonTextField->setStringValue("90,-180"); // the bounds are valid
    search();
    EXPECT_EQ(platform.alerts.size(), alerts);

    s->takenBeginning->setStringValue("yesterday");
    search();
    EXPECT_EQ(platform.alerts.last().title, "Invalid Date"); // not a date
}

TEST_F(SearchTest, HandWrittenStatementsOnlyReadAndAnEndlessOneCanBeStopped) {
    add("1", "one");
    add("2", "two");
    c->searchDbButton->performClick();

    c->editSqlItem->performClick();
    const QString select = s->beginSqlTextField->stringValue();
    EXPECT_EQ(s->whereTextField->stringValue(), " ORDER BY datetaken DESC");

    // A tail that would delete is refused as a whole: nothing runs.
    s->whereTextField->setStringValue("; DELETE FROM photos");
    s->makeSqlStringButton->performClick();
    EXPECT_EQ(platform.lastAlertMessage(),
              "SQL Error: attempt to write a readonly database " + select + "; DELETE FROM photos");
    EXPECT_EQ(column(app->database(), "SELECT count(*) FROM photos"), QStringList{"2"});
    EXPECT_TRUE(found().isEmpty() && !app->state().resultsShown && !s->SQLPanel->isVisible());

    c->editSqlItem->performClick(); // an empty tail runs the base SELECT alone: every picture
    s->whereTextField->setStringValue("");
    s->makeSqlStringButton->performClick();
    EXPECT_EQ(found().size(), 2);

    s->savedSearchesButton->performClick(); // saved statements are run read-only too
    for (const QString& statement :
         QStringList{"UPDATE photos SET title='x'", "ATTACH DATABASE '" + path("other_db") + "' AS other",
                     "SELECT 1; DROP TABLE sets", "INSERT INTO sets VALUES('1','t','d') RETURNING setID"}) {
        s->savedSearchTextField->setStringValue(statement);
        s->doSavedSearchButton->performClick();
        EXPECT_TRUE(platform.lastAlertMessage().startsWith("SQL Error: attempt to write a readonly database") &&
                    found().isEmpty())
            << statement.toStdString();
    }
    EXPECT_FALSE(QFile::exists(path("other_db")));
    EXPECT_EQ(column(app->database(), "SELECT title FROM photos UNION ALL SELECT count(*) FROM sets"),
              QStringList({"one", "two", "0"}));

    s->savedSearchTextField->setStringValue("SELECT nothing FROM");
    s->doSavedSearchButton->performClick();
    EXPECT_EQ(platform.lastAlertMessage(), "SQL Error: near \"nothing\": syntax error SELECT nothing FROM");

    // A statement that never ends: the window keeps running, Stop ends it, and nothing else uses the archive
    // meanwhile; never a hang, whatever happens: the time limit (see the command-line tests) cuts it after 20 s.
    const auto alerts = platform.alerts.size();
    app->search().setStatementTimeLimit(20000);
    bool refused = false, ranAfter = false;
    QTimer::singleShot(450, [&] { // the window keeps running meanwhile
        EXPECT_TRUE(c->progressPanel->isVisible() && !c->progressStopButton->isHidden());
        refused = !app->database().exec("SELECT 1").ok();
        app->database().whenFree(app.get(), [&] { ranAfter = app->database().exec("SELECT 1").ok(); });
        c->progressStopButton->performClick();
    });
    QElapsedTimer clock;
    clock.start();
    c->editSqlItem->performClick();
    s->whereTextField->setStringValue(" WHERE flickrID IN (WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                                      "FROM n) SELECT x FROM n)");
    s->makeSqlStringButton->performClick();
    EXPECT_TRUE(clock.elapsed() < 10000 && refused && !ranAfter);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ranAfter && !c->progressPanel->isVisible() && c->progressStopButton->isHidden() && found().isEmpty());
    EXPECT_EQ(platform.alerts.size(), alerts); // stopped as asked: nothing to tell
}

TEST_F(SearchTest, ValueMenusListTheArchivesValuesAndFillTheFirstFreeRow) {
    add("1", "a", {{"tags", "sea beach"}, {"Make", "Canon"}});
    add("2", "b", {{"tags", "beach  Sea"}});
    add("3", "c", {{"tags", QVariant()}});
    s->listTagsButton->performClick();
    // Sorted without regard to case, equal words in order of first appearance.
    EXPECT_EQ(s->listTagsButton->itemTitles(), QStringList({"beach", "Sea", "sea"}));

    s->listTagsButton->pickItem(2); // row 3 searches tags: the first pick goes there, the next finds no free row
    s->listTagsButton->pickItem(0);
    c->fieldButtons[5]->selectItemWithTitle("tags");
    s->listTagsButton->pickItem(0);
    EXPECT_EQ(c->searchTextFields[2]->stringValue() + " " + c->searchTextFields[5]->stringValue(), "sea beach");

    s->listMakeButton->performClick(); // a single make comes after an empty item; the filled make row is passed over
    EXPECT_EQ(s->listMakeButton->itemTitles(), QStringList({"", "Canon"}));
    c->fieldButtons[0]->selectItemWithTitle("camera make");
    c->searchTextFields[0]->setStringValue("Nikon");
    s->listMakeButton->pickItem(1);
    EXPECT_EQ(c->searchTextFields[3]->stringValue(), "Canon");

    QSignalSpy models(s->listModelButton, &PopUpButton::menuRequested); // no model at all: no items, no menu
    s->listModelButton->performClick();
    EXPECT_EQ(s->listModelButton->numberOfItems() + models.count(), 0);

    add("4", "d", {{"tags", "zebra"}});
    s->listTagsButton->performClick();
    const bool early = s->listTagsButton->itemTitles().contains("zebra"); // filled once per opened archive
    app->openDatabase(app->state().dbPath);
    s->listTagsButton->performClick();
    EXPECT_TRUE(!early && s->listTagsButton->itemTitles().contains("zebra"));

    // The sets menu is read on every use and pairs titles with IDs.
    ASSERT_TRUE(
        app->database().exec("INSERT INTO sets VALUES('72158','Summer Holiday',''),('72157','Holiday Snaps','')").ok());
    s->listSetsButton->performClick();
    EXPECT_EQ(s->listSetsButton->itemTitles(), QStringList({"Holiday Snaps", "Summer Holiday"}));
    s->listSetsButton->pickItem(1); // row 6 searches tags now: no free row
    c->fieldButtons[4]->selectItemWithTitle("sets");
    s->listSetsButton->pickItem(1);
    EXPECT_EQ(c->searchTextFields[5]->stringValue() + "|" + c->searchTextFields[4]->stringValue(),
              "beach|Summer Holiday");
    EXPECT_EQ(app->search().doFieldButton(4), R"(photos.setID LIKE "%72158%")");
}

// Deleting: the records, exactly their files, the question asked first and the result list afterwards.
class DeletionTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        pix = path("my \"odd\" place; $(touch x)/anna_pix"); // a location whose path a shell would misread
        startWithAccount(pix);
        for (const QString id : {"123", "1234", "99"})
            app->database().run("INSERT INTO photos (flickrID,title,url_sq) VALUES(?,?,?)",
                                {id, "t" + id, "https://x/1/" + id + "_abc_s.jpg"});
        for (const QString name : {"123_abc_o.jpg", "123_abc_s.jpg", "1234_def_o.jpg", "99_x_s.jpg", "x123_abc.jpg"})
            apptest::writeFile(pix + "/" + name);
        app->controls().searchDbButton->performClick();
        app->search().controls().searchButton->performClick();
    }
    QStringList files() const { return QDir(pix).entryList(QDir::Files, QDir::Name); }
    int rowOf(const QString& id) const { return int(app->state().resultIDs.indexOf(id)); }

    QString pix;
};

TEST_F(DeletionTest, DeletingRemovesTheRecordsAndExactlyTheirFiles) {
    auto& c = app->controls();
    ASSERT_TRUE(app->state().resultIDs.size() == 3 && c.deleteItem->isEnabled());

    // Asked about several, answered Cancel: nothing changes.
    c.resultsTableView->selectRowIndexes({rowOf("123"), rowOf("99")});
    platform.alertAnswers.enqueue(AlertSecondButton);
    c.deleteItem->performClick();
    EXPECT_TRUE(platform.lastAlertMessage().startsWith("Do you wish to delete the 2 selected pictures from the"));
    EXPECT_EQ(files().size(), 5);

    c.resultsTableView->selectRow(rowOf("123"));
    c.deleteItem->performClick();
    EXPECT_TRUE(platform.alerts.last().message.startsWith("Do you wish to delete the selected picture from"));
    EXPECT_EQ(files(), QStringList({"1234_def_o.jpg", "99_x_s.jpg", "x123_abc.jpg"}));
    // The search ran again: the picture is gone from the list and the archive.
    EXPECT_TRUE(app->state().resultIDs.size() == 2 && rowOf("123") == -1);
    EXPECT_EQ(apptest::column(app->database(), "SELECT flickrID FROM photos ORDER BY flickrID"),
              QStringList({"1234", "99"}));
    EXPECT_FALSE(QFile::exists(path("x"))); // the folder path never reached a shell

    c.deselectItem->performClick(); // a delete with nothing selected asks nothing
    c.deleteItem->performClick();
    EXPECT_TRUE(c.resultsTableView->numberOfSelectedRows() == 0 && platform.alerts.size() == 2);

    // A list a hand-edited statement made is that statement's list again.
    app->database().run("INSERT INTO photos (flickrID,title) VALUES('55','t55')", {});
    app->search().editSqlString();
    app->search().controls().whereTextField->setStringValue("WHERE flickrID != '55'");
    app->search().makeSQLString();
    ASSERT_EQ(app->state().resultIDs.size(), 2);
    c.resultsTableView->selectRow(rowOf("99"));
    c.deleteItem->performClick();
    EXPECT_EQ(app->state().resultIDs, QStringList({"1234"}));
}

// Verifying: the walk under the progress panel, the sheet of what it found, and Repair.
class VerifyArchiveTest : public AppFixture {};

TEST_F(VerifyArchiveTest, TheSheetListsWhatIsBrokenAndRepairMovesItAside) {
    const QString pix = path("loc/anna_pix");
    startWithAccount(pix);
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (const QString id : {"1", "2"}) {
        for (const QString size : {"o", "s"})
            ASSERT_TRUE(image.save(pix + "/" + id + "_" + size + ".jpg", "JPEG"));
        app->database().run("INSERT INTO photos (flickrID,url_o,url_sq,filesize) VALUES(?,?,?,?)",
                            {id, "https://x/1/" + id + "_o.jpg", "https://x/1/" + id + "_s.jpg",
                             QString::number(QFileInfo(pix + "/" + id + "_o.jpg").size())});
    }
    apptest::writeFile(pix + "/2_s.jpg", "<html>busy</html>");

    auto& c = app->controls();
    VerifyControls& v = app->verifying().controls();
    app->revalidateMenuItems();
    ASSERT_TRUE(c.verifyItem->isEnabled());
    c.verifyItem->performClick();
    ASSERT_TRUE(test::waitFor([&] { return v.verifySheet->isVisible(); }));
    EXPECT_TRUE(!c.progressPanel->isVisible() && v.repairButton->isEnabled());
    EXPECT_EQ(v.verifySummaryTextField->stringValue(), "1 problem among the 4 files the archive names.");
    EXPECT_EQ(v.verifyProblemsTextField->stringValue(),
              "the square file 2_s.jpg of 2 is not a picture (jpeg expected)");

    v.repairButton->performClick(); // not connected: the file goes aside, and the alert says how to fetch it again
    EXPECT_EQ(QDir(pix + "/.broken").entryList(QDir::Files), QStringList{"2_s.jpg"});
    EXPECT_FALSE(QFile::exists(pix + "/2_s.jpg") || v.verifySheet->isVisible());
    EXPECT_TRUE(platform.alerts.size() == 1 && platform.lastAlertMessage().startsWith("1 broken file was moved aside"));

    app->database().exec("BEGIN"); // a long walk can be stopped from the progress panel; what it found shows
    for (int i = 0; i < 5000; ++i)
        app->database().run("INSERT INTO photos (flickrID,url_sq) VALUES(?,?)",
                            {QString::number(100 + i), QString("https://x/1/%1_s.jpg").arg(100 + i)});
    app->database().exec("COMMIT");
    c.verifyItem->performClick();
    EXPECT_FALSE(c.progressStopButton->isHidden());
    c.progressStopButton->performClick();
    EXPECT_TRUE(!c.progressPanel->isVisible() && v.verifySheet->isVisible() && c.progressStopButton->isHidden());
    EXPECT_TRUE(v.verifySummaryTextField->stringValue().startsWith("Stopped after 2,000 of 5,004 files."))
        << v.verifySummaryTextField->stringValue().toStdString();
}
