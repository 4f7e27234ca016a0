#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {
// A launch hands over an address or two: a connection that brings more is
// not a launch, and each message costs the running instance real work.
constexpr qint64 kMaxMessageBytes = 16 * 1024;
constexpr int kMaxMessages = 8;

// A folder that only this user can enter: a directory (not a link) owned by
// the user, with no rights for group or others.
bool isPrivateFolder(const QString& folder) {
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

// Makes the folder private when it is missing or is the user's own with
// looser rights; answers whether it is private now.
bool makePrivateFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return false;
    if ((info.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0)
        return false;
    return isPrivateFolder(folder);
}

bool peerIsThisUser(const QLocalSocket& socket) {
    struct ucred credentials {};
    socklen_t length = sizeof credentials;
    const int fd = int(socket.socketDescriptor());
    return fd >= 0 &&
           ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 &&
           credentials.uid == ::getuid();
}
} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name), m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath(const QString& profile) {
    const QString file = "/tessaly-" + profile + ".socket";
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return runtime + file;
    // The shared temporary folder would let anyone bind the name first and
    // receive the callback address: a private folder of the user's own.
    const QString uid = QString::number(::getuid());
    const QString folder = QDir::tempPath() + "/tessaly-" + uid;
    if (makePrivateFolder(folder))
        return folder + file;
    const QString fallback = QDir::homePath() + "/.cache/tessaly-" + uid;
    QDir().mkpath(QDir::homePath() + "/.cache");
    makePrivateFolder(fallback);
    return fallback + file;
}

bool SingleInstance::forwardToRunningInstance(const QString& name, const QStringList& messages,
                                              int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // Callback addresses carry the verifier: only for this user's own Tessaly.
    if (!peerIsThisUser(socket))
        return false;
    for (const QString& message : messages.mid(0, kMaxMessages))
        socket.write(message.toUtf8() + '\n');
    socket.write("\n"); // an empty line ends the messages
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running instance confirms once it has taken the messages.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.readLine().trimmed() == "ok";
}

bool SingleInstance::listen() {
    if (m_server->listen(m_name))
        return true;
    // A socket left by an instance that crashed: nobody answers on it.
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(500))
        return false;
    QLocalServer::removeServer(m_name);
    return m_server->listen(m_name);
}

bool SingleInstance::isListening() const { return m_server->isListening(); }

void SingleInstance::acceptConnections() {
    while (QLocalSocket* accepted = m_server->nextPendingConnection()) {
        if (!peerIsThisUser(*accepted)) {
            accepted->abort();
            accepted->deleteLater();
            continue;
        }
        connect(accepted, &QLocalSocket::disconnected, accepted, &QObject::deleteLater);
        auto received = std::make_shared<QStringList>();
        auto bytes = std::make_shared<qint64>(0);
        QPointer<QLocalSocket> socket(accepted);
        connect(accepted, &QLocalSocket::readyRead, this, [this, socket, received, bytes] {
            while (socket && socket->canReadLine()) {
                const QByteArray raw = socket->readLine();
                *bytes += raw.size();
                if (*bytes > kMaxMessageBytes) {
                    socket->abort();
                    return;
                }
                const QString line = QString::fromUtf8(raw).trimmed();
                if (!line.isEmpty()) {
                    received->append(line);
                    if (received->size() > kMaxMessages) {
                        socket->abort();
                        return;
                    }
                    continue;
                }
                // Confirm first, then deliver from the event loop: a handler may
                // run a modal alert, during which the sender may give up and go.
                socket->write("ok\n");
                socket->flush();
                socket->disconnectFromServer();
                for (const QString& message : std::exchange(*received, {}))
                    QMetaObject::invokeMethod(
                        this, [this, message] { emit messageReceived(message); },
                        Qt::QueuedConnection);
                return;
            }
            if (socket && socket->bytesAvailable() > kMaxMessageBytes)
                socket->abort();
        });
    }
}

} // namespace tessaly
