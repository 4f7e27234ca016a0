#pragma once

#include "Control.h"

#include <QStringList>

namespace tessaly {

// A radio-button matrix of one column: titled cells, exactly one selected.
class Matrix : public Control {
    Q_OBJECT
public:
    Matrix(const QString& name, const QStringList& cellTitles, QObject* parent = nullptr);

    QStringList cellTitles() const { return m_titles; }
    int numberOfRows() const { return int(m_titles.size()); }
    int selectedRow() const { return m_selected; }
    // Rows outside the matrix are ignored.
    void selectCellAtRow(int row);

private:
    QStringList m_titles;
    int m_selected = 0;
};

} // namespace tessaly
