#include "LaunchArguments.h"
#include "SchemeRegistration.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessaly;

TEST(LaunchArguments, FileAddressesAndPathsBecomeLocalPaths) {
    // File managers hand over file: addresses for the desktop file's %u.
    EXPECT_EQ(launchMessageFor("file:///home/u/My%20Pictures/anna_db"), "/home/u/My Pictures/anna_db");
    EXPECT_EQ(launchMessageFor("FILE:///srv/b%C3%A9a_db"), QString("/srv/b\u00e9a_db"));
    EXPECT_EQ(launchMessageFor("anna_db"), QDir::current().absoluteFilePath("anna_db"));
    EXPECT_EQ(launchMessageFor("/abs/anna_db"), "/abs/anna_db");
    const QString callback = "tessaly://callback?oauth_token=a%20b&oauth_verifier=c";
    EXPECT_EQ(launchMessageFor(callback), callback);
    EXPECT_TRUE(isCallbackMessage(callback));
    EXPECT_FALSE(isCallbackMessage("/tmp/tessaly:x"));
}

TEST(SchemeRegistration, TheExecLineQuotesEveryReservedCharacter) {
    // As written in the file: the value's own escaping doubles each backslash.
    EXPECT_EQ(desktopExecArgument("/opt/tessaly bin/tessaly"), "\"/opt/tessaly bin/tessaly\"");
    EXPECT_EQ(desktopExecArgument("/opt/100%u/tessaly"), "\"/opt/100%%u/tessaly\"");
    EXPECT_EQ(desktopExecArgument("/a/$HOME`x`/q\"t\\b"),
              "\"/a/\\\\$HOME\\\\`x\\\\`/q\\\\\"t\\\\\\\\b\"");
    EXPECT_TRUE(desktopFileText("/opt/a%20b/tessaly").contains("Exec=\"/opt/a%%20b/tessaly\" %u\n"));
    // A line break cannot start a key of its own: it and a tab take the
    // value's escapes; other control characters are refused.
    EXPECT_EQ(desktopExecArgument("/opt/a\nTerminal=true\tb\r/tessaly"), "\"/opt/a\\nTerminal=true\\tb\\r/tessaly\"");
    EXPECT_EQ(desktopFileText("/opt/x\nTerminal=true/tessaly").count("\nTerminal="), 1);
    QTemporaryDir folder;
    QString error;
    EXPECT_FALSE(registerURLScheme("/opt/a\x01" "b/tessaly", folder.path(), &error));
    EXPECT_EQ(error, "Tessaly cannot be made the handler of tessaly:// addresses: the path of its program, "
                     "\"/opt/a\\x01b/tessaly\", holds a control character.");
    EXPECT_FALSE(QFile::exists(folder.filePath("tessaly.desktop")));
}
