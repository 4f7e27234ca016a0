#include "StyledTextDelegate.h"

#include "ControlTableModel.h"
#include "StyledText.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

namespace tessaly {

namespace {

constexpr int kMargin = 4;

} // namespace

QColor styledTextColor(TextColor color) {
    switch (color) {
    case TextColor::Blue:
        return QColor(0, 0, 255);
    case TextColor::DarkGray:
        break;
    }
    return QColor(85, 85, 85);
}

void StyledTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const QVariant value = index.data(ControlTableModel::StyledTextRole);
    if (!value.canConvert<StyledText>()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const StyledText styled = value.value<StyledText>();

    // Background and selection as the style draws them, without the text.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    QString text = styled.text;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator); // same length: spans stay put
    QTextLayout layout(text, option.font);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(textOption);
    if (!selected) {
        QList<QTextLayout::FormatRange> formats;
        for (const TextSpan& span : styled.spans) {
            QTextLayout::FormatRange range;
            range.start = span.start;
            range.length = span.length;
            range.format.setForeground(styledTextColor(span.color));
            formats << range;
        }
        layout.setFormats(formats);
    }
    const QRect area = option.rect.adjusted(kMargin, kMargin / 2, -kMargin, -kMargin / 2);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();

    painter->save();
    painter->setClipRect(area);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    layout.draw(painter, area.topLeft());
    painter->restore();
}

QSize StyledTextDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    const QVariant value = index.data(ControlTableModel::StyledTextRole);
    if (!value.canConvert<StyledText>())
        return QStyledItemDelegate::sizeHint(option, index);
    const int lines = int(value.value<StyledText>().text.count(QLatin1Char('\n'))) + 1;
    return {200, lines * option.fontMetrics.lineSpacing() + kMargin};
}

} // namespace tessaly
