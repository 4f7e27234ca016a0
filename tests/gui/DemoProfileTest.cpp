// The demo profile: its account, connected to the stand-in without a browser, and its pictures.
#include "DemoProfile.h"
#include "SchemeRegistration.h"
#include "WindowsFixture.h"

using namespace tessaly;
using namespace tessaly::test;

class DemoProfileTest : public AppFixture {};

TEST_F(DemoProfileTest, TheDemoAccountConnectsWithoutABrowserAndDownloadsItsStream) {
    fakeflickr::Options options;
    options.photos = 10;
    options.userName = DemoProfile::kUser;
    fakeflickr::Server service(options);
    ASSERT_TRUE(service.listen());
    qputenv("TESSALY_FLICKR_ENDPOINT", service.baseUrl().toUtf8());
    bool delivered = false;
    DemoPlatform demo(platform, QUrl(service.baseUrl()), [&](const QString& url) {
        delivered = true;
        app->handleIncomingURL(url);
    });
    app = std::make_unique<TSAppDelegate>(demo, *store);
    app->applicationDidFinishLaunching();
    // The account is made once, current, with its archive in the demo's own folder.
    for (int run = 0; run < 2; ++run)
        DemoProfile::ensureDemoAccount(*app);
    ASSERT_EQ(app->state().accountRows.size(), 1);
    EXPECT_EQ(app->state().currentAccountName, DemoProfile::kUser);
    EXPECT_TRUE(app->state().dbPath.startsWith(DemoProfile::pictureLocation()));
    EXPECT_TRUE(QFile::exists(app->state().dbPath));

    // The callback arrives by itself and the access token replaces the request token.
    auto& c = app->controls();
    app->oauthAuthenticationAction();
    EXPECT_TRUE(c.doneSheet->isVisible());
    ASSERT_TRUE(waitFor([&] { return delivered && !app->flickrRequest().isRunning(); }, 5000));
    app->checkConnection();
    ASSERT_TRUE(waitFor([&] { return app->state().connectionState == 1; }, 5000));
    EXPECT_EQ(c.oauthAuthButton->title(), "  Connected to \"tessaly_demo\"");
    EXPECT_TRUE(platform.openedURLs.isEmpty()); // no browser was asked
    EXPECT_TRUE(platform.alerts.isEmpty());

    // The new user downloads the information, then the files, and sees the figures change.
    const auto finished = [&] { return app->sync().phase() == sync::Phase::Finished; };
    c.downloadButton->performClick();
    ASSERT_TRUE(waitFor([&] { return c.permsOptionSheet->isVisible(); }));
    c.exifCheck->setState(Button::On);
    c.permsOkButton->performClick();
    ASSERT_TRUE(waitFor(finished));
    c.doneDownloadingButton2->performClick();
    EXPECT_TRUE(c.dbnumTextField->stringValue().startsWith("Picture records: 10,"));
    c.downloadFilesButton->performClick();
    ASSERT_TRUE(waitFor([&] { return c.countSheet->isVisible(); }));
    c.countOkButton->performClick();
    ASSERT_TRUE(waitFor(finished));
    EXPECT_TRUE(c.doneDownloadingSheet2->isVisible());
    // The pictures, and the videos as videos.
    EXPECT_TRUE(c.filenumTextField->stringValue().startsWith("10 pictures and ")) << c.filenumTextField->stringValue().toStdString();
    EXPECT_TRUE(platform.alerts.isEmpty()) << platform.lastAlertMessage().toStdString();
    qputenv("TESSALY_FLICKR_ENDPOINT", "http://127.0.0.1:9");

    // A later run starts with the account but without the old run's token.
    DemoProfile::forgetTokens(*store);
    restart();
    EXPECT_EQ(makeApp().state().authTokenArray, QStringList{"none"});
    EXPECT_EQ(app->state().accountRows.size(), 1);
    // The demo never uses the real preferences file.
    EXPECT_NE(DemoProfile::preferencesFile(), SettingsPreferencesStore::defaultFilePath());
}

TEST(SchemeRegistration, WritesTheHandlerForThisExecutable) {
    QTemporaryDir dir;
    ASSERT_TRUE(registerURLScheme("/opt/tessaly bin/tessaly", dir.path()));
    QFile file(dir.filePath("tessaly.desktop"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("MimeType=x-scheme-handler/tessaly;"));
    EXPECT_TRUE(text.contains("Exec=\"/opt/tessaly bin/tessaly\" %u"));
}
