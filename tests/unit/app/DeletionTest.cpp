// Deleting pictures from the archive: the records, exactly their files, the
// question asked first and the result list afterwards.
#include "AppTest.h"

class DeletionTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        // A location whose path a shell would misread.
        pix = path("my \"odd\" place; $(touch x)/anna_pix");
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
    EXPECT_EQ(platform.alerts.last().message,
              "Do you wish to delete the 2 selected pictures from the database? This can't be undone.\n\n"
              "Pictures will not be deleted from the Flickr account. They will only be removed from the "
              "local database.");
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

    // Deselect All, then a delete with nothing selected asks nothing.
    c.resultsTableView->selectRow(0);
    c.deselectItem->performClick();
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
