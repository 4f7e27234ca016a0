#pragma once

#include <QAbstractTableModel>
#include <QStringList>

namespace tessaly {

class TableView;

// Shows a table control's rows in a QTableView.
class ControlTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // A styled text cell answers its StyledText here (and its plain text as
    // the display text); an image cell answers its image as the decoration.
    static constexpr int StyledTextRole = Qt::UserRole + 1;

    ControlTableModel(TableView& table, const QStringList& headers, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void reload();

private:
    TableView& m_table;
    QStringList m_headers;
};

} // namespace tessaly
