#pragma once

#include "ArchiveDatabase.h"

#include <QElapsedTimer>

#include <functional>

namespace tessaly {

// Keeps the application alive while a statement on the archive runs long:
// SQLite's progress handler lets the event loop run now and then (windows
// repaint, a Stop button can be pressed), and the statement is interrupted
// when stop() is called, when `stopRequested` answers true, or past its time
// limit. While the event loop runs, nothing else may use the connection
// (ArchiveDatabase::isBusy); work that waited runs when the watch ends.
class StatementWatch {
public:
    struct Options {
        qint64 limitMs = 0;                  // 0: no limit
        qint64 slowAfterMs = 150;            // the event loop runs from then on
        std::function<void()> onSlow;        // once, when the statement turns out slow
        std::function<bool()> stopRequested; // asked now and then
    };
    enum class Ending { Ran, Stopped, TimedOut };

    StatementWatch(ArchiveDatabase& database, Options options);
    ~StatementWatch();
    StatementWatch(const StatementWatch&) = delete;
    StatementWatch& operator=(const StatementWatch&) = delete;

    void stop();
    // How the statement ended (Ran also for one that failed by itself).
    Ending ending() const { return m_ending; }

private:
    static int progress(void* watch);
    int check();

    ArchiveDatabase& m_database;
    Options m_options;
    QElapsedTimer m_clock;
    qint64 m_lastPumpMs = 0;
    bool m_slow = false;
    bool m_stop = false;
    Ending m_ending = Ending::Ran;
};

} // namespace tessaly
