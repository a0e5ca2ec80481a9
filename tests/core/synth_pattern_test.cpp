// The synthetic reference patterns: computed from the entry's cell, shaped like a real
// calculated pattern, with the card's lines as their strongest.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <numbers>
#include <set>

#include "source/packer.h"
#include "synth.h"
#include "text/split.h"

using namespace lithora;

namespace {

const SourceSet& thousand() {
    static const SourceSet set = synthesize(1000, 13);
    return set;
}

double number(std::string_view text) {
    double v = std::nan("");
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

// d of (h, k, l) from the cell "a b c alpha beta gamma V", by the reciprocal metric.
double dOf(const std::vector<double>& p, int h, int k, int l) {
    const double r = std::numbers::pi / 180.0;
    const double ca = std::cos(p[3] * r), cb = std::cos(p[4] * r), cg = std::cos(p[5] * r);
    const double g[3][3] = {{p[0] * p[0], p[0] * p[1] * cg, p[0] * p[2] * cb},
                            {p[0] * p[1] * cg, p[1] * p[1], p[1] * p[2] * ca},
                            {p[0] * p[2] * cb, p[1] * p[2] * ca, p[2] * p[2]}};
    const double det = g[0][0] * (g[1][1] * g[2][2] - g[1][2] * g[2][1]) -
                       g[0][1] * (g[1][0] * g[2][2] - g[1][2] * g[2][0]) +
                       g[0][2] * (g[1][0] * g[2][1] - g[1][1] * g[2][0]);
    const int v[3] = {h, k, l};
    double q = 0.0;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            // The inverse by cofactors: (G⁻¹)ij = C_ji / det.
            const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
            q += v[i] * v[j] * (g[i1][j1] * g[i2][j2] - g[i1][j2] * g[i2][j1]) / det;
        }
    }
    return 1.0 / std::sqrt(q);
}

// How many equivalent reflections a set may have in each Laue class.
const std::map<std::string, std::set<std::uint32_t>> kMultiplicities = {{"A", {2}},
                                                                        {"M", {2, 4}},
                                                                        {"O", {2, 4, 8}},
                                                                        {"Q", {2, 4, 8, 16}},
                                                                        {"H", {2, 6, 12, 24}},
                                                                        {"H/R", {2, 6, 12}},
                                                                        {"H/T", {2, 6, 12}},
                                                                        {"C", {6, 8, 12, 24, 48}}};

} // namespace

TEST(SynthPatterns, FollowTheCellAndHoldTheCardLinesAsTheirStrongest) {
    const SourceSet& set = thousand();
    ASSERT_TRUE(set.patterns);
    std::map<int, const SourceEntry*> entryOf;
    for (const SourceEntry& e : set.entries)
        entryOf[std::stoi(e.cells[FieldCard])] = &e;
    int previous = 0;
    for (const SourcePattern& p : *set.patterns) {
        SCOPED_TRACE(p.card);
        ASSERT_GT(p.card, previous);
        previous = p.card;
        const SourceEntry& e = *entryOf.at(p.card);
        ASSERT_TRUE(p.lines.size() >= 1 && p.lines.size() <= 500);
        EXPECT_TRUE(p.cut == 0 || p.lines.size() == 500);
        std::vector<double> cell;
        for (const std::string& w : splitWords(e.cells[FieldCell]))
            cell.push_back(number(w));
        ASSERT_GE(cell.size(), 6u);
        const std::set<std::uint32_t>& allowed = kMultiplicities.at(e.cells[FieldCrystalSystem]);
        for (std::size_t i = 0; i < p.lines.size(); ++i) {
            const SourcePatternLine& l = p.lines[i];
            if (i > 0) {
                EXPECT_LT(l.d, p.lines[i - 1].d);
            }
            EXPECT_GE(l.d, 7995u); // 0.8 Å, rounded
            EXPECT_TRUE(l.intensity >= 20 && l.intensity <= 10000) << l.intensity;
            EXPECT_TRUE(allowed.count(l.multiplicity)) << l.multiplicity;
            // Merged lines sit at their weighted mean, near the strongest one's d.
            EXPECT_NEAR(l.d / 1e4, dOf(cell, l.h, l.k, l.l), 0.003) << l.h << l.k << l.l;
        }
        // The card's n lines are the n strongest: their d and intensity as the card rounds them.
        const std::vector<std::string> cardD = splitWords(e.cells[FieldDSpacings]);
        const std::vector<std::string> cardI = splitWords(e.cells[FieldIntensities]);
        std::vector<SourcePatternLine> strongest = p.lines;
        std::sort(strongest.begin(), strongest.end(),
                  [](const auto& x, const auto& y) { return x.intensity > y.intensity; });
        strongest.resize(cardD.size());
        for (std::size_t j = 0; j < cardD.size(); ++j) {
            const std::size_t dot = cardD[j].find('.');
            const double rounding = std::pow(10.0, -static_cast<int>(cardD[j].size() - dot - 1));
            const bool found =
                std::any_of(strongest.begin(), strongest.end(), [&](const SourcePatternLine& l) {
                    return std::abs(l.d / 1e4 - number(cardD[j])) <= rounding / 2 + 0.0006 &&
                           l.intensity / 100 == static_cast<std::uint32_t>(number(cardI[j]));
                });
            EXPECT_TRUE(found) << cardD[j] << " " << cardI[j];
        }
    }
}

TEST(SynthPatterns, LookLikeRealCalculatedPatterns) {
    const SourceSet& set = thousand();
    int withLinesAndCell = 0;
    for (const SourceEntry& e : set.entries)
        withLinesAndCell += !e.cells[FieldDSpacings].empty() && !e.cells[FieldCell].empty();
    std::vector<std::size_t> counts;
    std::size_t lines = 0, weak = 0, cut = 0;
    for (const SourcePattern& p : *set.patterns) {
        counts.push_back(p.lines.size());
        cut += p.cut > 0;
        for (const SourcePatternLine& l : p.lines) {
            ++lines;
            weak += l.intensity < 100;
        }
    }
    // Every entry whose lines come from a cell has a pattern; tens to a few hundred lines, most
    // of them weaker than 1 % of the strongest, and now and then more than 500.
    EXPECT_GE(counts.size(), withLinesAndCell * 99u / 100);
    std::sort(counts.begin(), counts.end());
    EXPECT_TRUE(counts[counts.size() / 2] >= 30 && counts[counts.size() / 2] <= 200)
        << counts[counts.size() / 2];
    EXPECT_GE(counts[counts.size() * 9 / 10], 200u);
    EXPECT_GE(cut, 5u);
    EXPECT_GT(weak * 10, lines * 4);
    // The same seed, the same bytes; another seed, others.
    EXPECT_EQ(packPatterns(*synthesize(40, 7).patterns), packPatterns(*synthesize(40, 7).patterns));
    EXPECT_NE(packPatterns(*synthesize(40, 7).patterns), packPatterns(*synthesize(40, 8).patterns));
}
