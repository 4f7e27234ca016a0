#pragma once

#include <QStyledItemDelegate>

namespace tessaly {

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
