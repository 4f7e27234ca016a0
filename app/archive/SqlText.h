#pragma once

#include <QString>

namespace tessaly::sqltext {

// The stored form of a free text: a backslash before a double quote is
// dropped. (Written as SQL text the quotes would then be doubled; with bound
// parameters the value is stored as it stands after this step.)
inline QString withoutEscapedQuotes(QString text) {
    return text.replace(QStringLiteral("\\\""), QStringLiteral("\""));
}

// A text as a double-quoted SQL literal: every double quote doubled.
inline QString quoted(QString text) {
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

} // namespace tessaly::sqltext
