#include "identify/candidate_model.h"

#include "common/qt_support.h"
#include "identify/identify_texts.h"

namespace lithora::gui {

namespace {

const struct {
    const char* caption;
    bool number;         // right-aligned
    const char* tooltip; // the header's, or null
} kColumns[] = {
    {"Rank", true, nullptr},
    {"Name", false, nullptr},
    {"Formula", false, nullptr},
    {"Card#", true, nullptr},
    {"P", true, "The probability that this candidate (or its group) is the phase"},
    {"Score", true,
     "What the ranking orders by, 0 to 100: the peak match's figure of merit times the "
     "profile's agreement"},
    {"Rwp", true,
     "Weighted profile R of the candidate's calculated profile against the measured one "
     "(lower is better); compared for the best candidates of a pattern file"},
    {"Lines", true, "The candidate's lines found among those that should be seen in the range"},
    {"Zero", true, "The fitted zero shift, degrees 2θ"},
    {"Displ.", true, "The fitted specimen displacement, mm at a 240 mm goniometer radius"},
    {"Lattice", true, "The fitted lattice scale: the same Δd/d for every line"},
};
static_assert(std::size(kColumns) == CandidateModel::ColumnCount);

QString cell(const std::vector<Candidate>& ranked, std::size_t row, int column) {
    const Candidate& c = ranked[row];
    switch (column) {
    case CandidateModel::Rank:
        return QString::number(c.rank);
    case CandidateModel::Name:
        return qs(candidateNameText(ranked, row));
    case CandidateModel::Formula:
        return qs(c.formula);
    case CandidateModel::Card:
        return QString::number(c.card);
    case CandidateModel::Probability:
        return qs(probabilityText(c.probability));
    case CandidateModel::Score:
        return qs(figureOfMeritText(c.finalScore));
    case CandidateModel::ProfileR:
        return qs(profileRText(c.profileR));
    case CandidateModel::Lines:
        return qs(linesText(c.score));
    case CandidateModel::Zero:
        return qs(zeroText(c.score.fit));
    case CandidateModel::Displacement:
        return qs(displacementText(c.score.fit));
    case CandidateModel::Lattice:
        return qs(shiftText(c.score.fit.lattice));
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
        return cell(m_candidates, static_cast<std::size_t>(index.row()), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(kColumns[index.column()].number
                                       ? Qt::AlignRight | Qt::AlignVCenter
                                       : Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        return qs(candidateExplanation(*c));
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
    if (role == Qt::ToolTipRole && kColumns[section].tooltip)
        return QString::fromUtf8(kColumns[section].tooltip);
    return {};
}

} // namespace lithora::gui
