#include "InputLines.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tessaly::cli {

InputLines::InputLines(std::function<void(const QString&)> handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

void InputLines::start() {
    if (::fcntl(STDIN_FILENO, F_GETFD) == -1)
        return; // no standard input at all
    m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InputLines::readAvailable);
    m_reading = true;
}

void InputLines::readAvailable() {
    char buffer[4096];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (count <= 0) {
        m_notifier->setEnabled(false);
        m_reading = false;
        const QString last = QString::fromUtf8(m_pending).trimmed();
        m_pending.clear();
        if (!last.isEmpty())
            m_handler(last);
        return;
    }
    m_pending.append(buffer, count);
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_pending.left(end)).trimmed();
        m_pending.remove(0, end + 1);
        if (!line.isEmpty())
            m_handler(line);
    }
}

} // namespace tessaly::cli
