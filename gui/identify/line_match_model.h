#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "identify/identify_texts.h"

namespace lithora::gui {

// The selected candidate's lines against the measured peaks: a row per card line, then a row per
// measured peak the card leaves unexplained.
class LineMatchModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { CardD, Intensity, MeasuredD, DeltaD, ColumnCount };

    explicit LineMatchModel(QObject* parent = nullptr);

    void setRows(std::vector<LineMatchRow> rows);
    const std::vector<LineMatchRow>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<LineMatchRow> m_rows;
};

} // namespace lithora::gui
