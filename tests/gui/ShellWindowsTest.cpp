#include "AppFixture.h"
#include "AppWindows.h"
#include "QtPlatform.h"
#include "accounts/PathRules.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>

using namespace tessaly;
using tessaly::test::AppFixture;

class ShellWindowsTest : public AppFixture {
protected:
    template <typename T> T* widget(QWidget* window, const QString& name) {
        auto* found = window->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QAction* action(const QString& name) { return widget<QAction>(windows->mainWindow(), name); }

    void launch() {
        makeApp(false);
        windows = std::make_unique<AppWindows>(*app);
        app->applicationDidFinishLaunching();
    }
    void TearDown() override { windows.reset(); }

    std::unique_ptr<AppWindows> windows;
};

TEST_F(ShellWindowsTest, StartUpWithEmptyPreferencesShowsTheNotConnectedWindow) {
    launch();
    QMainWindow* main = windows->mainWindow();
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->windowTitle(), "Tessaly");
    EXPECT_FALSE(widget<QPushButton>(main, "searchDbButton")->isEnabled());
    EXPECT_FALSE(widget<QPushButton>(main, "downloadButton")->isEnabled());
    EXPECT_FALSE(widget<QPushButton>(main, "downloadFilesButton")->isEnabled());
    auto* connect = widget<QPushButton>(main, "oauthAuthButton");
    EXPECT_EQ(connect->text(), "    Connect to your Flickr account");
    EXPECT_TRUE(connect->isEnabled());
    EXPECT_TRUE(widget<QComboBox>(main, "listDbsButton")->isHidden());
    EXPECT_FALSE(widget<QProgressBar>(main, "progressIndicator")->isVisible());

    EXPECT_TRUE(action("connectItem")->isEnabled());
    EXPECT_FALSE(action("downloadInfoItem")->isEnabled());
    EXPECT_FALSE(action("exportItem")->isEnabled());
    EXPECT_TRUE(action("quitItem")->isEnabled());
    EXPECT_EQ(action("quitItem")->text(), "Quit Tessaly");
    EXPECT_FALSE(action("quitItem")->shortcut().isEmpty());
}

TEST_F(ShellWindowsTest, ModelChangesReachTheWidgetsAndClicksReachTheModels) {
    launch();
    QMainWindow* main = windows->mainWindow();
    auto& c = app->controls();

    app->setInfoDownloadRunning(true);
    EXPECT_FALSE(action("quitItem")->isEnabled());
    app->setInfoDownloadRunning(false);

    c.progressLabel->setStringValue("Downloading picture info...");
    EXPECT_EQ(widget<QLabel>(main, "progressLabel")->text(), "Downloading picture info...");
    c.progressIndicator->startAnimation();
    EXPECT_TRUE(widget<QProgressBar>(main, "progressIndicator")->isVisible());

    action("prefsItem")->trigger();
    QDialog* prefs = windows->prefPanel();
    EXPECT_TRUE(prefs->isVisible());
    auto* updates = widget<QCheckBox>(prefs, "updatesCheck");
    EXPECT_TRUE(updates->isChecked());
    updates->click();
    EXPECT_EQ(c.updatesCheck->state(), Button::Off);

    widget<QPushButton>(prefs, "savePrefsButton")->click();
    EXPECT_FALSE(prefs->isVisible());
    EXPECT_FALSE(c.prefPanel->isVisible());
    ASSERT_EQ(platform.alerts.size(), 1) << platform.alerts.last().title.toStdString() << platform.alerts.last().message.toStdString();
    EXPECT_EQ(store->value("updatesState").toInt(), 0);

    // Closing the panel by its window button keeps the model in step.
    action("prefsItem")->trigger();
    prefs->close();
    EXPECT_FALSE(c.prefPanel->isVisible());
}

TEST_F(ShellWindowsTest, AccountsTableShowsTheAccountsAndFollowsTheSelection) {
    const QString loc = path("p");
    QDir().mkpath(loc);
    store->setValue("pixPath", loc + "/bob_pix");
    store->setValue("pixPathArray", QStringList{loc + "/anna_pix", loc + "/bob_pix"});
    store->setValue("webAddressArray", QStringList{"https://x/photos/anna/", ""});
    store->synchronize();
    restart();
    launch();

    auto* table = widget<QTableView>(windows->prefPanel(), "accountsTableView");
    ASSERT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(table->model()->index(0, 0).data().toString(), "anna");
    EXPECT_EQ(table->model()->index(0, 2).data().toString(), "https://x/photos/anna/");
    EXPECT_EQ(table->model()->headerData(1, Qt::Horizontal).toString(), "Location");
    ASSERT_EQ(table->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(table->selectionModel()->selectedRows().first().row(), 1);

    table->selectRow(0);
    EXPECT_EQ(app->controls().accountsTableView->selectedRow(), 0);
    EXPECT_FALSE(widget<QComboBox>(windows->mainWindow(), "listDbsButton")->isHidden());
}

TEST_F(ShellWindowsTest, AlertsAndLabelsShowTheirDataAsWritten) {
    launch();
    const QString markup = "<b>anna</b> &amp; <i>bob</i>";
    const auto box = QtPlatform::makeAlertBox({"Open <u>Failed</u>", markup + " is not a valid database file.",
                                               {"Delete", "Cancel"}, AlertStyle::Critical},
                                              nullptr);
    QStringList shown;
    for (QLabel* label : box->findChildren<QLabel*>())
        if (!label->text().isEmpty()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
            shown << label->text();
        }
    EXPECT_TRUE(shown.contains("Open <u>Failed</u>"));
    EXPECT_TRUE(shown.contains(markup + " is not a valid database file."));

    app->controls().progressLabel->setStringValue(markup);
    auto* label = widget<QLabel>(windows->mainWindow(), "progressLabel");
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), markup);
}
