#include "CallbackSources.h"

#include "Console.h"
#include "InputLines.h"
#include "LaunchArguments.h"
#include "SingleInstance.h"

namespace tessaly::cli {

CallbackSources::CallbackSources(Console& console)
    : m_console(console),
      m_input(new InputLines([this](const QString& line) { take(line, false); }, this)) {}

CallbackSources::~CallbackSources() = default;

bool CallbackSources::exhausted() const {
    return !received() && !m_listening && !m_input->reading();
}

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
    m_input->start();
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
