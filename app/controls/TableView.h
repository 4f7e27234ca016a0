#pragma once

#include "Control.h"

#include <QList>
#include <QStringList>
#include <QVariant>

namespace tessaly {

class TableView;

// Supplies a table's rows; the controller serves all of its tables.
class TableDataSource {
public:
    virtual ~TableDataSource() = default;
    virtual int numberOfRowsInTableView(const TableView* table) const = 0;
    virtual QVariant tableViewObjectValueForTableColumnRow(const TableView* table,
                                                           const QString& column,
                                                           int row) const = 0;
    virtual void tableViewSelectionDidChange(TableView* table) {}
};

// A table: column identifiers, rows from a data source, a selection.
class TableView : public Control {
    Q_OBJECT
public:
    TableView(const QString& name, const QStringList& columns, QObject* parent = nullptr);

    QStringList columnIdentifiers() const { return m_columns; }
    void setDataSource(TableDataSource* source) { m_dataSource = source; }
    TableDataSource* dataSource() const { return m_dataSource; }

    int numberOfRows() const;
    QVariant valueAt(int row, const QString& column) const;
    // Rows changed in the data source; a selection past the end is dropped.
    void reloadData();

    // The first selected row, or -1 when nothing is selected.
    int selectedRow() const { return m_selection.isEmpty() ? -1 : m_selection.first(); }
    QList<int> selectedRowIndexes() const { return m_selection; }
    int numberOfSelectedRows() const { return int(m_selection.size()); }
    void selectRowIndexes(QList<int> rows, bool extendSelection = false);
    void selectRow(int row) { selectRowIndexes({row}); }
    void deselectAll();
    // Asks the bound view to scroll the row into sight.
    void scrollRowToVisible(int row) { emit scrollRequested(row); }

signals:
    void dataReloaded();
    void scrollRequested(int row);

private:
    void setSelection(QList<int> rows);

    QStringList m_columns;
    TableDataSource* m_dataSource = nullptr;
    QList<int> m_selection; // sorted, unique, within the rows
};

} // namespace tessaly
