#include "AppFixture.h"
#include "AppWindows.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace tessaly;
using tessaly::test::AppFixture;

// The account life cycle as a user goes through it in the windows.
class AccountsWindowsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeApp(false);
        windows = std::make_unique<AppWindows>(*app);
        app->applicationDidFinishLaunching();
    }
    void TearDown() override { windows.reset(); }

    template <typename T> T* find(const QString& name, const QString& inWindow = {}) {
        QWidget* root = windows->mainWindow();
        for (QWidget* top : QApplication::topLevelWidgets())
            if (!inWindow.isEmpty() && top->objectName() == inWindow)
                root = top;
        for (auto* widget : root->findChildren<T*>(name))
            if (inWindow.isEmpty() || widget->window()->objectName() == inWindow)
                return widget;
        ADD_FAILURE() << "no " << name.toStdString();
        return nullptr;
    }
    QDialog* sheet() { return windows->prefPanel()->findChild<QDialog*>("addAccountSheet"); }

    void addAccount(const QString& name, const QString& location) {
        QDir().mkpath(location);
        find<QPushButton>("addAccountButton", "prefPanel")->click();
        ASSERT_TRUE(sheet()->isVisible());
        platform.openPanelAnswers.enqueue({location});
        find<QPushButton>("choosePixPathButton", "addAccountSheet")->click();
        auto* nameField = find<QLineEdit>("addAcctNameTextField", "addAccountSheet");
        nameField->clear();
        QTest::keyClicks(nameField, name);
        find<QPushButton>("savePixPathButton", "addAccountSheet")->click();
    }

    std::unique_ptr<AppWindows> windows;
};

TEST_F(AccountsWindowsTest, AddSwitchAndDeleteThroughTheWindows) {
    app->doPrefPanel();
    addAccount("anna", path("loc"));
    EXPECT_FALSE(sheet()->isVisible());
    EXPECT_EQ(find<QLineEdit>("pixLocTextField", "prefPanel")->text(), path("loc"));
    addAccount("bob", path("loc"));

    auto* table = find<QTableView>("accountsTableView", "prefPanel");
    ASSERT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(table->model()->index(1, 0).data().toString(), "bob");
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

    // Deleting the selected account; its files stay.
    find<QPushButton>("deleteAccountButton", "prefPanel")->click();
    EXPECT_EQ(platform.alerts.last().title, "Delete Account");
    EXPECT_EQ(table->model()->rowCount(), 1);
    EXPECT_EQ(app->state().currentAccountName, "bob");
    EXPECT_EQ(popUp->count(), 2);
    EXPECT_TRUE(QFileInfo::exists(path("loc") + "/anna_db"));
}

TEST_F(AccountsWindowsTest, TheConnectionSheetTakesAPastedCallbackAddress) {
    addAccount("anna", path("loc"));
    find<QPushButton>("oauthAuthButton")->click();
    auto* done = windows->mainWindow()->findChild<QDialog*>("doneSheet");
    ASSERT_NE(done, nullptr);
    EXPECT_TRUE(done->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app->flickrRequest().isRunning(); }, 5000));
    // Nothing answers at the test's Flickr address: the exchange fails and the
    // pasted address starts the next one.
    QTest::keyClicks(find<QLineEdit>("callbackURLTextField", "doneSheet"),
                     "tessaly://callback?oauth_token=a&oauth_verifier=b");
    find<QPushButton>("useCallbackURLButton", "doneSheet")->click();
    find<QPushButton>("cancelConnectionButton", "doneSheet")->click();
    EXPECT_FALSE(done->isVisible());
    EXPECT_EQ(app->state().connectionState, 0);
}
