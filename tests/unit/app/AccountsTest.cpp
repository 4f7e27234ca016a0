// Accounts as the user manages them in the preferences: adding, switching,
// deleting and moving, and the file moves behind the last.
#include "AppTest.h"
#include "accounts/FileMoves.h"

#include <QDirIterator>
#include <QTemporaryDir>

using apptest::writeFile;

class AccountsTest : public AppFixture {
protected:
    // Adds an account through the add-account sheet, as the user does.
    void addAccount(const QString& name, const QString& location) {
        auto& c = app->controls();
        c.addAccountButton->performClick();
        QDir().mkpath(location);
        platform.openPanelAnswers.enqueue({location});
        c.choosePixPathButton->performClick();
        c.addAcctNameTextField->setStringValue(name);
        c.savePixPathButton->performClick();
    }
    // A started controller with these accounts added, in this order, at `location`.
    TSControls& startWith(const QStringList& names, const QString& location) {
        makeApp();
        for (const QString& name : names)
            addAccount(name, location);
        return app->controls();
    }
    QStringList names() const { return apptest::accountNames(app->state()); }
};

TEST_F(AccountsTest, AddingAccountsFillsThePopUpsAndMakesTheNewOneCurrent) {
    auto& c = startWith({"anna", "bob"}, path("loc")); // the default location: the command-line tests
    EXPECT_EQ(names(), QStringList({"anna", "bob"}));
    EXPECT_TRUE(app->state().currentAccountName == "bob" && app->state().dbPath == path("loc") + "/bob_db");
    EXPECT_EQ(app->state().authTokenArray, QStringList({"none", "none"}));
    EXPECT_EQ(c.listDbsButton->itemTitles(), QStringList({"New Flickr Account", "anna", "bob"}));
    EXPECT_EQ(c.listDbsButton2->titleOfSelectedItem(), "bob");
    EXPECT_EQ(c.acctnumTextField->stringValue(), "You have 2 Flickr accounts in your preferences.");

    // An empty name leaves the sheet open and changes nothing; a name that is no file name is refused.
    const QStringList stored = {path("loc") + "/anna_pix", path("loc") + "/bob_pix"};
    EXPECT_EQ(store->value("pixPathArray").toStringList(), stored);
    for (const QString name : {"", "family/anna", "..", "."}) {
        addAccount(name, path("loc"));
        EXPECT_TRUE(c.addAccountSheet->isVisible()) << name.toStdString(); // fixable
        c.cancelPixPathButton->performClick();
    }
    EXPECT_TRUE(platform.alerts.last().title == "Invalid Account Name" && names() == QStringList({"anna", "bob"}));
    EXPECT_EQ(store->value("pixPathArray").toStringList(), stored);
    EXPECT_FALSE(QFileInfo::exists(path("loc/family")) || c.addAccountSheet->isVisible());
    EXPECT_EQ(platform.alerts.size(), 3);

    addAccount("anna", path("elsewhere")); // adding an existing name replaces that account
    EXPECT_EQ(names(), QStringList({"bob", "anna"}));
    EXPECT_EQ(app->state().accountRows[1].accountLoc(), path("elsewhere"));
    EXPECT_EQ(app->state().authTokenArray.size(), 2);
    EXPECT_EQ(store->value("pixPathArray").toStringList(),
              QStringList({path("loc") + "/bob_pix", path("elsewhere") + "/anna_pix"}));
}

TEST_F(AccountsTest, SwitchingDeletingAndMovingAccounts) {
    // The location holds one name inside the other: paths match whole names only.
    auto& c = startWith({"anna", "ann"}, path("home/anna"));
    c.listDbsButton->pickItem(1);
    EXPECT_TRUE(app->state().currentAccountName == "anna" && c.listDbsButton2->titleOfSelectedItem() == "anna");
    EXPECT_EQ(app->database().path(), path("home/anna") + "/anna_db");
    EXPECT_FALSE(app->flickrRequest().isRunning()); // no token, no test
    app->setConnectionState(1); // a stored token is tested, except for the account already current
    c.listDbsButton2->pickItem(1);
    EXPECT_TRUE(app->state().connectionState == 1 && !app->flickrRequest().isRunning());

    // The stored folder is anna's while ann is chosen.
    ASSERT_EQ(app->state().pixPath, path("home/anna") + "/anna_pix");
    c.accountsTableView->selectRow(1);
    app->savePreferences();
    app->setPixPath();
    EXPECT_EQ(app->state().pixPath, path("home/anna") + "/ann_pix");
    EXPECT_EQ(app->state().dbPath, path("home/anna") + "/ann_db");

    c.accountsTableView->selectRow(0); // deleting asks first, and keeps the files
    app->savePreferences();
    c.accountsTableView->selectRow(1);
    platform.alertAnswers.enqueue(AlertSecondButton);
    c.deleteAccountButton->performClick();
    EXPECT_EQ(platform.alerts.last().message, "Do you wish to delete the ann account? This can't be undone.");
    EXPECT_EQ(names().size(), 2);
    c.deleteAccountButton->performClick();
    EXPECT_TRUE(names() == QStringList{"anna"} && app->state().currentAccountName == "anna");
    EXPECT_TRUE(app->state().authTokenArray.size() == 1 && QFileInfo::exists(path("home/anna") + "/ann_db"));
    EXPECT_EQ(c.acctnumTextField->stringValue(), "You have 1 Flickr account in your preferences.");
    EXPECT_EQ(c.listDbsButton->itemTitles(), QStringList({"New Flickr Account", "anna"}));
    c.accountsTableView->deselectAll();
    c.deleteAccountButton->performClick(); // nothing selected: nothing asked
    EXPECT_TRUE(names().size() == 1 && platform.alerts.size() == 2);

    addAccount("bob", path("home/anna")); // moving: database and pictures go along unless something is in the way
    writeFile(path("home/anna") + "/anna_pix/1_a_s.jpg");
    c.accountsTableView->selectRow(0);
    app->savePreferences();
    // Something of the same name already waits at the destination: nothing moves.
    writeFile(path("new") + "/anna_pix/keep.txt");
    platform.openPanelAnswers.enqueue({path("new")});
    c.moveAccountButton->performClick();
    EXPECT_EQ(platform.openPanels.last().message, "Choose New Location for anna Picture Data");
    EXPECT_TRUE(platform.alerts.last().style == AlertStyle::Critical && names() == QStringList({"anna", "bob"}));
    const auto files = [&](const QString& folder) {
        QStringList found;
        for (QDirIterator it(path(folder), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            found << it.next().remove(path(folder) + "/");
        found.sort();
        return found;
    };
    EXPECT_EQ(files("home/anna"), QStringList({"ann_db", "anna_db", "anna_pix/1_a_s.jpg", "bob_db"}));
    EXPECT_EQ(files("new"), QStringList{"anna_pix/keep.txt"});
    // Cancelling at the question or at the panel moves nothing either.
    platform.alertAnswers.enqueue(AlertSecondButton);
    c.moveAccountButton->performClick();
    c.moveAccountButton->performClick(); // the panel answers "cancelled"
    EXPECT_EQ(names(), QStringList({"anna", "bob"}));

    QDir(path("new/anna_pix")).removeRecursively(); // moved: the account is placed last and stays current
    platform.openPanelAnswers.enqueue({path("new")});
    c.moveAccountButton->performClick();
    EXPECT_TRUE(names() == QStringList({"bob", "anna"}) && app->state().accountRows[1].accountLoc() == path("new"));
    EXPECT_EQ(files("new"), QStringList({"anna_db", "anna_pix/1_a_s.jpg"}));
    EXPECT_EQ(files("home/anna"), QStringList({"ann_db", "bob_db"}));
    EXPECT_FALSE(QFileInfo::exists(path("home/anna") + "/anna_pix"));
    EXPECT_TRUE(app->state().currentAccountName == "anna" && app->database().path() == path("new") + "/anna_db");
}


TEST(FileMoves, RefusesToOverwriteAndAcrossFileSystemsTheCopyIsCompleteBeforeTheSourceGoes) {
    QTemporaryDir source;
    writeFile(source.filePath("a/x.jpg"));
    QString error;
    EXPECT_FALSE(files::moveItem(source.filePath("missing"), source.filePath("b"), &error));
    QDir(source.path()).mkpath("c");
    EXPECT_FALSE(files::moveItem(source.filePath("a"), source.filePath("c"), &error));
    EXPECT_TRUE(files::moveItem(source.filePath("a"), source.filePath("b"), &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo::exists(source.filePath("b/x.jpg")) && !QFileInfo::exists(source.filePath("a")));
    QTemporaryDir destination("/dev/shm/tessaly-move-XXXXXX");
    if (!destination.isValid() || QFileInfo(source.path()).absolutePath().startsWith("/dev/shm"))
        GTEST_SKIP() << "no second file system to move to";
    for (const char* name : {"anna_pix/1_a_s.jpg", "anna_pix/sub/2_b_o.jpg", "anna_db"})
        writeFile(source.filePath(name), QByteArray(4096, 'p'));
    for (const char* name : {"anna_pix", "anna_db"}) {
        ASSERT_TRUE(files::moveItem(source.filePath(name), destination.filePath(name), &error)) << error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(source.filePath(name)));
    }
    for (const char* name : {"anna_pix/sub/2_b_o.jpg", "anna_db"})
        EXPECT_EQ(QFileInfo(destination.filePath(name)).size(), 4096) << name;
}
