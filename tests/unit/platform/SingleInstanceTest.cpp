#include "SingleInstance.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;

namespace {
// A second launch, in its own thread: it blocks as a separate process would.
class Launch {
public:
    Launch(const QString& name, QStringList messages, int timeoutMs) {
        m_thread.reset(QThread::create([=, this] {
            m_answered = SingleInstance::forwardToRunningInstance(name, messages, timeoutMs);
        }));
        m_thread->start();
    }
    ~Launch() { m_thread->wait(); }
    bool finished() const { return m_thread->isFinished(); }
    bool answered() const { return m_answered; }

private:
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_answered{false};
};
} // namespace

TEST(SingleInstance, AHandlerThatRunsAModalLoopOutlivesTheLaunchThatSentIt) {
    QTemporaryDir dir;
    SingleInstance instance(dir.filePath("s.socket"));
    ASSERT_TRUE(instance.listen());
    QStringList received;
    QObject::connect(&instance, &SingleInstance::messageReceived, [&](const QString& message) {
        received << message;
        // An alert's own event loop, longer than the launch waits for its answer.
        QEventLoop alert;
        QTimer::singleShot(400, &alert, &QEventLoop::quit);
        alert.exec();
    });

    Launch launch(instance.name(), {"/tmp/not-an-archive.txt", "tessaly://callback?x=1"}, 200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return launch.finished() && received.size() == 2; }, 5000));
    // Confirmed before any handler ran, so the launch does not report silence.
    EXPECT_TRUE(launch.answered());
    EXPECT_EQ(received, QStringList({"/tmp/not-an-archive.txt", "tessaly://callback?x=1"}));

    // The channel still serves the next launch.
    Launch again(instance.name(), {"second"}, 2000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return again.finished() && received.size() == 3; }, 5000));
    EXPECT_TRUE(again.answered());
}

TEST(SingleInstance, AFloodOfMessagesInOneConnectionIsRefusedWhole) {
    QTemporaryDir dir;
    SingleInstance instance(dir.filePath("s.socket"));
    ASSERT_TRUE(instance.listen());
    int received = 0;
    QObject::connect(&instance, &SingleInstance::messageReceived, [&] { ++received; });
    // 5,000 short lines (10 KB), as another local program might send.
    QLocalSocket flood;
    flood.connectToServer(instance.name());
    ASSERT_TRUE(flood.waitForConnected(2000));
    flood.write(QByteArray("x\n").repeated(5000) + "\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return flood.state() == QLocalSocket::UnconnectedState; }, 5000));
    EXPECT_FALSE(flood.readAll().contains("ok"));
    QTest::qWait(50);
    EXPECT_EQ(received, 0);

    // A launch with more addresses than a launch needs hands over the first few.
    QStringList many;
    for (int i = 0; i < 50; ++i)
        many << QString("/tmp/archive%1_db").arg(i);
    Launch launch(instance.name(), many, 2000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return launch.finished() && received > 0; }, 5000));
    EXPECT_TRUE(launch.answered());
    EXPECT_EQ(received, 8);
}

TEST(SingleInstance, WithoutARuntimeFolderTheSocketLivesInAFolderOnlyTheUserEnters) {
    QTemporaryDir temp;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray tmpdir = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", temp.path().toUtf8());

    // A folder of that name left open to everyone is closed before use.
    const QString folder = temp.path() + "/tessaly-" + QString::number(::getuid());
    ASSERT_TRUE(QDir().mkpath(folder));
    ::chmod(QFile::encodeName(folder).constData(), 0777);

    const QString path = SingleInstance::socketPath("main");
    EXPECT_EQ(QFileInfo(path).absolutePath(), folder);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());

    // A link in its place (pointing where others can write) is not followed.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), folder));
    EXPECT_FALSE(SingleInstance::socketPath("main").startsWith(folder + "/"));

    qputenv("XDG_RUNTIME_DIR", runtime);
    if (tmpdir.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", tmpdir);
}
