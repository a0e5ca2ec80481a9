#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "list/entry_list.h"

namespace lithora::gui {

// One model over the core's list rows: cells are turned into Qt text only when shown.
class EntryListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit EntryListModel(const std::vector<ListRow>& rows, QObject* parent = nullptr);

    // The rows have been replaced; views start afresh.
    void rowsReplaced();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const std::vector<ListRow>& m_rows;
};

} // namespace lithora::gui
