#include "AppFixture.h"
#include "Server.h"
#include "SingleInstance.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

using namespace tessaly;
using tessaly::test::AppFixture;

namespace {

// What a browser does on the stand-in's authorize page: it approves at once
// and answers with a redirect to the callback address.
QString followAuthorizePage(const QUrl& url) {
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!finished.wait(5000))
        return {};
    return QString::fromUtf8(reply->rawHeader("Location"));
}

} // namespace

class AuthorizationTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        startService("anna");
    }
    void startService(const QString& user) {
        fakeflickr::Options options;
        options.photos = 20;
        options.userName = user;
        service = std::make_unique<fakeflickr::Server>(options);
        ASSERT_TRUE(service->listen());
        qputenv("TESSALY_FLICKR_ENDPOINT", service->baseUrl().toUtf8());
    }
    // Preferences with one account per name, each with its folder.
    void accounts(const QStringList& names, const QStringList& tokens = {},
                  const QStringList& secrets = {}) {
        QStringList folders;
        for (const QString& name : names) {
            QDir().mkpath(path("loc"));
            folders << path("loc") + "/" + name + "_pix";
        }
        store->setValue("pixPath", folders.value(0));
        store->setValue("pixPathArray", folders);
        if (!tokens.isEmpty()) {
            store->setValue("authTokenArray", tokens);
            store->setValue("authTokenSecretArray", secrets);
        }
        store->synchronize();
        restart();
    }
    bool waitUntil(const std::function<bool()>& done, int ms = 10000) {
        return QTest::qWaitFor(done, ms);
    }
    bool connected() const { return app->state().connectionState == 1; }
    QString storedToken() const {
        QSettings settings(prefsFile, QSettings::IniFormat);
        return settings.value("authTokenArray").toStringList().value(0);
    }

    std::unique_ptr<fakeflickr::Server> service;
};

TEST_F(AuthorizationTest, ConnectingThroughTheBrowserAndTheCallbackChannel) {
    accounts({"anna"});
    makeApp();
    auto& c = app->controls();
    SingleInstance instance(SingleInstance::socketPath("main"));
    ASSERT_TRUE(instance.listen());
    QObject::connect(&instance, &SingleInstance::messageReceived, app.get(),
                     [this](const QString& url) { app->handleIncomingURL(url); });

    c.oauthAuthButton->performClick();
    EXPECT_TRUE(c.doneSheet->isVisible());
    ASSERT_TRUE(waitUntil([&] { return !platform.openedURLs.isEmpty(); }));
    const QUrl authorize = platform.openedURLs.first();
    EXPECT_EQ(authorize.path(), "/services/oauth/authorize");
    EXPECT_TRUE(authorize.query().contains("perms=write"));
    const QString callback = followAuthorizePage(authorize);
    ASSERT_TRUE(callback.startsWith("tessaly://callback?")) << callback.toStdString();

#ifdef TESSALY_EXECUTABLE
    // The browser launches tessaly with the address; it hands it over and ends.
    QProcess browserLaunch;
    browserLaunch.start(TESSALY_EXECUTABLE, {callback});
    ASSERT_TRUE(waitUntil([&] { return browserLaunch.state() == QProcess::NotRunning; }));
    EXPECT_EQ(browserLaunch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(browserLaunch.exitCode(), 0) << browserLaunch.readAllStandardError().toStdString();
#else
    EXPECT_TRUE(QMetaObject::invokeMethod(&instance, [&] { emit instance.messageReceived(callback); }));
#endif
    // The access token arrives; the user confirms the sheet.
    const QString requestToken = QUrlQuery(QUrl(callback)).queryItemValue("oauth_token");
    ASSERT_TRUE(waitUntil([&] {
        return !app->flickrRequest().isRunning() && app->flickrContext().OAuthToken() != requestToken;
    }));
    c.checkConnectionButton->performClick();
    EXPECT_FALSE(c.doneSheet->isVisible());
    ASSERT_TRUE(waitUntil([&] { return connected() && !app->state().currentWebAddress.isEmpty(); }));

    EXPECT_EQ(c.oauthAuthButton->title(), "  Connected to \"anna\"");
    EXPECT_FALSE(c.oauthAuthButton->isEnabled());
    EXPECT_TRUE(c.downloadButton->isEnabled());
    EXPECT_TRUE(c.logoutButton->isEnabled());
    EXPECT_FALSE(c.connectItem->isEnabled());
    EXPECT_TRUE(c.downloadInfoItem->isEnabled());
    EXPECT_EQ(app->state().currentWebAddress, service->baseUrl() + "/photos/anna/");
    EXPECT_EQ(app->state().accountRows[0].accountUrl(), service->baseUrl() + "/photos/anna/");
    EXPECT_EQ(storedToken(), app->flickrContext().OAuthToken());
    EXPECT_NE(storedToken(), "none");
    EXPECT_TRUE(platform.alerts.isEmpty());
}

// When the browser cannot hand the callback back, Flickr shows a code that
// the user types into the sheet instead.
TEST_F(AuthorizationTest, SigningInWithTheCodeFlickrShows) {
    accounts({"anna"});
    makeApp();
    auto& c = app->controls();
    c.oauthAuthButton->performClick();
    ASSERT_TRUE(waitUntil([&] { return !platform.openedURLs.isEmpty() && !app->flickrRequest().isRunning(); }));
    c.codeSignInButton->performClick();
    ASSERT_TRUE(waitUntil([&] { return platform.openedURLs.size() == 2 && !app->flickrRequest().isRunning(); }));
    EXPECT_TRUE(c.doneSheet->isVisible());

    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> page(network.get(QNetworkRequest(platform.openedURLs[1])));
    QSignalSpy finished(page.get(), &QNetworkReply::finished);
    ASSERT_TRUE(finished.wait(5000));
    const QString body = QString::fromUtf8(page->readAll());
    const QRegularExpressionMatch shown = QRegularExpression("id=\"verifier\">(\\d{3}-\\d{3}-\\d{3})<").match(body);
    ASSERT_TRUE(shown.hasMatch()) << body.toStdString();

    // A mistyped code gets no token; the right one, with blanks around it, does.
    const QString requestToken = app->flickrContext().OAuthToken();
    c.verifierTextField->setStringValue("111-111-111");
    c.useVerifierButton->performClick();
    ASSERT_TRUE(waitUntil([&] { return !app->flickrRequest().isRunning(); }));
    EXPECT_EQ(app->flickrContext().OAuthToken(), requestToken);
    ASSERT_TRUE(waitUntil([&] { return !platform.alerts.isEmpty(); }));
    EXPECT_EQ(platform.alerts[0].title, "Code Not Accepted");
    EXPECT_TRUE(c.doneSheet->isVisible());
    c.verifierTextField->setStringValue(" " + shown.captured(1) + " ");
    c.useVerifierButton->performClick();
    ASSERT_TRUE(waitUntil([&] {
        return !app->flickrRequest().isRunning() && app->flickrContext().OAuthToken() != requestToken;
    }));
    c.checkConnectionButton->performClick();
    ASSERT_TRUE(waitUntil([&] { return connected() && !app->state().currentWebAddress.isEmpty(); }));
    EXPECT_EQ(storedToken(), app->flickrContext().OAuthToken());
    EXPECT_EQ(c.oauthAuthButton->title(), "  Connected to \"anna\"");
}

TEST_F(AuthorizationTest, AStoredTokenReconnectsAtStartUpWithoutTheBrowser) {
    const auto token = service->issueAccessToken();
    accounts({"anna"}, {token.token}, {token.secret});
    makeApp();
    ASSERT_TRUE(waitUntil([&] { return connected() && !app->state().currentWebAddress.isEmpty(); }));
    EXPECT_TRUE(platform.openedURLs.isEmpty());
    EXPECT_EQ(app->controls().oauthAuthButton->title(), "  Connected to \"anna\"");

    // Logging out keeps the stored token; connecting again needs no browser.
    platform.alertAnswers.enqueue(AlertFirstButton);
    app->controls().logoutButton->performClick();
    EXPECT_EQ(platform.alerts.value(0).title, "Confirm Logout");
    EXPECT_EQ(platform.alerts.value(1).message, "You are now logged out of your Flickr account");
    EXPECT_EQ(app->state().connectionState, 0);
    EXPECT_EQ(app->controls().oauthAuthButton->title(), "    Connect to your Flickr account");
    EXPECT_EQ(storedToken(), token.token);
    app->controls().connectItem->performClick();
    ASSERT_TRUE(waitUntil([&] { return connected(); }));
    EXPECT_TRUE(platform.openedURLs.isEmpty());
}

TEST_F(AuthorizationTest, ACallbackWithoutVerifierEndsNotConnected) {
    accounts({"anna"});
    makeApp();
    auto& c = app->controls();
    c.oauthAuthButton->performClick();
    ASSERT_TRUE(waitUntil([&] { return !platform.openedURLs.isEmpty() && !app->flickrRequest().isRunning(); }));
    c.oauthAuthButton->setTitle("waiting");
    app->handleIncomingURL("tessaly://callback?oauth_token=abc");
    ASSERT_TRUE(waitUntil([&] { return !app->flickrRequest().isRunning(); }));
    EXPECT_EQ(c.oauthAuthButton->title(), "    Connect to your Flickr account");
    EXPECT_EQ(app->state().connectionState, 0);
    EXPECT_TRUE(platform.alerts.isEmpty()); // only logged
}

TEST_F(AuthorizationTest, ConfirmingBeforeTheBrowserStepFailsTheTokenTest) {
    accounts({"anna"});
    makeApp();
    auto& c = app->controls();
    c.oauthAuthButton->performClick();
    // Confirming while the request-token exchange runs: no token yet.
    c.checkConnectionButton->performClick();
    ASSERT_EQ(platform.alerts.size(), 1);
    EXPECT_EQ(platform.alerts[0].title, "Authorization Unsuccessful");
    EXPECT_EQ(platform.alerts[0].message, "The Flickr authorization was unsuccessful. Please try again.");
    EXPECT_EQ(platform.alerts[0].buttons, QStringList{"Dismiss"});
    EXPECT_FALSE(c.doneSheet->isVisible());
    ASSERT_TRUE(waitUntil([&] { return !platform.openedURLs.isEmpty() && !app->flickrRequest().isRunning(); }));
    c.oauthAuthButton->performClick(); // the sheet again
    ASSERT_TRUE(waitUntil([&] { return platform.openedURLs.size() == 2 && !app->flickrRequest().isRunning(); }));
    c.checkConnectionButton->performClick(); // holds only the request token
    ASSERT_TRUE(waitUntil([&] { return platform.alerts.size() == 2; }));
    EXPECT_EQ(platform.alerts[1].title, "Authorization Unsuccessful");
    EXPECT_EQ(platform.alerts[1].message, "Tessaly couldn't connect to Flickr. Check your Internet connection.");
    EXPECT_NE(app->state().connectionState, 1);
}

TEST_F(AuthorizationTest, AUserNameThatMatchesNoAccountAsksForANewAccount) {
    startService("Anna"); // letter case differs from the account "anna"
    const auto token = service->issueAccessToken();
    accounts({"anna"}, {token.token}, {token.secret});
    makeApp();
    auto& c = app->controls();
    ASSERT_TRUE(waitUntil([&] { return !platform.alerts.isEmpty(); }));
    EXPECT_EQ(platform.alerts[0].style, AlertStyle::Critical);
    EXPECT_EQ(platform.alerts[0].message,
              "There is no account named Anna listed in the Tessaly Preferences Accounts table.");
    EXPECT_EQ(c.addAcctNameTextField->stringValue(), "Anna");
    EXPECT_TRUE(c.addAccountSheet->isVisible());
    EXPECT_EQ(app->state().connectionState, 0);
    EXPECT_EQ(storedToken(), token.token); // nothing stored for a stranger
}

TEST_F(AuthorizationTest, AnAnswerBelongsToTheAccountItWasAskedFor) {
    const auto a = service->issueAccessToken("write", "anna");
    const auto b = service->issueAccessToken("write", "bob");
    accounts({"anna", "bob"}, {a.token, b.token}, {a.secret, b.secret});
    makeApp(); // anna's token test is in flight
    auto& c = app->controls();
    const auto rows = [this] { return app->state().accountRows; };
    const auto profileOf = [this](const QString& name) { return service->baseUrl() + "/photos/" + name + "/"; };

    c.listDbsButton->pickItem(2); // bob, before anna's answer came
    ASSERT_TRUE(waitUntil([&] { return connected() && !rows()[1].accountUrl().isEmpty(); }));
    EXPECT_EQ(app->state().currentAccountName, "bob");
    EXPECT_EQ(c.oauthAuthButton->title(), "  Connected to \"bob\"");
    EXPECT_EQ(app->flickrContext().OAuthToken(), b.token);
    QSettings settings(prefsFile, QSettings::IniFormat);
    EXPECT_EQ(settings.value("authTokenArray").toStringList(), QStringList({a.token, b.token}));
    EXPECT_EQ(settings.value("authTokenSecretArray").toStringList(), QStringList({a.secret, b.secret}));
    EXPECT_EQ(rows()[1].accountUrl(), profileOf("bob"));

    // anna connects; her profile call is out when bob is picked again.
    c.listDbsButton->pickItem(1);
    ASSERT_TRUE(waitUntil([&] { return connected(); }));
    ASSERT_TRUE(app->flickrRequest().isRunning());
    c.listDbsButton->pickItem(2);
    ASSERT_TRUE(waitUntil([&] { return connected() && !app->flickrRequest().isRunning(); }));
    QTest::qWait(50);
    EXPECT_EQ(app->state().currentAccountName, "bob");
    EXPECT_EQ(rows()[0].accountUrl(), "");
    EXPECT_EQ(rows()[1].accountUrl(), profileOf("bob"));
    EXPECT_EQ(settings.value("webAddressArray").toStringList(), QStringList({"", profileOf("bob")}));
    EXPECT_TRUE(platform.alerts.isEmpty());
}

TEST_F(AuthorizationTest, TheConnectionFollowsTheCurrentAccountWhenOneIsDeleted) {
    const auto a = service->issueAccessToken("write", "anna");
    const auto b = service->issueAccessToken("write", "bob");
    accounts({"anna", "bob"}, {a.token, b.token}, {a.secret, b.secret});
    makeApp();
    auto& c = app->controls();
    ASSERT_TRUE(waitUntil([&] { return connected() && !app->flickrRequest().isRunning(); }));
    ASSERT_EQ(app->state().currentAccountName, "anna");

    c.accountsTableView->selectRow(0);
    platform.alertAnswers.enqueue(AlertFirstButton); // "Delete"
    c.deleteAccountButton->performClick();
    EXPECT_EQ(app->state().currentAccountName, "bob");
    EXPECT_EQ(app->state().connectionState, 0);
    EXPECT_EQ(app->flickrContext().OAuthToken(), b.token);
    EXPECT_EQ(c.oauthAuthButton->title(), "    Connect to your Flickr account");
    EXPECT_FALSE(c.downloadButton->isEnabled());
    // bob holds a token of his own: it is tested, not anna's.
    ASSERT_TRUE(waitUntil([&] { return connected(); }));
    EXPECT_EQ(c.oauthAuthButton->title(), "  Connected to \"bob\"");

    // The last account gone, nothing stays connected.
    platform.alertAnswers.enqueue(AlertFirstButton);
    c.deleteAccountButton->performClick();
    EXPECT_TRUE(app->state().accountRows.isEmpty());
    EXPECT_EQ(app->state().connectionState, 0);
    EXPECT_EQ(app->flickrContext().OAuthToken(), "none");
    EXPECT_FALSE(app->flickrRequest().isRunning());
}
