#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

namespace tessaly {

// Keeps Tessaly to one running instance per user and profile. A later launch
// hands its arguments (a tessaly:// callback address, a file to open) to the
// running instance over a local socket that only the user can reach; the
// running instance receives them as messages, the way a desktop delivers a
// URL to an open application.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket path for a profile: in $XDG_RUNTIME_DIR, else in a folder of
    // the temp folder that only this user can enter.
    static QString socketPath(const QString& profile);

    // Hands the messages (the first eight) to a running instance; answers
    // false when none listens (or it did not confirm within the time-out).
    // The running instance refuses a connection that brings more than eight
    // messages or 16 KiB.
    static bool forwardToRunningInstance(const QString& name, const QStringList& messages,
                                         int timeoutMs = 3000);

    // Starts listening; answers false when another instance already does.
    bool listen();
    bool isListening() const;
    QString name() const { return m_name; }

signals:
    void messageReceived(const QString& message);

private:
    void acceptConnections();

    QString m_name;
    QLocalServer* m_server;
};

} // namespace tessaly
