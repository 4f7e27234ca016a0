#include "controls/PopUpButton.h"
#include "controls/TableView.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

struct Rows : TableDataSource {
    int rows = 0;
    int selectionChanges = 0;
    int numberOfRowsInTableView(const TableView*) const override { return rows; }
    QVariant tableViewObjectValueForTableColumnRow(const TableView*, const QString& column,
                                                   int row) const override {
        return column + QString::number(row);
    }
    void tableViewSelectionDidChange(TableView*) override { ++selectionChanges; }
};

} // namespace

TEST(PopUpButton, ItemActionsRunInsteadOfThePopUpsOwn) {
    PopUpButton popUp("listDbsButton");
    int own = 0, itemOwn = 0;
    popUp.setAction([&] { ++own; });
    popUp.addItemWithTitle("New Flickr Account", [&] {
        ++itemOwn;
        popUp.removeAllItems(); // an item action may rebuild the menu
    });
    popUp.addItemsWithTitles({"anna", "bob"});
    EXPECT_EQ(popUp.indexOfSelectedItem(), 0);

    popUp.pickItem(2);
    EXPECT_EQ(popUp.titleOfSelectedItem(), "bob");
    EXPECT_EQ(own, 1);
    popUp.pickItem(0);
    EXPECT_EQ(itemOwn, 1);
    EXPECT_EQ(popUp.numberOfItems(), 0);
    EXPECT_EQ(popUp.indexOfSelectedItem(), -1);
    popUp.pickItem(5); // nothing there: nothing runs
    EXPECT_EQ(own, 1);
}

TEST(PopUpButton, DisabledItemsAndMissingTitlesChangeNothing) {
    PopUpButton popUp("exportSizeButton");
    int picks = 0;
    popUp.setAction([&] { ++picks; });
    popUp.addItemsWithTitles({"Original size", "Large size"});
    popUp.setItemEnabled(0, false);
    popUp.selectItemAtIndex(1);
    popUp.pickItem(0);
    EXPECT_EQ(popUp.indexOfSelectedItem(), 1);
    EXPECT_EQ(picks, 0);
    popUp.selectItemWithTitle("Huge size");
    EXPECT_EQ(popUp.indexOfSelectedItem(), 1);
    EXPECT_EQ(popUp.itemTitleAtIndex(7), "");
}

TEST(TableView, SelectionStaysWithinTheRows) {
    Rows rows;
    rows.rows = 3;
    TableView table("accountsTableView", {"accountName"});
    table.setDataSource(&rows);
    EXPECT_EQ(table.selectedRow(), -1);
    table.selectRowIndexes({2, 0, 9, -1, 2});
    EXPECT_EQ(table.selectedRowIndexes(), QList<int>({0, 2}));
    EXPECT_EQ(rows.selectionChanges, 1);
    table.selectRowIndexes({1}, true);
    EXPECT_EQ(table.selectedRowIndexes(), QList<int>({0, 1, 2}));

    rows.rows = 1; // rows removed
    table.reloadData();
    EXPECT_EQ(table.selectedRowIndexes(), QList<int>({0}));
    EXPECT_EQ(table.valueAt(0, "accountName"), QVariant("accountName0"));
    EXPECT_FALSE(table.valueAt(1, "accountName").isValid());
    table.selectRow(0); // same selection: no change reported
    EXPECT_EQ(rows.selectionChanges, 3);
}
