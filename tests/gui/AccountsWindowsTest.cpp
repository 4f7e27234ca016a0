// Adding, switching and connecting an account as a user does it in the windows.
#include "WindowsFixture.h"

class AccountsWindowsTest : public WindowsFixture<> {};

TEST_F(AccountsWindowsTest, AddSwitchAndConnectThroughTheWindows) {
    storeAccountAt(path("loc/anna_pix"), {"https://x/photos/anna/"});
    launch();
    app->doPrefPanel();
    // Adding "bob" by the sheet: the chosen folder and the typed name.
    find<QPushButton>("addAccountButton")->click();
    auto* sheet = find("addAccountSheet");
    ASSERT_TRUE(sheet->isVisible());
    platform.openPanelAnswers.enqueue({path("loc")});
    find<QPushButton>("choosePixPathButton")->click();
    find<QLineEdit>("addAcctNameTextField")->clear();
    QTest::keyClicks(find<QLineEdit>("addAcctNameTextField"), "bob");
    find<QPushButton>("savePixPathButton")->click();
    EXPECT_FALSE(sheet->isVisible());

    auto* table = find<QTableView>("accountsTableView");
    auto* model = table->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Location");
    const QStringList anna{"anna", path("loc"), "https://x/photos/anna/"}, bob{"bob", path("loc"), ""};
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(model->index(0, column).data().toString(), anna[column]) << column;
        EXPECT_EQ(model->index(1, column).data().toString(), bob[column]) << column;
    }
    EXPECT_EQ(table->selectionModel()->selectedRows().value(0).row(), 1);
    auto* popUp = find<QComboBox>("listDbsButton");
    EXPECT_EQ(popUp->count(), 3);
    EXPECT_EQ(popUp->currentText(), "bob");

    // Switching by the pop-up.
    popUp->setCurrentIndex(1);
    emit popUp->activated(1);
    EXPECT_EQ(app->state().currentAccountName, "anna");
    EXPECT_EQ(table->selectionModel()->selectedRows().value(0).row(), 0);

    // The connection sheet takes a pasted callback address. Nothing answers at the test's Flickr
    // address: the exchange fails and the pasted address starts the next one.
    find<QPushButton>("oauthAuthButton")->click();
    ASSERT_TRUE(find("doneSheet")->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app->flickrRequest().isRunning(); }, 5000));
    QTest::keyClicks(find<QLineEdit>("callbackURLTextField"),
                     "tessaly://callback?oauth_token=a&oauth_verifier=b");
    find<QPushButton>("useCallbackURLButton")->click();
    EXPECT_TRUE(app->flickrRequest().isRunning());
    find<QPushButton>("cancelConnectionButton")->click();
    EXPECT_FALSE(find("doneSheet")->isVisible());
    EXPECT_EQ(app->state().connectionState, 0);
}
