#include "identify/pattern_plot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "common/qt_support.h"
#include "identify/identify_texts.h"
#include "identify/plot_colours.h"

namespace lithora::gui {

namespace {

using namespace plot_colours;

// A tick step of 1, 2 or 5 times a power of ten giving about `count` ticks over the span.
double niceStep(double span, int count) {
    const double raw = span / std::max(count, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (raw <= m * power) return m * power;
    }
    return 10.0 * power;
}

int decimalsOf(double step) {
    return step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
}

struct LegendItem {
    QString text;
    QColor colour;
    enum Kind { Stick, DashedStick, Band, Line } kind;
};

void drawLegendSymbol(QPainter& p, const QRect& box, const LegendItem& item) {
    const int x = box.center().x();
    switch (item.kind) {
    case LegendItem::Stick:
        p.setPen(QPen(item.colour, 2));
        p.drawLine(x, box.top() + 1, x, box.bottom() - 1);
        break;
    case LegendItem::DashedStick:
        p.setPen(QPen(item.colour, 1.5, Qt::DashLine));
        p.drawLine(x, box.top() + 5, x, box.bottom() - 1);
        p.setPen(QPen(item.colour, 1.5));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(x, box.top() + 3), 2.5, 2.5);
        break;
    case LegendItem::Band:
        p.fillRect(box.adjusted(1, 0, -1, 0), item.colour);
        break;
    case LegendItem::Line: {
        QPainterPath path;
        path.moveTo(box.left(), box.bottom() - 2);
        path.lineTo(box.center().x() - 2, box.bottom() - 3);
        path.lineTo(box.center().x(), box.top() + 1);
        path.lineTo(box.center().x() + 2, box.bottom() - 3);
        path.lineTo(box.right(), box.bottom() - 2);
        p.setPen(QPen(item.colour, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        break;
    }
    }
}

} // namespace

PatternPlot::PatternPlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("patternPlot"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PatternPlot::setMeasured(const MeasuredPattern& pattern, double wavelength,
                              const Profile* profile, const std::vector<double>& background) {
    m_pattern = pattern;
    m_wavelength = wavelength > 0.0 ? wavelength : kDefaultWavelength;
    m_profileX.clear();
    m_profileY.clear();
    m_profileScale = 0.0;
    clearCurves();
    m_candidate.reset();
    if (profile && profile->counts.size() == profile->twoTheta.size() &&
        background.size() == profile->counts.size()) {
        double highest = 0.0;
        for (std::size_t i = 0; i < profile->counts.size(); ++i)
            highest = std::max(highest, profile->counts[i] - background[i]);
        if (highest > 0.0) {
            m_profileScale = 100.0 / highest;
            m_profileX = profile->twoTheta;
            m_profileY.reserve(m_profileX.size());
            for (std::size_t i = 0; i < profile->counts.size(); ++i)
                m_profileY.push_back(
                    std::max(0.0, 100.0 * (profile->counts[i] - background[i]) / highest));
        }
    }
    update();
}

void PatternPlot::setCalculated(const std::vector<double>& twoTheta,
                                const std::vector<double>& net) {
    clearCurves();
    if (m_profileScale > 0.0 && twoTheta.size() == net.size()) {
        m_calculatedX = twoTheta;
        for (const double v : net)
            m_calculatedY.push_back(v * m_profileScale);
    }
    update();
}

void PatternPlot::clearCurves() {
    m_calculatedX.clear();
    m_calculatedY.clear();
    m_phaseY.clear();
    m_phaseNames.clear();
    m_selectedPhase = -1;
}

void PatternPlot::setPhases(const Mixture& mixture, int selected) {
    clearCurves();
    if (!(m_profileScale > 0.0) || mixture.twoTheta.size() != mixture.calculated.size()) {
        update();
        return;
    }
    m_calculatedX = mixture.twoTheta;
    for (const double v : mixture.calculated)
        m_calculatedY.push_back(v * m_profileScale);
    for (const MixturePhase& phase : mixture.phases) {
        std::vector<double> y;
        y.reserve(phase.calculated.size());
        for (const double v : phase.calculated)
            y.push_back(v * m_profileScale);
        y.resize(m_calculatedX.size(), 0.0);
        m_phaseY.push_back(std::move(y));
        m_phaseNames.push_back(qs(phase.candidate.name));
    }
    m_selectedPhase = selected;
    update();
}

void PatternPlot::setCandidate(const Candidate* candidate) {
    clearCurves();
    if (candidate) {
        m_candidate = *candidate;
    } else {
        m_candidate.reset();
    }
    update();
}

void PatternPlot::clear() {
    m_pattern = {};
    m_profileX.clear();
    m_profileY.clear();
    m_profileScale = 0.0;
    clearCurves();
    m_candidate.reset();
    update();
}

void PatternPlot::setAxis(Axis axis) {
    m_axis = axis;
    update();
}

std::optional<double> PatternPlot::position(double d) const {
    if (m_axis == Axis::D) return d;
    const double angle = twoThetaFromD(d, m_wavelength);
    if (!(angle > 0.0)) return std::nullopt;
    return angle;
}

PatternPlot::Range PatternPlot::range() const {
    double lo = 1e300, hi = -1e300;
    auto take = [&](double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    for (const Peak& peak : m_pattern.peaks) {
        if (const auto x = position(peak.d)) take(*x);
    }
    if (m_candidate) {
        for (const LineMatch& line : m_candidate->score.lines) {
            if (const auto x = position(line.cardD)) take(*x);
        }
    }
    // On the angle axis the measured range is the plot's, and a line beyond it widens it. On the
    // d axis the scan's low angles would stretch far into large d where no peak lies: there the
    // peaks and lines set the range, and the profile is cut to it.
    if (!m_profileX.empty() && m_axis == Axis::TwoTheta) {
        take(m_profileX.front());
        take(m_profileX.back());
        return {lo, hi};
    }
    if (lo > hi) return {};
    const double pad = std::max(0.05 * (hi - lo), m_axis == Axis::TwoTheta ? 1.0 : 0.05);
    lo -= pad;
    hi += pad;
    if (m_axis == Axis::TwoTheta) {
        lo = std::max(lo, 0.0);
        hi = std::min(hi, 180.0);
    } else {
        lo = std::max(lo, 0.0);
    }
    return {lo, hi};
}

double PatternPlot::measuredAt(double twoTheta) const {
    const auto after = std::lower_bound(m_profileX.begin(), m_profileX.end(), twoTheta);
    if (after == m_profileX.end()) return m_profileY.empty() ? 0.0 : m_profileY.back();
    const auto k = static_cast<std::size_t>(after - m_profileX.begin());
    if (k == 0 || m_profileX[k] == m_profileX[k - 1]) return m_profileY[k];
    const double t = (twoTheta - m_profileX[k - 1]) / (m_profileX[k] - m_profileX[k - 1]);
    return m_profileY[k - 1] + t * (m_profileY[k] - m_profileY[k - 1]);
}

double PatternPlot::peakHeight(std::size_t peak) const {
    const Peak& p = m_pattern.peaks[peak];
    const double given = m_pattern.intensitiesGiven ? p.intensity : 100.0;
    if (m_profileX.empty()) return given;
    const double angle = twoThetaFromD(p.d, m_wavelength);
    // A peak's top lies within a tenth of a degree of the position found for it.
    const auto from = std::lower_bound(m_profileX.begin(), m_profileX.end(), angle - 0.1);
    const auto to = std::upper_bound(m_profileX.begin(), m_profileX.end(), angle + 0.1);
    if (from == to) return given;
    const auto first = static_cast<std::size_t>(from - m_profileX.begin());
    const auto last = static_cast<std::size_t>(to - m_profileX.begin());
    return *std::max_element(m_profileY.begin() + static_cast<std::ptrdiff_t>(first),
                             m_profileY.begin() + static_cast<std::ptrdiff_t>(last));
}

void PatternPlot::drawPhaseLegend(QPainter& p, const QRect& corner) const {
    if (m_phaseNames.empty()) return;
    QFont bold = font();
    bold.setBold(true);
    // Measured in bold, which the selected phase's name is drawn in.
    const QFontMetrics fm(bold);
    const int sample = 16, gap = 5, pad = 4, rowHeight = fm.height();
    // A long name is cut short rather than let the legend cover the profile.
    std::vector<QString> names;
    int widest = 0;
    for (const QString& name : m_phaseNames) {
        names.push_back(fm.elidedText(name, Qt::ElideRight, std::max(corner.width() / 4, 40)));
        widest = std::max(widest, fm.horizontalAdvance(names.back()));
    }
    const int w = pad + sample + gap + widest + pad;
    const int h = pad + static_cast<int>(names.size()) * rowHeight + pad;
    const QRect box(corner.right() - w, corner.top(), w, h);
    p.fillRect(box, QColor(255, 255, 255, 225));
    p.setPen(QPen(kGrid.darker(110), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5));
    for (std::size_t k = 0; k < names.size(); ++k) {
        const int y = box.top() + pad + static_cast<int>(k) * rowHeight;
        const bool selected = static_cast<int>(k) == m_selectedPhase;
        p.setPen(QPen(phaseColour(k), selected ? 3.0 : 2.0));
        p.drawLine(QPointF(box.left() + pad, y + rowHeight / 2.0),
                   QPointF(box.left() + pad + sample, y + rowHeight / 2.0));
        p.setFont(selected ? bold : font());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(box.left() + pad + sample + gap, y, widest + pad, rowHeight),
                   Qt::AlignLeft | Qt::AlignVCenter, names[k]);
    }
    p.setFont(font());
}

void PatternPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(rect(), palette().color(QPalette::Window));
    const QFontMetrics fm(font());
    const int lineHeight = fm.height();

    // The legend flows over as many rows above the frame as the width asks for.
    std::vector<LegendItem> legend;
    if (hasProfile()) legend.push_back({QStringLiteral("Profile"), kProfile, LegendItem::Line});
    if (hasCalculated()) {
        legend.push_back(
            {hasPhases() ? QStringLiteral("Sum of phases") : QStringLiteral("Calculated"),
             kCalculated, LegendItem::Line});
        legend.push_back({QStringLiteral("Difference"), kDifference, LegendItem::Line});
    }
    // Among the phases, the selected phase's lines take its colour, to be found in the profile.
    const bool phaseLines = hasPhases() && m_selectedPhase >= 0;
    const QColor cardLine =
        phaseLines ? phaseColour(static_cast<std::size_t>(m_selectedPhase)) : kCardLine;
    const QColor missed = phaseLines ? cardLine : kMissed;
    legend.push_back({QStringLiteral("Explained"), kMeasured, LegendItem::Stick});
    legend.push_back({QStringLiteral("Unexplained"), kUnexplained, LegendItem::Stick});
    legend.push_back({QStringLiteral("Card line"), cardLine, LegendItem::Stick});
    legend.push_back({QStringLiteral("Missed"), missed, LegendItem::DashedStick});
    legend.push_back({QStringLiteral("Matched pair"), kMatchBand, LegendItem::Band});
    const int left = fm.horizontalAdvance(QStringLiteral("100")) + 14;
    const int right = 12;
    const int symbol = 12, gap = 5, spacing = 16;
    std::vector<QRect> legendBoxes;
    int lx = left, ly = 6;
    for (const LegendItem& item : legend) {
        const int w = symbol + gap + fm.horizontalAdvance(item.text);
        if (lx > left && lx + w > width() - right) {
            lx = left;
            ly += lineHeight + 2;
        }
        legendBoxes.emplace_back(lx, ly, w, lineHeight);
        lx += w + spacing;
    }
    const int top = ly + lineHeight + 8;
    const int bottom = 2 * lineHeight + 12;
    const QRect frame(left, top, std::max(width() - left - right, 10),
                      std::max(height() - top - bottom, 20));

    p.fillRect(frame, Qt::white);
    const int mid = frame.top() + frame.height() / 2;
    // Room above 100 for a peak's marker, and as much below for symmetry.
    const double half = frame.height() / 2.0 - 16.0;
    auto yUp = [&](double intensity) {
        return mid - std::clamp(intensity, 0.0, 104.0) / 100.0 * half;
    };
    auto yDown = [&](double intensity) {
        return mid + std::clamp(intensity, 0.0, 104.0) / 100.0 * half;
    };

    const Range r = range();
    const bool reversed = m_axis == Axis::D; // d falls to the right, as the angle rises
    const double span = std::max(r.hi - r.lo, 1e-9);
    auto xOf = [&](double v) {
        const double t = reversed ? (r.hi - v) / span : (v - r.lo) / span;
        return frame.left() + t * frame.width();
    };

    // Grid and ticks.
    const double step = niceStep(span, std::max(frame.width() / 45, 2));
    const int decimals = decimalsOf(step);
    p.setFont(font());
    for (double v = std::ceil(r.lo / step) * step; v <= r.hi + 1e-9; v += step) {
        const double x = xOf(v);
        p.setPen(QPen(kGrid, 1));
        p.drawLine(QPointF(x, frame.top() + 1), QPointF(x, frame.bottom()));
        p.setPen(QPen(palette().color(QPalette::WindowText), 1));
        p.drawLine(QPointF(x, frame.bottom()), QPointF(x, frame.bottom() + 4));
        const QString label = QString::number(v, 'f', decimals);
        const int w = fm.horizontalAdvance(label);
        p.drawText(QRectF(x - w / 2.0 - 2, frame.bottom() + 5, w + 4, lineHeight), Qt::AlignCenter,
                   label);
    }
    const QString axisTitle = m_axis == Axis::D
                                  ? QStringLiteral("d (Å)")
                                  : QStringLiteral("2θ (°), ") + qs(wavelengthLabel(m_wavelength));
    p.drawText(QRect(frame.left(), frame.bottom() + 5 + lineHeight, frame.width(), lineHeight + 2),
               Qt::AlignHCenter | Qt::AlignVCenter, axisTitle);
    for (const auto& [y, text] :
         {std::pair{yUp(100), QStringLiteral("100")}, std::pair{yUp(50), QStringLiteral("50")},
          std::pair{double(mid), QStringLiteral("0")}, std::pair{yDown(50), QStringLiteral("50")},
          std::pair{yDown(100), QStringLiteral("100")}}) {
        p.setPen(QPen(palette().color(QPalette::WindowText), 1));
        p.drawLine(QPointF(frame.left() - 4, y), QPointF(frame.left(), y));
        p.drawText(QRectF(0, y - lineHeight / 2.0, frame.left() - 6, lineHeight),
                   Qt::AlignRight | Qt::AlignVCenter, text);
    }

    p.save();
    p.setClipRect(frame.adjusted(1, 1, -1, -1));
    std::vector<bool> explained(m_pattern.peaks.size(), false);
    const Score* score = m_candidate ? &m_candidate->score : nullptr;
    if (score) {
        for (const LineMatch& line : score->lines) {
            if (line.peak >= 0 && static_cast<std::size_t>(line.peak) < explained.size())
                explained[static_cast<std::size_t>(line.peak)] = true;
        }
        // A pale band behind each matched pair, from the measured peak's top to the line's end.
        for (const LineMatch& line : score->lines) {
            if (line.peak >= 0 && static_cast<std::size_t>(line.peak) < m_pattern.peaks.size()) {
                const auto xc = position(line.cardD);
                const auto xm = position(m_pattern.peaks[static_cast<std::size_t>(line.peak)].d);
                if (!xc || !xm) continue;
                const double a = std::min(xOf(*xc), xOf(*xm)) - 4.0;
                const double b = std::max(xOf(*xc), xOf(*xm)) + 4.0;
                const double measured = peakHeight(static_cast<std::size_t>(line.peak));
                const double upper = yUp(measured) - (hasProfile() ? 13.0 : 4.0);
                const double lower = yDown(line.cardIntensity) + 4.0;
                p.fillRect(QRectF(a, upper, b - a, lower - upper), kMatchBand);
            }
        }
    }

    // A curve over angles: y(i) places the i-th point; on the d axis the angles become d.
    auto curve = [&](const std::vector<double>& angles, auto y, const QColor& colour,
                     double pen = 1.0) {
        QPainterPath path;
        bool started = false;
        for (std::size_t i = 0; i < angles.size(); ++i) {
            const double v =
                m_axis == Axis::TwoTheta ? angles[i] : dFromTwoTheta(angles[i], m_wavelength);
            if (!(v > 0.0)) continue;
            const QPointF point(xOf(v), y(i));
            if (!started) {
                path.moveTo(point);
                started = true;
            } else {
                path.lineTo(point);
            }
        }
        p.setPen(QPen(colour, pen));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    };
    if (hasProfile())
        curve(
            m_profileX, [&](std::size_t i) { return yUp(m_profileY[i]); }, kProfile);

    // The candidate's calculated profile (or the phases' sum) over the measured one, and
    // measured less calculated about a line near the foot of the plot, on the same scale.
    if (hasProfile() && hasCalculated()) {
        curve(
            m_calculatedX, [&](std::size_t i) { return yUp(m_calculatedY[i]); }, kCalculated);
        const double zero = yDown(80.0);
        curve(
            m_calculatedX,
            [&](std::size_t i) {
                const double difference = measuredAt(m_calculatedX[i]) - m_calculatedY[i];
                return std::clamp(zero - difference / 100.0 * half, double(frame.top()),
                                  double(frame.bottom()));
            },
            kDifference);
    }
    // Each phase's share over the sum: where one phase alone makes a peak, the peak takes its
    // colour, and the sum shows where phases overlap. The selected phase is drawn heavier.
    for (std::size_t k = 0; hasProfile() && k < m_phaseY.size(); ++k) {
        const bool selected = static_cast<int>(k) == m_selectedPhase;
        curve(
            m_calculatedX, [&](std::size_t i) { return yUp(m_phaseY[k][i]); }, phaseColour(k),
            selected ? 2.0 : 1.4);
    }

    // Measured peaks: sticks, or with a profile a marker above the profile's top at the peak.
    for (std::size_t i = 0; i < m_pattern.peaks.size(); ++i) {
        const auto x = position(m_pattern.peaks[i].d);
        if (!x) continue;
        const QColor colour = !score || explained[i] ? kMeasured : kUnexplained;
        const double px = xOf(*x);
        const double intensity = peakHeight(i);
        if (hasProfile()) {
            const double tip = yUp(intensity) - 5.0;
            QPainterPath marker;
            marker.moveTo(px, tip + 1);
            marker.lineTo(px - 4, tip - 6);
            marker.lineTo(px + 4, tip - 6);
            marker.closeSubpath();
            p.setPen(QPen(colour, 1.2));
            p.setBrush(!score || explained[i] ? QBrush(colour) : QBrush(Qt::white));
            p.drawPath(marker);
        } else {
            p.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(QPointF(px, mid), QPointF(px, yUp(intensity)));
        }
    }

    // The card's lines downward.
    if (score) {
        for (const LineMatch& line : score->lines) {
            const auto x = position(line.cardD);
            if (!x) continue;
            const double px = xOf(*x);
            const double end = yDown(line.cardIntensity);
            if (line.peak >= 0) {
                p.setPen(QPen(cardLine, 2.0, Qt::SolidLine, Qt::FlatCap));
                p.drawLine(QPointF(px, mid), QPointF(px, end));
            } else {
                const QColor colour = line.belowDetection ? kBelowDetection : missed;
                p.setPen(QPen(colour, 1.5, Qt::DashLine, Qt::FlatCap));
                p.drawLine(QPointF(px, mid), QPointF(px, end - 3.5));
                p.setPen(QPen(colour, 1.5));
                p.setBrush(Qt::white);
                p.drawEllipse(QPointF(px, end), 3.0, 3.0);
            }
        }
    }
    p.restore();

    p.setPen(QPen(palette().color(QPalette::WindowText), 1));
    p.drawLine(QPointF(frame.left(), mid), QPointF(frame.right(), mid));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.drawRect(QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5));

    // What each half shows, in its top or bottom left corner.
    // On a veil of white, so that a stick passing under a caption leaves it readable.
    const QRect corner = frame.adjusted(8, 4, -8, -4);
    auto caption = [&](Qt::Alignment alignment, const QString& text) {
        const QRect box = p.boundingRect(corner, alignment, text).adjusted(-3, 0, 3, 0);
        p.fillRect(box, QColor(255, 255, 255, 215));
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(corner, alignment, text);
    };
    if (hasMeasured()) {
        caption(Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Measured"));
        drawPhaseLegend(p, corner);
        caption(Qt::AlignLeft | Qt::AlignBottom,
                m_candidate ? qs(m_candidate->name) + QStringLiteral(" (") +
                                  QString::number(m_candidate->card) + QStringLiteral(")")
                            : QStringLiteral("Select a candidate to compare its lines"));
    } else {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(frame, Qt::AlignCenter,
                   QStringLiteral("Type peaks or open a pattern file, then Identify"));
    }

    p.setPen(palette().color(QPalette::WindowText));
    for (std::size_t k = 0; k < legend.size(); ++k) {
        const QRect box = legendBoxes[k];
        drawLegendSymbol(p, QRect(box.left(), box.top() + 1, symbol, box.height() - 2), legend[k]);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(
            QRect(box.left() + symbol + gap, box.top(), box.width() - symbol - gap, box.height()),
            Qt::AlignLeft | Qt::AlignVCenter, legend[k].text);
    }
}

} // namespace lithora::gui
