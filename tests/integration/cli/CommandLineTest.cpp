// tessaly-cli's command line: help on every command, one-line usage errors
// with status 2, and no widget library in the executable.
#include "CliFixture.h"

using namespace tessaly::test;

namespace {
const QStringList kCommands = {"accounts", "add-account", "status", "connect",
                               "sync",     "search",      "show",   "delete"};
}

class CliCommandLineTest : public CliFixture {};

TEST_F(CliCommandLineTest, EveryCommandHasHelpAndTheListNamesThemAll) {
    const CliResult overall = run({"--help"});
    EXPECT_EQ(overall.exitCode, 0);
    EXPECT_TRUE(overall.out.startsWith("Usage: tessaly-cli COMMAND"));
    for (const QString& command : kCommands) {
        EXPECT_TRUE(overall.out.contains("\n  " + command + " ")) << command.toStdString();
        for (const QStringList& asked :
             {QStringList{command, "--help"}, QStringList{"help", command},
              QStringList{command, "-h", "--bogus"}}) {
            const CliResult help = run(asked);
            EXPECT_EQ(help.exitCode, 0) << asked.join(' ').toStdString();
            EXPECT_TRUE(help.out.startsWith("Usage: tessaly-cli " + command))
                << help.out.toStdString();
            EXPECT_TRUE(help.err.isEmpty());
        }
    }
    // Help needs no preferences and writes none.
    EXPECT_FALSE(QFile::exists(prefsFile()));
}

TEST_F(CliCommandLineTest, BadUsageIsOneLineAndStatusTwo) {
    const QList<QStringList> bad = {
        {},
        {"frobnicate"},
        {"help", "frobnicate"},
        {"sync", "--bogus"},
        {"sync", "-x"},
        {"sync", "--account"},
        {"sync", "--account", "--perms"},
        {"sync", "--perms=1"},
        {"sync", "extra"},
        {"status", "--account", "a", "--account", "b"},
        {"add-account"},
        {"add-account", "anna", "bob"},
        {"add-account", "anna", "--location"},
        {"accounts", "--files"},
        {"sync", "--calls-per-hour", "fast"},
        {"connect", "--calls-per-hour=0"},
        {"sync", "--calls-per-hour", "1e-300"},
        {"sync", "--calls-per-hour", "0.001"},
        {"edit", "1", "--calls-per-hour", "100001"},
        {"search"},
        {"search", "--quick", "a", "--saved", "b"},
        {"search", "--removed", "--format", "xml"},
        {"search", "--removed", "--within", "100"},
        {"show"},
        {"show", "1", "2"},
        {"show", "1", "--exif=yes"},
        {"delete"},
        {"delete", "1", "2"},
    };
    for (const QStringList& arguments : bad) {
        const CliResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.errLines().size(), 1) << result.err.toStdString();
        EXPECT_TRUE(result.err.startsWith("tessaly-cli: ")) << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(prefsFile())); // nothing ran
    // A value may start with a dash when given with "=".
    EXPECT_EQ(run({"status", "--account=-odd"}).exitCode, 1);
}

TEST_F(CliCommandLineTest, TheExecutableLinksNoWidgetLibrary) {
    QProcess ldd;
    ldd.start("ldd", {QStringLiteral(TESSALY_CLI_BIN)});
    ASSERT_TRUE(ldd.waitForFinished(30000));
    const QString libraries = QString::fromUtf8(ldd.readAllStandardOutput());
    EXPECT_TRUE(libraries.contains("libQt6Core")) << libraries.toStdString();
    EXPECT_FALSE(libraries.contains("libQt6Widgets")) << libraries.toStdString();
}
