#include "CallbackSources.h"

#include "Console.h"
#include "LaunchArguments.h"
#include "SingleInstance.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tessaly::cli {

CallbackSources::CallbackSources(Console& console) : m_console(console) {}

CallbackSources::~CallbackSources() = default;

bool CallbackSources::listenOnChannel() {
    m_channel = std::make_unique<SingleInstance>(SingleInstance::socketPath("main"));
    if (!m_channel->listen()) {
        m_channel.reset();
        return false;
    }
    connect(m_channel.get(), &SingleInstance::messageReceived, this,
            [this](const QString& message) { take(message, true); });
    m_listening = true;
    return true;
}

void CallbackSources::readStandardInput() {
    if (::fcntl(STDIN_FILENO, F_GETFD) == -1)
        return; // no standard input at all
    m_input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_input, &QSocketNotifier::activated, this, &CallbackSources::readAvailable);
    m_reading = true;
}

void CallbackSources::readAvailable() {
    char buffer[4096];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (count <= 0) {
        // The end of the input: a last line without its line break counts.
        m_input->setEnabled(false);
        m_reading = false;
        if (!m_pending.trimmed().isEmpty())
            take(QString::fromUtf8(m_pending).trimmed(), false);
        m_pending.clear();
        return;
    }
    m_pending.append(buffer, count);
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_pending.left(end)).trimmed();
        m_pending.remove(0, end + 1);
        if (!line.isEmpty())
            take(line, false);
    }
}

void CallbackSources::take(const QString& message, bool fromChannel) {
    if (received())
        return;
    if (!isCallbackMessage(message)) {
        m_console.error(
            fromChannel
                ? QString("ignored %1: only a tessaly://callback address is taken now").arg(message)
                : QString("not a tessaly://callback address: %1").arg(message));
        return;
    }
    m_callback = message;
    m_fromChannel = fromChannel;
}

} // namespace tessaly::cli
