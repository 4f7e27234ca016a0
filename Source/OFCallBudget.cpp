#include "OFCallBudget.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

void OFCallBudget::setCallsPerHour(double callsPerHour, int burst) {
    m_perHour = std::max(0.0, callsPerHour);
    m_burst = std::max(1, burst);
    m_tokens = std::min<double>(m_tokens, m_burst);
}

qint64 OFCallBudget::reserve(qint64 nowMs) {
    if (!isPaced())
        return 0;
    const double perMs = m_perHour / 3600000.0;
    if (m_lastMs >= 0)
        m_tokens = std::min<double>(m_burst, m_tokens + double(nowMs - m_lastMs) * perMs);
    m_lastMs = nowMs;
    m_tokens -= 1;
    // A negative balance is the wait until this call's token has grown.
    return m_tokens >= 0 ? 0 : qint64(std::ceil(-m_tokens / perMs));
}

double OFCallBudget::secondsFor(qint64 calls) const {
    return isPaced() ? double(calls) * 3600.0 / m_perHour : 0;
}

OFCallBudget& OFCallBudget::shared() {
    static OFCallBudget budget = [] {
        OFCallBudget b;
        if (qEnvironmentVariableIsEmpty("TESSALY_FLICKR_ENDPOINT"))
            b.setCallsPerHour(kFlickrCallsPerHour);
        return b;
    }();
    return budget;
}
