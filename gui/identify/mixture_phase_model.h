#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "identify/mixture.h"

namespace lithora::gui {

// The phases of a mixture found in a profile, one row each, in the order found; cells are made
// when shown. A phase the user added has no certainty: it was not ranked.
class MixturePhaseModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Phase, Card, Amount, Certainty, Zero, Displacement, Lattice, ColumnCount };

    explicit MixturePhaseModel(QObject* parent = nullptr);

    // A new mixture: views start afresh.
    void setPhases(std::vector<MixturePhase> phases);
    const std::vector<MixturePhase>& phases() const { return m_phases; }
    // The phase of a row, or null.
    const MixturePhase* phase(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<MixturePhase> m_phases;
};

} // namespace lithora::gui
