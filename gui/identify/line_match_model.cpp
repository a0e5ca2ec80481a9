#include "identify/line_match_model.h"

#include "common/qt_support.h"
#include "identify/plot_colours.h"

namespace lithora::gui {

namespace {

const char* const kCaptions[] = {"Card d", "I", "Measured d", "Δd (Å)"};
static_assert(std::size(kCaptions) == LineMatchModel::ColumnCount);

QString cell(const LineMatchRow& row, int column) {
    switch (column) {
    case LineMatchModel::CardD:
        return qs(row.cardD);
    case LineMatchModel::Intensity:
        return qs(row.intensity);
    case LineMatchModel::MeasuredD:
        return qs(row.measuredD);
    case LineMatchModel::DeltaD:
        return qs(row.deltaD);
    default:
        return {};
    }
}

} // namespace

LineMatchModel::LineMatchModel(QObject* parent) : QAbstractTableModel(parent) {}

void LineMatchModel::setRows(std::vector<LineMatchRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int LineMatchModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int LineMatchModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LineMatchModel::data(const QModelIndex& index, int role) const {
    if (index.row() < 0 || static_cast<std::size_t>(index.row()) >= m_rows.size()) return {};
    const LineMatchRow& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return cell(row, index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        // A peak no line explains is grey all along; the words in the Δd column of a line take
        // the colour the line has in the plot.
        if (row.kind == LineKind::Unexplained) return plot_colours::kUnexplained.darker(120);
        if (index.column() != DeltaD) return {};
        switch (row.kind) {
        case LineKind::Matched:
            return {};
        case LineKind::Missed:
            return plot_colours::kMissed;
        case LineKind::BelowDetection:
            return plot_colours::kBelowDetection.darker(130);
        case LineKind::Unexplained:
            return plot_colours::kUnexplained.darker(120);
        }
        return {};
    default:
        return {};
    }
}

QVariant LineMatchModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromUtf8(kCaptions[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole) {
        const char* const tips[] = {"The line's d-spacing in Å, largest first",
                                    "The card line's intensity; for an unexplained peak, its "
                                    "measured intensity",
                                    "The measured peak's d-spacing in Å",
                                    "Measured d less the card's d, in Å"};
        return QString::fromUtf8(tips[section]);
    }
    return {};
}

} // namespace lithora::gui
