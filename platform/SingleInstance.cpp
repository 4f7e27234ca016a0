#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tessaly {

namespace {
constexpr qint64 kMaxMessageBytes = 64 * 1024;
}

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name), m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath(const QString& profile) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + "/tessaly-" + profile + ".socket";
}

bool SingleInstance::forwardToRunningInstance(const QString& name, const QStringList& messages,
                                              int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    for (const QString& message : messages)
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
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > kMaxMessageBytes) {
                socket->abort();
                return;
            }
            while (socket->canReadLine()) {
                const QString line = QString::fromUtf8(socket->readLine()).trimmed();
                if (line.isEmpty()) {
                    socket->write("ok\n");
                    socket->flush();
                    socket->disconnectFromServer();
                    return;
                }
                emit messageReceived(line);
            }
        });
    }
}

} // namespace tessaly
