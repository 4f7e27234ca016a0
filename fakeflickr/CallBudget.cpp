#include "CallBudget.h"

#include <algorithm>
#include <cmath>

namespace fakeflickr {

namespace {
// Refills add up in floating point; a call that is due must not miss by a rounding error.
constexpr double kSlack = 1e-9;
} // namespace

CallBudget::CallBudget(double callsPerHour, int burst)
    : m_perMs(callsPerHour > 0 ? callsPerHour / 3'600'000.0 : 0), m_burst(std::max(1, burst)) {}

int CallBudget::take(const QString& key, qint64 nowMs) {
    if (!isLimited())
        return 0;
    auto it = m_buckets.find(key);
    if (it == m_buckets.end())
        it = m_buckets.insert(key, {m_burst, nowMs});
    Bucket& b = *it;
    // A clock that steps back refills nothing.
    b.calls = std::min(m_burst, b.calls + double(std::max<qint64>(0, nowMs - b.atMs)) * m_perMs);
    b.atMs = std::max(b.atMs, nowMs);
    if (b.calls + kSlack >= 1.0) {
        b.calls = std::max(0.0, b.calls - 1.0);
        return 0;
    }
    const double seconds = std::min(1e9, (1.0 - b.calls) / m_perMs / 1000.0);
    return std::max(1, int(std::ceil(seconds - kSlack)));
}

} // namespace fakeflickr
