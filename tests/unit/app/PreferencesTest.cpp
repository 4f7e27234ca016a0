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

TEST_F(PreferencesTest, FirstStartHasNoAccountsAndWritesEmptyValuesAndABrokenPaceIsRefused) {
    auto& app = makeApp();
    const auto& s = app.state();
    EXPECT_TRUE(s.accountRows.isEmpty() && s.dbPath + s.pixPath == "" && !app.database().isOpen());
    EXPECT_TRUE(platform.alerts.isEmpty() && platform.updateChecks == 1 && stored("updatesState").toInt() == 1);
    for (const char* key : {"dbPath", "realDbPath", "pixPath"})
        EXPECT_TRUE(stored(key).isValid() && stored(key).toString() == "") << key;
    EXPECT_TRUE(stored("pixPathArray").toStringList().isEmpty() && stored("webAddressArray").toStringList().isEmpty());
    struct stat info {}; // the file holds OAuth tokens: readable by its owner only
    ASSERT_EQ(::stat(QFile::encodeName(prefsFile).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    app.doPrefPanel(); // the Save button confirms
    app.controls().updatesCheck->setState(Button::Off);
    app.controls().savePrefsButton->performClick();
    EXPECT_TRUE(!app.controls().prefPanel->isVisible() && platform.alerts.size() == 1);
    EXPECT_EQ(stored("updatesState").toInt(), 0);

    app.doPrefPanel(); // a pace outside 1 to 100,000 calls an hour is refused, and nothing is saved
    app.controls().callBudgetTextField->setStringValue("0.001");
    app.controls().savePrefsButton->performClick();
    EXPECT_TRUE(app.controls().prefPanel->isVisible() && platform.alerts.size() == 2);
    EXPECT_EQ(platform.lastAlertMessage(), "Flickr calls per hour must be a number from 1 to 100,000 "
                                          "(or nothing, for Flickr's own pace); 0.001 is not.");
    EXPECT_EQ(stored("callsPerHour").toDouble(), 0);
    store->setValue("callsPerHour", 1e-300); // a broken pace in the preferences file is not used
    store->synchronize();
    restart();
    auto& next = makeApp();
    EXPECT_TRUE(OFCallBudget::shared().callsPerHour() == 0 && next.controls().callBudgetTextField->stringValue() == "");
}

TEST_F(PreferencesTest, SeveralAccountsRoundTripAndTheStoredOneBecomesCurrent) {
    const QString loc = path("Pictures/Tessaly"); // only a trailing _pix is removed from a folder's name
    const QStringList folders = {loc + "/my_pix_2_pix", loc + "/bob_pix", path("x") + "/_pixies_pix"};
    auto& app = startWith({{"pixPath", loc + "/bob_pix"}, {"pixPathArray", folders}, {"updatesState", 0},
                           {"webAddressArray", QStringList{"https://a/photos/anna/", "", "https://a/photos/carl/"}},
                           {"authTokenArray", QStringList{"t1", "none", "t3"}},
                           {"authTokenSecretArray", QStringList{"s1", "none", "s3"}}});
    const auto& s = app.state();
    EXPECT_TRUE(names() == QStringList({"my_pix_2", "bob", "_pixies"}) && s.accountRows[2].accountLoc() == path("x"));
    EXPECT_TRUE(app.controls().accountsTableView->selectedRow() == 1 && s.currentAccountName == "bob");
    EXPECT_TRUE(s.dbPath == loc + "/bob_db" && s.realDbPath == s.dbPath && app.database().isOpen());
    EXPECT_TRUE(QFileInfo::exists(loc + "/bob_db") && app.controls().searchDbButton->isEnabled());
    EXPECT_TRUE(s.updatesState == 0 && platform.updateChecks == 0);
    EXPECT_EQ(app.controls().pixLocTextField->stringValue(), loc);

    restart();
    auto& again = makeApp();
    EXPECT_EQ(names(), QStringList({"my_pix_2", "bob", "_pixies"}));
    EXPECT_EQ(again.state().authTokenArray + again.state().webAddressArray,
              QStringList({"t1", "none", "t3", "https://a/photos/anna/", "", "https://a/photos/carl/"}));
    EXPECT_TRUE(again.state().currentAccountName == "bob" && stored("dbPath").toString() == loc + "/bob_db");
    EXPECT_EQ(stored("pixPathArray").toStringList(), folders);
    again.controls().accountsTableView->selectRow(0); // choosing another row makes it current on the next save
    again.savePreferences();
    EXPECT_TRUE(again.state().currentAccountName == "my_pix_2" && again.database().path() == loc + "/my_pix_2_db");
}

TEST_F(PreferencesTest, ListsOfDifferentLengthsAreNeverReadPastTheirEndAndEmptyTokenListsAreRefilledWithNone) {
    const QString loc = path("p"); // two entries match the stored folder: the later is current
    auto& app = startWith({{"pixPath", loc + "/a_pix"}, {"webAddressArray", QStringList{"https://w/a"}},
                           {"pixPathArray", QStringList{loc + "/a_pix", loc + "/b_pix", loc + "/a_pix"}},
                           {"authTokenArray", QStringList{"ta", "tb", "tc", "td", "te"}},
                           {"authTokenSecretArray", QStringList{}}});
    const auto& s = app.state();
    ASSERT_EQ(s.accountRows.size(), 3);
    EXPECT_TRUE(s.accountRows[0].accountUrl() == "https://w/a" && s.accountRows[2].accountUrl() == "");
    EXPECT_EQ(s.authTokenArray, QStringList({"ta", "tb", "tc"}));
    EXPECT_EQ(s.authTokenSecretArray, QStringList({"none", "none", "none"}));
    EXPECT_TRUE(app.controls().accountsTableView->selectedRow() == 2 && s.currentWebAddress == "");

    app.controls().accountsTableView->deselectAll(); // saving without a selected row keeps the current account
    app.savePreferences();
    EXPECT_TRUE(s.currentAccountName == "a" && s.dbPath == loc + "/a_db");
    EXPECT_EQ(stored("pixPathArray").toStringList(), QStringList({loc + "/a_pix", loc + "/b_pix", loc + "/a_pix"}));
}

// The folders, archives and names of accounts are checked through the preferences and account tests (the error
// log beside the picture folder: the sync tests); these are the rules they do not reach.
TEST(PathRules, ErrorLogsAndAccountNames) {
    EXPECT_FALSE(paths::pixFolderBelongsTo("/home/anna/anna_pix", ""));
    // Only the folder's own ending changes.
    EXPECT_EQ(paths::errorLogFor("/home/u/old_pix_backup/Tessaly/my_pix_2_pix"),
              "/home/u/old_pix_backup/Tessaly/my_pix_2_errorlog");

    for (const QString name : {"anna", "my_pix_2", "Anna Smith", "..anna"})
        EXPECT_TRUE(paths::isValidAccountName(name)) << name.toStdString();
    for (const QString& name : QStringList{"", ".", "..", "family/anna", QString("an") + QChar(0) + "na"})
        EXPECT_FALSE(paths::isValidAccountName(name)) << name.toStdString();
}
