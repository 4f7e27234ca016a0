#pragma once

#include "StyledText.h"

#include <QColor>
#include <QStyledItemDelegate>

namespace tessaly {

// The colour a styled text's run is drawn in.
QColor styledTextColor(TextColor color);

// Draws a table cell's StyledText: literal text, line by line, with its
// coloured runs (all in the selection's text colour in a selected row).
class StyledTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace tessaly
