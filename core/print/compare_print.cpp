#include "print/compare_print.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lithora {

std::vector<double> axisTicks(double low, double high, int wanted) {
    std::vector<double> ticks;
    if (!(high > low) || !std::isfinite(low) || !std::isfinite(high) || wanted < 1) return ticks;
    const double raw = (high - low) / wanted;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (const double f : {1.0, 2.0, 5.0, 10.0}) {
        step = f * power;
        if (step >= raw) break;
    }
    for (double t = std::ceil(low / step) * step; t <= high + step * 1e-9; t += step) {
        ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
        if (ticks.size() > 100) break;
    }
    return ticks;
}

namespace {

std::string tickText(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

class ComparisonWriter {
  public:
    ComparisonWriter(const TextMeasurer& measurer, double pageWidth, double pageHeight,
                     std::size_t columns)
        : m_measurer(measurer), m_pageHeight(pageHeight) {
        m_page.width = pageWidth;
        m_margin = pageWidth / 20;
        const double content = pageWidth - 2 * m_margin;
        PrintFont bold;
        bold.bold = true;
        m_gap = measurer.width("--", PrintFont{});
        m_labelWidth = std::min(content * 0.22, measurer.width("Crystallography", bold) + m_gap);
        m_columnWidth =
            (content - m_labelWidth) / static_cast<double>(std::max<std::size_t>(1, columns));
    }

    double margin() const { return m_margin; }
    double y() const { return m_y; }
    double valueX(std::size_t column) const {
        return m_margin + m_labelWidth + static_cast<double>(column) * m_columnWidth;
    }
    double plotLeft() const { return valueX(0); }
    double plotRight() const { return m_page.width - m_margin; }
    double lineHeight(const PrintFont& font) const { return m_measurer.lineHeight(font); }
    double width(std::string_view text, const PrintFont& font) const {
        return m_measurer.width(text, font);
    }

    std::vector<std::string> wrap(std::string_view text, double width,
                                  const PrintFont& font) const {
        return wrapText(text, width,
                        [this, &font](std::string_view t) { return m_measurer.width(t, font); });
    }

    // Moves to the top of the next page when a block of this height would cross a page break.
    void keepTogether(double height) {
        if (m_pageHeight <= 0 || height >= m_pageHeight) return;
        const double page = std::floor(m_y / m_pageHeight);
        if (std::floor((m_y + height) / m_pageHeight) != page) m_y = (page + 1) * m_pageHeight;
    }

    void text(double x, double y, std::string_view text, const PrintFont& font) {
        if (!text.empty())
            m_page.items.push_back({PrintItem::Kind::Text, x, y, 0, std::string(text), font, 0});
    }
    void line(double x, double y, double x2, double y2) {
        m_page.items.push_back({PrintItem::Kind::Line, x, y, x2, {}, PrintFont{}, y2});
    }
    void rule() {
        m_page.items.push_back(
            {PrintItem::Kind::Rule, m_margin, m_y, m_page.width - m_margin, {}, PrintFont{}, m_y});
        m_page.bottom = m_y;
    }

    // One row of the table: the caption in the label column, the values in theirs, each
    // wrapped to its column; the row is as tall as its tallest cell.
    void row(std::string_view caption, const std::vector<std::string>& values,
             const PrintFont& font, const PrintFont& captionFont) {
        std::vector<std::vector<std::string>> cells;
        std::size_t tallest = 1;
        cells.push_back(wrap(caption, m_labelWidth - m_gap, captionFont));
        for (const std::string& v : values) {
            cells.push_back(wrap(v, m_columnWidth - m_gap, font));
            tallest = std::max(tallest, cells.back().size());
        }
        tallest = std::max(tallest, cells.front().size());
        const double height = static_cast<double>(tallest) * lineHeight(font);
        keepTogether(height);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const double x = c == 0 ? m_margin : valueX(c - 1);
            const PrintFont& f = c == 0 ? captionFont : font;
            for (std::size_t k = 0; k < cells[c].size(); ++k)
                text(x, m_y + static_cast<double>(k) * lineHeight(font), cells[c][k], f);
        }
        m_y += height;
    }

    void skip(double height) { m_y += height; }

    PrintPage finish() {
        m_page.bottom = std::max(m_page.bottom, m_y);
        return std::move(m_page);
    }

  private:
    const TextMeasurer& m_measurer;
    double m_pageHeight;
    PrintPage m_page;
    double m_margin = 0;
    double m_gap = 0;
    double m_labelWidth = 0;
    double m_columnWidth = 0;
    double m_y = 0;
};

void layoutLines(ComparisonWriter& w, const CardComparison& comparison) {
    const auto [low, high] = comparisonDRange(comparison);
    if (!(high > low)) return;
    const PrintFont font;
    PrintFont bold;
    bold.bold = true;
    const double lh = w.lineHeight(font);
    const double lane = 3.5 * lh;
    const double left = w.plotLeft();
    const double right = w.plotRight();
    // d falls to the right, as the diffraction angle rises.
    auto xOf = [&](double d) { return left + (high - d) / (high - low) * (right - left); };
    const double height = lh * 2.5 + lane * static_cast<double>(comparison.cards.size()) + lh * 4;
    w.keepTogether(height);
    w.skip(lh);
    w.text(w.margin(), w.y(), "Diffraction lines", bold);
    w.skip(lh * 1.5);
    // The d values that two or more cards share are marked above the first card's lane.
    for (const LineOverlap& overlap : overlappingLines(comparison))
        w.line(xOf(overlap.d), w.y() - lh * 0.2, xOf(overlap.d), w.y() + lh * 0.5);
    for (const ComparedCard& card : comparison.cards) {
        const double base = w.y() + lane;
        const std::vector<std::string> name = w.wrap(card.name, left - w.margin(), font);
        w.text(w.margin(), base - lh, name.empty() ? std::string() : name.front(), font);
        w.line(left, base, right, base);
        for (const DiffractionLine& line : card.lines) {
            const double share = line.intensity > 0 ? std::min(line.intensity, 100.0) / 100 : 0.3;
            w.line(xOf(line.d), base, xOf(line.d), base - (lane - lh * 0.8) * share);
        }
        w.skip(lane);
    }
    const double axis = w.y() + lh * 0.3;
    w.line(left, axis, right, axis);
    for (const double t : axisTicks(low, high, 8)) {
        w.line(xOf(t), axis, xOf(t), axis + lh * 0.3);
        const std::string label = tickText(t);
        w.text(xOf(t) - w.width(label, font) / 2, axis + lh * 0.4, label, font);
    }
    w.skip(lh * 1.6);
    w.text((left + right - w.width("d (Å)", font)) / 2, w.y(), "d (Å)", font);
    w.skip(lh * 1.2);
}

} // namespace

PrintPage layoutComparisonPage(const CardComparison& comparison, double pageWidth,
                               double pageHeight, const TextMeasurer& measurer) {
    ComparisonWriter w(measurer, pageWidth, pageHeight, comparison.cards.size());
    PrintFont font;
    PrintFont bold;
    bold.bold = true;
    PrintFont title = bold;
    title.points *= 1.6;
    PrintFont note;
    note.italic = true;

    w.skip(w.margin() / 2);
    w.text(w.margin(), w.y(), kComparisonTitle, title);
    w.skip(w.lineHeight(title));
    w.text(w.margin(), w.y(), kComparisonLegend, note);
    w.skip(w.lineHeight(note) * 1.5);

    std::vector<std::string> names;
    std::vector<std::string> numbers;
    for (const ComparedCard& card : comparison.cards) {
        names.push_back(card.name);
        numbers.push_back("Card " + std::to_string(card.card));
    }
    w.row("", names, bold, bold);
    w.row("", numbers, font, font);
    w.skip(w.lineHeight(font) * 0.3);
    w.rule();
    w.skip(w.lineHeight(font) * 0.3);

    std::string section;
    for (const ComparisonRow& row : comparison.rows) {
        if (row.section != section) {
            section = row.section;
            // A section's caption stays with its first row.
            w.keepTogether(w.lineHeight(bold) * 2.4);
            w.skip(w.lineHeight(font) * 0.4);
            w.text(w.margin(), w.y(), section, bold);
            w.skip(w.lineHeight(bold));
        }
        PrintFont caption = note;
        caption.bold = row.differ;
        w.row(row.field, row.values, row.differ ? bold : font, caption);
    }
    w.skip(w.lineHeight(font) * 0.3);
    w.rule();
    layoutLines(w, comparison);
    return w.finish();
}

} // namespace lithora
