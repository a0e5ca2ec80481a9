#include "card/near_miss_model.h"

#include "common/qt_support.h"

namespace lithora::gui {

namespace {

// The card number stands centred, clear of the criterion beside it.
const struct {
    const char* caption;
    Qt::Alignment alignment;
} kColumns[] = {
    {"Name", Qt::AlignLeft},
    {"Card", Qt::AlignHCenter},
    {"Criterion", Qt::AlignLeft},
    {"How far off", Qt::AlignLeft},
};
static_assert(std::size(kColumns) == NearMissModel::ColumnCount);

QString cell(const NearMiss& m, int column) {
    switch (column) {
    case NearMissModel::Name:
        return qs(m.name);
    case NearMissModel::Card:
        return QString::number(m.card);
    case NearMissModel::Criterion:
        return qs(m.label);
    case NearMissModel::HowFarOff:
        return qs(m.text);
    default:
        return {};
    }
}

Qt::Alignment alignment(int column) {
    return kColumns[column].alignment | Qt::AlignVCenter;
}

} // namespace

NearMissModel::NearMissModel(QObject* parent) : QAbstractTableModel(parent) {}

void NearMissModel::setMisses(std::vector<NearMiss> misses) {
    beginResetModel();
    m_misses = std::move(misses);
    endResetModel();
}

const NearMiss* NearMissModel::miss(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_misses.size()) return nullptr;
    return &m_misses[static_cast<std::size_t>(row)];
}

int NearMissModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_misses.size());
}

int NearMissModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant NearMissModel::data(const QModelIndex& index, int role) const {
    const NearMiss* m = miss(index.row());
    if (!m || index.column() < 0 || index.column() >= ColumnCount) return {};
    switch (role) {
    case Qt::DisplayRole:
        return cell(*m, index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignment(index.column()));
    case Qt::ToolTipRole:
        // The sentence may be wider than its column.
        return qs(m->name) + QStringLiteral(": ") + qs(m->text);
    default:
        return {};
    }
}

QVariant NearMissModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromLatin1(kColumns[section].caption);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(alignment(section));
    if (role == Qt::ToolTipRole && section == HowFarOff) {
        return QStringLiteral("What the entry has where the criterion asks for more, judged with "
                              "the tolerance of the search");
    }
    return {};
}

} // namespace lithora::gui
