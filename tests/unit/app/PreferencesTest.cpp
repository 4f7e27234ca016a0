// The preferences file as earlier runs left it, read at start-up and written
// back, and the rules that turn account folders into paths.
#include "AppTest.h"
#include "OFCallBudget.h"
#include "accounts/PathRules.h"

#include <QSettings>

#include <sys/stat.h>

class PreferencesTest : public AppFixture {
protected:
    // Writes preferences as an earlier run would have left them (the account
    // folders exist too), then starts the controller.
    TSAppDelegate& startWith(const QVariantMap& values) {
        for (const QString& folder : values.value("pixPathArray").toStringList())
            QDir().mkpath(paths::locationFromPath(folder));
        for (auto it = values.begin(); it != values.end(); ++it)
            store->setValue(it.key(), it.value());
        EXPECT_TRUE(store->synchronize());
        restart();
        return makeApp();
    }
    QVariant stored(const QString& key) const { return QSettings(prefsFile, QSettings::IniFormat).value(key); }
    QStringList names() const { return apptest::accountNames(app->state()); }
};

TEST_F(PreferencesTest, FirstStartHasNoAccountsAndWritesEmptyValues) {
    auto& app = makeApp();
    const auto& s = app.state();
    EXPECT_TRUE(s.accountRows.isEmpty() && s.dbPath + s.pixPath == "" && !app.database().isOpen());
    EXPECT_TRUE(platform.alerts.isEmpty() && platform.updateChecks == 1);
    for (const char* key : {"dbPath", "realDbPath", "pixPath"})
        EXPECT_TRUE(stored(key).isValid() && stored(key).toString() == "") << key;
    EXPECT_TRUE(stored("pixPathArray").toStringList().isEmpty() && stored("webAddressArray").toStringList().isEmpty());
    EXPECT_EQ(stored("updatesState").toInt(), 1);
    // The file holds OAuth tokens: readable by its owner only.
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(prefsFile).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(PreferencesTest, SeveralAccountsRoundTripAndTheStoredOneBecomesCurrent) {
    // Only a trailing _pix is removed from a folder's name.
    const QString loc = path("Pictures/Tessaly");
    const QStringList folders = {loc + "/my_pix_2_pix", loc + "/bob_pix", path("x") + "/_pixies_pix"};
    auto& app = startWith({{"pixPath", loc + "/bob_pix"},
                           {"pixPathArray", folders},
                           {"webAddressArray", QStringList{"https://a/photos/anna/", "", "https://a/photos/carl/"}},
                           {"authTokenArray", QStringList{"t1", "none", "t3"}},
                           {"authTokenSecretArray", QStringList{"s1", "none", "s3"}},
                           {"updatesState", 0}});
    const auto& s = app.state();
    EXPECT_EQ(names(), QStringList({"my_pix_2", "bob", "_pixies"}));
    EXPECT_EQ(s.accountRows[2].accountLoc(), path("x"));
    EXPECT_TRUE(app.controls().accountsTableView->selectedRow() == 1 && s.currentAccountName == "bob");
    EXPECT_TRUE(s.dbPath == loc + "/bob_db" && s.realDbPath == s.dbPath && app.database().isOpen());
    EXPECT_TRUE(QFileInfo::exists(loc + "/bob_db") && app.controls().searchDbButton->isEnabled());
    EXPECT_TRUE(s.updatesState == 0 && platform.updateChecks == 0);
    EXPECT_EQ(app.controls().pixLocTextField->stringValue(), loc);

    restart();
    auto& again = makeApp();
    EXPECT_EQ(names(), QStringList({"my_pix_2", "bob", "_pixies"}));
    EXPECT_EQ(again.state().authTokenArray, QStringList({"t1", "none", "t3"}));
    EXPECT_EQ(again.state().webAddressArray, QStringList({"https://a/photos/anna/", "", "https://a/photos/carl/"}));
    EXPECT_TRUE(again.state().currentAccountName == "bob" && stored("dbPath").toString() == loc + "/bob_db");
    EXPECT_EQ(stored("pixPathArray").toStringList(), folders);
    // Choosing another row makes it current on the next save.
    again.controls().accountsTableView->selectRow(0);
    again.savePreferences();
    EXPECT_TRUE(again.state().currentAccountName == "my_pix_2" && again.database().path() == loc + "/my_pix_2_db");
}

TEST_F(PreferencesTest, ListsOfDifferentLengthsAreNeverReadPastTheirEnd) {
    // Two entries match the stored folder: the later is current.
    const QString loc = path("p");
    auto& app = startWith({{"pixPath", loc + "/a_pix"},
                           {"pixPathArray", QStringList{loc + "/a_pix", loc + "/b_pix", loc + "/a_pix"}},
                           {"webAddressArray", QStringList{"https://w/a"}},
                           {"authTokenArray", QStringList{"ta", "tb", "tc", "td", "te"}},
                           {"authTokenSecretArray", QStringList{"sa"}}});
    const auto& s = app.state();
    ASSERT_EQ(s.accountRows.size(), 3);
    EXPECT_TRUE(s.accountRows[0].accountUrl() == "https://w/a" && s.accountRows[2].accountUrl() == "");
    EXPECT_EQ(s.authTokenArray, QStringList({"ta", "tb", "tc"}));
    EXPECT_EQ(s.authTokenSecretArray, QStringList({"sa", "none", "none"}));
    EXPECT_TRUE(app.controls().accountsTableView->selectedRow() == 2 && s.currentWebAddress == "");

    // Saving without a selected row keeps the current account.
    app.controls().accountsTableView->deselectAll();
    app.savePreferences();
    EXPECT_TRUE(s.currentAccountName == "a" && s.dbPath == loc + "/a_db");
    EXPECT_EQ(stored("pixPathArray").toStringList(), QStringList({loc + "/a_pix", loc + "/b_pix", loc + "/a_pix"}));
}

TEST_F(PreferencesTest, PresentButEmptyTokenListsAreRefilledWithNone) {
    auto& app = startWith({{"pixPathArray", QStringList{path("p/a_pix"), path("p/b_pix")}},
                           {"authTokenArray", QStringList{}},
                           {"authTokenSecretArray", QStringList{}}});
    EXPECT_EQ(app.state().authTokenArray, QStringList({"none", "none"}));
    EXPECT_EQ(app.state().authTokenSecretArray, QStringList({"none", "none"}));
}

TEST_F(PreferencesTest, SaveButtonConfirmsAndABrokenPaceIsRefused) {
    auto& app = makeApp();
    app.doPrefPanel();
    EXPECT_TRUE(app.controls().prefPanel->isVisible());
    app.controls().updatesCheck->setState(Button::Off);
    app.controls().savePrefsButton->performClick();
    EXPECT_TRUE(!app.controls().prefPanel->isVisible() && platform.alerts.size() == 1);
    EXPECT_EQ(stored("updatesState").toInt(), 0);

    // A pace outside 1 to 100,000 calls an hour is refused, and nothing is saved.
    app.doPrefPanel();
    app.controls().callBudgetTextField->setStringValue("0.001");
    app.controls().savePrefsButton->performClick();
    EXPECT_TRUE(app.controls().prefPanel->isVisible());
    EXPECT_EQ(platform.lastAlertMessage(), "Flickr calls per hour must be a number from 1 to 100,000 "
                                          "(or nothing, for Flickr's own pace); 0.001 is not.");
    EXPECT_EQ(stored("callsPerHour").toDouble(), 0);
    // A broken pace in the preferences file is not used.
    store->setValue("callsPerHour", 1e-300);
    store->synchronize();
    restart();
    auto& next = makeApp();
    EXPECT_TRUE(OFCallBudget::shared().callsPerHour() == 0 && next.controls().callBudgetTextField->stringValue() == "");
}

// The folders, archives and names of accounts are checked through the
// preferences and account tests; these are the rules they do not reach.
TEST(PathRules, ErrorLogsAndAccountNames) {
    EXPECT_FALSE(paths::pixFolderBelongsTo("/home/anna/anna_pix", ""));
    // Only the folder's own ending changes, so the log lands beside it.
    EXPECT_EQ(paths::errorLogFor("/a/anna_pix"), "/a/anna_errorlog");
    EXPECT_EQ(paths::errorLogFor("/home/u/old_pix_backup/Tessaly/anna_pix"),
              "/home/u/old_pix_backup/Tessaly/anna_errorlog");
    EXPECT_EQ(paths::errorLogFor("/a/my_pix_2_pix"), "/a/my_pix_2_errorlog");

    for (const QString name : {"anna", "my_pix_2", "Anna Smith", "..anna"})
        EXPECT_TRUE(paths::isValidAccountName(name)) << name.toStdString();
    for (const QString& name : QStringList{"", ".", "..", "family/anna", QString("an") + QChar(0) + "na"})
        EXPECT_FALSE(paths::isValidAccountName(name)) << name.toStdString();
}
