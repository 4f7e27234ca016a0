#include "Console.h"

#include <cstdio>
#include <unistd.h>

namespace tessaly::cli {

namespace {
void write(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

Console::Console() : m_errorTerminal(::isatty(STDERR_FILENO) == 1) {}

QString Console::oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.trimmed();
}

void Console::out(const QString& line) {
    outText(line + QLatin1Char('\n'));
}

void Console::outText(const QString& text) {
    endProgress();
    write(stdout, text);
}

void Console::error(const QString& message) {
    note("tessaly-cli: " + oneLine(message));
}

void Console::note(const QString& line) {
    endProgress();
    write(stderr, line + QLatin1Char('\n'));
}

void Console::progress(const QString& line) {
    // "\r" back to the line's start, "\033[K" wipes what a longer line left.
    write(stderr, "\r\033[K" + line);
    m_progressShown = true;
}

void Console::endProgress() {
    if (!m_progressShown)
        return;
    m_progressShown = false;
    write(stderr, QStringLiteral("\r\033[K"));
}

} // namespace tessaly::cli
