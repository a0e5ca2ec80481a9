// What the identification window writes of a ranking: the table's cells, the line-by-line
// comparison of a candidate, the peak list written for a pattern file, the residual caption.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "identify/identify_texts.h"

using namespace lithora;

namespace {

MeasuredPattern pattern(std::initializer_list<Peak> peaks) {
    MeasuredPattern p;
    p.peaks = peaks;
    normalisePattern(p);
    return p;
}

// A card's lines (d, intensity), in any order, scored against the pattern as typed d-spacings
// are.
Score scoreLines(const MeasuredPattern& measured, std::vector<std::pair<float, float>> lines,
                 double tolerancePercent) {
    std::sort(lines.begin(), lines.end(), std::greater<>()); // d falling
    std::vector<float> d, intensity;
    for (const auto& [lineD, lineIntensity] : lines) {
        d.push_back(lineD);
        intensity.push_back(lineIntensity);
    }
    MatchSettings settings;
    settings.tolerancePercent = tolerancePercent;
    return matchPattern(preparePeaks(measured, MeasuredAxis{}), d, intensity, settings);
}

} // namespace

TEST(IdentifyTexts, NumbersAreRoundedAndSigned) {
    const struct {
        std::string got, expected;
    } cases[] = {
        {figureOfMeritText(87.34), "87.3"},
        {figureOfMeritText(99.96), "100.0"},
        {figureOfMeritText(0.0), "0.0"},
        // The shift is a share of d; the table shows it in percent.
        {shiftText(0.0005), "+0.05 %"},
        {shiftText(-0.0012), "\u22120.12 %"},
        // Rounding to zero leaves no sign, whichever side it came from.
        {shiftText(-0.00001), "0.00 %"},
        {dText(3.343), "3.343"},
        {dText(1.81786), "1.8179"},
        {dText(10.1), "10.100"},
        {deltaDText(0.0025), "+0.0025"},
        {deltaDText(-0.00312), "\u22120.0031"},
        {deltaDText(-0.00004), "0.0000"},
        {intensityText(100.0), "100"},
        {intensityText(7.46), "7.5"},
        // Typed d-spacings fit the lattice alone; a 2θ pattern the zero and the displacement
        // too, here lines 0.05° low at cos θ = 1: a sample 0.105 mm above the focusing circle
        // of a 240 mm goniometer.
        {fitText({0.0, 0.0, 0.0012}), "lattice +0.12 %"},
        {fitText({-0.0312, -0.05, 0.0}),
         "zero \u22120.031°, displacement +0.105 mm, lattice 0.00 %"},
        {zeroText({-0.0312, -0.05, 0.0}), "\u22120.031°"},
        {displacementText({-0.0312, -0.05, 0.0}), "+0.105 mm"},
        {zeroText({0.0, 0.0, 0.0012}), ""},
        {displacementText({0.0, 0.0, 0.0012}), ""},
        // No candidate is shown as certain, nor as impossible.
        {probabilityText(0.5), "50 %"},
        {probabilityText(0.996), ">99 %"},
        {probabilityText(0.004), "<1 %"},
        {amountText(37.4, 5.2), "37 \u00b1 5"},
        {amountText(2.43, 0.38), "2.4 \u00b1 0.4"},
        {amountText(100.0, 0.0), "100 \u00b1 0"},
        {amountText(-1.0, 0.0), "\u2013"},
        {profileRText(0.1234), "12.3 %"},
        {profileRText(-1.0), "\u2013"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.expected);
}

TEST(IdentifyTexts, AGroupMemberBelowAnotherOfItsGroupIsMarked) {
    std::vector<Candidate> ranked(4);
    const struct {
        const char* name;
        int group;
        const char* shown;
    } rows[] = {{"Dolomite", 1, "Dolomite"},
                {"Ankerite", 1, "\u2248 Ankerite"},
                {"Calcite", 0, "Calcite"},
                // Of group 1 too, but not under one of its members.
                {"Kutnohorite", 1, "Kutnohorite"}};
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        ranked[i].name = rows[i].name;
        ranked[i].group = rows[i].group;
    }
    for (std::size_t i = 0; i < ranked.size(); ++i)
        EXPECT_EQ(candidateNameText(ranked, i), rows[i].shown) << i;
    EXPECT_EQ(candidateNameText(ranked, 4), "");
}

TEST(IdentifyTexts, LinesAndExplanationOfAScore) {
    Score s;
    s.linesMatched = 5;
    s.linesCounted = 6;
    s.explained = 0.924;
    s.unexplained = 0.03;
    s.agreement = 0.951;
    s.fit.lattice = -0.0004;
    EXPECT_EQ(linesText(s), "5 / 6");
    EXPECT_EQ(scoreExplanation(s),
              "5 of 6 lines found, explaining 92 % of the card's line intensity; 3 % of the "
              "measured intensity unexplained; intensities agree 95 %; lattice \u22120.04 %");
}

TEST(IdentifyTexts, EachCardLineAndEachUnexplainedPeakIsARow) {
    // Measured 4.250 (20), 3.345 (100), 2.000 (10), 1.500 (12): the weakest is 10. The card's
    // 4.255 and 3.343 lie within 0.6 % of a peak (0.12 % and 0.06 %); 1.818 (13) has none and is
    // no weaker than the weakest peak, so it is missed; 1.541 (5) is weaker: below detection,
    // and no row. No line explains 2.000 or 1.500.
    const MeasuredPattern measured = pattern({{3.345, 100}, {4.250, 20}, {2.000, 10}, {1.500, 12}});
    const Score s = scoreLines(
        measured, {{3.343f, 100.0f}, {4.255f, 20.0f}, {1.818f, 13.0f}, {1.541f, 5.0f}}, 0.6);
    const std::vector<LineMatchRow> rows = lineMatchRows(measured, s);
    // Card lines by d falling, then the unexplained peaks by d falling; peak indexes point into
    // the pattern (sorted by d falling: 4.250, 3.345, 2.000, 1.500).
    const struct {
        LineKind kind;
        const char *cardD, *intensity, *measuredD, *deltaD;
        int peak;
    } expected[] = {
        {LineKind::Matched, "4.255", "20", "4.250", "\u22120.0050", 0},
        {LineKind::Matched, "3.343", "100", "3.345", "+0.0020", 1},
        {LineKind::Missed, "1.818", "13", "", "missed", -1},
        {LineKind::Unexplained, "", "10", "2.000", "unexplained", 2},
        {LineKind::Unexplained, "", "12", "1.500", "unexplained", 3},
    };
    ASSERT_EQ(rows.size(), std::size(expected));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].kind, expected[i].kind);
        EXPECT_EQ(rows[i].cardD, expected[i].cardD);
        EXPECT_EQ(rows[i].intensity, expected[i].intensity);
        EXPECT_EQ(rows[i].measuredD, expected[i].measuredD);
        EXPECT_EQ(rows[i].deltaD, expected[i].deltaD);
        EXPECT_EQ(rows[i].peak, expected[i].peak);
    }
    EXPECT_EQ(unexplainedPeaks(measured, s), (std::vector<int>{2, 3}));
}

TEST(IdentifyTexts, UnexplainedPeaksFollowFallingD) {
    // A card that explains one peak: its lines first, by d falling, then the peaks left,
    // largest d first.
    const MeasuredPattern measured = pattern({{1.5, 30}, {4.0, 100}, {2.5, 60}, {3.0, 40}});
    const Score s = scoreLines(measured, {{3.2f, 80.0f}, {3.0f, 40.0f}}, 0.6);
    const std::vector<LineMatchRow> rows = lineMatchRows(measured, s);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].deltaD, "missed");
    EXPECT_EQ(rows[1].kind, LineKind::Matched);
    EXPECT_EQ(rows[1].measuredD, "3.000");
    EXPECT_EQ(rows[2].measuredD, "4.000");
    EXPECT_EQ(rows[3].measuredD, "2.500");
    EXPECT_EQ(rows[4].measuredD, "1.500");
}

TEST(IdentifyTexts, AScoreOfAnotherPatternCannotReachPastThePeaks) {
    // The window keeps a candidate while the pattern may change: a peak index beyond the
    // pattern must read as missed, not index outside it.
    const MeasuredPattern measured = pattern({{3.0, 100}});
    Score s;
    LineMatch line;
    line.cardD = 3.0;
    line.cardIntensity = 100;
    line.peak = 7;
    s.lines.push_back(line);
    const std::vector<LineMatchRow> rows = lineMatchRows(measured, s);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].kind, LineKind::Missed);
    EXPECT_EQ(rows[1].kind, LineKind::Unexplained);
}

TEST(IdentifyTexts, FoundPeaksAreWrittenAsAListThatReadsBack) {
    // 0.5° 2θ with Cu Kα is d = 176 Å, beyond what a peak list takes: it is left out, and the
    // highest of the others (500 counts) is 100.
    const std::vector<FoundPeak> found = {{0.5, 900}, {20.86, 100}, {26.64, 500}};
    const std::string angles =
        foundPeaksText(found, PeakPosition::TwoTheta, kDefaultWavelength, "q.xy", 3.0);
    EXPECT_EQ(angles, "# q.xy: 2 peaks ≥ 3 %\n# 2θ (°), Cu Kα; intensity\n"
                      "20.860  20\n26.640  100\n");
    for (PeakPosition position : {PeakPosition::TwoTheta, PeakPosition::D}) {
        const std::string text = foundPeaksText(found, position, 1.78897, "q.xy", 3.0);
        const Result<MeasuredPattern> read = parsePeakList(text, position, 1.78897);
        ASSERT_TRUE(read.ok()) << text;
        ASSERT_EQ(read.value().peaks.size(), 2u);
        // d falling: 20.86° first. 2θ is written to 0.001°, d to 0.0001 Å.
        EXPECT_NEAR(read.value().peaks[0].d, dFromTwoTheta(20.86, 1.78897), 1e-4);
        EXPECT_NEAR(read.value().peaks[1].d, dFromTwoTheta(26.64, 1.78897), 1e-4);
        EXPECT_DOUBLE_EQ(read.value().peaks[0].intensity, 20.0);
        EXPECT_DOUBLE_EQ(read.value().peaks[1].intensity, 100.0);
    }
    EXPECT_EQ(foundPeaksText({}, PeakPosition::D, kDefaultWavelength, "flat.xy", 5.0),
              "# flat.xy: 0 peaks ≥ 5 %\n# d (Å), Cu Kα; intensity\n");
}

TEST(IdentifyTexts, ResidualCaptionNamesTheCardsTakenAway) {
    EXPECT_EQ(residualCaption({{"Quartz", 4550}}), "Residual after Quartz (4550)");
    EXPECT_EQ(residualCaption({{"Quartz", 4550}, {"Calcite", 814}}),
              "Residual after Quartz (4550) and Calcite (814)");
    EXPECT_EQ(residualCaption({{"A", 1}, {"B", 2}, {"C", 3}}),
              "Residual after A (1), B (2) and C (3)");
}
