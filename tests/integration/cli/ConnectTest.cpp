// Connecting an account through tessaly-cli: the callback address pasted on
// standard input or handed over by the browser's launch of Tessaly.
#include "CliFixture.h"
#include "SingleInstance.h"

#include <QRegularExpression>
#include <QUrlQuery>

using namespace tessaly;
using namespace tessaly::test;

class CliConnectTest : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        fakeflickr::Options options;
        options.photos = 10;
        startService(options);
    }
    QString profile(const QString& name) const {
        return service->baseUrl() + "/photos/" + name + "/";
    }
};

TEST_F(CliConnectTest, APastedCallbackConnectsTheAccountAndStoresItsToken) {
    ASSERT_EQ(run({"add-account", "anna", "--location", path("loc")}).exitCode, 0);
    const CliResult result = connectPasting();
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QUrl authorize(result.outLines().value(0));
    EXPECT_EQ(authorize.path(), "/services/oauth/authorize");
    EXPECT_EQ(QUrlQuery(authorize).queryItemValue("perms"), "write");
    EXPECT_EQ(result.outLines().value(1), "Connected to \"anna\": " + profile("anna"));
    EXPECT_EQ(result.outLines().size(), 2);

    const QString token = storedPreference("authTokenArray").toStringList().value(0);
    EXPECT_NE(token, "none");
    EXPECT_EQ(storedPreference("webAddressArray").toStringList(), QStringList{profile("anna")});
    EXPECT_EQ(run({"accounts"}).out,
              "anna\t" + path("loc") + "\t" + profile("anna") + "\tyes\tyes\n");

    // Listing and figures never talk to Flickr; connecting again tests the
    // stored token, without the browser.
    service->clearLog();
    EXPECT_EQ(run({"status"}).exitCode, 0);
    EXPECT_TRUE(service->calls().isEmpty());
    const CliResult again = run({"connect"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, "Connected to \"anna\": " + profile("anna") + "\n");
    EXPECT_EQ(calls("flickr.test.login"), 1);
    EXPECT_EQ(storedPreference("authTokenArray").toStringList().value(0), token);
}

TEST_F(CliConnectTest, TheBrowserHandsTheCallbackOverTheApplicationsChannel) {
    ASSERT_EQ(run({"add-account", "bob", "--location", path("loc")}).exitCode, 0);
    ASSERT_EQ(run({"add-account", "anna", "--location", path("loc")}).exitCode, 0);
    // A desktop whose browser notes what it is asked to open.
    QFile browser(path("bin/xdg-open"));
    ASSERT_TRUE(browser.open(QIODevice::WriteOnly));
    browser.write("#!/bin/sh\necho \"$1\" >> \"$HOME/browser.log\"\n");
    browser.close();
    browser.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ExeOwner);
    env.insert("PATH", path("bin") + ":" + env.value("PATH"));
    env.insert("DISPLAY", ":99");

    const auto process = start({"connect", "--account", "anna"}); // standard input stays open
    QFile opened(path("browser.log"));
    ASSERT_TRUE(waitFor([&] { return opened.exists() && opened.size() > 0; }, 30000));
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
    const QString address = QString::fromUtf8(opened.readAll()).trimmed();
    const QString callback = followAuthorizePage(address);
    ASSERT_TRUE(callback.startsWith("tessaly://callback?")) << callback.toStdString();

    // The browser launches Tessaly with the address, which hands it to the
    // instance that listens: this command.
    const QByteArray ownRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", path("runtime").toUtf8());
    const QString channel = SingleInstance::socketPath("main");
    qputenv("XDG_RUNTIME_DIR", ownRuntime);
    EXPECT_TRUE(SingleInstance::forwardToRunningInstance(channel, {callback}));

    const CliResult result = finish(*process);
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.outLines(),
              QStringList({address, "Connected to \"anna\": " + profile("anna")}));
    EXPECT_EQ(storedPreference("authTokenArray").toStringList().value(0), "none"); // bob's
    EXPECT_NE(storedPreference("authTokenArray").toStringList().value(1), "none");
}

TEST_F(CliConnectTest, AFailedAuthorizationEndsWithStatusOne) {
    ASSERT_EQ(run({"add-account", "anna", "--location", path("loc")}).exitCode, 0);
    // A callback without its verifier: the token exchange fails, and so does the test.
    auto process = start({"connect"});
    ASSERT_TRUE(waitFor([&] { return process->canReadLine(); }));
    process->write("not an address\ntessaly://callback?oauth_token=abc\n");
    CliResult result = finish(*process);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(
        result.err.contains("tessaly-cli: not a tessaly://callback address: not an address\n"));
    EXPECT_TRUE(result.err.contains("An error occurred in the stage OAuth, Error: "));
    EXPECT_TRUE(result.err.endsWith("tessaly-cli: the account anna is not connected\n"))
        << result.err.toStdString();
    EXPECT_EQ(storedPreference("authTokenArray").toStringList(), QStringList{"none"});

    // Flickr signs in a user no account is named after.
    startService({}, "Anna");
    result = connectPasting();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(
        "There is no account named Anna listed in the Tessaly Preferences Accounts table."))
        << result.err.toStdString();
    EXPECT_EQ(storedPreference("authTokenArray").toStringList(), QStringList{"none"});

    // A stored token Flickr no longer takes.
    QSettings settings(prefsFile(), QSettings::IniFormat);
    settings.setValue("authTokenArray", QStringList{"revoked"});
    settings.setValue("authTokenSecretArray", QStringList{"secret"});
    settings.sync();
    result = run({"connect"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("Authorization Unsuccessful: "));
    EXPECT_EQ(run({"sync"}).exitCode, 1);
}

TEST_F(CliConnectTest, ACodeTypedOnStandardInputConnects) {
    ASSERT_EQ(run({"add-account", "anna", "--location", path("loc")}).exitCode, 0);
    const auto process = start({"connect", "--code"});
    ASSERT_TRUE(waitFor([&] { return process->canReadLine(); }));
    const QString address = QString::fromUtf8(process->readLine()).trimmed();
    EXPECT_EQ(QUrl(address).path(), "/services/oauth/authorize");
    // Flickr's page shows the code instead of calling back.
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> page(network.get(QNetworkRequest{QUrl(address)}));
    ASSERT_TRUE(waitFor([&] { return page->isFinished(); }, 10000));
    const QString shown = QRegularExpression("id=\"verifier\">(\\d{3})-(\\d{3})-(\\d{3})<")
                              .match(QString::fromUtf8(page->readAll()))
                              .capturedTexts()
                              .mid(1)
                              .join("");
    ASSERT_EQ(shown.size(), 9);
    // A slip first; then the digits typed without their dashes.
    process->write("12-34\n" + shown.toUtf8() + "\n");
    const CliResult result = finish(*process);
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.outLines(), QStringList{"Connected to \"anna\": " + profile("anna")});
    EXPECT_TRUE(
        result.err.contains("tessaly-cli: not a code of nine digits such as 123-456-789: 12-34\n"));
    EXPECT_NE(storedPreference("authTokenArray").toStringList().value(0), "none");
    EXPECT_EQ(calls("flickr.test.login"), 1);

    // No code at all: standard input ends first.
    ASSERT_EQ(run({"add-account", "bob", "--location", path("loc")}).exitCode, 0);
    const CliResult none = run({"connect", "--code", "--account", "bob"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.endsWith("tessaly-cli: no code arrived\n")) << none.err.toStdString();
    EXPECT_EQ(storedPreference("authTokenArray").toStringList().value(1), "none");
}
