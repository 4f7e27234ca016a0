#include "Matrix.h"

namespace tessaly {

Matrix::Matrix(const QString& name, const QStringList& cellTitles, QObject* parent)
    : Control(name, parent), m_titles(cellTitles) {}

void Matrix::selectCellAtRow(int row) {
    if (row < 0 || row >= m_titles.size() || row == m_selected)
        return;
    m_selected = row;
    emit changed();
}

} // namespace tessaly
