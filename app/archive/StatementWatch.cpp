#include "StatementWatch.h"

#include <QCoreApplication>

#include <sqlite3.h>

namespace tessaly {

namespace {
// SQLite steps between two looks at the clock, and the event loop's turns.
constexpr int kStepsPerCheck = 4000;
constexpr qint64 kPumpEveryMs = 30;
} // namespace

SqlResult ArchiveDatabase::busyResult() const {
    return {SQLITE_BUSY, SQLITE_BUSY, QStringLiteral("The archive is busy with a search.")};
}

void ArchiveDatabase::whenFree(QObject* context, std::function<void()> call) {
    if (!m_pumping) {
        call();
        return;
    }
    m_waiting.append({QPointer<QObject>(context), std::move(call)});
}

StatementWatch::StatementWatch(ArchiveDatabase& database, Options options)
    : m_database(database), m_options(std::move(options)) {
    m_clock.start();
    if (m_database.handle())
        sqlite3_progress_handler(m_database.handle(), kStepsPerCheck, &StatementWatch::progress, this);
}

StatementWatch::~StatementWatch() {
    if (m_database.handle())
        sqlite3_progress_handler(m_database.handle(), 0, nullptr, nullptr);
    // What waited runs from the event loop, after the caller has finished
    // with the statement's results.
    for (auto& [context, call] : std::exchange(m_database.m_waiting, {}))
        if (context)
            QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

void StatementWatch::stop() {
    m_stop = true;
    if (m_database.handle())
        sqlite3_interrupt(m_database.handle());
}

int StatementWatch::progress(void* watch) {
    return static_cast<StatementWatch*>(watch)->check();
}

int StatementWatch::check() {
    const qint64 now = m_clock.elapsed();
    if (m_options.limitMs > 0 && now > m_options.limitMs) {
        m_ending = Ending::TimedOut;
        return 1;
    }
    if (now >= m_options.slowAfterMs && now - m_lastPumpMs >= kPumpEveryMs && !m_database.m_pumping) {
        m_lastPumpMs = now;
        m_database.m_pumping = true;
        if (!m_slow) {
            m_slow = true;
            if (m_options.onSlow)
                m_options.onSlow();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        m_database.m_pumping = false;
    }
    if (m_stop || (m_options.stopRequested && m_options.stopRequested())) {
        m_ending = Ending::Stopped;
        return 1;
    }
    return 0;
}

} // namespace tessaly
