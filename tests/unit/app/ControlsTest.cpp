// The control models behind every window: pop-up menus and tables.
#include "controls/PopUpButton.h"
#include "controls/TableView.h"

#include <gtest/gtest.h>

using namespace tessaly;

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
    // A disabled item, a missing title or index: no change, nothing runs.
    popUp.setItemEnabled(3, false);
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
    EXPECT_EQ(table.selectedRow(), -1);
    table.selectRowIndexes({2, 0, 9, -1, 2});
    EXPECT_TRUE(table.selectedRowIndexes() == QList<int>({0, 2}) && rows.selectionChanges == 1);
    table.selectRowIndexes({1}, true);
    EXPECT_EQ(table.selectedRowIndexes(), QList<int>({0, 1, 2}));

    rows.rows = 1; // rows removed
    table.reloadData();
    EXPECT_EQ(table.selectedRowIndexes(), QList<int>({0}));
    EXPECT_TRUE(table.valueAt(0, "accountName") == "accountName0" && !table.valueAt(1, "accountName").isValid());
    table.selectRow(0); // same selection: no change reported
    EXPECT_EQ(rows.selectionChanges, 3);
}
