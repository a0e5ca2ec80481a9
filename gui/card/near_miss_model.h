#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "search/near_miss.h"

namespace lithora::gui {

// The near misses of a card-form search, one row each in the order given (closest first).
class NearMissModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Name, Card, Criterion, HowFarOff, ColumnCount };

    explicit NearMissModel(QObject* parent = nullptr);

    // A new list: views start afresh.
    void setMisses(std::vector<NearMiss> misses);
    const std::vector<NearMiss>& misses() const { return m_misses; }
    // The near miss of a row, or null.
    const NearMiss* miss(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<NearMiss> m_misses;
};

} // namespace lithora::gui
