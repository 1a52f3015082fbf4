// The rows of the archive viewer's list: name, size and update time of each
// listed entry, in the order the library reported them. Filled in one go, so
// a listing of many thousand entries costs one reset of the views.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace tidebell {

class EntryListModel : public QAbstractTableModel {
public:
    enum Column { NameColumn, SizeColumn, TimeColumn, ColumnCount };

    struct Row {
        QString name;  // the entry's name as the library reports it
        QString size;
        QString time;
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setRows(std::vector<Row> rows);
    const Row& row(int index) const { return m_rows[static_cast<size_t>(index)]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<Row> m_rows;
};

}  // namespace tidebell
