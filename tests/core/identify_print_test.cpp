// The printed identification report, measured with a fixed-width font: every byte 1 unit wide,
// every line 1 unit high (2 for the title).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "print/identify_print.h"
#include "search/element_search.h"

using namespace lithora;

namespace {

class FixedWidth : public TextMeasurer {
  public:
    double width(std::string_view text, const PrintFont&) const override {
        return static_cast<double>(text.size());
    }
    double lineHeight(const PrintFont& font) const override { return font.points > 10 ? 2.0 : 1.0; }
};

// A scan of `points` points from 10° to 80° with a peak at 30° (phase 1) and one at 50°
// (phase 2) on a background of 100, the phases fitted exactly.
IdentificationReport sampleReport(std::size_t points, std::size_t linesPerPhase) {
    IdentificationReport r;
    r.fileName = "mixture.xy";
    r.sample = "V2O5 + NiO + TiO2";
    r.dateTime = "2026-03-14 10:20";
    r.wavelength = 1.5406;
    r.wavelengthSource = "from the file";
    r.kAlpha2Ratio = 0.5;
    r.rangeMin = 10;
    r.rangeMax = 80;
    r.toleranceTwoTheta = 0.1;
    r.elementFilter = "none";
    r.profileR = 0.123;
    r.noiseR = 0.045;
    r.calculated.assign(points, 0.0);
    const double amounts[][2] = {{37.2, 4.6}, {2.44, 0.38}, {-1.0, 0.0}};
    for (std::size_t p = 0; p < 3; ++p) {
        ReportPhase phase;
        phase.name = "Phase" + std::to_string(p + 1);
        phase.card = 100 + static_cast<int>(p);
        phase.weightPercent = amounts[p][0];
        phase.weightSigma = amounts[p][1];
        phase.certainty = 0.9;
        phase.calculated.assign(points, 0.0);
        for (std::size_t k = 0; k < linesPerPhase; ++k) {
            ReportLine line;
            line.cardD = 9.1234 - 0.0371 * static_cast<double>(k) - 0.0011 * static_cast<double>(p);
            line.cardIntensity = 50;
            if (k % 5 == 4) {
                line.kind = k % 10 == 4 ? LineKind::Missed : LineKind::BelowDetection;
            } else {
                // Unique in the report, so that a test can find the row by it.
                line.deltaD = 0.0001 * static_cast<double>(k + 1) + 0.02 * static_cast<double>(p);
                line.measuredD = line.cardD + line.deltaD;
                line.measuredTwoTheta = twoThetaFromD(line.measuredD, 1.5406);
                line.measuredIntensity = 40;
            }
            phase.lines.push_back(line);
        }
        r.phases.push_back(std::move(phase));
    }
    for (std::size_t i = 0; i < points; ++i) {
        const double t = 10.0 + 70.0 * static_cast<double>(i) / static_cast<double>(points - 1);
        r.twoTheta.push_back(t);
        r.background.push_back(100);
        r.phases[0].calculated[i] = 1000 * std::exp(-std::pow((t - 30) / 0.1, 2));
        r.phases[1].calculated[i] = 400 * std::exp(-std::pow((t - 50) / 0.1, 2));
        r.calculated[i] = r.phases[0].calculated[i] + r.phases[1].calculated[i];
        r.counts.push_back(100 + r.calculated[i]);
    }
    for (int k = 1; k <= 12; ++k)
        r.candidates.push_back(
            {k, "Candidate" + std::to_string(k), 200 + k, 90.0 - k, "5 / 6", 0.2, 0.05});
    return r;
}

struct Located {
    std::size_t page;
    const PrintItem* item;
};

// The texts equal to `text`, or (part) holding it.
std::vector<Located> findAll(const std::vector<PrintPage>& pages, std::string_view text,
                             bool part = false) {
    std::vector<Located> out;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        for (const PrintItem& item : pages[p].items) {
            if (item.kind == PrintItem::Kind::Text &&
                (part ? item.text.find(text) != std::string::npos : item.text == text))
                out.push_back({p, &item});
        }
    }
    return out;
}

} // namespace

TEST(IdentificationReport, EveryItemLiesWithinItsPage) {
    const struct { double width, height; } sizes[] = {{200, 120}, {120, 60}, {400, 300}};
    const FixedWidth measurer;
    const IdentificationReport report = sampleReport(5000, 40);
    for (const auto& size : sizes) {
        const std::vector<PrintPage> pages =
            layoutIdentificationReport(report, size.width, size.height, measurer);
        ASSERT_FALSE(pages.empty());
        for (std::size_t p = 0; p < pages.size(); ++p) {
            // Every page carries its number (and the footer with it).
            EXPECT_EQ(findAll(pages, "Page " + std::to_string(p + 1) + " of " +
                                         std::to_string(pages.size()))
                          .size(),
                      1u);
            for (const PrintItem& item : pages[p].items) {
                const double right = item.kind == PrintItem::Kind::Text
                                         ? item.x + measurer.width(item.text, item.font)
                                         : std::max(item.x, item.x2);
                const double bottom = item.kind == PrintItem::Kind::Text
                                          ? item.y + measurer.lineHeight(item.font)
                                          : std::max(item.y, item.y2);
                EXPECT_GE(std::min(item.x, item.kind == PrintItem::Kind::Text ? item.x : item.x2),
                          0.0);
                EXPECT_GE(std::min(item.y, item.kind == PrintItem::Kind::Line ? item.y2 : item.y),
                          0.0);
                EXPECT_LE(right, size.width) << item.text << " on page " << p + 1;
                EXPECT_LE(bottom, size.height) << item.text << " on page " << p + 1;
            }
        }
    }
}

// Long tables run over several pages: each row is printed once, whole on one page above its
// footer, in order. The evidence rows (150 a phase) are one line each; the candidates' rows
// are three lines of a wrapped name.
TEST(IdentificationReport, LongTablesBreakBetweenRows) {
    IdentificationReport report = sampleReport(200, 150);
    // Seven words of 40 letters and one of 30: three lines in the name column.
    std::string longName;
    for (int k = 0; k < 7; ++k)
        longName += " " + std::string(40, 'a');
    longName += " " + std::string(30, 'c');
    for (ReportCandidate& c : report.candidates)
        c.name = "Cand" + std::to_string(c.rank) + longName;
    const double height = 30;
    const std::vector<PrintPage> pages =
        layoutIdentificationReport(report, 200, height, FixedWidth{});
    // A row found by the text of its first cell and that of its last line or cell, which lies
    // at most `below` lines lower on the same page, above the footer's rule.
    auto checkRow = [&](const std::string& first, const std::string& last, double below,
                        std::size_t& page, double& y) {
        const bool wrapped = below > 0; // a wrapped text's lines keep their blank at the end
        const std::vector<Located> a = findAll(pages, first, wrapped);
        ASSERT_EQ(a.size(), 1u) << first;
        bool whole = false;
        for (const Located& b : findAll(pages, last, wrapped)) {
            const double offset = b.item->y - a[0].item->y;
            whole |= b.page == a[0].page && offset >= 0 && offset <= below &&
                     b.item->y + 1 <= pages[b.page].bottom;
        }
        EXPECT_TRUE(whole) << first << " / " << last;
        // Rows go down the page, then on at the top of the next.
        EXPECT_TRUE(a[0].page > page || (a[0].page == page && a[0].item->y > y)) << first;
        page = a[0].page;
        y = a[0].item->y;
    };
    std::size_t page = 0;
    double y = -1;
    std::set<std::size_t> candidatePages;
    for (const ReportCandidate& c : report.candidates) {
        if (c.rank > 10) break;
        checkRow("Cand" + std::to_string(c.rank) + " ", std::string(30, 'c'), 3, page, y);
        candidatePages.insert(page);
    }
    EXPECT_GT(candidatePages.size(), 1u);
    for (std::size_t p = 0; p < report.phases.size(); ++p) {
        std::set<std::size_t> pagesUsed;
        for (const ReportLine& line : report.phases[p].lines) {
            checkRow(dText(line.cardD),
                     line.kind == LineKind::Matched  ? deltaDText(line.deltaD)
                     : line.kind == LineKind::Missed ? "missed"
                                                     : "below detection",
                     0, page, y);
            pagesUsed.insert(page);
        }
        EXPECT_GT(pagesUsed.size(), 2u);
        // Each page the table goes on to repeats its title.
        const std::string title = "Phase " + std::to_string(p + 1) + ": Phase" +
                                  std::to_string(p + 1) + " (card " + std::to_string(100 + p) +
                                  "), line by line";
        EXPECT_EQ(findAll(pages, title).size(), 1u);
        EXPECT_EQ(findAll(pages, title + " (continued)").size(), pagesUsed.size() - 1);
    }
}

// The phases table prints each amount with its uncertainty and unit on the phase's row, and "–"
// for a phase without I/Ic (the digits follow the uncertainty: identify_texts_test).
TEST(IdentificationReport, PhaseAmountsArePrintedOnTheirRows) {
    const struct {
        double percent, sigma;
        const char* text;
    } cases[] = {
        {37.2, 4.6, "37 ± 5 %"},
        {2.44, 0.38, "2.4 ± 0.4 %"},
        {100, 0, "100 ± 0 %"},
        {-1, 0, "–"},
    };
    IdentificationReport report = sampleReport(200, 3);
    report.phases.push_back(report.phases.front());
    report.amountsComplete = false;
    for (std::size_t p = 0; p < std::size(cases); ++p) {
        report.phases[p].name = "Phase" + std::to_string(p + 1);
        report.phases[p].weightPercent = cases[p].percent;
        report.phases[p].weightSigma = cases[p].sigma;
    }
    const std::vector<PrintPage> pages = layoutIdentificationReport(report, 200, 120, FixedWidth{});
    for (std::size_t p = 0; p < std::size(cases); ++p) {
        const std::vector<Located> name = findAll(pages, report.phases[p].name);
        ASSERT_EQ(name.size(), 1u);
        bool onRow = false;
        for (const Located& a : findAll(pages, cases[p].text))
            onRow |= a.page == name[0].page && a.item->y == name[0].item->y;
        EXPECT_TRUE(onRow) << cases[p].text;
    }
    EXPECT_EQ(findAll(pages, "Candidate10").size(), 1u);
    EXPECT_TRUE(findAll(pages, "Candidate11").empty()); // the ten best only
}

// Whatever the counts, the curves stay inside the plot's frames: the frames are the long level
// lines of the plot (top and bottom of the profile's and the difference's frame).
TEST(IdentificationReport, PlotCurvesStayInsideTheFrame) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* what;
        double counts;     // every measured point
        double calculated; // every calculated point of phase 1
        double spike;      // one measured point
    } cases[] = {
        {"all zero", 0, 0, 0},
        {"huge counts", 1e15, 1e15, 3e15},
        {"calculated far above: negative differences", 10, 1e9, 10},
        {"a point that is no number", 100, 100, nan},
        {"negative counts", -500, 0, -1e6},
    };
    for (const auto& c : cases) {
        IdentificationReport report = sampleReport(4000, 2);
        for (std::size_t i = 0; i < report.counts.size(); ++i) {
            report.counts[i] = c.counts;
            report.phases[0].calculated[i] = c.calculated;
            report.phases[1].calculated[i] = 0;
            report.calculated[i] = c.calculated;
        }
        report.counts[1234] = c.spike;
        const double width = 300;
        const std::vector<PrintPage> pages =
            layoutIdentificationReport(report, width, 400, FixedWidth{});
        const std::vector<Located> heading = findAll(pages, "Measured and calculated profile");
        ASSERT_EQ(heading.size(), 1u) << c.what;
        std::vector<const PrintItem*> lines;
        for (const PrintItem& item : pages[heading[0].page].items) {
            if (item.kind == PrintItem::Kind::Line) lines.push_back(&item);
        }
        double left = width, right = 0, top = 1e300, bottom = -1e300;
        for (const PrintItem* l : lines) {
            if (l->y == l->y2 && std::fabs(l->x2 - l->x) > width / 2) {
                left = std::min({left, l->x, l->x2});
                right = std::max({right, l->x, l->x2});
                top = std::min(top, l->y);
                bottom = std::max(bottom, l->y);
            }
        }
        ASSERT_LT(top, bottom) << c.what;
        EXPECT_GT(lines.size(), 200u) << c.what; // the curves were drawn
        for (const PrintItem* l : lines) {
            for (const auto& [x, y] : {std::pair{l->x, l->y}, std::pair{l->x2, l->y2}}) {
                ASSERT_TRUE(std::isfinite(x) && std::isfinite(y)) << c.what;
                EXPECT_TRUE(x >= left && x <= right && y >= top && y <= bottom)
                    << c.what << ": " << x << ", " << y;
            }
        }
    }
}

TEST(PlotIndexes, KeepsPeaksAndDipsOfLongCurves) {
    std::vector<double> flat(100000, 5.0);
    flat[54321] = 1e6;  // a one-point peak
    flat[77777] = -1e6; // and a dip
    const struct {
        std::size_t points, maxPoints;
    } cases[] = {{10, kPlotPoints}, {1500, kPlotPoints}, {100000, kPlotPoints}, {100000, 7}};
    for (const auto& c : cases) {
        const std::span<const double> y(flat.data(), c.points);
        const std::vector<std::size_t> kept = plotIndexes(y, c.maxPoints);
        EXPECT_LE(kept.size(), c.maxPoints);
        if (c.points <= c.maxPoints) {
            EXPECT_EQ(kept.size(), c.points);
        }
        ASSERT_FALSE(kept.empty());
        EXPECT_EQ(kept.front(), 0u);
        EXPECT_EQ(kept.back(), c.points - 1);
        for (std::size_t k = 1; k < kept.size(); ++k)
            EXPECT_LT(kept[k - 1], kept[k]);
        if (c.points == 100000) {
            EXPECT_NE(std::find(kept.begin(), kept.end(), 54321u), kept.end());
            EXPECT_NE(std::find(kept.begin(), kept.end(), 77777u), kept.end());
        }
    }
}

TEST(ElementFilterText, RequiredExcludedAndLimit) {
    IdentifyOptions none;
    EXPECT_EQ(elementFilterText(none), "none");
    IdentifyOptions some;
    setElementFilter(some, {26, 8}, {17}, 3); // Fe, O required; Cl excluded
    EXPECT_EQ(elementFilterText(some), "required O, Fe; excluded Cl; at most 3 elements");
    // Nearly everything excluded: the few that may occur are named instead.
    std::vector<int> allButFew;
    for (int z = 1; z <= kElementCount; ++z) {
        if (z != 8 && z != 14 && z != 22) allButFew.push_back(z);
    }
    IdentifyOptions few;
    setElementFilter(few, {14}, allButFew, 0);
    few.cardScope.assign(10, true);
    EXPECT_EQ(elementFilterText(few), "required Si; otherwise only O, Ti; the current list only");
}
