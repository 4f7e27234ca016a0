#pragma once

#include <QString>

#include <cstdio>

namespace tessaly {

// The per-account error log of a download flow: emptied when a flow starts,
// a line flushed at a time. Lines written while no log is open go to
// standard error, never to a closed file.
class ErrorLog {
public:
    ErrorLog() = default;
    ~ErrorLog() { close(); }
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;

    // Opens the log for writing, emptying it. Answers whether it opened.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return m_file != nullptr; }
    QString path() const { return m_path; }

    void write(const QString& text);
    // The whole log as UTF-8 text.
    QString readAll() const;

private:
    std::FILE* m_file = nullptr;
    QString m_path;
};

} // namespace tessaly
