#include "identify/candidate_model.h"

#include "common/qt_support.h"
#include "identify/identify_texts.h"

namespace lithora::gui {

namespace {

const struct {
    const char* caption;
    bool number; // right-aligned
} kColumns[] = {
    {"Rank", true}, {"Name", false}, {"Formula", false}, {"Card#", true},
    {"FOM", true},  {"Lines", true}, {"Shift", true},
};
static_assert(std::size(kColumns) == CandidateModel::ColumnCount);

QString cell(const Candidate& c, int column) {
    switch (column) {
    case CandidateModel::Rank:
        return QString::number(c.rank);
    case CandidateModel::Name:
        return qs(c.name);
    case CandidateModel::Formula:
        return qs(c.formula);
    case CandidateModel::Card:
        return QString::number(c.card);
    case CandidateModel::FigureOfMerit:
        return qs(figureOfMeritText(c.score.figureOfMerit));
    case CandidateModel::Lines:
        return qs(linesText(c.score));
    case CandidateModel::Shift:
        return qs(shiftText(c.score.shift));
    default:
        return {};
    }
}

} // namespace

CandidateModel::CandidateModel(QObject* parent) : QAbstractTableModel(parent) {}

void CandidateModel::setCandidates(std::vector<Candidate> candidates) {
    beginResetModel();
    m_candidates = std::move(candidates);
    endResetModel();
}

const Candidate* CandidateModel::candidate(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_candidates.size()) return nullptr;
    return &m_candidates[static_cast<std::size_t>(row)];
}

int CandidateModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_candidates.size());
}

int CandidateModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CandidateModel::data(const QModelIndex& index, int role) const {
    const Candidate* c = candidate(index.row());
    if (!c || index.column() < 0 || index.column() >= ColumnCount) return {};
    switch (role) {
    case Qt::DisplayRole:
        return cell(*c, index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(kColumns[index.column()].number
                                       ? Qt::AlignRight | Qt::AlignVCenter
                                       : Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        return qs(scoreExplanation(c->score));
    default:
        return {};
    }
}

QVariant CandidateModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromUtf8(kColumns[section].caption);
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(kColumns[section].number ? Qt::AlignRight | Qt::AlignVCenter
                                                            : Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role == Qt::ToolTipRole && section == FigureOfMerit) {
        return QStringLiteral("Figure of merit, 0 to 100: how well the card's lines explain the "
                              "measured peaks");
    }
    return {};
}

} // namespace lithora::gui
