#include "compare/compare_model.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPixmap>

#include "common/qt_support.h"
#include "compare/compare_plot.h"

namespace lithora::gui {

namespace {

const QColor kDifferGround(255, 243, 205);
const QColor kSectionGround(232, 236, 242);

} // namespace

CompareModel::CompareModel(QObject* parent) : QAbstractTableModel(parent) {}

void CompareModel::setComparison(CardComparison comparison) {
    beginResetModel();
    m_comparison = std::move(comparison);
    rebuild();
    endResetModel();
}

void CompareModel::setOnlyDifferences(bool only) {
    if (only == m_onlyDifferences) return;
    beginResetModel();
    m_onlyDifferences = only;
    rebuild();
    endResetModel();
}

void CompareModel::rebuild() {
    m_shown.clear();
    std::string section;
    for (std::size_t i = 0; i < m_comparison.rows.size(); ++i) {
        const ComparisonRow& row = m_comparison.rows[i];
        if (m_onlyDifferences && !row.differ) continue;
        if (row.section != section) {
            section = row.section;
            m_shown.push_back({-1, section});
        }
        m_shown.push_back({static_cast<int>(i), row.section});
    }
}

const ComparisonRow* CompareModel::comparisonRow(int row) const {
    if (row < 0 || row >= static_cast<int>(m_shown.size())) return nullptr;
    const int r = m_shown[static_cast<std::size_t>(row)].row;
    return r < 0 ? nullptr : &m_comparison.rows[static_cast<std::size_t>(r)];
}

bool CompareModel::isSectionRow(int row) const {
    return row >= 0 && row < static_cast<int>(m_shown.size()) &&
           m_shown[static_cast<std::size_t>(row)].row < 0;
}

int CompareModel::cardOfColumn(int column) const {
    if (column < 0 || column >= static_cast<int>(m_comparison.cards.size())) return 0;
    return m_comparison.cards[static_cast<std::size_t>(column)].card;
}

int CompareModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
}

int CompareModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_comparison.cards.size());
}

QVariant CompareModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    if (isSectionRow(index.row())) {
        if (role == Qt::BackgroundRole) return QBrush(kSectionGround);
        return {};
    }
    const ComparisonRow* row = comparisonRow(index.row());
    const QString value = qs(row->values[static_cast<std::size_t>(index.column())]);
    switch (role) {
    case Qt::DisplayRole:
        return value;
    case Qt::ToolTipRole:
        return value.isEmpty() ? QVariant() : QVariant(value);
    case Qt::FontRole:
        if (row->differ) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
        return row->differ ? QVariant(QBrush(kDifferGround)) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags CompareModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // A section's row only heads its fields; selecting a card selects its values.
    if (isSectionRow(index.row())) return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QVariant CompareModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount()) return {};
        const ComparedCard& card = m_comparison.cards[static_cast<std::size_t>(section)];
        if (role == Qt::DisplayRole)
            return qs(card.name) + QStringLiteral("\nCard ") + QString::number(card.card);
        if (role == Qt::ToolTipRole)
            return QStringLiteral("Click to make %1 the current card").arg(qs(card.name));
        // The colour of the card's lane in the plot.
        if (role == Qt::DecorationRole) {
            QPixmap swatch(12, 12);
            swatch.fill(ComparePlot::cardColour(section));
            return swatch;
        }
        return {};
    }
    if (section < 0 || section >= rowCount()) return {};
    const Shown& shown = m_shown[static_cast<std::size_t>(section)];
    if (shown.row < 0) {
        if (role == Qt::DisplayRole) return qs(shown.section);
        if (role == Qt::FontRole) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    }
    const ComparisonRow& row = m_comparison.rows[static_cast<std::size_t>(shown.row)];
    if (role == Qt::DisplayRole) return qs(row.field);
    if (role == Qt::FontRole && row.differ) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role == Qt::ToolTipRole)
        return row.differ ? QStringLiteral("The cards differ here")
                          : QStringLiteral("The cards agree here");
    return {};
}

} // namespace lithora::gui
