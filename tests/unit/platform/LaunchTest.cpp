#include "LaunchArguments.h"
#include "SchemeRegistration.h"

#include <QDir>

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
}
