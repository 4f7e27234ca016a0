// The account life cycle as a user goes through it in the windows.
#include "WindowsFixture.h"

using namespace tessaly;
using namespace tessaly::test;

class AccountsWindowsTest : public WindowsFixture<> {};

TEST_F(AccountsWindowsTest, AddSwitchDeleteAndConnectThroughTheWindows) {
    storeAccountAt(path("loc/anna_pix"), {"https://x/photos/anna/"});
    launch();
    auto& c = app->controls();
    app->doPrefPanel();
    // Adding "bob" by the sheet: the chosen folder and the typed name.
    find<QPushButton>("addAccountButton", "prefPanel")->click();
    auto* sheet = find("addAccountSheet");
    ASSERT_TRUE(sheet->isVisible());
    platform.openPanelAnswers.enqueue({path("loc")});
    find<QPushButton>("choosePixPathButton", "addAccountSheet")->click();
    find<QLineEdit>("addAcctNameTextField", "addAccountSheet")->clear();
    QTest::keyClicks(find<QLineEdit>("addAcctNameTextField", "addAccountSheet"), "bob");
    find<QPushButton>("savePixPathButton", "addAccountSheet")->click();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(find<QLineEdit>("pixLocTextField", "prefPanel")->text(), path("loc"));

    auto* table = find<QTableView>("accountsTableView", "prefPanel");
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
    EXPECT_TRUE(popUp->isVisibleTo(windows->mainWindow()));
    EXPECT_EQ(popUp->count(), 3);
    EXPECT_EQ(popUp->currentText(), "bob");

    // Switching by the pop-up.
    popUp->setCurrentIndex(1);
    emit popUp->activated(1);
    EXPECT_EQ(app->state().currentAccountName, "anna");
    EXPECT_EQ(table->selectionModel()->selectedRows().value(0).row(), 0);
    EXPECT_EQ(find<QLabel>("acctnumTextField")->text(), "You have 2 Flickr accounts in your preferences.");

    // Deleting the account selected in the table; its files stay.
    table->selectRow(1);
    EXPECT_EQ(c.accountsTableView->selectedRow(), 1);
    find<QPushButton>("deleteAccountButton", "prefPanel")->click();
    EXPECT_EQ(platform.alerts.last().title, "Delete Account");
    EXPECT_EQ(model->rowCount(), 1);
    EXPECT_EQ(app->state().currentAccountName, "anna");
    EXPECT_EQ(popUp->count(), 2);
    EXPECT_TRUE(QFileInfo::exists(path("loc/bob_db")));

    // The connection sheet takes a pasted callback address. Nothing answers at the test's Flickr
    // address: the exchange fails and the pasted address starts the next one.
    find<QPushButton>("oauthAuthButton")->click();
    auto* done = find("doneSheet");
    ASSERT_TRUE(done->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app->flickrRequest().isRunning(); }, 5000));
    QTest::keyClicks(find<QLineEdit>("callbackURLTextField", "doneSheet"),
                     "tessaly://callback?oauth_token=a&oauth_verifier=b");
    find<QPushButton>("useCallbackURLButton", "doneSheet")->click();
    EXPECT_TRUE(app->flickrRequest().isRunning());
    find<QPushButton>("cancelConnectionButton", "doneSheet")->click();
    EXPECT_FALSE(done->isVisible());
    EXPECT_EQ(app->state().connectionState, 0);
}
