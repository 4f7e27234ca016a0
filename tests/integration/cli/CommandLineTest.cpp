// tessaly-cli's command line: help on every command, one-line usage errors
// with status 2, no widget library in the executable, the accounts on the
// preferences the application uses, and connecting one: the callback address
// pasted, a code typed, or the callback handed over by the browser's launch.
#include "CliFixture.h"
#include "SingleInstance.h"

#include <QRegularExpression>
#include <QUrlQuery>

using namespace tessaly;
using namespace tessaly::test;

class CliCommandLineTest : public CliFixture {
protected:
    void startWithBobAndAnna() { // anna, current, in the second row
        startService(stream(10));
        for (const QString name : {"bob", "anna"})
            run(0, {"add-account", name, "--location", path("loc")});
    }
    QString connected() const { return "Connected to \"anna\": " + service->baseUrl() + "/photos/anna/"; }
    QStringList tokens() const { return storedPreference("authTokenArray").toStringList(); }
};

TEST_F(CliCommandLineTest, EveryCommandHasHelpAndBadUsageIsOneLineAndStatusTwo) {
    const CliResult overall = run(0, {"--help"});
    EXPECT_TRUE(overall.out.startsWith("Usage: tessaly-cli COMMAND"));
    const QStringList commands = {"accounts", "add-account", "status", "connect", "sync",  "search",
                                  "show",     "export",      "edit",   "delete",  "verify"};
    for (int i = 0; i < commands.size(); ++i) {
        EXPECT_TRUE(overall.out.contains("\n  " + commands[i] + " ")) << commands[i].toStdString();
        // Each way of asking, in turn; help wins over a bad option.
        const CliResult help = run(0, i % 3 == 0   ? QStringList{commands[i], "--help"}
                                      : i % 3 == 1 ? QStringList{"help", commands[i]}
                                                   : QStringList{commands[i], "-h", "--bogus"});
        EXPECT_TRUE(help.out.startsWith("Usage: tessaly-cli " + commands[i])) << help.out.toStdString();
        EXPECT_TRUE(help.err.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(prefsFile())); // help needs no preferences and writes none

    QProcess ldd;
    ldd.start("ldd", {QStringLiteral(TESSALY_CLI_BIN)});
    ASSERT_TRUE(ldd.waitForFinished(30000));
    const QString libraries = QString::fromUtf8(ldd.readAllStandardOutput());
    EXPECT_TRUE(libraries.contains("libQt6Core")) << libraries.toStdString();
    EXPECT_FALSE(libraries.contains("libQt6Widgets")) << libraries.toStdString();

    // Bad usage is one line and status 2.
    const QList<QStringList> bad = {
        {}, {"frobnicate"}, {"help", "frobnicate"}, {"sync", "--bogus"}, {"sync", "-x"}, {"sync", "--account"},
        {"sync", "--account", "--perms"}, {"sync", "--perms=1"}, {"sync", "extra"},
        {"status", "--account", "a", "--account", "b"}, {"add-account"}, {"add-account", "anna", "bob"},
        {"add-account", "anna", "--location"}, {"accounts", "--files"}, {"sync", "--calls-per-hour", "fast"},
        {"connect", "--calls-per-hour=0"}, {"sync", "--calls-per-hour", "1e-300"},
        {"sync", "--calls-per-hour", "0.001"}, {"edit", "1", "--calls-per-hour", "100001"}, {"search"},
        {"search", "--quick", "a", "--saved", "b"}, {"search", "--removed", "--format", "xml"},
        {"search", "--removed", "--within", "100"}, {"search", "--where", "", "--near", "48.8,2.3"},
        {"search", "--where", "", "--near", "95,2.3", "--within", "10"},
        {"search", "--where", "", "--near", "Paris", "--within", "10"},
        {"search", "--where", "", "--near", "48.8,2.3", "--within", "0"},
        {"search", "--where", "", "--near", "48.8,2.3", "--within", "-5"}, {"search", "--where", "", "--timeout", "0"},
        {"show"}, {"show", "1", "2"}, {"show", "1", "--exif=yes"}, {"delete"}, {"delete", "1", "2"} /* unconfirmed */,
        {"export", "1"}, {"export", "1", "--to", "out", "--name", "date"},
        {"export", "1", "--to", "out", "--size", "huge"}, {"edit", "1", "--location", "0,500"},
        {"edit", "1", "--date", "yesterday"}, {"edit", "1", "--comments", "4"}, {"edit", "1", "--public", "yes"},
        {"edit", "1", "--license", "11"}, {"verify", "--format", "xml"}};
    for (const QStringList& arguments : bad) {
        const CliResult result = run(2, arguments);
        EXPECT_EQ(result.errLines().size(), 1) << result.err.toStdString();
        EXPECT_TRUE(result.err.startsWith("tessaly-cli: ")) << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
    }
    EXPECT_TRUE(run({"delete", "1", "2"}).err.contains("--yes"));
    EXPECT_FALSE(QFile::exists(prefsFile())); // nothing ran
    run(1, {"status", "--account=-odd"});     // a value may start with a dash when given with "="
}

TEST_F(CliCommandLineTest, AddingListingAndChoosingAccounts) {
    // No accounts yet: an empty list; no archive for the figures.
    EXPECT_EQ(run(0, {"accounts"}).out, "");
    EXPECT_EQ(run(1, {"status"}).errLines(),
              QStringList{"tessaly-cli: there is no account yet; add one with: tessaly-cli add-account NAME"});

    // A location relative to the working folder, and the default one.
    const QString location = path("archives/flickr"), bobs = path("Pictures/Tessaly");
    QDir::setCurrent(home.path());
    EXPECT_EQ(run(0, {"add-account", "anna", "--location", "archives/../archives/flickr"}).out,
              "anna\t" + location + "\n");
    EXPECT_TRUE(QFile::exists(location + "/anna_db"));
    EXPECT_EQ(run(0, {"add-account", "bob"}).out, "bob\t" + bobs + "\n");
    EXPECT_EQ(run(0, {"accounts"}).outLines(),
              QStringList({"anna\t" + location + "\t\tno\tno", "bob\t" + bobs + "\t\tno\tyes"}));
    // The application reads the same preferences.
    EXPECT_EQ(storedPreference("pixPathArray"), QStringList({location + "/anna_pix", bobs + "/bob_pix"}));
    EXPECT_EQ(storedPreference("pixPath").toString(), bobs + "/bob_pix");

    // Choosing an account makes it current, as the pop-up does.
    QDir(location).mkpath("anna_pix");
    write(location + "/anna_pix/1_s.jpg", QByteArray(1500, 'x'));
    CliResult result = run(0, {"status", "--account", "anna"});
    ASSERT_EQ(result.outLines().size(), 3);
    EXPECT_TRUE(result.outLines()[0].startsWith("1 pictures in this archive, uses ")) << result.out.toStdString();
    EXPECT_TRUE(result.outLines()[1].startsWith("Picture records: 0, Last update: 20"));
    EXPECT_EQ(result.outLines()[2], "You have 2 Flickr accounts in your preferences.");
    EXPECT_TRUE(result.err.isEmpty());
    EXPECT_EQ(storedPreference("pixPath").toString(), location + "/anna_pix");
    EXPECT_EQ(run(1, {"status", "--account", "zed"}).errLines(),
              QStringList{"tessaly-cli: there is no account named zed (see tessaly-cli accounts)"});

    // A name that cannot name files is refused with the application's alert.
    result = run(1, {"add-account", "a/b"});
    ASSERT_EQ(result.errLines().size(), 2);
    EXPECT_TRUE(result.errLines()[0].startsWith("Invalid Account Name: \"a/b\" cannot be used as an account name."));
    EXPECT_EQ(run({"accounts"}).outLines().size(), 2);

    // An archive that cannot be opened (its location is no folder any more) fails every command.
    ASSERT_TRUE(QDir(location).removeRecursively());
    write(location, "");
    for (const QStringList& command :
         {QStringList{"status"}, {"sync"}, {"connect"}, {"show", "1"}, {"search", "--removed"}, {"verify"}}) {
        result = run(1, command + QStringList{"--account", "anna"});
        EXPECT_TRUE(result.err.endsWith("tessaly-cli: the archive " + location + "/anna_db cannot be opened\n"))
            << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
    }
}


TEST_F(CliCommandLineTest, APastedCallbackATypedCodeOrTheBrowsersHandOverConnectsAndAFailureEndsWithStatusOne) {
    startWithBobAndAnna();
    // A callback without its verifier: the token exchange fails, and so does the test.
    auto failing = start({"connect"});
    ASSERT_TRUE(waitFor([&] { return failing->canReadLine(); }));
    failing->write("not an address\ntessaly://callback?oauth_token=abc\n");
    CliResult result = finish(*failing);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("tessaly-cli: not a tessaly://callback address: not an address\n"));
    EXPECT_TRUE(result.err.contains("An error occurred in the stage OAuth, Error: "));
    EXPECT_TRUE(result.err.endsWith("tessaly-cli: the account anna is not connected\n")) << result.err.toStdString();
    EXPECT_EQ(tokens(), QStringList({"none", "none"}));

    result = connectPasting();
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

    // Without her token again, on a desktop whose browser notes what it is asked to open.
    QSettings(prefsFile(), QSettings::IniFormat).setValue("authTokenArray", QStringList{"none", "none"});
    write(path("bin/xdg-open"), "#!/bin/sh\necho \"$1\" >> \"$HOME/browser.log\"\n");
    QFile::setPermissions(path("bin/xdg-open"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    env.insert("PATH", path("bin") + ":" + env.value("PATH"));
    env.insert("DISPLAY", ":99");

    const auto browsed = start({"connect", "--account", "anna"}); // standard input stays open
    ASSERT_TRUE(waitFor([&] { return QFileInfo(path("browser.log")).size() > 0; }, 30000));
    const QString opened = QString::fromUtf8(bytes(path("browser.log"))).trimmed();
    const QString callback = authorize(opened);
    ASSERT_TRUE(callback.startsWith("tessaly://callback?")) << callback.toStdString();

    // The browser launches Tessaly with the address, which hands it to the
    // instance that listens: this command.
    const QByteArray ownRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", path("runtime").toUtf8());
    const QString channel = SingleInstance::socketPath("main");
    qputenv("XDG_RUNTIME_DIR", ownRuntime);
    EXPECT_TRUE(SingleInstance::forwardToRunningInstance(channel, {callback}));

    result = finish(*browsed);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.outLines(), QStringList({opened, connected()}));
    EXPECT_EQ(tokens().value(0), "none"); // bob's
    EXPECT_NE(tokens().value(1), "none");
    env.remove("DISPLAY");

    // A stored token Flickr no longer takes.
    QSettings settings(prefsFile(), QSettings::IniFormat);
    settings.setValue("authTokenArray", QStringList{"none", "revoked"});
    settings.setValue("authTokenSecretArray", QStringList{"none", "secret"});
    settings.sync();
    EXPECT_TRUE(run(1, {"connect"}).err.contains("Authorization Unsuccessful: "));
    run(1, {"sync"});

    // Flickr signs in a user no account is named after.
    QSettings(prefsFile(), QSettings::IniFormat).setValue("authTokenArray", QStringList{"none", "none"});
    startService({}, "Anna");
    result = connectPasting();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("There is no account named Anna listed in the Tessaly Preferences Accounts table."))
        << result.err.toStdString();
    EXPECT_EQ(tokens(), QStringList({"none", "none"}));
}
