// The demo profile: its account, connected to the stand-in without a browser, and its pictures.
#include "DemoProfile.h"
#include "SchemeRegistration.h"
#include "WindowsFixture.h"

class DemoProfileTest : public WindowsFixture<ServiceFixture> {};

TEST_F(DemoProfileTest, TheDemoAccountConnectsWithoutABrowserAndDownloadsItsStream) {
    fakeflickr::Options options;
    options.photos = 10;
    options.userName = DemoProfile::kUser;
    service = std::make_unique<fakeflickr::Server>(options);
    ASSERT_TRUE(service->listen());
    qputenv("TESSALY_FLICKR_ENDPOINT", service->baseUrl().toUtf8());
    bool delivered = false;
    DemoPlatform demo(platform, QUrl(service->baseUrl()), [&](const QString& url) {
        delivered = true;
        app->handleIncomingURL(url);
    });
    app = std::make_unique<TSAppDelegate>(demo, *store);
    app->applicationDidFinishLaunching();
    // The account is made once, current, with its archive in the demo's own folder.
    DemoProfile::ensureDemoAccount(*app);
    DemoProfile::ensureDemoAccount(*app);
    ASSERT_EQ(app->state().accountRows.size(), 1);
    EXPECT_EQ(app->state().currentAccountName, DemoProfile::kUser);
    EXPECT_TRUE(app->state().dbPath.startsWith(DemoProfile::pictureLocation()) && QFile::exists(app->state().dbPath));

    // The callback arrives by itself and the access token replaces the request token.
    auto& c = app->controls();
    app->oauthAuthenticationAction();
    ASSERT_TRUE(waitFor([&] { return delivered && !app->flickrRequest().isRunning(); }, 5000));
    app->checkConnection();
    ASSERT_TRUE(waitFor([&] { return app->state().connectionState == 1; }, 5000));
    EXPECT_EQ(c.oauthAuthButton->title(), "  Connected to \"tessaly_demo\"");
    // The new user downloads the information, then the files, and sees the figures change.
    ASSERT_TRUE(downloadInformation(false, true));
    dismissFinish();
    EXPECT_TRUE(c.dbnumTextField->stringValue().startsWith("Picture records: 10,"));
    ASSERT_TRUE(downloadFiles());
    // The pictures, and the videos as videos.
    EXPECT_TRUE(c.filenumTextField->stringValue().startsWith("10 pictures and "));
    EXPECT_TRUE(platform.openedURLs.isEmpty()); // no browser was asked
    EXPECT_TRUE(platform.alerts.isEmpty()) << platform.lastAlertMessage().toStdString();

    // A later run starts without the old run's token.
    DemoProfile::forgetTokens(*store);
    restart();
    EXPECT_EQ(makeApp().state().authTokenArray, QStringList{"none"});
    // The demo never uses the real preferences file.
    EXPECT_NE(DemoProfile::preferencesFile(), SettingsPreferencesStore::defaultFilePath());
}

TEST(SchemeRegistration, WritesTheHandlerForThisExecutable) {
    QTemporaryDir dir;
    ASSERT_TRUE(registerURLScheme("/opt/tessaly bin/tessaly", dir.path()));
    QFile file(dir.filePath("tessaly.desktop"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), desktopFileText("/opt/tessaly bin/tessaly"));
    EXPECT_TRUE(desktopFileText("/opt/tessaly bin/tessaly").contains("MimeType=x-scheme-handler/tessaly;"));
}
