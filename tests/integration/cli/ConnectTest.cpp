// Connecting an account through tessaly-cli: the callback address pasted on
// standard input, a code typed, or the callback handed over by the browser's
// launch of Tessaly.
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
        for (const QString name : {"bob", "anna"}) // anna, current, in the second row
            run(0, {"add-account", name, "--location", path("loc")});
    }
    QString connected() const { return "Connected to \"anna\": " + service->baseUrl() + "/photos/anna/"; }
    QStringList tokens() const { return storedPreference("authTokenArray").toStringList(); }
};

TEST_F(CliConnectTest, APastedCallbackOrATypedCodeConnectsTheAccountAndStoresItsToken) {
    CliResult result = connectPasting();
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QUrl asked(result.outLines().value(0));
    EXPECT_EQ(asked.path(), "/services/oauth/authorize");
    EXPECT_EQ(QUrlQuery(asked).queryItemValue("perms"), "write");
    EXPECT_EQ(result.outLines(), QStringList({asked.toString(), connected()}));
    const QString token = tokens().value(1), profile = connected().section(' ', -1);
    EXPECT_NE(token, "none");
    EXPECT_EQ(tokens().value(0), "none");
    EXPECT_EQ(storedPreference("webAddressArray").toStringList(), QStringList({"", profile}));
    EXPECT_EQ(run(0, {"accounts"}).out,
              "bob\t" + path("loc") + "\t\tno\tno\nanna\t" + path("loc") + "\t" + profile + "\tyes\tyes\n");

    // Listing and figures never talk to Flickr; connecting again tests the
    // stored token, without the browser.
    service->clearLog();
    run(0, {"status"});
    EXPECT_TRUE(service->calls().isEmpty());
    EXPECT_EQ(run(0, {"connect"}).out, connected() + "\n");
    EXPECT_EQ(calls("flickr.test.login"), 1);
    EXPECT_EQ(tokens().value(1), token);

    // A code, when standard input ends before one arrives.
    EXPECT_TRUE(run(1, {"connect", "--code", "--account", "bob"}).err.endsWith("tessaly-cli: no code arrived\n"));
    EXPECT_EQ(tokens().value(0), "none");

    // anna without her token connects again with the code Flickr's page shows instead of calling back.
    QSettings(prefsFile(), QSettings::IniFormat).setValue("authTokenArray", QStringList{"none", "none"});
    service->clearLog();
    const auto process = start({"connect", "--code", "--account", "anna"});
    ASSERT_TRUE(waitFor([&] { return process->canReadLine(); }));
    const QUrl address(QString::fromUtf8(process->readLine()).trimmed());
    EXPECT_EQ(address.path(), "/services/oauth/authorize");
    const QString shown = QRegularExpression("id=\"verifier\">([-0-9]{11})<")
                              .match(authorize(address.toString(), true))
                              .captured(1)
                              .remove('-');
    ASSERT_EQ(shown.size(), 9);
    // A slip first; then the digits typed without their dashes.
    process->write("12-34\n" + shown.toUtf8() + "\n");
    result = finish(*process);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, connected() + "\n");
    EXPECT_TRUE(result.err.contains("tessaly-cli: not a code of nine digits such as 123-456-789: 12-34\n"));
    EXPECT_EQ(tokens().value(0), "none");
    EXPECT_NE(tokens().value(1), "none");
    EXPECT_EQ(calls("flickr.test.login"), 1);
}

TEST_F(CliConnectTest, TheBrowserHandsTheCallbackOverTheApplicationsChannel) {
    // A desktop whose browser notes what it is asked to open.
    write(path("bin/xdg-open"), "#!/bin/sh\necho \"$1\" >> \"$HOME/browser.log\"\n");
    QFile::setPermissions(path("bin/xdg-open"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    env.insert("PATH", path("bin") + ":" + env.value("PATH"));
    env.insert("DISPLAY", ":99");

    const auto process = start({"connect", "--account", "anna"}); // standard input stays open
    ASSERT_TRUE(waitFor([&] { return QFileInfo(path("browser.log")).size() > 0; }, 30000));
    const QString address = QString::fromUtf8(bytes(path("browser.log"))).trimmed();
    const QString callback = authorize(address);
    ASSERT_TRUE(callback.startsWith("tessaly://callback?")) << callback.toStdString();

    // The browser launches Tessaly with the address, which hands it to the
    // instance that listens: this command.
    const QByteArray ownRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", path("runtime").toUtf8());
    const QString channel = SingleInstance::socketPath("main");
    qputenv("XDG_RUNTIME_DIR", ownRuntime);
    EXPECT_TRUE(SingleInstance::forwardToRunningInstance(channel, {callback}));

    const CliResult result = finish(*process);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.outLines(), QStringList({address, connected()}));
    EXPECT_EQ(tokens().value(0), "none"); // bob's
    EXPECT_NE(tokens().value(1), "none");
}

TEST_F(CliConnectTest, AFailedAuthorizationEndsWithStatusOne) {
    // A callback without its verifier: the token exchange fails, and so does the test.
    auto process = start({"connect"});
    ASSERT_TRUE(waitFor([&] { return process->canReadLine(); }));
    process->write("not an address\ntessaly://callback?oauth_token=abc\n");
    CliResult result = finish(*process);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("tessaly-cli: not a tessaly://callback address: not an address\n"));
    EXPECT_TRUE(result.err.contains("An error occurred in the stage OAuth, Error: "));
    EXPECT_TRUE(result.err.endsWith("tessaly-cli: the account anna is not connected\n")) << result.err.toStdString();
    EXPECT_EQ(tokens(), QStringList({"none", "none"}));

    // Flickr signs in a user no account is named after.
    startService({}, "Anna");
    result = connectPasting();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("There is no account named Anna listed in the Tessaly Preferences Accounts table."))
        << result.err.toStdString();
    EXPECT_EQ(tokens(), QStringList({"none", "none"}));

    // A stored token Flickr no longer takes.
    QSettings settings(prefsFile(), QSettings::IniFormat);
    settings.setValue("authTokenArray", QStringList{"none", "revoked"});
    settings.setValue("authTokenSecretArray", QStringList{"none", "secret"});
    settings.sync();
    EXPECT_TRUE(run(1, {"connect"}).err.contains("Authorization Unsuccessful: "));
    run(1, {"sync"});
}
