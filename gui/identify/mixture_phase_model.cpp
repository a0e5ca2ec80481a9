#include "identify/mixture_phase_model.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "common/qt_support.h"
#include "identify/identify_texts.h"
#include "identify/plot_colours.h"

namespace lithora::gui {

namespace {

static_assert(plot_colours::kPhases.size() >= kMostPhases, "every phase needs its own colour");

const struct {
    const char* caption;
    bool number;         // right-aligned
    const char* tooltip; // the header's, or null
} kColumns[] = {
    {"Phase", false,
     "The phases in the order they were found; the colour is the phase's in the plot"},
    {"Card#", true, nullptr},
    {"wt %", true,
     "Weight per cent of the crystalline phases with its standard uncertainty, from the "
     "phase's scale and its reference intensity ratio I/Ic; – when the card has no I/Ic"},
    {"Certainty", true,
     "The probability that this is the phase when what the other phases leave of the profile "
     "is ranked; – for a phase you added"},
    {"Zero", true, "The fitted zero shift, degrees 2θ"},
    {"Displ.", true, "The fitted specimen displacement, mm at a 240 mm goniometer radius"},
    {"Lattice", true, "The fitted lattice scale: the same Δd/d for every line"},
};
static_assert(std::size(kColumns) == MixturePhaseModel::ColumnCount);

QString cardLabel(const Candidate& c) {
    return qs(c.name) + QStringLiteral(" (") + QString::number(c.card) + QLatin1Char(')');
}

// The phase's colour as in the plot, also in a selected row, which would otherwise tint it.
QIcon swatch(const QColor& colour) {
    QPixmap picture(12, 12);
    picture.fill(Qt::transparent);
    QPainter(&picture).fillRect(QRect(1, 1, 10, 10), colour);
    QIcon icon(picture);
    icon.addPixmap(picture, QIcon::Selected);
    return icon;
}

} // namespace

MixturePhaseModel::MixturePhaseModel(QObject* parent) : QAbstractTableModel(parent) {}

void MixturePhaseModel::setPhases(std::vector<MixturePhase> phases) {
    beginResetModel();
    m_phases = std::move(phases);
    endResetModel();
}

const MixturePhase* MixturePhaseModel::phase(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_phases.size()) return nullptr;
    return &m_phases[static_cast<std::size_t>(row)];
}

int MixturePhaseModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_phases.size());
}

int MixturePhaseModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MixturePhaseModel::data(const QModelIndex& index, int role) const {
    const MixturePhase* p = phase(index.row());
    if (!p || index.column() < 0 || index.column() >= ColumnCount) return {};
    const Candidate& c = p->candidate;
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Phase:
            return qs(c.name);
        case Card:
            return QString::number(c.card);
        case Amount:
            return qs(amountText(p->weightPercent, p->weightSigma));
        case Certainty:
            return qs(probabilityText(c.probability));
        case Zero:
            return qs(zeroText(c.score.fit));
        case Displacement:
            return qs(displacementText(c.score.fit));
        case Lattice:
            return qs(shiftText(c.score.fit.lattice));
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() != Phase) return {};
        return swatch(plot_colours::phaseColour(static_cast<std::size_t>(index.row())));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(kColumns[index.column()].number
                                       ? Qt::AlignRight | Qt::AlignVCenter
                                       : Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole: {
        QStringList lines{cardLabel(c) + QStringLiteral(", ") + qs(c.formula)};
        lines << (p->iic ? QStringLiteral("I/Ic %1; ").arg(*p->iic, 0, 'f', 2) +
                               (p->weightPercent >= 0.0
                                    ? qs(amountText(p->weightPercent, p->weightSigma)) +
                                          QStringLiteral(" wt % of the crystalline phases")
                                    : QStringLiteral("no amount"))
                         : QStringLiteral("The card has no I/Ic: no amount"));
        if (p->widthFactor > 0.0)
            lines << QStringLiteral("Peaks %1 × the scan's width").arg(p->widthFactor, 0, 'f', 1);
        lines << qs(fitText(c.score.fit));
        if (!p->alternatives.empty()) {
            QStringList names;
            for (const Candidate& a : p->alternatives)
                names << cardLabel(a);
            lines << QStringLiteral("The data cannot tell it from ") +
                         names.join(QStringLiteral(", "));
        }
        return lines.join(QLatin1Char('\n'));
    }
    default:
        return {};
    }
}

QVariant MixturePhaseModel::headerData(int section, Qt::Orientation orientation, int role) const {
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
