#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "compare/card_compare.h"

namespace lithora::gui {

// A comparison as a table: the cards as columns, the fields as rows, each section led by a row
// of its own. The values that differ between the cards are bold on a tinted ground.
class CompareModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit CompareModel(QObject* parent = nullptr);

    void setComparison(CardComparison comparison);
    const CardComparison& comparison() const { return m_comparison; }
    // Only the rows where the cards differ (and their sections' rows).
    void setOnlyDifferences(bool only);
    bool onlyDifferences() const { return m_onlyDifferences; }

    // The comparison row a table row shows, or null for a section's row.
    const ComparisonRow* comparisonRow(int row) const;
    bool isSectionRow(int row) const;
    // The card number of a column, or 0.
    int cardOfColumn(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    struct Shown {
        int row = -1; // into m_comparison.rows, or -1 for a section's row
        std::string section;
    };
    void rebuild();

    CardComparison m_comparison;
    std::vector<Shown> m_shown;
    bool m_onlyDifferences = false;
};

} // namespace lithora::gui
