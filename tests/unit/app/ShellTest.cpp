// The main window and menus: start-up, which items each state enables,
// going home, quitting and files opened from the desktop.
#include "AppTest.h"

class ShellTest : public AppFixture {
protected:
    bool enabled(MenuItem* item) {
        app->revalidateMenuItems();
        return item->isEnabled();
    }
};

TEST_F(ShellTest, StartUpWithoutAccountsTakesAnOpenedFile) {
    auto& app = makeApp();
    auto& c = app.controls();
    EXPECT_FALSE(c.searchDbButton->isEnabled() || c.downloadButton->isEnabled() ||
                 c.downloadFilesButton->isEnabled() || c.logoutButton->isEnabled());
    EXPECT_TRUE(c.oauthAuthButton->isEnabled() && c.listDbsButton->isHidden() && c.window->isKeyWindow());
    EXPECT_FALSE(app.applicationShouldOpenUntitledFile());

    const QString file = path("from-desktop_db");
    EXPECT_TRUE(app.applicationOpenFile(file));
    EXPECT_TRUE(app.database().path() == file && app.state().dbPath == file);
    EXPECT_EQ(platform.recentDocuments, QStringList{file});
    EXPECT_TRUE(c.searchDbButton->isEnabled() && platform.alerts.isEmpty());
}

TEST_F(ShellTest, MenuItemsFollowEachFlag) {
    auto& app = makeApp();
    auto& c = app.controls();
    EXPECT_TRUE(enabled(c.connectItem)); // not connected: connect only
    EXPECT_FALSE(c.downloadInfoItem->isEnabled() || c.downloadPixItem->isEnabled());
    for (int state : {1, 2}) {
        app.setConnectionState(state);
        EXPECT_FALSE(c.connectItem->isEnabled()) << state;
        EXPECT_TRUE(c.downloadInfoItem->isEnabled() && c.downloadPixItem->isEnabled()) << state;
    }

    EXPECT_FALSE(enabled(c.exportItem) || c.deleteItem->isEnabled());
    app.setResultsShown(true);
    EXPECT_TRUE(c.exportItem->isEnabled() && c.deleteItem->isEnabled());
    EXPECT_FALSE(c.deselectItem->isEnabled()); // it needs a selected result as well

    EXPECT_FALSE(enabled(c.savePicItem));
    c.imageWindow->makeKeyAndOrderFront();
    EXPECT_TRUE(c.savePicItem->isEnabled());
    EXPECT_FALSE(enabled(c.editSqlItem));
    c.searchWindow->makeKeyAndOrderFront();
    EXPECT_TRUE(c.editSqlItem->isEnabled());

    // Any other title is always enabled.
    EXPECT_TRUE(enabled(c.aboutItem) && c.schemaItem->isEnabled());
    MenuItem other("x", "Something Else");
    other.setEnabled(false);
    EXPECT_TRUE(app.validateMenuItem(other));

    // Going home closes search and viewer.
    app.setViewerOpen(true);
    c.goHomeItem->performClick();
    EXPECT_FALSE(c.searchWindow->isVisible() || c.imageWindow->isVisible() || app.state().resultsShown ||
                 app.state().viewerOpen || enabled(c.savePicItem));
    EXPECT_TRUE(c.exportButton->isHidden() && c.foundTextField->isHidden() && c.window->isKeyWindow());
}

TEST_F(ShellTest, QuittingAndClosingTheMainWindowWaitForTheDownload) {
    auto& app = makeApp();
    auto& c = app.controls();
    app.setInfoDownloadRunning(true);
    EXPECT_FALSE(enabled(c.quitItem) || app.windowShouldClose());
    c.quitItem->performClick(); // disabled: no effect
    EXPECT_EQ(platform.terminateRequests, 0);
    app.setInfoDownloadRunning(false);
    EXPECT_TRUE(c.quitItem->isEnabled() && app.windowShouldClose());
    EXPECT_EQ(platform.terminateRequests, 1);
    c.quitItem->performClick();
    EXPECT_EQ(platform.terminateRequests, 2);
    // Quitting writes nothing: the preferences file is unchanged.
    EXPECT_EQ(store->value("dbPath").toString(), "");
}

TEST_F(ShellTest, AboutAndTheImagesOfOlderSystems) {
    platform.version = {10, 6};
    auto& c = makeApp().controls();
    EXPECT_EQ(c.oauthAuthButton->imageName() + " " + c.searchDbButton->imageName(),
              "flickr_sl.png glyphicon_bigsearch_sl.png");
    c.aboutItem->performClick();
    EXPECT_EQ(platform.aboutPanelsShown, 1);

    restart();
    platform.version = {10, 7};
    EXPECT_TRUE(makeApp().controls().oauthAuthButton->imageName().isEmpty());
}
