#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

namespace tessaly {

// The colours a styled text may give a run of characters; everything else is
// drawn in the default text colour.
enum class TextColor { DarkGray, Blue };

struct TextSpan {
    int start = 0;
    int length = 0;
    TextColor color = TextColor::DarkGray;

    friend bool operator==(const TextSpan&, const TextSpan&) = default;
};

// Plain text with coloured runs. Always shown as literal text: picture data
// is never read as markup.
struct StyledText {
    QString text;
    QList<TextSpan> spans;

    // Appends a piece whose first `coloured` characters take `color`.
    void append(const QString& piece, int coloured, TextColor color) {
        if (coloured > 0)
            spans.append({int(text.size()), int(qMin<qsizetype>(coloured, piece.size())), color});
        text += piece;
    }
    void clear() {
        text.clear();
        spans.clear();
    }

    friend bool operator==(const StyledText&, const StyledText&) = default;
};

} // namespace tessaly

Q_DECLARE_METATYPE(tessaly::StyledText)
