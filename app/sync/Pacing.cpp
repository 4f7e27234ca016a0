#include "Pacing.h"

#include <algorithm>
#include <cmath>

namespace tessaly::sync {

namespace {
QString count(qint64 n, const char* one, const char* many) {
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}
} // namespace

QString durationText(double seconds) {
    const qint64 total = std::max<qint64>(0, qint64(std::ceil(seconds)));
    if (total < 60)
        return count(total, "second", "seconds");
    const qint64 minutes = (total + 30) / 60;
    if (minutes < 60)
        return count(minutes, "minute", "minutes");
    const qint64 hours = minutes / 60;
    const qint64 rest = minutes % 60;
    if (hours >= 10 || rest == 0)
        return count(hours + (hours >= 10 && rest >= 30 ? 1 : 0), "hour", "hours");
    return count(hours, "hour", "hours") + QLatin1Char(' ') + count(rest, "minute", "minutes");
}

QString estimateText(double seconds) {
    return QStringLiteral("about %1 left").arg(durationText(seconds));
}

QString retryText(const QString& reason, double seconds) {
    return QStringLiteral("%1; trying again in %2.").arg(reason, durationText(seconds));
}

bool isRetryText(const QString& text) {
    return text.contains(QLatin1String("; trying again in "));
}

void PaceEstimate::itemDone(qint64 nowMs) {
    if (m_lastMs >= 0) {
        const double sample = double(nowMs - m_lastMs) / 1000.0;
        // Recent items count most: the pace changes as Flickr's answers do.
        m_average = m_samples == 0 ? sample : 0.9 * m_average + 0.1 * sample;
        ++m_samples;
    }
    m_lastMs = nowMs;
}

double PaceEstimate::secondsFor(qint64 remaining, double budgetSecondsPerItem) const {
    if (m_samples < 3 && budgetSecondsPerItem <= 0)
        return -1;
    const double perItem = std::max(m_samples >= 3 ? m_average : 0.0, budgetSecondsPerItem);
    return double(remaining) * perItem;
}

} // namespace tessaly::sync
