// Accounts and status figures through tessaly-cli, on the preferences the
// application uses.
#include "CliFixture.h"

using namespace tessaly::test;

class CliAccountsTest : public CliFixture {};

TEST_F(CliAccountsTest, AddingListingAndChoosingAccounts) {
    // No accounts yet: an empty list; no archive for the figures.
    CliResult result = run({"accounts"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.isEmpty());
    result = run({"status"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(
        result.errLines(),
        QStringList{
            "tessaly-cli: there is no account yet; add one with: tessaly-cli add-account NAME"});

    // A location relative to the working folder.
    const QString location = path("archives/flickr");
    QDir::setCurrent(home.path());
    result = run({"add-account", "anna", "--location", "archives/../archives/flickr"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "anna\t" + location + "\n");
    EXPECT_TRUE(QFile::exists(location + "/anna_db"));
    // The default location.
    EXPECT_EQ(run({"add-account", "bob"}).out, "bob\t" + path("Pictures/Tessaly") + "\n");

    result = run({"accounts"});
    EXPECT_EQ(result.outLines(), QStringList({"anna\t" + location + "\t\tno\tno",
                                              "bob\t" + path("Pictures/Tessaly") + "\t\tno\tyes"}));
    // The application reads the same preferences.
    EXPECT_EQ(storedPreference("pixPathArray").toStringList(),
              QStringList({location + "/anna_pix", path("Pictures/Tessaly/bob_pix")}));
    EXPECT_EQ(storedPreference("pixPath").toString(), path("Pictures/Tessaly/bob_pix"));

    // Choosing an account makes it current, as the pop-up does.
    QDir(location).mkpath("anna_pix");
    QFile square(location + "/anna_pix/1_s.jpg");
    ASSERT_TRUE(square.open(QIODevice::WriteOnly));
    square.write(QByteArray(1500, 'x'));
    square.close();
    result = run({"status", "--account", "anna"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    ASSERT_EQ(result.outLines().size(), 3);
    EXPECT_TRUE(result.outLines()[0].startsWith("1 pictures in this archive, uses "))
        << result.out.toStdString();
    EXPECT_TRUE(result.outLines()[1].startsWith("Picture records: 0, Last update: 20"));
    EXPECT_EQ(result.outLines()[2], "You have 2 Flickr accounts in your preferences.");
    EXPECT_TRUE(result.err.isEmpty());
    EXPECT_EQ(storedPreference("pixPath").toString(), location + "/anna_pix");

    result = run({"status", "--account", "zed"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(),
              QStringList{"tessaly-cli: there is no account named zed (see tessaly-cli accounts)"});

    // A name that cannot name files is refused with the application's alert.
    result = run({"add-account", "a/b"});
    EXPECT_EQ(result.exitCode, 1);
    ASSERT_EQ(result.errLines().size(), 2);
    EXPECT_TRUE(result.errLines()[0].startsWith(
        "Invalid Account Name: \"a/b\" cannot be used as an account name."));
    EXPECT_EQ(run({"accounts"}).outLines().size(), 2);
}

TEST_F(CliAccountsTest, AnArchiveThatCannotBeOpenedFailsTheCommand) {
    const QString location = path("gone");
    ASSERT_EQ(run({"add-account", "anna", "--location", location}).exitCode, 0);
    // The location is no folder any more.
    ASSERT_TRUE(QDir(location).removeRecursively());
    QFile file(location);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    for (const QString command : {"status", "sync", "connect"}) {
        const CliResult result = run({command});
        EXPECT_EQ(result.exitCode, 1) << command.toStdString();
        EXPECT_TRUE(result.err.endsWith("tessaly-cli: the archive " + location +
                                        "/anna_db cannot be opened\n"))
            << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
    }
}
