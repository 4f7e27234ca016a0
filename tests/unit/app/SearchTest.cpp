// The search as the user drives it: the form, the result list, the value
// menus, the SQL editor and the saved searches, on a real archive.
#include "AppTest.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

using apptest::column;

namespace {

struct Photo {
    QString id;
    QString title;
    QVariant tags = QStringLiteral("t");
    QString latitude = QStringLiteral("0");
    QString longitude = QStringLiteral("0");
    QVariant make = {};
};

} // namespace

class SearchTest : public ArchiveTest {
protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        s = &app->search().controls();
    }
    void add(const Photo& p) {
        ASSERT_TRUE(app->database()
                        .run("INSERT INTO photos (flickrID,title,description,tags,latitude,longitude,Make,media,"
                             "url_sq) VALUES(?,?,'',?,?,?,?,'photo',?)",
                             {p.id, p.title, p.tags, p.latitude, p.longitude, p.make, "https://x/1/" + p.id + "_s.jpg"})
                        .ok());
    }
    QStringList found() { return app->state().resultIDs; }
    void search() { s->searchButton->performClick(); }

    SearchControls* s = nullptr;
};

TEST_F(SearchTest, FormSearchFillsTheResultsTableAndCount) {
    add({"1", "Beach day"});
    add({"2", "Beach night"});
    add({"3", "Mountain"});
    c->searchDbButton->performClick();
    c->searchTextFields[0]->setStringValue("Beach"); // row 1 searches titles
    s->sortButton->selectItemWithTitle("title");
    s->sortMatrix->selectCellAtRow(1);
    c->searchTextFields[0]->performClick(); // Return in the field
    EXPECT_EQ(found(), QStringList({"1", "2"}));
    EXPECT_EQ(c->foundTextField->stringValue(), "Found 2 pictures.");
    EXPECT_FALSE(c->foundTextField->isHidden() || c->exportButton->isHidden() || c->exportTextField->isHidden());
    EXPECT_TRUE(app->state().resultsShown && platform.alerts.isEmpty());
    auto* table = c->resultsTableView;
    for (const auto& [title, count] : {std::pair{"Mountain", "1 picture"}, std::pair{"Desert", "0 pictures"}}) {
        c->searchTextFields[0]->setStringValue(title);
        search();
        EXPECT_EQ(c->foundTextField->stringValue(), QString("Found %1.").arg(count));
    }
    EXPECT_TRUE(!c->exportButton->isHidden() && table->numberOfRows() == 0);

    // Returning home empties the list; coming back resets the form.
    c->searchTextFields[0]->setStringValue("Beach");
    search();
    c->goHomeItem->performClick();
    EXPECT_TRUE(table->numberOfRows() == 0 && found().isEmpty());
    c->searchItem->performClick();
    EXPECT_TRUE(c->searchTextFields[0]->stringValue() == "" && s->sortButton->indexOfSelectedItem() == 0);
    EXPECT_EQ(s->sortMatrix->selectedRow(), 1); // the direction is kept

    // Another account's archive does not hold these pictures: they go.
    search();
    ASSERT_EQ(found().size(), 3);
    c->imageWindow->makeKeyAndOrderFront();
    c->addAccountButton->performClick();
    platform.openPanelAnswers.enqueue({path("loc")});
    c->choosePixPathButton->performClick();
    c->addAcctNameTextField->setStringValue("bob");
    c->savePixPathButton->performClick();
    EXPECT_EQ(app->state().currentAccountName, "bob");
    EXPECT_TRUE(found().isEmpty() && table->numberOfRows() == 0);
    EXPECT_FALSE(app->state().resultsShown || c->deleteItem->isEnabled() || c->imageWindow->isVisible());
}

TEST_F(SearchTest, DistanceSearchesAndSavedSearches) {
    add({"paris", "a", "t", "48.85", "2.35"});
    add({"london", "a", "t", "51.5", "-0.12"});
    add({"nowhere", "a", "t", "0", "0"});
    const QString all = search::kBaseSelect;
    s->latlonTextField->setStringValue("48.86,2.34");
    s->distanceButton->selectItemAtIndex(7);
    s->savedSearchesButton->performClick();
    EXPECT_EQ(s->savedSearchTextField->stringValue(), all + " ORDER BY datetaken DESC");
    EXPECT_EQ(app->state().savedSearchIndex, -1);

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

    // Run as shown, filtered by the centre the form had when the sheet opened.
    s->doSavedSearchButton->performClick();
    EXPECT_EQ(found(), QStringList{"paris"});

    restart(); // they come back with the next start
    makeApp();
    s = &app->search().controls();
    c = &app->controls();
    const auto& st2 = app->state();
    EXPECT_EQ(st2.savedSearchNames, QStringList({"near Paris", "by title"}));
    EXPECT_TRUE(st2.savedSearchIndex == -1 && s->savedSearchesTableView->numberOfRows() == 2);

    // Deleting: nothing without a selection; the selected one otherwise.
    s->savedSearchesButton->performClick();
    s->deleteSearchButton->performClick();
    EXPECT_EQ(st2.savedSearchList.size(), 2);
    s->savedSearchesTableView->selectRow(1);
    s->deleteSearchButton->performClick();
    EXPECT_EQ(st2.savedSearchNames, QStringList{"near Paris"});
    EXPECT_TRUE(st2.savedSearchIndex == 0 && s->searchNameTextField->stringValue() == "near Paris");
    // The last one: an empty table, no selection, the fields as they were.
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

    // A quick search afterwards is not filtered by that centre.
    s->quickSearch->setStringValue("a");
    search();
    EXPECT_EQ(found().size(), 3);
    s->quickSearch->setStringValue("");

    // Bad centres are refused before anything runs; the list stays.
    const QStringList shown = found();
    for (const auto& [text, message] : {std::pair{"90.0001,2", "90.000100,2.000000"},
                                        std::pair{"48.85", "48.850000,0.000000"},
                                        std::pair{"north,2.35", "0.000000,2.350000"}}) {
        s->latlonTextField->setStringValue(text);
        search();
        EXPECT_EQ(platform.lastAlertMessage(), QString("Invalid Latitude and longitude: ") + message);
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
    add({"1", "one"});
    add({"2", "two"});
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

    // An empty tail runs the base SELECT alone: every picture.
    c->editSqlItem->performClick();
    s->whereTextField->setStringValue("");
    s->makeSqlStringButton->performClick();
    EXPECT_EQ(found().size(), 2);

    // Saved statements are run read-only too.
    s->savedSearchesButton->performClick();
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
    EXPECT_EQ(column(app->database(), "SELECT title FROM photos ORDER BY title"), QStringList({"one", "two"}));
    EXPECT_EQ(column(app->database(), "SELECT count(*) FROM sets"), QStringList{"0"});

    s->savedSearchTextField->setStringValue("SELECT nothing FROM");
    s->doSavedSearchButton->performClick();
    EXPECT_EQ(platform.lastAlertMessage(), "SQL Error: near \"nothing\": syntax error SELECT nothing FROM");

    // A statement that never ends: the window keeps running, Stop or a time limit ends it, and nothing else
    // uses the archive meanwhile; a watchdog cuts it after 20 s whatever happens.
    const auto alerts = platform.alerts.size();
    const QString endless = " WHERE flickrID IN (WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                            "FROM n) SELECT x FROM n)";
    sqlite3* handle = app->database().handle();
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 2000 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done)
            sqlite3_interrupt(handle);
    });
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(40);
    bool refused = false, ranAfter = false;
    QTimer::singleShot(450, [&] {
        EXPECT_TRUE(c->progressPanel->isVisible() && !c->progressStopButton->isHidden());
        refused = !app->database().exec("SELECT 1").ok();
        app->database().whenFree(app.get(), [&] { ranAfter = app->database().exec("SELECT 1").ok(); });
        c->progressStopButton->performClick();
    });
    QElapsedTimer clock;
    clock.start();
    c->editSqlItem->performClick();
    s->whereTextField->setStringValue(endless);
    s->makeSqlStringButton->performClick();
    EXPECT_TRUE(clock.elapsed() < 10000 && ticks >= 8 && refused && !ranAfter);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ranAfter);
    EXPECT_TRUE(!c->progressPanel->isVisible() && c->progressStopButton->isHidden() && found().isEmpty());
    EXPECT_EQ(platform.alerts.size(), alerts); // stopped as asked: nothing to tell

    app->search().setStatementTimeLimit(700);
    s->savedSearchesButton->performClick();
    s->savedSearchTextField->setStringValue(s->beginSqlTextField->stringValue() + endless);
    clock.restart();
    s->doSavedSearchButton->performClick();
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(platform.lastAlertMessage(), "The search was stopped after 1 second: it took longer than "
                                           "Tessaly allows. Narrow it down and try again.");
    done = true;
    watchdog.join();
}

TEST_F(SearchTest, ValueMenusListTheArchivesValuesAndFillTheFirstFreeRow) {
    add({"1", "a", "sea beach", "0", "0", "Canon"});
    add({"2", "b", "beach  Sea"});
    add({"3", "c", QVariant()});
    s->listTagsButton->performClick();
    // Sorted without regard to case, equal words in order of first appearance.
    EXPECT_EQ(s->listTagsButton->itemTitles(), QStringList({"beach", "Sea", "sea"}));

    // Row 3 searches tags: the first pick goes there, the next finds no free row.
    s->listTagsButton->pickItem(2);
    EXPECT_EQ(c->searchTextFields[2]->stringValue(), "sea");
    s->listTagsButton->pickItem(0);
    EXPECT_EQ(c->searchTextFields[2]->stringValue(), "sea");
    c->fieldButtons[5]->selectItemWithTitle("tags");
    s->listTagsButton->pickItem(0);
    EXPECT_EQ(c->searchTextFields[5]->stringValue(), "beach");

    // A single make comes after an empty item; the filled make row is passed over.
    s->listMakeButton->performClick();
    EXPECT_EQ(s->listMakeButton->itemTitles(), QStringList({"", "Canon"}));
    c->fieldButtons[0]->selectItemWithTitle("camera make");
    c->searchTextFields[0]->setStringValue("Nikon");
    s->listMakeButton->pickItem(1);
    EXPECT_EQ(c->searchTextFields[3]->stringValue(), "Canon");

    // No model at all: no items, no menu.
    QSignalSpy models(s->listModelButton, &PopUpButton::menuRequested);
    s->listModelButton->performClick();
    EXPECT_EQ(s->listModelButton->numberOfItems() + models.count(), 0);

    add({"4", "d", "zebra"});
    s->listTagsButton->performClick();
    EXPECT_FALSE(s->listTagsButton->itemTitles().contains("zebra")); // filled once per opened archive
    app->openDatabase(app->state().dbPath);
    s->listTagsButton->performClick();
    EXPECT_TRUE(s->listTagsButton->itemTitles().contains("zebra"));

    // The sets menu is read on every use and pairs titles with IDs.
    ASSERT_TRUE(app->database()
                    .exec("INSERT INTO sets VALUES('72158','Summer Holiday','');"
                          "INSERT INTO sets VALUES('72157','Holiday Snaps','')")
                    .ok());
    s->listSetsButton->performClick();
    EXPECT_EQ(s->listSetsButton->itemTitles(), QStringList({"Holiday Snaps", "Summer Holiday"}));
    s->listSetsButton->pickItem(1);
    EXPECT_EQ(c->searchTextFields[5]->stringValue(), "beach"); // row 6 searches tags now
    c->fieldButtons[4]->selectItemWithTitle("sets");
    s->listSetsButton->pickItem(1);
    EXPECT_EQ(c->searchTextFields[4]->stringValue(), "Summer Holiday");
    EXPECT_EQ(app->search().doFieldButton(4), R"(photos.setID LIKE "%72158%")");
}
