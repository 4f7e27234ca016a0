#include "TableView.h"

#include <algorithm>

namespace tessaly {

TableView::TableView(const QString& name, const QStringList& columns, QObject* parent)
    : Control(name, parent), m_columns(columns) {}

int TableView::numberOfRows() const {
    return m_dataSource ? m_dataSource->numberOfRowsInTableView(this) : 0;
}

QVariant TableView::valueAt(int row, const QString& column) const {
    if (!m_dataSource || row < 0 || row >= numberOfRows())
        return {};
    return m_dataSource->tableViewObjectValueForTableColumnRow(this, column, row);
}

void TableView::reloadData() {
    emit dataReloaded();
    const int rows = numberOfRows();
    QList<int> kept;
    for (int row : m_selection)
        if (row < rows)
            kept << row;
    if (kept != m_selection)
        setSelection(kept);
    emit changed();
}

void TableView::selectRowIndexes(QList<int> rows, bool extendSelection) {
    if (extendSelection)
        rows += m_selection;
    const int count = numberOfRows();
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [count](int row) { return row < 0 || row >= count; }),
               rows.end());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    setSelection(rows);
}

void TableView::deselectAll() { setSelection({}); }

void TableView::setSelection(QList<int> rows) {
    if (rows == m_selection)
        return;
    m_selection = std::move(rows);
    emit changed();
    if (m_dataSource)
        m_dataSource->tableViewSelectionDidChange(this);
}

} // namespace tessaly
