#include "AppFixture.h"

#include <QDir>

using namespace tessaly;
using tessaly::test::AppFixture;

class ShellTest : public AppFixture {
protected:
    bool enabled(MenuItem* item) {
        app->revalidateMenuItems();
        return item->isEnabled();
    }
};

TEST_F(ShellTest, StartUpWithoutAccountsDisablesSearchAndDownloads) {
    auto& app = makeApp();
    auto& c = app.controls();
    EXPECT_FALSE(c.searchDbButton->isEnabled());
    EXPECT_FALSE(c.downloadButton->isEnabled());
    EXPECT_FALSE(c.downloadFilesButton->isEnabled());
    EXPECT_FALSE(c.logoutButton->isEnabled());
    EXPECT_EQ(c.oauthAuthButton->title(), "    Connect to your Flickr account");
    EXPECT_TRUE(c.oauthAuthButton->isEnabled());
    EXPECT_TRUE(c.listDbsButton->isHidden());
    EXPECT_TRUE(c.window->isVisible());
    EXPECT_TRUE(c.window->isKeyWindow());
    EXPECT_EQ(app.state().permissionLabels.value(3), "3 - everybody");
    EXPECT_EQ(app.state().distanceValues.size(), 9);
    EXPECT_FALSE(app.applicationShouldOpenUntitledFile());
}

TEST_F(ShellTest, StartUpWithAnAccountOpensItsArchiveAndShowsThePopUps) {
    const QString loc = path("p");
    QDir().mkpath(loc);
    store->setValue("pixPath", loc + "/anna_pix");
    store->setValue("pixPathArray", QStringList{loc + "/anna_pix"});
    store->synchronize();
    restart();
    auto& app = makeApp();
    EXPECT_TRUE(app.controls().searchDbButton->isEnabled());
    EXPECT_FALSE(app.controls().listDbsButton->isHidden());
    EXPECT_FALSE(app.controls().listDbsButton2->isHidden());
    EXPECT_EQ(app.database().path(), loc + "/anna_db");
}

TEST_F(ShellTest, MenuItemsFollowEachFlag) {
    auto& app = makeApp();
    auto& c = app.controls();
    // Not connected: connect only.
    EXPECT_TRUE(enabled(c.connectItem));
    EXPECT_FALSE(enabled(c.downloadInfoItem));
    EXPECT_FALSE(enabled(c.downloadPixItem));
    for (int state : {1, 2}) {
        app.setConnectionState(state);
        EXPECT_FALSE(c.connectItem->isEnabled()) << state;
        EXPECT_TRUE(c.downloadInfoItem->isEnabled()) << state;
        EXPECT_TRUE(c.downloadPixItem->isEnabled()) << state;
    }

    EXPECT_FALSE(enabled(c.exportItem));
    EXPECT_FALSE(enabled(c.deleteItem));
    app.setResultsShown(true);
    EXPECT_TRUE(c.exportItem->isEnabled());
    EXPECT_TRUE(c.deleteItem->isEnabled());
    // Deselect All needs a selected result as well.
    EXPECT_FALSE(c.deselectItem->isEnabled());

    EXPECT_TRUE(enabled(c.quitItem));
    app.setInfoDownloadRunning(true);
    EXPECT_FALSE(c.quitItem->isEnabled());
    app.setInfoDownloadRunning(false);
    EXPECT_TRUE(c.quitItem->isEnabled());

    EXPECT_FALSE(enabled(c.savePicItem));
    c.imageWindow->makeKeyAndOrderFront();
    EXPECT_TRUE(c.savePicItem->isEnabled());
    EXPECT_FALSE(enabled(c.editSqlItem));
    c.searchWindow->makeKeyAndOrderFront();
    EXPECT_TRUE(c.editSqlItem->isEnabled());

    // Any other title is always enabled.
    EXPECT_TRUE(enabled(c.aboutItem));
    EXPECT_TRUE(enabled(c.schemaItem));
    MenuItem other("x", "Something Else");
    other.setEnabled(false);
    EXPECT_TRUE(app.validateMenuItem(other));
}

TEST_F(ShellTest, GoingHomeClosesSearchAndViewer) {
    auto& app = makeApp();
    auto& c = app.controls();
    c.searchWindow->makeKeyAndOrderFront();
    c.imageWindow->makeKeyAndOrderFront();
    app.setResultsShown(true);
    app.setViewerOpen(true);
    c.goHomeItem->performClick();
    EXPECT_FALSE(c.searchWindow->isVisible());
    EXPECT_FALSE(c.imageWindow->isVisible());
    EXPECT_FALSE(app.state().resultsShown);
    EXPECT_FALSE(app.state().viewerOpen);
    EXPECT_TRUE(c.exportButton->isHidden());
    EXPECT_TRUE(c.foundTextField->isHidden());
    EXPECT_TRUE(c.window->isKeyWindow());
    EXPECT_FALSE(enabled(c.savePicItem));
}

TEST_F(ShellTest, OpenedFileIsTakenWhenNoAccountExists) {
    auto& app = makeApp();
    const QString file = path("from-desktop_db");
    EXPECT_TRUE(app.applicationOpenFile(file));
    EXPECT_EQ(app.database().path(), file);
    EXPECT_EQ(app.state().dbPath, file);
    EXPECT_EQ(platform.recentDocuments, QStringList{file});
    EXPECT_TRUE(app.controls().searchDbButton->isEnabled());
    EXPECT_TRUE(platform.alerts.isEmpty());
}

TEST_F(ShellTest, QuitAboutAndOlderSystemImages) {
    platform.version = {10, 6};
    auto& app = makeApp();
    auto& c = app.controls();
    EXPECT_EQ(c.oauthAuthButton->imageName(), "flickr_sl.png");
    EXPECT_EQ(c.downloadButton->imageName(), "glyphicon_bigdownload_sl.png");
    EXPECT_EQ(c.downloadFilesButton->imageName(), "glyphicon_bigdownload_sl.png");
    EXPECT_EQ(c.searchDbButton->imageName(), "glyphicon_bigsearch_sl.png");
    c.aboutItem->performClick();
    EXPECT_EQ(platform.aboutPanelsShown, 1);
    c.quitItem->performClick();
    EXPECT_EQ(platform.terminateRequests, 1);
    // Quitting writes nothing: the preferences file is unchanged.
    EXPECT_EQ(store->value("dbPath").toString(), "");

    restart();
    platform.version = {10, 7};
    auto& modern = makeApp();
    EXPECT_TRUE(modern.controls().oauthAuthButton->imageName().isEmpty());
}

TEST_F(ShellTest, StartUpSetsUpTheProgressIndicatorAndTheViewerWindow) {
    auto& app = makeApp();
    auto& c = app.controls();
    EXPECT_TRUE(c.progressIndicator->isIndeterminate());
    EXPECT_FALSE(c.progressIndicator->isDisplayedWhenStopped());
    EXPECT_TRUE(c.progressIndicator->usesThreadedAnimation());
    EXPECT_FALSE(c.progressIndicator->isShown());
    c.progressIndicator->startAnimation();
    EXPECT_TRUE(c.progressIndicator->isShown());
    c.progressIndicator->stopAnimation();
    EXPECT_FALSE(c.progressIndicator->isShown());
    EXPECT_TRUE(c.imageWindow->acceptsMouseMovedEvents());
}

TEST_F(ShellTest, ClosingTheMainWindowQuitsOnlyWhenQuittingIsAllowed) {
    auto& app = makeApp();
    app.setInfoDownloadRunning(true);
    EXPECT_FALSE(enabled(app.controls().quitItem));
    EXPECT_FALSE(app.windowShouldClose());
    app.controls().quitItem->performClick(); // disabled: no effect
    EXPECT_EQ(platform.terminateRequests, 0);
    app.setInfoDownloadRunning(false);
    EXPECT_TRUE(app.windowShouldClose());
    EXPECT_EQ(platform.terminateRequests, 1);
}
