#include "compare/compare_plot.h"

#include <QMouseEvent>
#include <QPainter>
#include <array>
#include <cmath>

#include "common/qt_support.h"
#include "print/compare_print.h"

namespace lithora::gui {

namespace {

// A palette that stays distinct for the common kinds of colour blindness.
const std::array<QColor, 6> kCardColours = {QColor(0, 114, 178), QColor(213, 94, 0),
                                            QColor(0, 158, 115), QColor(204, 121, 167),
                                            QColor(230, 159, 0), QColor(86, 180, 233)};
const QColor kShared(236, 236, 236);
const QColor kSelectedLane(246, 248, 252);

} // namespace

ComparePlot::ComparePlot(QWidget* parent) : QWidget(parent) {
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setToolTip(QStringLiteral("The cards' diffraction lines on one d axis; grey bands mark d "
                              "values that two or more cards share. Click a lane to make its "
                              "card current."));
}

QColor ComparePlot::cardColour(int column) {
    return kCardColours[static_cast<std::size_t>(std::abs(column)) % kCardColours.size()];
}

void ComparePlot::setComparison(const CardComparison& comparison) {
    m_comparison = comparison;
    m_overlaps = overlappingLines(m_comparison);
    if (m_selected >= static_cast<int>(m_comparison.cards.size())) m_selected = -1;
    update();
}

void ComparePlot::setSelectedCard(int column) {
    m_selected = column;
    update();
}

QSize ComparePlot::sizeHint() const {
    const int lanes = std::max<int>(2, static_cast<int>(m_comparison.cards.size()));
    return {640, fontMetrics().height() * (3 * lanes + 4)};
}

QSize ComparePlot::minimumSizeHint() const {
    return {320, fontMetrics().height() * 8};
}

QRect ComparePlot::plotFrame() const {
    const QFontMetrics fm = fontMetrics();
    int names = fm.horizontalAdvance(QStringLiteral("Card 0000"));
    for (const ComparedCard& card : m_comparison.cards)
        names = std::max(names, fm.horizontalAdvance(qs(card.name)));
    const int left = std::min(names + 16, width() / 3);
    const int bottom = fm.height() * 2 + 10;
    return {left, 8, std::max(10, width() - left - 16), std::max(10, height() - bottom - 8)};
}

int ComparePlot::laneAt(int y) const {
    const QRect frame = plotFrame();
    const int lanes = static_cast<int>(m_comparison.cards.size());
    if (lanes == 0 || y < frame.top() || y > frame.bottom()) return -1;
    return std::min(lanes - 1, (y - frame.top()) * lanes / std::max(1, frame.height()));
}

void ComparePlot::mousePressEvent(QMouseEvent* event) {
    const int lane = laneAt(static_cast<int>(event->position().y()));
    if (event->button() == Qt::LeftButton && lane >= 0) emit cardClicked(lane);
    QWidget::mousePressEvent(event);
}

void ComparePlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetrics fm = fontMetrics();
    const QRect frame = plotFrame();
    const auto [low, high] = comparisonDRange(m_comparison);
    const int lanes = static_cast<int>(m_comparison.cards.size());
    if (lanes == 0 || !(high > low)) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("No diffraction lines to show"));
        return;
    }
    auto xOf = [&](double d) { return frame.left() + (high - d) / (high - low) * frame.width(); };
    const double laneHeight = static_cast<double>(frame.height()) / lanes;

    if (m_selected >= 0 && m_selected < lanes) {
        p.fillRect(QRectF(0, frame.top() + m_selected * laneHeight, width(), laneHeight),
                   kSelectedLane);
    }
    // The shared d values, banded across every lane, under the lines.
    for (const LineOverlap& overlap : m_overlaps) {
        const double x = xOf(overlap.d);
        p.fillRect(QRectF(x - 3, frame.top(), 7, frame.height()), kShared);
    }
    // The axis and its ticks.
    p.setPen(palette().color(QPalette::Text));
    p.drawLine(frame.bottomLeft(), frame.bottomRight());
    for (const double t : axisTicks(low, high, std::max(3, frame.width() / 70))) {
        const double x = xOf(t);
        p.drawLine(QPointF(x, frame.bottom()), QPointF(x, frame.bottom() + 4));
        const QString label = QString::number(t, 'g', 4);
        p.drawText(QRectF(x - 30, frame.bottom() + 5, 60, fm.height()), Qt::AlignHCenter, label);
    }
    p.drawText(QRect(frame.left(), frame.bottom() + 5 + fm.height(), frame.width(), fm.height()),
               Qt::AlignHCenter, QStringLiteral("d (Å)"));

    for (int c = 0; c < lanes; ++c) {
        const ComparedCard& card = m_comparison.cards[static_cast<std::size_t>(c)];
        const double base = frame.top() + (c + 1) * laneHeight - 2;
        const QColor colour = cardColour(c);
        QFont nameFont = font();
        nameFont.setBold(c == m_selected);
        p.setFont(nameFont);
        p.setPen(colour.darker(130));
        p.drawText(QRectF(4, base - laneHeight + 2, frame.left() - 10, laneHeight - 2),
                   Qt::AlignRight | Qt::AlignVCenter,
                   fm.elidedText(qs(card.name), Qt::ElideRight, frame.left() - 10));
        p.setPen(QPen(palette().color(QPalette::Mid), 0));
        p.drawLine(QPointF(frame.left(), base), QPointF(frame.right(), base));
        p.setPen(QPen(colour, c == m_selected ? 3 : 2));
        for (const DiffractionLine& line : card.lines) {
            const double share = line.intensity > 0 ? std::min(line.intensity, 100.0) / 100.0 : 0.3;
            const double x = xOf(line.d);
            p.drawLine(QPointF(x, base), QPointF(x, base - (laneHeight - 6) * share));
        }
    }
    p.setFont(font());
}

} // namespace lithora::gui
