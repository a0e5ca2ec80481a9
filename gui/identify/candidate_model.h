#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "identify/ranking.h"

namespace lithora::gui {

// The ranked candidates of an identification, one row each; cells are made when shown.
class CandidateModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        Rank,
        Name,
        Formula,
        Card,
        Probability,
        Score,
        ProfileR,
        Lines,
        Zero,
        Displacement,
        Lattice,
        ColumnCount
    };

    explicit CandidateModel(QObject* parent = nullptr);

    // A new ranking: views start afresh.
    void setCandidates(std::vector<Candidate> candidates);
    const std::vector<Candidate>& candidates() const { return m_candidates; }
    // The candidate of a row, or null.
    const Candidate* candidate(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<Candidate> m_candidates;
};

} // namespace lithora::gui
