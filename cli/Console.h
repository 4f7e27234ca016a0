#pragma once

#include <QString>

namespace tessaly::cli {

// Standard output for results, standard error for everything else. On a
// terminal, standard error also holds one progress line that is redrawn in
// place and wiped before any other line is written.
class Console {
public:
    Console();

    bool errorIsTerminal() const { return m_errorTerminal; }

    // A line of results on standard output.
    void out(const QString& line);
    // Results on standard output, as they stand.
    void outText(const QString& text);
    // A one-line error of tessaly-cli itself: "tessaly-cli: <message>".
    void error(const QString& message);
    // A line on standard error as it stands (alerts, log lines, progress).
    void note(const QString& line);
    // The progress line on a terminal, drawn over the previous one.
    void progress(const QString& line);
    void endProgress();

    // Line breaks of a message turned into spaces, so it stays one line.
    static QString oneLine(QString text);

private:
    bool m_errorTerminal;
    bool m_progressShown = false;
};

} // namespace tessaly::cli
