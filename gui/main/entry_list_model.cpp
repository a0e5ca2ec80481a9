#include "main/entry_list_model.h"

#include "common/qt_support.h"

namespace lithora::gui {

EntryListModel::EntryListModel(const std::vector<ListRow>& rows, QObject* parent)
    : QAbstractTableModel(parent), m_rows(rows) {}

void EntryListModel::rowsReplaced() {
    beginResetModel();
    endResetModel();
}

int EntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int EntryListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kListColumnCount;
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const std::size_t column = static_cast<std::size_t>(index.column());
    if (role == Qt::DisplayRole) return qs(m_rows[static_cast<std::size_t>(index.row())][column]);
    if (role == Qt::TextAlignmentRole) {
        const bool centre = kListColumns[column].alignment == ColumnAlignment::Centre;
        return QVariant::fromValue(Qt::AlignVCenter | (centre ? Qt::AlignHCenter : Qt::AlignLeft));
    }
    return {};
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kListColumnCount) return {};
    const ListColumnInfo& info = kListColumns[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return qs(info.header);
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(
            Qt::AlignVCenter |
            (info.alignment == ColumnAlignment::Centre ? Qt::AlignHCenter : Qt::AlignLeft));
    }
    return {};
}

} // namespace lithora::gui
