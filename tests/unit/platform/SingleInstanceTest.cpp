// The single-instance channel and its socket folder, launch arguments and the desktop file's Exec line.
#include "LaunchArguments.h"
#include "SchemeRegistration.h"
#include "SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <future>
#include <sys/stat.h> // chmod
#include <unistd.h>

using namespace tessaly;

namespace {
// Sends raw bytes, as another local program might, and answers what came back before the end.
QByteArray sendRaw(const QString& name, const QByteArray& bytes) {
    QLocalSocket socket;
    socket.connectToServer(name);
    EXPECT_TRUE(socket.waitForConnected(2000));
    QByteArray answer;
    QObject::connect(&socket, &QLocalSocket::readyRead, [&] { answer += socket.readAll(); });
    socket.write(bytes);
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }, 5000));
    return answer + socket.readAll();
}
} // namespace

TEST(SingleInstance, TheChannelConfirmsBeforeHandlingAndTakesAtMostEightMessagesAnd16KiB) {
    QTemporaryDir dir;
    SingleInstance instance(dir.filePath("s.socket"));
    ASSERT_TRUE(instance.listen());
    QStringList received;
    QObject::connect(&instance, &SingleInstance::messageReceived, [&](const QString& message) {
        received << message;
        // An alert's own event loop, at first longer than the launch waits for its answer.
        QTest::qWait(received.size() == 1 ? 400 : 1);
    });

    // A second launch, in its own thread as a separate process would block, is confirmed before any handler ran,
    // so it does not report silence; of more addresses than a launch needs it hands over the first eight.
    QStringList many;
    for (int i = 0; i < 50; ++i)
        many << QString("/tmp/archive%1_db").arg(i);
    auto flood = std::async(std::launch::async, [&, name = instance.name()] {
        return SingleInstance::forwardToRunningInstance(name, many, 200);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 8; }, 5000));
    EXPECT_TRUE(flood.get());

    // A connection over either limit is refused whole; the channel still serves the next one.
    const QByteArray longest(16 * 1024 - 2, 'x'); // with its line break and the closing empty line
    for (const QByteArray& refused : {QByteArray("x\n").repeated(9) + "\n", "y" + longest + "\n\n", longest + longest})
        EXPECT_EQ(sendRaw(instance.name(), refused), "") << refused.size();
    EXPECT_EQ(sendRaw(instance.name(), longest + "\n\n"), "ok\n");
    EXPECT_EQ(sendRaw(instance.name(), QByteArray("z\n").repeated(8) + "\n"), "ok\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 17; }, 5000));
    EXPECT_EQ(received, many.mid(0, 8) + QStringList{longest} + QStringList(8, "z"));
}

TEST(SingleInstance, WithoutARuntimeFolderTheSocketLivesInAFolderOnlyTheUserEnters) {
    QTemporaryDir temp, elsewhere;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), tmpdir = qgetenv("TMPDIR");
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_RUNTIME_DIR", runtime);
        tmpdir.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmpdir);
    });
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", temp.path().toUtf8());

    // A folder of that name left open to everyone is closed before use.
    const QString folder = temp.path() + "/tessaly-" + QString::number(::getuid());
    ASSERT_TRUE(QDir().mkpath(folder));
    ::chmod(QFile::encodeName(folder).constData(), 0777);
    EXPECT_EQ(QFileInfo(SingleInstance::socketPath("main")).absolutePath(), folder);
    EXPECT_EQ(int(QFile::permissions(folder)) & 0x7077, 0x7000); // the owner's rwx only
    EXPECT_EQ(QFileInfo(folder).ownerId(), ::getuid());

    // A link in its place (pointing where others can write) is not followed.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QFile::link(elsewhere.path(), folder));
    EXPECT_FALSE(SingleInstance::socketPath("main").startsWith(folder + "/"));
}

TEST(Launch, FileAddressesBecomeLocalPathsAndTheDesktopExecLineQuotesEveryReservedCharacter) {
    // File managers hand over file: addresses for %u; callbacks are handed over in the integration tests.
    EXPECT_EQ(launchMessageFor("file:///home/u/My%20Pictures/anna_db"), "/home/u/My Pictures/anna_db");
    EXPECT_EQ(launchMessageFor("FILE:///srv/b%C3%A9a_db"), QString("/srv/b\u00e9a_db"));
    EXPECT_EQ(launchMessageFor("anna_db"), QDir::current().absoluteFilePath("anna_db"));
    EXPECT_EQ(launchMessageFor("/abs/anna_db"), "/abs/anna_db");
    EXPECT_FALSE(isCallbackMessage("/tmp/tessaly:x"));

    // As written in the file: the value's own escaping doubles each backslash.
    EXPECT_EQ(desktopExecArgument("/opt/tessaly bin/tessaly"), "\"/opt/tessaly bin/tessaly\"");
    EXPECT_EQ(desktopExecArgument("/opt/100%u/tessaly"), "\"/opt/100%%u/tessaly\"");
    EXPECT_EQ(desktopExecArgument("/a/$HOME`x`/q\"t\\b"), "\"/a/\\\\$HOME\\\\`x\\\\`/q\\\\\"t\\\\\\\\b\"");
    EXPECT_TRUE(desktopFileText("/opt/a%20b/tessaly").contains("Exec=\"/opt/a%%20b/tessaly\" %u\n"));
    // A line break cannot start a key of its own: it and a tab take the value's escapes; other controls are refused.
    EXPECT_EQ(desktopExecArgument("/opt/a\nTerminal=true\tb\r/tessaly"), "\"/opt/a\\nTerminal=true\\tb\\r/tessaly\"");
    EXPECT_EQ(desktopFileText("/opt/x\nTerminal=true/tessaly").count("\nTerminal="), 1);
    QTemporaryDir folder;
    QString error;
    EXPECT_FALSE(registerURLScheme("/opt/a\x01" "b/tessaly", folder.path(), &error));
    EXPECT_EQ(error, "Tessaly cannot be made the handler of tessaly:// addresses: the path of its program, "
                     "\"/opt/a\\x01b/tessaly\", holds a control character.");
    EXPECT_FALSE(QFile::exists(folder.filePath("tessaly.desktop")));
}
