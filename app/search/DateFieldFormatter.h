#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace tessaly {

// The formatter of the search window's date fields (and of other date texts
// the user types): a day "yyyy-MM-dd" or a moment "yyyy-MM-dd HH:mm:ss", in
// local time. An empty text holds no date.
class DateFieldFormatter {
public:
    static inline const QString kDayFormat = QStringLiteral("yyyy-MM-dd");
    static inline const QString kMomentFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

    // The date a text stands for; none for an empty or malformed text.
    static std::optional<QDateTime> dateFromString(const QString& text);
    // Whether a text is empty or a date: what a date field accepts.
    static bool isAcceptable(const QString& text) {
        return text.trimmed().isEmpty() || dateFromString(text).has_value();
    }
    // The date as the fields show it.
    static QString stringFromDate(const QDateTime& date) {
        return date.toLocalTime().toString(kDayFormat);
    }
};

} // namespace tessaly
