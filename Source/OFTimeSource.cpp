#include "OFTimeSource.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {

class SystemTimeSource : public OFTimeSource {
public:
    SystemTimeSource() { m_clock.start(); }
    qint64 nowMs() const override { return m_clock.elapsed(); }
    void callAfter(qint64 ms, QObject* context, std::function<void()> call) override {
        QTimer::singleShot(std::chrono::milliseconds(std::max<qint64>(0, ms)), context, std::move(call));
    }

private:
    QElapsedTimer m_clock;
};

OFTimeSource* g_source = nullptr;

} // namespace

OFTimeSource& OFTimeSource::shared() {
    static SystemTimeSource system;
    return g_source ? *g_source : system;
}

void OFTimeSource::setShared(OFTimeSource* source) { g_source = source; }

void OFScriptedTimeSource::callAfter(qint64 ms, QObject* context, std::function<void()> call) {
    m_calls.emplace(m_now + std::max<qint64>(0, ms), Pending{context, std::move(call)});
}

void OFScriptedTimeSource::advance(qint64 ms) {
    const qint64 until = m_now + ms;
    while (!m_calls.empty() && m_calls.begin()->first <= until) {
        auto first = m_calls.begin();
        m_now = first->first;
        Pending pending = std::move(first->second);
        m_calls.erase(first);
        if (pending.context)
            pending.call();
    }
    m_now = until;
}

qint64 OFScriptedTimeSource::nextDelay() const {
    return m_calls.empty() ? -1 : m_calls.begin()->first - m_now;
}
