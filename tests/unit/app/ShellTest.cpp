// The main window and menus: start-up, which items each state enables, going home and files opened from the
// desktop (quitting while a download runs: ShortcutsTest); the control models behind every window.
#include "AppTest.h"
#include "controls/PopUpButton.h"
#include "controls/TableView.h"

class ShellTest : public AppFixture {
protected:
    bool enabled(MenuItem* item) {
        app->revalidateMenuItems();
        return item->isEnabled();
    }
};

TEST_F(ShellTest, StartUpWithoutAccountsTakesAnOpenedFileAndMenuItemsFollowEachFlag) {
    platform.version = {10, 7}; // not older: the newer images (10.6 and older: ShortcutsTest)
    auto& app = makeApp();
    auto& c = app.controls();
    EXPECT_TRUE(c.oauthAuthButton->imageName().isEmpty());
    EXPECT_FALSE(c.searchDbButton->isEnabled() || c.downloadButton->isEnabled() ||
                 c.downloadFilesButton->isEnabled() || c.logoutButton->isEnabled());
    EXPECT_TRUE(c.oauthAuthButton->isEnabled() && c.listDbsButton->isHidden() && c.window->isKeyWindow());

    const QString file = path("from-desktop_db");
    EXPECT_TRUE(app.applicationOpenFile(file) && app.database().path() == file && app.state().dbPath == file);
    EXPECT_EQ(platform.recentDocuments, QStringList{file});
    EXPECT_TRUE(c.searchDbButton->isEnabled() && platform.alerts.isEmpty());

    EXPECT_TRUE(enabled(c.connectItem)); // not connected: connect only
    EXPECT_FALSE(c.downloadInfoItem->isEnabled() || c.downloadPixItem->isEnabled());
    for (int state : {1, 2}) {
        app.setConnectionState(state);
        EXPECT_FALSE(c.connectItem->isEnabled()) << state;
        EXPECT_TRUE(c.downloadInfoItem->isEnabled() && c.downloadPixItem->isEnabled()) << state;
    }

    // Export, delete, deselect and save follow the results and the key window: ShortcutsTest.
    EXPECT_FALSE(enabled(c.editSqlItem));
    c.searchWindow->makeKeyAndOrderFront();
    EXPECT_TRUE(c.editSqlItem->isEnabled());

    EXPECT_TRUE(enabled(c.aboutItem) && c.schemaItem->isEnabled()); // any other title is always enabled
    c.aboutItem->performClick();
    EXPECT_EQ(platform.aboutPanelsShown, 1);
    MenuItem other("x", "Something Else");
    other.setEnabled(false);
    EXPECT_TRUE(app.validateMenuItem(other));

    app.setResultsShown(true); // going home closes search and viewer
    app.setViewerOpen(true);
    c.imageWindow->makeKeyAndOrderFront();
    c.goHomeItem->performClick();
    EXPECT_FALSE(c.searchWindow->isVisible() || c.imageWindow->isVisible() || app.state().resultsShown ||
                 app.state().viewerOpen || enabled(c.savePicItem));
    EXPECT_TRUE(c.exportButton->isHidden() && c.foundTextField->isHidden() && c.window->isKeyWindow());
}

TEST(PopUpButton, ItemActionsRunInsteadOfThePopUpsOwnAndDisabledItemsChangeNothing) {
    PopUpButton popUp("listDbsButton");
    int own = 0, itemOwn = 0;
    popUp.setAction([&] { ++own; });
    popUp.addItemWithTitle("New Flickr Account", [&] {
        ++itemOwn;
        popUp.removeAllItems(); // an item action may rebuild the menu
    });
    popUp.addItemsWithTitles({"anna", "bob", "carl"});
    EXPECT_EQ(popUp.indexOfSelectedItem(), 0);
    popUp.pickItem(2);
    EXPECT_TRUE(popUp.titleOfSelectedItem() == "bob" && own == 1);
    popUp.setItemEnabled(3, false); // a disabled item, a missing title or index: no change, nothing runs
    popUp.pickItem(3);
    popUp.selectItemWithTitle("dora");
    popUp.pickItem(5);
    EXPECT_TRUE(popUp.indexOfSelectedItem() == 2 && own == 1 && popUp.itemTitleAtIndex(7) == "");
    popUp.pickItem(0);
    EXPECT_TRUE(own == 1 && itemOwn == 1 && popUp.numberOfItems() == 0 && popUp.indexOfSelectedItem() == -1);
}

TEST(TableView, SelectionStaysWithinTheRows) {
    struct Rows : TableDataSource {
        int rows = 3;
        int selectionChanges = 0;
        int numberOfRowsInTableView(const TableView*) const override { return rows; }
        QVariant tableViewObjectValueForTableColumnRow(const TableView*, const QString& column,
                                                       int row) const override {
            return column + QString::number(row);
        }
        void tableViewSelectionDidChange(TableView*) override { ++selectionChanges; }
    } rows;
    TableView table("accountsTableView", {"accountName"});
    table.setDataSource(&rows);
    const int none = table.selectedRow();
    table.selectRowIndexes({2, 0, 9, -1, 2});
    EXPECT_TRUE(none == -1 && table.selectedRowIndexes() == QList<int>({0, 2}) && rows.selectionChanges == 1);
    table.selectRowIndexes({1}, true);
    EXPECT_EQ(table.selectedRowIndexes(), QList<int>({0, 1, 2}));

    rows.rows = 1; // rows removed
    table.reloadData();
    EXPECT_TRUE(table.selectedRowIndexes() == QList<int>({0}) && table.valueAt(0, "accountName") == "accountName0" &&
                !table.valueAt(1, "accountName").isValid());
    table.selectRow(0); // same selection: no change reported
    EXPECT_EQ(rows.selectionChanges, 3);
}
