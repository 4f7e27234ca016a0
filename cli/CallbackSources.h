#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace tessaly {
class SingleInstance;
}

namespace tessaly::cli {

class Console;
class InputLines;

// Where the browser's tessaly://callback address reaches `connect`: the
// channel on which the application takes it from a second launch (so the
// browser's launch of tessaly hands it here), and lines typed or pasted on
// standard input. The first callback address from either is kept.
class CallbackSources : public QObject {
    Q_OBJECT
public:
    explicit CallbackSources(Console& console);
    ~CallbackSources() override;

    // False when the channel is taken (a running Tessaly listens on it).
    bool listenOnChannel();
    void readStandardInput();

    bool received() const { return !m_callback.isEmpty(); }
    QString callback() const { return m_callback; }
    bool fromChannel() const { return m_fromChannel; }
    // Neither source can bring an address any more.
    bool exhausted() const;

private:
    void take(const QString& message, bool fromChannel);

    Console& m_console;
    std::unique_ptr<SingleInstance> m_channel;
    InputLines* m_input;
    QString m_callback;
    bool m_fromChannel = false;
    bool m_listening = false;
};

} // namespace tessaly::cli
