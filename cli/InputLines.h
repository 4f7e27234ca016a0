#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

namespace tessaly::cli {

// The lines typed or pasted on standard input, read as they come while the
// event loop runs. Each non-empty line (trimmed) goes to the handler; a last
// line without its line break counts too.
class InputLines : public QObject {
    Q_OBJECT
public:
    explicit InputLines(std::function<void(const QString&)> handler, QObject* parent = nullptr);

    void start();
    // Whether more lines may come.
    bool reading() const { return m_reading; }

private:
    void readAvailable();

    std::function<void(const QString&)> m_handler;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_pending;
    bool m_reading = false;
};

} // namespace tessaly::cli
