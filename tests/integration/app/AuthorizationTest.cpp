// Connecting accounts to the stand-in Flickr: browser and code flows, stored tokens, answers after an account change.
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

// What a browser gets from a stand-in page: where it is sent on (authorizing approves at once), else the page.
QString visit(const QUrl& url) {
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!finished.wait(5000))
        return {};
    const QString location = QString::fromUtf8(reply->rawHeader("Location"));
    return location.isEmpty() ? QString::fromUtf8(reply->readAll()) : location;
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
    // Tessaly started on one account per name, each with its folder and the token given.
    void start(const QStringList& names, const QList<fakeflickr::Server::Token>& tokens = {}) {
        QDir().mkpath(path("loc"));
        QStringList folders, keys, secrets;
        for (const QString& name : names)
            folders << path("loc") + "/" + name + "_pix";
        for (const auto& token : tokens)
            keys << token.token, secrets << token.secret;
        store->setValue("pixPath", folders.value(0));
        store->setValue("pixPathArray", folders);
        store->setValue("authTokenArray", keys);
        store->setValue("authTokenSecretArray", secrets);
        store->synchronize();
        restart();
        makeApp();
    }
    bool waitUntil(const std::function<bool()>& done, int ms = 10000) { return QTest::qWaitFor(done, ms); }
    bool settled(int urls) { return waitUntil([&] { return platform.openedURLs.size() == urls && !busy(); }); }
    bool busy() { return app->flickrRequest().isRunning(); }
    bool connected() const { return app->state().connectionState == 1; }
    // The user confirms the sheet once the access token came; answers whether Tessaly connected.
    bool confirm(const QString& requestToken) {
        if (!waitUntil([&] { return !busy() && app->flickrContext().OAuthToken() != requestToken; }))
            return false;
        app->controls().checkConnectionButton->performClick();
        return waitUntil([&] { return connected() && !app->state().currentWebAddress.isEmpty(); });
    }
    QStringList stored(const QString& key) const { return QSettings(prefsFile, QSettings::IniFormat).value(key).toStringList(); }
    QString storedToken() const { return stored("authTokenArray").value(0); }

    std::unique_ptr<fakeflickr::Server> service;
};

TEST_F(AuthorizationTest, ConnectingThroughTheBrowserAndTheCallbackChannel) {
    start({"anna"});
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
    const QString callback = visit(authorize);
    ASSERT_TRUE(callback.startsWith("tessaly://callback?")) << callback.toStdString();
#ifdef TESSALY_EXECUTABLE
    // The browser launches tessaly with the address; it hands it over and ends.
    QProcess browserLaunch;
    browserLaunch.start(TESSALY_EXECUTABLE, {callback});
    ASSERT_TRUE(waitUntil([&] { return browserLaunch.state() == QProcess::NotRunning; }));
    EXPECT_EQ(std::tuple(browserLaunch.exitStatus(), browserLaunch.exitCode()), std::tuple(QProcess::NormalExit, 0))
        << browserLaunch.readAllStandardError().toStdString();
#else
    EXPECT_TRUE(QMetaObject::invokeMethod(&instance, [&] { emit instance.messageReceived(callback); }));
#endif
    ASSERT_TRUE(confirm(QUrlQuery(QUrl(callback)).queryItemValue("oauth_token")));
    EXPECT_EQ(c.oauthAuthButton->title(), "  Connected to \"anna\"");
    EXPECT_EQ(std::tuple(c.doneSheet->isVisible(), c.oauthAuthButton->isEnabled(), c.connectItem->isEnabled(),
                         c.downloadButton->isEnabled(), c.logoutButton->isEnabled(), c.downloadInfoItem->isEnabled()),
              std::tuple(false, false, false, true, true, true));
    EXPECT_EQ(app->state().currentWebAddress + " " + app->state().accountRows[0].accountUrl(),
              service->baseUrl() + "/photos/anna/ " + service->baseUrl() + "/photos/anna/");
    EXPECT_EQ(storedToken(), app->flickrContext().OAuthToken());
    EXPECT_NE(storedToken(), "none");
    EXPECT_TRUE(platform.alerts.isEmpty());
}

// When the browser cannot hand the callback back, the user types the code Flickr shows.
TEST_F(AuthorizationTest, SigningInWithTheCodeFlickrShows) {
    start({"anna"});
    auto& c = app->controls();
    c.oauthAuthButton->performClick();
    ASSERT_TRUE(settled(1));
    c.codeSignInButton->performClick();
    ASSERT_TRUE(settled(2));
    EXPECT_TRUE(c.doneSheet->isVisible());
    const QString page = visit(platform.openedURLs[1]);
    const QRegularExpressionMatch shown = QRegularExpression("id=\"verifier\">(\\d{3}-\\d{3}-\\d{3})<").match(page);
    ASSERT_TRUE(shown.hasMatch()) << page.toStdString();

    // A mistyped code gets no token; the right one, with blanks around it, does.
    const QString requestToken = app->flickrContext().OAuthToken();
    c.verifierTextField->setStringValue("111-111-111");
    c.useVerifierButton->performClick();
    ASSERT_TRUE(waitUntil([&] { return !busy() && !platform.alerts.isEmpty(); }));
    EXPECT_EQ(std::tuple(app->flickrContext().OAuthToken(), platform.alerts.size(), c.doneSheet->isVisible()),
              std::tuple(requestToken, 1, true));
    c.verifierTextField->setStringValue(" " + shown.captured(1) + " ");
    c.useVerifierButton->performClick();
    ASSERT_TRUE(confirm(requestToken));
    EXPECT_EQ(storedToken(), app->flickrContext().OAuthToken());
}

TEST_F(AuthorizationTest, AnAuthorizationThatCannotFinishEndsNotConnected) {
    start({"anna"});
    auto& c = app->controls();
    c.oauthAuthButton->performClick();
    // Confirming while the request-token exchange runs: no token yet.
    c.checkConnectionButton->performClick();
    ASSERT_EQ(platform.alerts.size(), 1);
    EXPECT_EQ(platform.alerts[0].message, "The Flickr authorization was unsuccessful. Please try again.");
    EXPECT_FALSE(c.doneSheet->isVisible());
    ASSERT_TRUE(settled(1));

    // A callback without a verifier is only logged.
    c.oauthAuthButton->setTitle("waiting");
    app->handleIncomingURL("tessaly://callback?oauth_token=abc");
    ASSERT_TRUE(waitUntil([&] { return !busy(); }));
    EXPECT_EQ(std::tuple(c.oauthAuthButton->title(), app->state().connectionState, platform.alerts.size()),
              std::tuple(QString("    Connect to your Flickr account"), 0, 1));

    c.oauthAuthButton->performClick(); // the sheet again
    ASSERT_TRUE(settled(2));
    c.checkConnectionButton->performClick(); // holds only the request token
    ASSERT_TRUE(waitUntil([&] { return platform.alerts.size() == 2; }));
    EXPECT_EQ(platform.alerts[1].message, "Tessaly couldn't connect to Flickr. Check your Internet connection.");
    EXPECT_NE(app->state().connectionState, 1);
}

TEST_F(AuthorizationTest, AStoredTokenReconnectsAtStartUpWithoutTheBrowserWhenItsUserHasAnAccount) {
    const auto token = service->issueAccessToken();
    start({"anna"}, {token});
    ASSERT_TRUE(waitUntil([&] { return connected() && !app->state().currentWebAddress.isEmpty(); }));
    EXPECT_TRUE(platform.openedURLs.isEmpty());
    EXPECT_EQ(app->controls().oauthAuthButton->title(), "  Connected to \"anna\"");

    // Logging out keeps the stored token; connecting again needs no browser.
    platform.alertAnswers.enqueue(AlertFirstButton);
    app->controls().logoutButton->performClick(); // confirmed, then told
    EXPECT_EQ(std::tuple(platform.alerts.size(), app->state().connectionState, storedToken()),
              std::tuple(2, 0, token.token));
    EXPECT_EQ(app->controls().oauthAuthButton->title(), "    Connect to your Flickr account");
    app->controls().connectItem->performClick();
    ASSERT_TRUE(waitUntil([&] { return connected(); }));
    EXPECT_TRUE(platform.openedURLs.isEmpty());

    // A user name matching no account (letter case differs) asks for that account; nothing stored for a stranger.
    startService("Anna");
    const auto stranger = service->issueAccessToken();
    start({"anna"}, {stranger});
    ASSERT_TRUE(waitUntil([&] { return platform.alerts.size() == 3; }));
    EXPECT_EQ(std::tuple(app->controls().addAcctNameTextField->stringValue(), app->controls().addAccountSheet->isVisible(),
                         app->state().connectionState, storedToken()),
              std::tuple(QString("Anna"), true, 0, stranger.token));
}

// Answers belong to the account they were asked for; the connection follows the current account when one is deleted.
TEST_F(AuthorizationTest, AnAnswerBelongsToTheAccountItWasAskedFor) {
    const auto a = service->issueAccessToken("write", "anna");
    const auto b = service->issueAccessToken("write", "bob");
    start({"anna", "bob"}, {a, b}); // anna's token test is in flight
    auto& c = app->controls();
    const auto rows = [this] { return app->state().accountRows; };
    const auto profileOf = [this](const QString& name) { return service->baseUrl() + "/photos/" + name + "/"; };

    c.listDbsButton->pickItem(2); // bob, before anna's answer came
    ASSERT_TRUE(waitUntil([&] { return connected() && !rows()[1].accountUrl().isEmpty(); }));
    EXPECT_EQ(std::tuple(app->state().currentAccountName, c.oauthAuthButton->title(), app->flickrContext().OAuthToken(),
                         rows()[1].accountUrl()),
              std::tuple(QString("bob"), QString("  Connected to \"bob\""), b.token, profileOf("bob")));
    EXPECT_EQ(stored("authTokenArray") + stored("authTokenSecretArray"), QStringList({a.token, b.token, a.secret, b.secret}));

    // anna connects; her profile call is out when bob is picked again.
    c.listDbsButton->pickItem(1);
    ASSERT_TRUE(waitUntil([&] { return connected(); }));
    ASSERT_TRUE(busy());
    c.listDbsButton->pickItem(2);
    ASSERT_TRUE(waitUntil([&] { return connected() && !busy(); }));
    QTest::qWait(50);
    EXPECT_EQ(app->state().currentAccountName, "bob");
    EXPECT_EQ(QStringList({rows()[0].accountUrl(), rows()[1].accountUrl()}) + stored("webAddressArray"),
              QStringList({"", profileOf("bob"), "", profileOf("bob")}));
    EXPECT_TRUE(platform.alerts.isEmpty());

    // anna current and connected, her row deleted: bob's own token is tested, not anna's.
    c.listDbsButton->pickItem(1);
    ASSERT_TRUE(waitUntil([&] { return connected() && !busy(); }));
    ASSERT_EQ(app->state().currentAccountName, "anna");
    c.accountsTableView->selectRow(0);
    platform.alertAnswers.enqueue(AlertFirstButton); // "Delete"
    c.deleteAccountButton->performClick();
    EXPECT_EQ(std::tuple(app->state().currentAccountName, app->state().connectionState, app->flickrContext().OAuthToken(),
                         c.downloadButton->isEnabled()),
              std::tuple(QString("bob"), 0, b.token, false));
    ASSERT_TRUE(waitUntil([&] { return connected(); }));
    EXPECT_EQ(c.oauthAuthButton->title(), "  Connected to \"bob\"");

    platform.alertAnswers.enqueue(AlertFirstButton);
    c.deleteAccountButton->performClick();
    EXPECT_EQ(std::tuple(app->state().accountRows.size(), app->state().connectionState, app->flickrContext().OAuthToken(),
                         busy()),
              std::tuple(0, 0, QString("none"), false));
}
