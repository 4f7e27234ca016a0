#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace tessaly::test {

// Runs a real event loop until the condition holds or the time is up.
// QTest::qWaitFor sleeps between rounds of processEvents; against a stand-in
// service in the same thread, long chains of requests can then stall.
inline bool waitFor(const std::function<bool()>& done, int ms = 60000) {
    if (done())
        return true;
    bool met = false;
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if ((met = done()) || clock.elapsed() > ms)
            loop.quit();
    });
    poll.start(2);
    loop.exec();
    return met;
}

} // namespace tessaly::test
