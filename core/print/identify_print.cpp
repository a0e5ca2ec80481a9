#include "print/identify_print.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "print/compare_print.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

std::vector<std::size_t> plotIndexes(std::span<const double> y, std::size_t maxPoints) {
    const std::size_t n = y.size();
    std::vector<std::size_t> out;
    if (n <= maxPoints) {
        for (std::size_t i = 0; i < n; ++i)
            out.push_back(i);
        return out;
    }
    if (maxPoints == 0) return out;
    out.push_back(0);
    const std::size_t bins = maxPoints >= 4 ? (maxPoints - 2) / 2 : 0;
    const std::size_t inner = n - 2;
    for (std::size_t b = 0; b < bins; ++b) {
        const std::size_t from = 1 + b * inner / bins;
        const std::size_t to = 1 + (b + 1) * inner / bins;
        if (from >= to) continue;
        std::size_t low = from, high = from;
        for (std::size_t i = from; i < to; ++i) {
            // A point that is no number is never the one kept over one that is.
            if (y[i] < y[low] || !std::isfinite(y[low])) low = i;
            if (y[i] > y[high] || !std::isfinite(y[high])) high = i;
        }
        out.push_back(std::min(low, high));
        if (low != high) out.push_back(std::max(low, high));
    }
    if (maxPoints >= 2) out.push_back(n - 1);
    return out;
}

namespace {

std::string fixedText(double value, int decimals) {
    return formatNumber(value, decimals, decimals, '.');
}

// Tick labels in the C locale's form whatever the program's locale: "2000", "1e+06".
std::string tickLabel(double value) {
    char buffer[32];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 5);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

constexpr PrintFont kBody{};
constexpr PrintFont kBold{kBody.points, true, false};
constexpr PrintFont kNote{kBody.points, false, true};
constexpr PrintFont kSmall{kBody.points * 0.85, false, false};
constexpr PrintFont kTitle{kBody.points * 1.6, true, false};

// Pages filled from the top; a block that would reach into the footer starts a new page.
class ReportWriter {
  public:
    ReportWriter(const TextMeasurer& measurer, double pageWidth, double pageHeight,
                 std::string runningHead)
        : m_measurer(measurer), m_width(pageWidth), m_runningHead(std::move(runningHead)) {
        const double margin = pageWidth / 25;
        m_left = margin;
        m_right = pageWidth - margin;
        m_top = margin / 2;
        m_footer = wrap(kIdentificationReportFooter,
                        content() - width("Page 999 of 999", kNote) - gap(), kNote);
        m_bottom = pageHeight - margin / 2 -
                   (static_cast<double>(m_footer.size()) + 0.6) * lineHeight(kNote);
        newPage();
    }

    double left() const { return m_left; }
    double right() const { return m_right; }
    double content() const { return m_right - m_left; }
    double y() const { return m_y; }
    double bottom() const { return m_bottom; }
    double pageTop() const { return m_pageTop; }
    double gap() const { return width("mm", PrintFont{}); }
    double lineHeight(const PrintFont& font) const { return m_measurer.lineHeight(font); }
    double width(std::string_view text, const PrintFont& font) const {
        return m_measurer.width(text, font);
    }
    std::vector<std::string> wrap(std::string_view text, double width,
                                  const PrintFont& font) const {
        return wrapText(text, width,
                        [this, &font](std::string_view t) { return m_measurer.width(t, font); });
    }

    void skip(double height) { m_y += height; }
    // A block this tall starts on the next page unless it fits, or stands at a page's top
    // already (it could not fit anywhere then).
    bool ensure(double height) {
        if (m_y + height <= m_bottom || m_y <= m_pageTop) return false;
        newPage();
        return true;
    }

    void text(double x, double y, std::string_view text, const PrintFont& font) {
        if (text.empty()) return;
        page().items.push_back({PrintItem::Kind::Text, x, y, 0, std::string(text), font, 0});
    }
    void line(double x, double y, double x2, double y2) {
        page().items.push_back({PrintItem::Kind::Line, x, y, x2, {}, PrintFont{}, y2});
    }
    void rule(double y) {
        page().items.push_back({PrintItem::Kind::Rule, m_left, y, m_right, {}, PrintFont{}, y});
    }
    // Wrapped text from the left edge, as wide as the page's content.
    void paragraph(std::string_view text, const PrintFont& font) {
        for (const std::string& line : wrap(text, content(), font)) {
            ensure(lineHeight(font));
            this->text(m_left, m_y, line, font);
            m_y += lineHeight(font);
        }
    }

    std::vector<PrintPage> finish() {
        const PrintFont& note = kNote;
        const double lh = lineHeight(note);
        const std::string count = std::to_string(m_pages.size());
        for (std::size_t i = 0; i < m_pages.size(); ++i) {
            PrintPage& p = m_pages[i];
            const double top = m_bottom + lh * 0.3;
            p.items.push_back({PrintItem::Kind::Rule, m_left, top, m_right, {}, PrintFont{}, top});
            p.bottom = top;
            for (std::size_t k = 0; k < m_footer.size(); ++k) {
                p.items.push_back({PrintItem::Kind::Text, m_left,
                                   top + lh * (0.2 + static_cast<double>(k)), 0, m_footer[k], note,
                                   0});
            }
            const std::string number = "Page " + std::to_string(i + 1) + " of " + count;
            p.items.push_back({PrintItem::Kind::Text, m_right - width(number, note), top + lh * 0.2,
                               0, number, note, 0});
        }
        return std::move(m_pages);
    }

  private:
    PrintPage& page() { return m_pages.back(); }

    void newPage() {
        m_pages.push_back(PrintPage{{}, m_width, 0});
        m_y = m_top;
        if (m_pages.size() > 1) {
            // Later pages name the report they belong to, should they come apart.
            text(m_left, m_y, m_runningHead, kNote);
            m_y += lineHeight(kNote) * 1.6;
        }
        m_pageTop = m_y;
    }

    const TextMeasurer& m_measurer;
    double m_width;
    std::string m_runningHead;
    std::vector<std::string> m_footer;
    std::vector<PrintPage> m_pages;
    double m_left = 0, m_right = 0, m_top = 0, m_bottom = 0;
    double m_y = 0, m_pageTop = 0;
};

struct TableColumn {
    std::string_view caption;
    bool right = false;    // numbers stand right-aligned
    bool flexible = false; // takes the width the others leave, its texts wrapped
};

using TableRows = std::vector<std::vector<std::string>>;

// A table under a bold title. Columns are as wide as their widest text; the flexible one takes
// what is left. A row that does not fit on the page goes whole to the next, under the title
// marked "(continued)" and the column captions again.
void layoutTable(ReportWriter& w, std::string_view title, const std::vector<TableColumn>& columns,
                 const TableRows& rows) {
    const PrintFont& font = kBody;
    const PrintFont& bold = kBold;
    const double lh = w.lineHeight(font);
    const double gap = w.gap();
    const std::size_t n = columns.size();
    std::vector<double> widths(n, 0.0);
    for (std::size_t c = 0; c < n; ++c) {
        widths[c] = w.width(columns[c].caption, bold);
        for (const auto& row : rows) {
            if (c < row.size()) widths[c] = std::max(widths[c], w.width(row[c], font));
        }
        widths[c] += gap;
    }
    double fixedWidth = 0.0;
    std::size_t flexible = n;
    for (std::size_t c = 0; c < n; ++c) {
        if (columns[c].flexible && flexible == n) {
            flexible = c;
        } else {
            fixedWidth += widths[c];
        }
    }
    if (flexible < n) {
        widths[flexible] =
            std::max(w.content() - fixedWidth, std::min(widths[flexible], w.content() * 0.3));
    }
    const double total = fixedWidth + (flexible < n ? widths[flexible] : 0.0);
    if (total > w.content() && fixedWidth > 0.0) {
        const double share = (w.content() - (flexible < n ? widths[flexible] : 0.0)) / fixedWidth;
        for (std::size_t c = 0; c < n; ++c) {
            if (c != flexible) widths[c] *= std::max(share, 0.0);
        }
    } else if (flexible == n && n > 0) {
        // Columns of numbers alone: some air between them, up to half as wide again.
        const double extra = std::min(w.content() - total, total * 0.5) / static_cast<double>(n);
        for (double& width : widths)
            width += extra;
    }
    std::vector<double> xs(n, w.left());
    for (std::size_t c = 1; c < n; ++c)
        xs[c] = xs[c - 1] + widths[c - 1];

    auto cellsOf = [&](const std::vector<std::string>& row, const PrintFont& f) {
        std::vector<std::vector<std::string>> cells(n);
        for (std::size_t c = 0; c < n && c < row.size(); ++c)
            cells[c] = w.wrap(row[c], widths[c] - gap, f);
        return cells;
    };
    auto heightOf = [&](const std::vector<std::vector<std::string>>& cells) {
        std::size_t tallest = 1;
        for (const auto& cell : cells)
            tallest = std::max(tallest, cell.size());
        return static_cast<double>(tallest) * lh;
    };
    auto drawRow = [&](const std::vector<std::vector<std::string>>& cells, const PrintFont& f) {
        for (std::size_t c = 0; c < n; ++c) {
            for (std::size_t k = 0; k < cells[c].size(); ++k) {
                const std::string& t = cells[c][k];
                const double x = columns[c].right ? xs[c] + widths[c] - gap - w.width(t, f) : xs[c];
                w.text(x, w.y() + static_cast<double>(k) * lh, t, f);
            }
        }
        w.skip(heightOf(cells));
    };
    std::vector<std::string> captions;
    for (const TableColumn& column : columns)
        captions.emplace_back(column.caption);
    const auto header = cellsOf(captions, bold);
    const double titleHeight = w.lineHeight(bold) * 1.2;
    const double headerHeight = heightOf(header) + lh * 0.3;
    auto drawHead = [&](bool continued) {
        w.text(w.left(), w.y(), continued ? std::string(title) + " (continued)" : title, bold);
        w.skip(titleHeight);
        drawRow(header, bold);
        w.rule(w.y() + lh * 0.1);
        w.skip(lh * 0.3);
    };

    const double first = rows.empty() ? lh : heightOf(cellsOf(rows.front(), font));
    w.skip(lh * 0.6);
    w.ensure(titleHeight + headerHeight + first);
    drawHead(false);
    for (const auto& row : rows) {
        const auto cells = cellsOf(row, font);
        if (w.ensure(heightOf(cells))) drawHead(true);
        drawRow(cells, font);
    }
}

void layoutHeader(ReportWriter& w, const IdentificationReport& r) {
    const PrintFont& font = kBody;
    const PrintFont& bold = kBold;
    w.text(w.left(), w.y(), r.title, kTitle);
    w.skip(w.lineHeight(kTitle) * 1.3);

    std::string wavelength = fixedText(r.wavelength, 5) + " Å";
    for (const NamedWavelength& named : kWavelengths) {
        if (std::fabs(named.angstrom - r.wavelength) < 0.0005)
            wavelength += " (" + std::string(named.name) + ")";
    }
    if (!r.wavelengthSource.empty()) wavelength += ", " + r.wavelengthSource;
    const std::string kAlpha2 = r.kAlpha2Ratio > 0.0
                                    ? "stripped (Kα2 / Kα1 = " + fixedText(r.kAlpha2Ratio, 2) + ")"
                                    : "Kα1 only";
    const std::string range = fixedText(r.rangeMin, 2) + "° to " + fixedText(r.rangeMax, 2) +
                              "°, " + std::to_string(r.twoTheta.size()) + " points";
    const std::pair<std::string_view, std::string> fields[] = {
        {"File", r.fileName},
        {"Sample", r.sample.empty() ? "\u2013" : r.sample},
        {"Date", r.dateTime},
        {"Wavelength", wavelength},
        {"Kα2", kAlpha2},
        {"2θ range", range},
        {"Tolerance", fixedText(r.toleranceTwoTheta, 3) + "° 2θ after the fit"},
        {"Element filter", r.elementFilter},
    };
    double labelWidth = 0.0;
    for (const auto& [label, value] : fields)
        labelWidth = std::max(labelWidth, w.width(label, bold));
    labelWidth += w.gap();
    const double lh = w.lineHeight(font);
    for (const auto& [label, value] : fields) {
        const auto lines = w.wrap(value, w.content() - labelWidth, font);
        w.ensure(lh * static_cast<double>(std::max<std::size_t>(1, lines.size())));
        w.text(w.left(), w.y(), label, bold);
        for (const std::string& line : lines) {
            w.text(w.left() + labelWidth, w.y(), line, font);
            w.skip(lh);
        }
        if (lines.empty()) w.skip(lh);
    }
    if (!r.note.empty()) {
        w.skip(lh * 0.3);
        w.paragraph(r.note, kNote);
    }
}

void layoutPhases(ReportWriter& w, const IdentificationReport& r) {
    const PrintFont& note = kNote;
    if (r.phases.empty()) {
        w.skip(w.lineHeight(note) * 0.6);
        w.paragraph("No mixture was fitted: the report lists the ranked candidates only.", note);
        return;
    }
    TableRows rows;
    for (std::size_t i = 0; i < r.phases.size(); ++i) {
        const ReportPhase& p = r.phases[i];
        rows.push_back(
            {std::to_string(i + 1), p.name, std::to_string(p.card),
             amountText(p.weightPercent, p.weightSigma) + (p.weightPercent < 0.0 ? "" : " %"),
             p.certainty < 0.0 ? "\u2013" : probabilityText(p.certainty), zeroText(p.fit),
             displacementText(p.fit), shiftText(p.fit.lattice)});
    }
    layoutTable(w, "Phases",
                {{"#", true},
                 {"Phase", false, true},
                 {"Card", true},
                 {"Amount (wt %)", true},
                 {"Certainty", true},
                 {"Zero", true},
                 {"Displ.", true},
                 {"Lattice", true}},
                rows);
    w.skip(w.lineHeight(note) * 0.3);
    w.paragraph("Weighted profile R " + profileRText(r.profileR) + "; the counting noise alone " +
                    "would leave " + profileRText(r.noiseR) + ".",
                note);
    if (!r.amountsComplete) {
        w.paragraph("A phase marked \u2013 has no reference intensity ratio: the amounts are "
                    "those of the other phases among themselves.",
                    note);
    }
    for (std::size_t i = 0; i < r.phases.size(); ++i) {
        const ReportPhase& p = r.phases[i];
        if (p.alternatives.empty()) continue;
        w.paragraph("The data cannot tell phase " + std::to_string(i + 1) + " from " +
                        joinWords(p.alternatives, ", ") + ".",
                    note);
    }
}

// The plot's frames and the scale from values to the page.
struct PlotArea {
    double left = 0, right = 0, top = 0, bottom = 0;
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    double x(double v) const {
        return std::clamp(left + (v - x0) / (x1 - x0) * (right - left), left, right);
    }
    double y(double v) const {
        return std::clamp(bottom - (v - y0) / (y1 - y0) * (bottom - top), top, bottom);
    }
};

void frame(ReportWriter& w, const PlotArea& a) {
    w.line(a.left, a.top, a.right, a.top);
    w.line(a.right, a.top, a.right, a.bottom);
    w.line(a.right, a.bottom, a.left, a.bottom);
    w.line(a.left, a.bottom, a.left, a.top);
}

// A curve as segments between its kept points; a point that is no number breaks it.
void polyline(ReportWriter& w, const PlotArea& a, const std::vector<double>& x,
              const std::vector<double>& y, std::size_t maxPoints) {
    const std::size_t n = std::min(x.size(), y.size());
    const std::vector<std::size_t> kept =
        plotIndexes(std::span<const double>(y.data(), n), maxPoints);
    for (std::size_t k = 1; k < kept.size(); ++k) {
        const std::size_t i = kept[k - 1], j = kept[k];
        if (!std::isfinite(y[i]) || !std::isfinite(y[j]) || !std::isfinite(x[i]) ||
            !std::isfinite(x[j]))
            continue;
        w.line(a.x(x[i]), a.y(y[i]), a.x(x[j]), a.y(y[j]));
    }
}

std::pair<double, double> finiteRange(const std::vector<double>& values) {
    double low = 0.0, high = 0.0;
    for (const double v : values) {
        if (!std::isfinite(v)) continue;
        low = std::min(low, v);
        high = std::max(high, v);
    }
    return {low, high};
}

void layoutPlot(ReportWriter& w, const IdentificationReport& r) {
    const std::size_t n = std::min(r.twoTheta.size(), r.counts.size());
    if (n < 2 || !(r.twoTheta[n - 1] > r.twoTheta[0])) return;
    const PrintFont& font = kBody;
    const PrintFont& small = kSmall;
    const PrintFont& note = kNote;
    const double lh = w.lineHeight(font);
    const bool fitted = r.calculated.size() >= n;
    std::vector<double> x(r.twoTheta.begin(), r.twoTheta.begin() + static_cast<std::ptrdiff_t>(n));
    std::vector<double> measured(r.counts.begin(),
                                 r.counts.begin() + static_cast<std::ptrdiff_t>(n));
    auto level = [&](std::size_t i) { return i < r.background.size() ? r.background[i] : 0.0; };
    std::vector<double> sum, difference;
    if (fitted) {
        for (std::size_t i = 0; i < n; ++i) {
            sum.push_back(level(i) + r.calculated[i]);
            difference.push_back(measured[i] - sum.back());
        }
    }

    const double usable = w.bottom() - w.pageTop();
    std::vector<std::string> legend = w.wrap(
        fitted ? "+ measured counts; line: calculated (background and phases); 1, 2, …: each "
                 "phase's calculated counts above the background, numbered at its highest point; "
                 "below: measured − calculated, on its own scale."
               : "+ measured counts.",
        w.content(), note);
    const double around = lh * 1.8 + static_cast<double>(legend.size()) * w.lineHeight(note) +
                          (fitted ? lh * 0.4 : 0.0) + lh * 3.9;
    // A third of the page for the profile, the difference a quarter of that; less on a page
    // too short for it, so that the plot never runs into the footer.
    const double share = fitted ? 1.25 : 1.0;
    const double mainHeight =
        std::min(std::clamp(usable * 0.38, lh * 8, lh * 28), std::max(usable - around, lh) / share);
    const double diffHeight = fitted ? mainHeight * 0.25 : 0.0;
    const double height = around + mainHeight * share;
    w.skip(lh * 0.6);
    w.ensure(height);
    w.text(w.left(), w.y(), "Measured and calculated profile", kBold);
    w.skip(w.lineHeight(kBold) * 1.2);
    for (const std::string& line : legend) {
        w.text(w.left(), w.y(), line, note);
        w.skip(w.lineHeight(note));
    }
    w.skip(lh * 0.5);
    const double smallHeight = w.lineHeight(small);
    w.text(w.left(), w.y(), "Counts", small);
    w.skip(smallHeight * 1.1);

    auto [low, high] = finiteRange(measured);
    if (fitted) {
        const auto [sumLow, sumHigh] = finiteRange(sum);
        low = std::min(low, sumLow);
        high = std::max(high, sumHigh);
    }
    if (!(high > low)) high = low + 1.0;
    // Room above the highest peak for its phase's number.
    high += (high - low) * 0.06;
    const std::vector<double> ticks = axisTicks(low, high, 5);
    double labelWidth = 0.0;
    for (const double t : ticks)
        labelWidth = std::max(labelWidth, w.width(tickLabel(t), small));
    PlotArea main;
    main.left = w.left() + std::min(labelWidth + w.gap() * 0.5, w.content() * 0.25);
    main.right = w.right();
    main.top = w.y();
    main.bottom = main.top + mainHeight;
    main.x0 = x.front();
    main.x1 = x.back();
    main.y0 = low;
    main.y1 = high;
    frame(w, main);
    for (const double t : ticks) {
        const double y = main.y(t);
        w.line(main.left, y, main.left + lh * 0.3, y);
        const std::string label = tickLabel(t);
        const double top = std::clamp(y - smallHeight / 2, main.top, main.bottom - smallHeight);
        w.text(main.left - w.gap() * 0.25 - w.width(label, small), top, label, small);
    }

    // The measured points as small crosses a little apart: the highest point of each stretch of
    // the scan, so that every peak's top is marked. The calculated line runs through them.
    const double arm = lh * 0.18;
    const auto bins = static_cast<std::size_t>(
        std::clamp((main.right - main.left) / (arm * 2.4), 1.0, static_cast<double>(kPlotPoints)));
    for (std::size_t b = 0; b < bins; ++b) {
        const std::size_t from = b * n / bins, to = (b + 1) * n / bins;
        std::size_t top = from;
        for (std::size_t i = from; i < to; ++i) {
            if (measured[i] > measured[top] || !std::isfinite(measured[top])) top = i;
        }
        if (from >= to || !std::isfinite(measured[top])) continue;
        const double px = main.x(x[top]), py = main.y(measured[top]);
        w.line(std::max(px - arm, main.left), py, std::min(px + arm, main.right), py);
        w.line(px, std::max(py - arm, main.top), px, std::min(py + arm, main.bottom));
    }
    if (fitted) {
        polyline(w, main, x, sum, kPlotPoints);
        const std::size_t reach = n / bins + 1;
        for (std::size_t p = 0; p < r.phases.size(); ++p) {
            const std::vector<double>& net = r.phases[p].calculated;
            if (net.size() < n) continue;
            std::vector<double> curve(n);
            std::size_t highest = 0;
            for (std::size_t i = 0; i < n; ++i) {
                curve[i] = level(i) + net[i];
                if (net[i] > net[highest]) highest = i;
            }
            polyline(w, main, x, curve, kPlotPoints);
            // The number stands above the peak's measured cross as well as above the curves.
            double peak = std::max(curve[highest], sum[highest]);
            for (std::size_t i = highest > reach ? highest - reach : 0;
                 i < std::min(n, highest + reach); ++i) {
                if (std::isfinite(measured[i])) peak = std::max(peak, measured[i]);
            }
            const std::string label = std::to_string(p + 1);
            const double labelX = std::clamp(main.x(x[highest]) - w.width(label, small) / 2,
                                             main.left, main.right - w.width(label, small));
            const double labelY = std::clamp(main.y(peak) - arm - smallHeight * 1.05, main.top,
                                             main.bottom - smallHeight);
            w.text(labelX, labelY, label, small);
        }
    }
    w.skip(mainHeight);

    PlotArea axis = main;
    if (fitted) {
        w.skip(lh * 0.4);
        PlotArea diff = main;
        diff.top = w.y();
        diff.bottom = diff.top + diffHeight;
        const auto [dLow, dHigh] = finiteRange(difference);
        const double reach = std::max({std::fabs(dLow), std::fabs(dHigh), 1e-9});
        diff.y0 = -reach;
        diff.y1 = reach;
        frame(w, diff);
        w.line(diff.left, diff.y(0.0), diff.right, diff.y(0.0));
        w.text(diff.left + w.gap() * 0.25, diff.top + smallHeight * 0.1, "measured − calculated",
               small);
        polyline(w, diff, x, difference, kPlotPoints);
        w.skip(diffHeight);
        axis = diff;
    }
    for (const double t : axisTicks(main.x0, main.x1, 10)) {
        const double px = axis.x(t);
        w.line(px, axis.bottom, px, axis.bottom - lh * 0.3);
        const std::string label = tickLabel(t);
        const double labelX = std::clamp(px - w.width(label, small) / 2, axis.left,
                                         axis.right - w.width(label, small));
        w.text(labelX, axis.bottom + lh * 0.15, label, small);
    }
    w.skip(smallHeight * 1.2 + lh * 0.15);
    w.text((main.left + main.right - w.width("2θ (°)", font)) / 2, w.y(), "2θ (°)", font);
    w.skip(lh);
}

void layoutCandidates(ReportWriter& w, const IdentificationReport& r) {
    TableRows rows;
    for (std::size_t i = 0; i < r.candidates.size() && i < kReportCandidates; ++i) {
        const ReportCandidate& c = r.candidates[i];
        rows.push_back({std::to_string(c.rank), c.name, std::to_string(c.card),
                        figureOfMeritText(c.score), c.lines, profileRText(c.profileR),
                        probabilityText(c.probability)});
    }
    if (rows.empty()) return;
    layoutTable(w, "Ranked candidates",
                {{"Rank", true},
                 {"Name", false, true},
                 {"Card", true},
                 {"Score", true},
                 {"Lines", true},
                 {"Profile R", true},
                 {"Probability", true}},
                rows);
}

void layoutEvidence(ReportWriter& w, const IdentificationReport& r) {
    for (std::size_t i = 0; i < r.phases.size(); ++i) {
        const ReportPhase& p = r.phases[i];
        TableRows rows;
        for (const ReportLine& line : p.lines) {
            std::vector<std::string> row{dText(line.cardD), intensityText(line.cardIntensity)};
            if (line.kind == LineKind::Matched) {
                row.insert(row.end(),
                           {dText(line.measuredD), fixedText(line.measuredTwoTheta, 3),
                            intensityText(line.measuredIntensity), deltaDText(line.deltaD)});
            } else {
                row.insert(row.end(),
                           {"", "", "",
                            line.kind == LineKind::BelowDetection ? "below detection" : "missed"});
            }
            rows.push_back(std::move(row));
        }
        layoutTable(w,
                    "Phase " + std::to_string(i + 1) + ": " + p.name + " (card " +
                        std::to_string(p.card) + "), line by line",
                    {{"d calc. (Å)", true},
                     {"I calc.", true},
                     {"d meas. (Å)", true},
                     {"2θ meas. (°)", true},
                     {"I meas.", true},
                     {"Δd (Å)", true}},
                    rows);
    }
}

} // namespace

std::vector<PrintPage> layoutIdentificationReport(const IdentificationReport& report,
                                                  double pageWidth, double pageHeight,
                                                  const TextMeasurer& measurer) {
    ReportWriter w(measurer, pageWidth, pageHeight,
                   report.title + (report.fileName.empty() ? "" : ": " + report.fileName));
    layoutHeader(w, report);
    layoutPhases(w, report);
    layoutPlot(w, report);
    layoutCandidates(w, report);
    layoutEvidence(w, report);
    return w.finish();
}

} // namespace lithora
