#include "ControlTableModel.h"

#include "StyledText.h"
#include "controls/TableView.h"

#include <QImage>

namespace tessaly {

ControlTableModel::ControlTableModel(TableView& table, const QStringList& headers, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_headers(headers) {}

int ControlTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_table.numberOfRows();
}

int ControlTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_table.columnIdentifiers().size());
}

QVariant ControlTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole &&
                             role != Qt::DecorationRole && role != StyledTextRole))
        return {};
    const QVariant value =
        m_table.valueAt(index.row(), m_table.columnIdentifiers().value(index.column()));
    if (value.metaType() == QMetaType::fromType<QImage>())
        return role == Qt::DecorationRole ? value : QVariant();
    if (value.metaType() == QMetaType::fromType<StyledText>()) {
        if (role == StyledTextRole)
            return value;
        return role == Qt::DecorationRole ? QVariant() : QVariant(value.value<StyledText>().text);
    }
    return role == Qt::DecorationRole || role == StyledTextRole ? QVariant() : value;
}

QVariant ControlTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return m_headers.value(section, m_table.columnIdentifiers().value(section));
}

void ControlTableModel::reload() {
    beginResetModel();
    endResetModel();
}

} // namespace tessaly
