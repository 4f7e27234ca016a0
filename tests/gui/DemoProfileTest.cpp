#include "DemoProfile.h"
#include "AppFixture.h"
#include "SchemeRegistration.h"
#include "Server.h"
#include "Wait.h"
#include "editing/EditingController.h"
#include "export/ExportController.h"
#include "search/SearchController.h"
#include "sync/SyncController.h"
#include "viewer/ViewerController.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTest>

using namespace tessaly;
using tessaly::test::AppFixture;

TEST(DemoPlatform, ConnectsTheDemoAccountWithoutABrowserAndDownloadsItsStream) {
    fakeflickr::Options options;
    options.photos = 10;
    options.userName = DemoProfile::kUser;
    fakeflickr::Server service(options);
    ASSERT_TRUE(service.listen());
    qputenv("TESSALY_FLICKR_ENDPOINT", service.baseUrl().toUtf8());

    QTemporaryDir dir;
    SettingsPreferencesStore store(dir.filePath("demo.conf"));
    TSAppDelegate* app = nullptr;
    bool delivered = false;
    ScriptedPlatform desktop;
    DemoPlatform platform(desktop, QUrl(service.baseUrl()), [&](const QString& url) {
        delivered = true;
        app->handleIncomingURL(url);
    });
    TSAppDelegate demoApp(platform, store);
    app = &demoApp;
    demoApp.applicationDidFinishLaunching();
    DemoProfile::ensureDemoAccount(demoApp);

    demoApp.oauthAuthenticationAction();
    // The callback arrives by itself and the access token replaces the request token.
    EXPECT_TRUE(demoApp.controls().doneSheet->isVisible());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return delivered && !demoApp.flickrRequest().isRunning(); }, 5000));
    demoApp.checkConnection();
    ASSERT_TRUE(QTest::qWaitFor([&] { return demoApp.state().connectionState == 1; }, 5000));
    EXPECT_EQ(demoApp.controls().oauthAuthButton->title(), "  Connected to \"tessaly_demo\"");
    EXPECT_TRUE(desktop.openedURLs.isEmpty()); // no browser was asked
    EXPECT_TRUE(desktop.alerts.isEmpty());

    // The new user downloads the information, then the files, and sees the figures change.
    auto& c = demoApp.controls();
    const auto finished = [&] { return demoApp.sync().phase() == sync::Phase::Finished; };
    c.downloadButton->performClick();
    ASSERT_TRUE(test::waitFor([&] { return c.permsOptionSheet->isVisible(); }));
    c.exifCheck->setState(Button::On);
    c.permsOkButton->performClick();
    ASSERT_TRUE(test::waitFor(finished));
    c.doneDownloadingButton2->performClick();
    EXPECT_TRUE(c.dbnumTextField->stringValue().startsWith("Picture records: 10,"));
    c.downloadFilesButton->performClick();
    ASSERT_TRUE(test::waitFor([&] { return c.countSheet->isVisible(); }));
    c.countOkButton->performClick();
    ASSERT_TRUE(test::waitFor(finished));
    EXPECT_TRUE(c.doneDownloadingSheet2->isVisible());
    // The pictures, and the videos as videos.
    EXPECT_TRUE(c.filenumTextField->stringValue().startsWith("10 pictures and ")) << c.filenumTextField->stringValue().toStdString();
    c.doneDownloadingButton2->performClick();

    // ... then edits a picture's title on the stand-in and exports it.
    demoApp.search().searchDB();
    demoApp.search().controls().searchButton->performClick();
    c.resultsTableView->selectRow(0);
    c.resultsTableView->performClick();
    auto& e = demoApp.editing().controls();
    demoApp.viewer().controls().editImageButton->performClick();
    ASSERT_TRUE(test::waitFor(
        [&] { return demoApp.viewer().editMode() && !demoApp.flickrRequest().isRunning(); }));
    e.editTitleTextField->setStringValue("Edited in the demo");
    e.submitFlickrButton->performClick();
    ASSERT_TRUE(test::waitFor(
        [&] { return e.doneEditingSheet->isVisible() || !desktop.alerts.isEmpty(); }));
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.lastAlertMessage().toStdString();
    EXPECT_EQ(service.photo(demoApp.state().resultIDs.first())->title, "Edited in the demo");
    e.doneEditingButton->performClick();
    c.exportItem->performClick();
    desktop.openPanelAnswers.enqueue({dir.path()});
    demoApp.exporting().controls().doExportButton->performClick();
    EXPECT_EQ(desktop.lastAlertMessage(),
              QString("The picture file(s) have been exported successfully to %1").arg(dir.path()));
    EXPECT_EQ(QDir(dir.path()).entryList({"Edited in the demo.*"}, QDir::Files).size(),
              service.photo(demoApp.state().resultIDs.first())->isVideo ? 2 : 1);
    qputenv("TESSALY_FLICKR_ENDPOINT", "http://127.0.0.1:9");
}

class DemoAccountTest : public AppFixture {};

TEST_F(DemoAccountTest, TheDemoAccountIsCreatedOnceAndMadeCurrent) {
    auto& app = makeApp();
    DemoProfile::ensureDemoAccount(app);
    ASSERT_EQ(app.state().accountRows.size(), 1);
    EXPECT_EQ(app.state().currentAccountName, DemoProfile::kUser);
    EXPECT_TRUE(app.state().dbPath.startsWith(DemoProfile::pictureLocation()));
    EXPECT_TRUE(QFile::exists(app.state().dbPath));
    DemoProfile::ensureDemoAccount(app);
    EXPECT_EQ(app.state().accountRows.size(), 1);

    // A later run starts with the account but without the old run's token.
    store->setValue("authTokenArray", QStringList{"old"});
    DemoProfile::forgetTokens(*store);
    restart();
    EXPECT_EQ(makeApp().state().authTokenArray, QStringList{"none"});
    // The demo never uses the real preferences file.
    EXPECT_NE(DemoProfile::preferencesFile(), SettingsPreferencesStore::defaultFilePath());
}

TEST(SchemeRegistration, WritesTheHandlerOnceForThisExecutable) {
    QTemporaryDir dir;
    ASSERT_TRUE(registerURLScheme("/opt/tessaly bin/tessaly", dir.path()));
    QFile file(dir.filePath("tessaly.desktop"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("MimeType=x-scheme-handler/tessaly;"));
    EXPECT_TRUE(text.contains("Exec=\"/opt/tessaly bin/tessaly\" %u"));
}
