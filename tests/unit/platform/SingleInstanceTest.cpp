#include "SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;

namespace {
// A second launch, in its own thread: it blocks as a separate process would.
std::future<bool> launch(const QString& name, const QStringList& messages, int timeoutMs) {
    return std::async(std::launch::async,
                      [=] { return SingleInstance::forwardToRunningInstance(name, messages, timeoutMs); });
}
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
        // An alert's own event loop, longer than the launch waits for its answer.
        QEventLoop alert;
        QTimer::singleShot(received.size() == 1 ? 400 : 0, &alert, &QEventLoop::quit);
        alert.exec();
    });

    auto first = launch(instance.name(), {"/tmp/not-an-archive.txt", "tessaly://callback?x=1"}, 200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 2; }, 5000));
    // Confirmed before any handler ran, so the launch does not report silence.
    EXPECT_TRUE(first.get());
    EXPECT_EQ(received, QStringList({"/tmp/not-an-archive.txt", "tessaly://callback?x=1"}));

    // A connection over either limit is refused whole; the channel still serves the next one.
    const QByteArray longest(16 * 1024 - 2, 'x'); // with its line break and the closing empty line
    for (const QByteArray& refused : {QByteArray("x\n").repeated(5000) + "\n", QByteArray("x\n").repeated(9) + "\n",
                                      "y" + longest + "\n\n", longest + longest})
        EXPECT_EQ(sendRaw(instance.name(), refused), "") << refused.size();
    EXPECT_EQ(sendRaw(instance.name(), longest + "\n\n"), "ok\n");
    EXPECT_EQ(sendRaw(instance.name(), QByteArray("z\n").repeated(8) + "\n"), "ok\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 11; }, 5000));
    EXPECT_EQ(received[2], longest);
    EXPECT_EQ(received.mid(3), QStringList(8, "z"));

    // A launch with more addresses than a launch needs hands over the first eight.
    QStringList many;
    for (int i = 0; i < 50; ++i)
        many << QString("/tmp/archive%1_db").arg(i);
    auto flood = launch(instance.name(), many, 2000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() >= 19; }, 5000));
    EXPECT_TRUE(flood.get());
    QTest::qWait(50);
    EXPECT_EQ(received.mid(11), many.mid(0, 8));
}

TEST(SingleInstance, WithoutARuntimeFolderTheSocketLivesInAFolderOnlyTheUserEnters) {
    QTemporaryDir temp;
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
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());

    // A link in its place (pointing where others can write) is not followed.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), folder));
    EXPECT_FALSE(SingleInstance::socketPath("main").startsWith(folder + "/"));
}
