// Reading measured patterns, finding peaks in a profile, and the figure of merit.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>

#include "datafiles/reference_patterns.h"
#include "identify/entry_summaries.h"
#include "identify/peak_list.h"
#include "identify/profile.h"
#include "identify/ranking.h"
#include "patterns/identification_lines.h"
#include "support/test_support.h"
#include "synth.h"

using namespace lithora;

namespace {

MeasuredPattern peaksOf(const std::string& text) {
    Result<MeasuredPattern> p = parsePeakList(text, PeakPosition::D);
    EXPECT_TRUE(p.ok()) << (p.ok() ? "" : p.error().message);
    return p.ok() ? p.value() : MeasuredPattern{};
}

std::string errorOf(const std::string& text, PeakPosition position = PeakPosition::D,
                    double wavelength = kDefaultWavelength) {
    Result<MeasuredPattern> p = parsePeakList(text, position, wavelength);
    return p.ok() ? std::string("(accepted)") : p.error().message;
}

TEST(PeakList, ReadsEveryWayAPeakIsWritten) {
    // One a line with intensities, "d (I)", "d(I)", comma lists, comments and CR LF.
    const MeasuredPattern p =
        peaksOf("# quartz\r\n3.343 100\r\n4.255 (20)\n1.818(13); 2.457 7\n! note\n\n");
    ASSERT_EQ(p.peaks.size(), 4u);
    EXPECT_TRUE(p.intensitiesGiven);
    EXPECT_DOUBLE_EQ(p.peaks[0].d, 4.255); // by d, largest first
    EXPECT_DOUBLE_EQ(p.peaks[0].intensity, 20.0);
    EXPECT_DOUBLE_EQ(p.peaks[1].intensity, 100.0);
    EXPECT_DOUBLE_EQ(p.peaks[3].d, 1.818);

    // Positions only: a blank-separated line of three or more, or commas; all weigh the same.
    const MeasuredPattern list = peaksOf("3.343 4.255 1.818\n2.457, 2.281");
    ASSERT_EQ(list.peaks.size(), 5u);
    EXPECT_FALSE(list.intensitiesGiven);
    for (const Peak& peak : list.peaks)
        EXPECT_DOUBLE_EQ(peak.intensity, 100.0);

    // Intensities made relative to the strongest; a peak without one among others counts strong.
    const MeasuredPattern scaled = peaksOf("3.0 500\n2.0 250\n1.5");
    EXPECT_DOUBLE_EQ(scaled.peaks[0].intensity, 100.0);
    EXPECT_DOUBLE_EQ(scaled.peaks[1].intensity, 50.0);
    EXPECT_DOUBLE_EQ(scaled.peaks[2].intensity, 100.0);
}

TEST(PeakList, TwoThetaBecomesDByBraggsLaw) {
    Result<MeasuredPattern> p = parsePeakList("26.64 100\n20.86 22", PeakPosition::TwoTheta);
    ASSERT_TRUE(p.ok());
    EXPECT_NEAR(p.value().peaks[0].d, 4.255, 0.001); // Cu Kα
    EXPECT_NEAR(p.value().peaks[1].d, 3.343, 0.001);
    const double cobalt = parseWavelength("Co Kα").value();
    Result<MeasuredPattern> co = parsePeakList("31.03", PeakPosition::TwoTheta, cobalt);
    ASSERT_TRUE(co.ok());
    EXPECT_NEAR(co.value().peaks[0].d, 3.343, 0.001);
    EXPECT_NEAR(twoThetaFromD(dFromTwoTheta(47.5, cobalt), cobalt), 47.5, 1e-9);
    EXPECT_EQ(twoThetaFromD(0.5, kDefaultWavelength), 0.0); // below λ/2 nothing diffracts
}

TEST(PeakList, BadInputIsAClearErrorNamingLineAndValue) {
    EXPECT_EQ(errorOf("3.343 100\n2.5 abc"), "Line 2: \"abc\" is not a number");
    EXPECT_EQ(errorOf("3.3\n-2.1"),
              "Line 2: d = -2.1 is not a d-spacing: a d-spacing is above 0 Å");
    EXPECT_NE(errorOf("0").find("not a d-spacing"), std::string::npos);
    EXPECT_NE(errorOf("250").find("beyond the 100 Å"), std::string::npos);
    EXPECT_NE(errorOf("3.3 -5").find("intensity -5 is negative"), std::string::npos);
    EXPECT_NE(errorOf("nan").find("not a number"), std::string::npos);
    EXPECT_NE(errorOf("inf 100").find("not a number"), std::string::npos);
    EXPECT_NE(errorOf("1e400").find("not a number"), std::string::npos);
    EXPECT_NE(errorOf("3.3 100 5, 2.2").find("is not a peak"), std::string::npos);
    EXPECT_NE(errorOf("").find("No peak"), std::string::npos);
    EXPECT_NE(errorOf("# only a comment\n   \n").find("No peak"), std::string::npos);
    EXPECT_NE(errorOf("3.3 0\n2.2 0").find("Every intensity is 0"), std::string::npos);
    EXPECT_NE(errorOf(std::string("3.3\0 100", 8)).find("binary"), std::string::npos);
    EXPECT_EQ(errorOf("190 100", PeakPosition::TwoTheta),
              "Line 1: 2θ = 190° cannot be a diffraction angle: 2θ lies between 0 and 180°");
    EXPECT_NE(errorOf("0.5", PeakPosition::TwoTheta).find("gives d = 176.5"), std::string::npos);
    std::string many;
    for (int i = 0; i < 600; ++i)
        many += "3.1\n";
    EXPECT_EQ(errorOf(many).substr(0, 25), "Line 501: more than 500 p");
}

TEST(PeakList, WavelengthsByAnodeOrNumber) {
    EXPECT_DOUBLE_EQ(parseWavelength("").value(), 1.5406);
    EXPECT_DOUBLE_EQ(parseWavelength("cu").value(), 1.5406);
    EXPECT_DOUBLE_EQ(parseWavelength("CoKa").value(), 1.78897);
    EXPECT_DOUBLE_EQ(parseWavelength("Fe Kα1").value(), 1.93604);
    EXPECT_DOUBLE_EQ(parseWavelength("Mo").value(), 0.70930);
    EXPECT_DOUBLE_EQ(parseWavelength("1.5418").value(), 1.5418);
    EXPECT_FALSE(parseWavelength("W").ok());
    EXPECT_FALSE(parseWavelength("0.01").ok());
    EXPECT_FALSE(parseWavelength("-1.5").ok());
    EXPECT_EQ(wavelengthLabel(1.78897), "Co Kα");
    EXPECT_EQ(wavelengthLabel(1.5418), "1.5418 Å");
}

// A profile of Gaussian peaks 0.1° wide on a sloping background with a little ripple.
std::string profileText(const std::vector<std::pair<double, double>>& peaks, double step = 0.02) {
    std::string text = "# made by the test\n2Theta,Counts\n";
    for (double x = 10.0; x <= 80.0; x += step) {
        double y = 300.0 - 2.0 * x + 3.0 * std::sin(x * 37.0);
        for (const auto& [centre, height] : peaks)
            y += height * std::exp(-std::log(2.0) * std::pow((x - centre) / 0.05, 2.0));
        text += std::to_string(x) + "," + std::to_string(y) + "\n";
    }
    return text;
}

TEST(Profile, FindsEveryPeakAtItsPlaceAndHeight) {
    const std::vector<std::pair<double, double>> truth = {
        {20.86, 2000}, {26.64, 10000}, {36.54, 700}, {50.14, 1300}, {50.40, 600}, {68.2, 400}};
    Result<Profile> profile = parseProfile(profileText(truth));
    ASSERT_TRUE(profile.ok()) << profile.error().message;
    const std::vector<FoundPeak> found = findPeaks(profile.value());
    ASSERT_EQ(found.size(), truth.size());
    for (std::size_t i = 0; i < truth.size(); ++i) {
        EXPECT_NEAR(found[i].twoTheta, truth[i].first, 0.01) << i;
        EXPECT_NEAR(found[i].height, truth[i].second, 0.2 * truth[i].second) << i;
    }
    // A higher threshold keeps only the strong ones.
    PeakFinding strict;
    strict.thresholdPercent = 15.0;
    EXPECT_EQ(findPeaks(profile.value(), strict).size(), 2u);
    const MeasuredPattern pattern = patternOfPeaks(found, kDefaultWavelength);
    EXPECT_NEAR(pattern.peaks[1].d, 3.343, 0.002);
    EXPECT_DOUBLE_EQ(pattern.peaks[1].intensity, 100.0);
}

TEST(Profile, NoiseAloneGivesNoPeak) {
    // Counting noise of about ±22 counts on 500, from a fixed linear congruential sequence, at a
    // fine step and at a coarse one (where a smoothing of ±1 point once measured no noise at all
    // and took every wiggle for a peak).
    for (const double step : {0.02, 0.03}) {
        std::string text;
        std::uint32_t state = 12345;
        for (int i = 0; i < 3500; ++i) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                state = state * 1664525u + 1013904223u;
                sum += static_cast<double>(state >> 8) / 16777216.0 - 0.5;
            }
            text += std::to_string(10 + step * i) + " " + std::to_string(500 + 38.0 * sum) + "\n";
        }
        Result<Profile> profile = parseProfile(text);
        ASSERT_TRUE(profile.ok());
        EXPECT_TRUE(findPeaks(profile.value()).empty()) << "step " << step;
    }
}

TEST(Profile, ReadsTheColumnFormsOfInstruments) {
    // Semicolons with decimal commas, tabs, extra columns, a header, unsorted points.
    std::string semicolon = "angle;counts;esd\n";
    std::string tabs = "; comment\n";
    for (int i = 19; i >= 0; --i) {
        semicolon += std::to_string(10 + i) + ",5;" + std::to_string(100 + i) + ",0;3\n";
        tabs += std::to_string(10 + i) + ".5\t" + std::to_string(100 + i) + "\n";
    }
    for (const std::string& text : {semicolon, tabs}) {
        Result<Profile> p = parseProfile(text);
        ASSERT_TRUE(p.ok()) << p.error().message;
        ASSERT_EQ(p.value().twoTheta.size(), 20u);
        EXPECT_DOUBLE_EQ(p.value().twoTheta.front(), 10.5);
        EXPECT_DOUBLE_EQ(p.value().counts.back(), 119.0);
    }
}

TEST(Profile, WhatIsNoProfileIsSaidSo) {
    auto errorOfProfile = [](const std::string& text) {
        Result<Profile> p = parseProfile(text);
        return p.ok() ? std::string("(accepted)") : p.error().message;
    };
    EXPECT_NE(errorOfProfile("hello\nworld\n").find("no line holds two numbers"),
              std::string::npos);
    EXPECT_NE(errorOfProfile("10 1\n11 2\n").find("Too few points"), std::string::npos);
    EXPECT_NE(errorOfProfile(std::string("10 1\n\0\0\x01", 9)).find("binary"), std::string::npos);
    std::string data;
    for (int i = 0; i < 20; ++i)
        data += std::to_string(10 + i) + " 5\n";
    EXPECT_EQ(errorOfProfile(data + "30\n"),
              "Line 21: one column where a pattern file has two, 2θ and counts");
    EXPECT_EQ(errorOfProfile(data + "31 x\n"), "Line 21: \"x\" is not a number");
    EXPECT_NE(errorOfProfile("200 5\n" + data).find("cannot be a diffraction angle"),
              std::string::npos);
    std::string huge;
    huge.reserve(9 * 200001);
    for (int i = 0; i <= 200000; ++i)
        huge += "10.0 5\n";
    EXPECT_NE(errorOfProfile(huge).find("more than 200000 points"), std::string::npos);

    test::TempDir dir;
    EXPECT_FALSE(readProfileFile(dir.path()).ok());
    EXPECT_FALSE(readProfileFile(dir.path() / "missing.xy").ok());
    test::writeFile(dir.path() / "bad.xy", "no numbers here\n");
    Result<Profile> named = readProfileFile(dir.path() / "bad.xy");
    ASSERT_FALSE(named.ok());
    EXPECT_EQ(named.error().message.rfind("bad.xy: ", 0), 0u);
}

// Quartz's eight lines as its record's d-spacing and intensity fields hold them.
constexpr std::string_view kQuartzD = "3.343 4.255 1.818 1.374 1.542 2.281 2.457 1.382";
constexpr std::string_view kQuartzI = "100 20 13 11 9 7 7 6";

// A card's record lines scored as the ranking scores an entry without a whole pattern: typed
// d-spacings, the lattice scale fitted unless told not to.
Score scoreFields(const MeasuredPattern& pattern, std::string_view d, std::string_view intensity,
                  double tolerancePercent = kDefaultTolerancePercent, bool fit = true) {
    const IdentificationLines lines = identificationLines(nullptr, 0, d, intensity);
    MatchSettings settings;
    settings.tolerancePercent = tolerancePercent;
    settings.fitInstrument = fit;
    return matchPattern(preparePeaks(pattern, MeasuredAxis{}), lines.d(), lines.intensity(),
                        settings);
}

Score scoreQuartz(const MeasuredPattern& pattern,
                  double tolerancePercent = kDefaultTolerancePercent, bool fit = true) {
    return scoreFields(pattern, kQuartzD, kQuartzI, tolerancePercent, fit);
}

// The score's entry for the card line of spacing d, or null when the line is not listed.
const LineMatch* lineAt(const Score& score, double d) {
    for (const LineMatch& line : score.lines)
        if (std::fabs(line.cardD - d) < 1e-5) return &line;
    return nullptr;
}

TEST(FigureOfMerit, TheCardsOwnLinesScoreBestAndEachFaultCosts) {
    const MeasuredPattern exact =
        peaksOf("3.343 100\n4.255 20\n1.818 13\n1.374 11\n1.542 9\n2.281 7\n2.457 7\n1.382 6");
    const Score perfect = scoreQuartz(exact);
    EXPECT_NEAR(perfect.figureOfMerit, 100.0, 1e-6);
    EXPECT_EQ(perfect.linesMatched, 8);
    EXPECT_EQ(perfect.linesCounted, 8);

    // A common shift of 0.3 % is a lattice the fit finds: every line still matches, and only
    // the size of the fit costs. Unfitted, each line sits at the edge of the tolerance.
    MeasuredPattern shifted = exact;
    for (Peak& p : shifted.peaks)
        p.d *= 1.003;
    const Score s = scoreQuartz(shifted);
    EXPECT_NEAR(s.fit.lattice, 0.003, 0.0002);
    EXPECT_EQ(s.linesMatched, 8);
    EXPECT_GT(s.figureOfMerit, 0.9 * perfect.figureOfMerit);
    EXPECT_LT(s.figureOfMerit, perfect.figureOfMerit);
    EXPECT_LT(scoreQuartz(shifted, kDefaultTolerancePercent, false).figureOfMerit,
              0.5 * s.figureOfMerit);

    // A strong line missing costs more than a weak one; a strong peak unexplained costs too.
    const Score noStrong =
        scoreQuartz(peaksOf("4.255 20\n1.818 13\n1.374 11\n1.542 9\n2.281 7\n2.457 7\n1.382 6"));
    const Score noWeak =
        scoreQuartz(peaksOf("3.343 100\n4.255 20\n1.818 13\n1.374 11\n1.542 9\n2.281 7\n2.457 7"));
    EXPECT_LT(noStrong.figureOfMerit, noWeak.figureOfMerit);
    const LineMatch* strong = lineAt(noStrong, 3.343);
    ASSERT_NE(strong, nullptr); // counted, and missed
    EXPECT_EQ(strong->peak, -1);
    EXPECT_FALSE(strong->belowDetection);
    EXPECT_EQ(noStrong.linesCounted, 8);
    // The 6 % line is weaker than the weakest measured peak (7 %): below detection, in range
    // but not counted.
    EXPECT_EQ(noWeak.linesInRange, 8);
    EXPECT_EQ(noWeak.linesCounted, 7);
    EXPECT_EQ(lineAt(noWeak, 1.382), nullptr);
    MeasuredPattern extra = exact;
    extra.peaks.push_back(Peak{2.9, 80});
    normalisePattern(extra);
    const Score impure = scoreQuartz(extra);
    EXPECT_NEAR(impure.unexplained, 80.0 / 253.0, 1e-9);
    EXPECT_LT(impure.figureOfMerit, perfect.figureOfMerit);
}

TEST(FigureOfMerit, ALineMatchesOnlyWithinTheToleranceOfWhereTheFitPutsIt) {
    const struct {
        const char* peaks;
        bool fit;
        int matched;
        double missed; // a card line that must be listed as missed, or 0
    } cases[] = {
        // 1.7 % off: beyond the tolerance unfitted, ...
        {"3.40 100\n4.33 20", false, 0, 0.0},
        // ... but a common shift is a lattice the fit reaches.
        {"3.40 100\n4.33 20", true, 2, 0.0},
        // One line 1.7 % off where the others agree is no lattice: it stays missed.
        {"3.343 100\n4.33 20\n1.818 13", true, 2, 4.255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.peaks);
        const Score s = scoreQuartz(peaksOf(c.peaks), kDefaultTolerancePercent, c.fit);
        EXPECT_EQ(s.linesMatched, c.matched);
        if (c.matched == 0) {
            EXPECT_EQ(s.figureOfMerit, 0.0);
        }
        if (c.missed > 0.0) {
            const LineMatch* line = lineAt(s, c.missed);
            ASSERT_NE(line, nullptr);
            EXPECT_EQ(line->peak, -1);
        }
    }
    // Δd is measured − card, before the fit; the peak is the pattern's index (d falling).
    const Score near = scoreQuartz(peaksOf("3.35 100\n4.255 20"), 0.6);
    const LineMatch* line = lineAt(near, 3.343);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->peak, 1);
    EXPECT_NEAR(line->deltaD, 0.007, 1e-6);
}

TEST(FigureOfMerit, OverlappingLinesShareAPeak) {
    // Two card lines 0.2 % apart and one measured peak between: both take it, and its
    // intensity is compared with theirs together.
    const MeasuredPattern measured = peaksOf("2.281 100\n3.0 26");
    const Score s = scoreFields(measured, "2.283 2.279 3.0", "50 50 26");
    EXPECT_EQ(s.linesMatched, 3);
    const LineMatch* a = lineAt(s, 2.283);
    const LineMatch* b = lineAt(s, 2.279);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->peak, 1);
    EXPECT_EQ(b->peak, 1);
    EXPECT_NEAR(s.unexplained, 0.0, 1e-12);
    EXPECT_GT(s.agreement, 0.99);
}

TEST(CardLines, ReadsWhatTheRecordsHold) {
    const CardLines c = cardLinesOf("3.0 2.0 0 1.5", "50 100 10");
    ASSERT_EQ(c.count, 3);         // the d of 0 is no line
    EXPECT_DOUBLE_EQ(c.d[0], 2.0); // strongest first
    EXPECT_DOUBLE_EQ(c.intensity[1], 50.0);
    EXPECT_DOUBLE_EQ(c.intensity[2], 50.0); // no intensity: a middling line
    EXPECT_EQ(cardLinesOf("", "").count, 0);
    EXPECT_EQ(cardLinesOf("1 2 3 4 5 6 7 8 9 10", "").count, 8);
}

TEST(Residual, TakesAwayWhatTheChosenPhaseExplains) {
    // Quartz with calcite's 3.035 line and a shared peak at 2.281 stronger than quartz's share.
    const MeasuredPattern mixture = peaksOf("3.343 100\n4.255 20\n1.818 13\n3.035 40\n2.281 30");
    const MeasuredPattern rest = residualPattern(mixture, scoreQuartz(mixture));
    ASSERT_EQ(rest.peaks.size(), 2u);
    EXPECT_DOUBLE_EQ(rest.peaks[0].d, 3.035);
    EXPECT_DOUBLE_EQ(rest.peaks[1].d, 2.281);
    EXPECT_LT(rest.peaks[1].intensity, rest.peaks[0].intensity); // quartz's share of 2.281 gone

    const MeasuredPattern positions = peaksOf("3.343, 4.255, 3.035");
    const MeasuredPattern left = residualPattern(positions, scoreQuartz(positions, 0.6));
    ASSERT_EQ(left.peaks.size(), 1u);
    EXPECT_DOUBLE_EQ(left.peaks[0].d, 3.035);
}

TEST(Ranking, RanksTheDatabaseWithFiltersAndScope) {
    test::TempDir dir;
    DataSet data = test::packInto(test::readFixtureSource("mini"), dir.path());
    const MeasuredPattern calcite = peaksOf("3.035 100\n2.285 18\n2.095 27\n1.913 17\n1.875 34");
    IdentifyOptions options;
    Result<Identification> r = identifyPattern(data, calcite, options);
    ASSERT_TRUE(r.ok()) << r.error().message;
    ASSERT_FALSE(r.value().candidates.empty());
    const Candidate& first = r.value().candidates[0];
    EXPECT_EQ(first.card, 1);
    EXPECT_EQ(first.name, "Calcite");
    EXPECT_EQ(first.rank, 1);
    EXPECT_GT(first.score.figureOfMerit, 50.0);
    // Calcite is scored on its whole pattern, kept in lithora.p.
    EXPECT_TRUE(r.value().wholePatterns);
    EXPECT_TRUE(first.wholePattern);
    // Entries without lines (Feldspar, Garnet, Zalum, and Kechite's line of 0) are not scored.
    EXPECT_EQ(r.value().entriesScored, 5);

    // Calcium excluded, or the scope without card 1, leaves calcite out.
    IdentifyOptions noCa;
    setElementFilter(noCa, {}, {atomicNumber("Ca")}, 0);
    Result<Identification> filtered = identifyPattern(data, calcite, noCa);
    ASSERT_TRUE(filtered.ok());
    for (const Candidate& c : filtered.value().candidates)
        EXPECT_NE(c.card, 1);
    IdentifyOptions within;
    within.cardScope.assign(10001, false);
    within.cardScope[5] = within.cardScope[300] = true;
    Result<Identification> scoped = identifyPattern(data, calcite, within);
    ASSERT_TRUE(scoped.ok());
    EXPECT_EQ(scoped.value().entriesScored, 2);

    Result<Candidate> one = scoreOneCard(data, calcite, 1, options);
    ASSERT_TRUE(one.ok());
    EXPECT_DOUBLE_EQ(one.value().score.figureOfMerit, first.score.figureOfMerit);
    EXPECT_TRUE(one.value().wholePattern);
    EXPECT_FALSE(scoreOneCard(data, calcite, 108, options).ok());  // no lines
    EXPECT_FALSE(scoreOneCard(data, calcite, 4242, options).ok()); // no such card
}

TEST(Ranking, WithoutItsEntryFileASetFailsAndWithoutPatternsTheCardLinesStandIn) {
    const MeasuredPattern calcite = peaksOf("3.035 100\n2.285 18\n2.095 27\n1.913 17\n1.875 34");
    const struct {
        const char* removed;
        bool ranks;
    } cases[] = {
        {"lithora.a", false}, // the entries themselves
        {"lithora.p", true},  // the whole patterns: the records' lines stand in, with a note
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.removed);
        test::TempDir dir;
        DataSet data = test::packInto(test::readFixtureSource("mini"), dir.path());
        std::filesystem::remove(dir.path() / c.removed);
        Result<Identification> r = identifyPattern(data, calcite, IdentifyOptions{});
        ASSERT_EQ(r.ok(), c.ranks);
        if (!c.ranks) continue;
        EXPECT_FALSE(r.value().wholePatterns);
        EXPECT_FALSE(r.value().patternNote.empty());
        ASSERT_FALSE(r.value().candidates.empty());
        EXPECT_EQ(r.value().candidates[0].card, 1);
        EXPECT_FALSE(r.value().candidates[0].wholePattern);
    }
}

TEST(Ranking, ReadsTheEntriesOnceAndAgainWhenTheirFileChanges) {
    test::TempDir dir;
    DataSet data = test::packInto(test::readFixtureSource("mini"), dir.path());
    const MeasuredPattern calcite = peaksOf("3.035 100\n2.285 18\n2.095 27\n1.913 17\n1.875 34");
    ASSERT_TRUE(identifyPattern(data, calcite, {}).ok());
    const std::shared_ptr<const EntrySummaries> first = data.entrySummaries;
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(identifyPattern(data, calcite, {}).ok());
    EXPECT_EQ(data.entrySummaries, first);
    const std::filesystem::path entries = data.file("lithora.a");
    std::filesystem::last_write_time(entries, std::filesystem::last_write_time(entries) +
                                                  std::chrono::seconds(5));
    Result<Identification> again = identifyPattern(data, calcite, {});
    ASSERT_TRUE(again.ok());
    EXPECT_NE(data.entrySummaries, first);
    EXPECT_EQ(again.value().candidates.at(0).name, "Calcite");
}

// A set large enough to be looked at in parts on several cores: an entry's own strongest lines,
// moved by a lattice 1.2 % larger, find it first, and again the same way.
TEST(Ranking, ALargeSetLookedAtInPartsFindsTheEntry) {
    test::TempDir dir;
    DataSet data = test::packInto(synthesize(4500, 3), dir.path());
    const std::shared_ptr<const ReferencePatterns> store = referencePatternsOf(data, {});
    ASSERT_GT(store->cardCount(), 3000u);
    store->prepareStrongest();
    for (const std::size_t slot : {std::size_t{17}, store->cardCount() - 5}) {
        const PatternView p = store->at(slot);
        ASSERT_GE(p.strongest.size(), 12u);
        MeasuredPattern typed;
        for (const auto& [intensity, d] : p.strongest.first(12))
            typed.peaks.push_back(Peak{d * 1.012, intensity});
        normalisePattern(typed);
        Result<Identification> r = identifyPattern(data, typed, {});
        ASSERT_TRUE(r.ok());
        ASSERT_FALSE(r.value().candidates.empty());
        EXPECT_EQ(r.value().candidates[0].card, p.card) << slot;
        Result<Identification> again = identifyPattern(data, typed, {});
        ASSERT_TRUE(again.ok());
        ASSERT_EQ(again.value().candidates.size(), r.value().candidates.size());
        for (std::size_t i = 0; i < r.value().candidates.size(); ++i)
            EXPECT_EQ(again.value().candidates[i].card, r.value().candidates[i].card) << i;
    }
}

} // namespace
