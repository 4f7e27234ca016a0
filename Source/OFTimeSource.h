#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>

// The clock and the delayed calls that pacing and retries use: the system's,
// or a scripted one that tests move forward by hand.
class OFTimeSource {
public:
    virtual ~OFTimeSource() = default;
    // Milliseconds on a monotonic clock.
    virtual qint64 nowMs() const = 0;
    // Runs `call` after `ms` on the calling thread's event loop, unless
    // `context` is gone by then.
    virtual void callAfter(qint64 ms, QObject* context, std::function<void()> call) = 0;

    // The time source of the process (the system's unless replaced).
    static OFTimeSource& shared();
    static void setShared(OFTimeSource* source); // nullptr: the system's again
};

// A time source that stands still until told to move.
class OFScriptedTimeSource : public OFTimeSource {
public:
    qint64 nowMs() const override { return m_now; }
    void callAfter(qint64 ms, QObject* context, std::function<void()> call) override;
    // Moves the clock forward, running every call that falls due, in order.
    void advance(qint64 ms);
    int pendingCalls() const { return int(m_calls.size()); }
    // The delay of the earliest waiting call, or -1 when none waits.
    qint64 nextDelay() const;

private:
    struct Pending {
        QPointer<QObject> context;
        std::function<void()> call;
    };
    qint64 m_now = 0;
    std::multimap<qint64, Pending> m_calls;
};
