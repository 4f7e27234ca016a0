#include "DateFieldFormatter.h"

namespace tessaly {

std::optional<QDateTime> DateFieldFormatter::dateFromString(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const QDateTime moment = QDateTime::fromString(trimmed, kMomentFormat);
    if (moment.isValid())
        return moment;
    // A day starts at its first local moment, also where midnight is skipped.
    const QDate day = QDate::fromString(trimmed, kDayFormat);
    if (day.isValid())
        return day.startOfDay();
    return std::nullopt;
}

} // namespace tessaly
