// A candidate's whole pattern against measured peaks with the instrument's faults fitted, and a
// profile against the candidate's calculated one.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "identify/mixture.h"
#include "identify/pattern_match.h"
#include "identify/profile_fit.h"

using namespace lithora;

namespace {

// Quartz's strongest lines (d Å, I), as calculated for Cu Kα.
const std::vector<float> kD = {4.2549f, 3.3427f, 2.4567f, 2.2814f, 2.2360f, 2.1273f,
                               1.9795f, 1.8175f, 1.6717f, 1.5415f, 1.3820f, 1.3737f};
const std::vector<float> kI = {21.0f, 100.0f, 7.0f, 7.0f, 3.0f, 5.0f,
                               3.0f,  13.0f,  4.0f, 9.0f, 6.0f, 11.0f};

constexpr double kCu = 1.540598;

// The measured peaks of those lines for a fit: positions where the fit puts them, as d.
MeasuredPattern measured(const MeasuredAxis& axis, const InstrumentFit& fault) {
    MeasuredPattern p;
    for (std::size_t i = 0; i < kD.size(); ++i) {
        const double x = expectedPosition(axis, kD[i], fault);
        const double d = axis.twoTheta ? dFromTwoTheta(x, axis.wavelength) : std::exp(-x);
        p.peaks.push_back(Peak{d, kI[i]});
    }
    normalisePattern(p);
    return p;
}

TEST(PatternMatch, TheFitFindsEachFaultAndTheCandidateScoresHigh) {
    struct Case {
        bool twoTheta;
        InstrumentFit fault;
    };
    // Faults at the edge of what lab scans show (and a 2 % solid solution): the fit must reach
    // each, since a match that did not fit would lose most lines at a 0.1° (2θ) or 0.3 % (d)
    // tolerance.
    const Case cases[] = {
        {true, {0.12, 0.0, 0.0}},  {true, {0.0, 0.0, 0.012}},  {true, {-0.1, 0.0, -0.008}},
        {true, {0.0, -0.09, 0.0}}, {false, {0.0, 0.0, 0.015}}, {false, {0.0, 0.0, -0.02}},
    };
    for (const Case& c : cases) {
        const MeasuredAxis axis{c.twoTheta, kCu};
        const PatternScore s =
            matchPattern(preparePeaks(measured(axis, c.fault), axis, 15.0, 75.0), kD, kI, {});
        EXPECT_EQ(s.linesMatched, s.linesCounted) << c.fault.zero << " " << c.fault.lattice;
        // Every line found where the fit puts it; only the size of the faults costs.
        EXPECT_GT(s.explained, 0.99);
        EXPECT_LT(s.unexplained, 1e-9);
        EXPECT_GT(s.plausibility, 0.4);
        // What a line's position shows is the sum of the faults at its angle: zero and
        // displacement are nearly alike over a scan, so the test checks where lines land.
        for (double d : {4.2549, 1.3737}) {
            EXPECT_NEAR(expectedPosition(axis, d, s.fit), expectedPosition(axis, d, c.fault),
                        c.twoTheta ? 0.01 : 1e-4);
        }
    }
}

TEST(PatternMatch, AnImpurityPeakDoesNotDragTheFit) {
    const MeasuredAxis axis{true, kCu};
    const InstrumentFit fault{0.05, 0.0, 0.0};
    MeasuredPattern p = measured(axis, fault);
    // A strong foreign peak 0.08° above quartz's 3.343 line, within the matching window.
    p.peaks.push_back(Peak{dFromTwoTheta(twoThetaFromD(3.3427, kCu) + 0.05 + 0.08, kCu), 60});
    normalisePattern(p);
    const PatternScore s = matchPattern(preparePeaks(p, axis, 15.0, 75.0), kD, kI, {});
    EXPECT_NEAR(expectedPosition(axis, 2.4567, s.fit), expectedPosition(axis, 2.4567, fault), 0.02);
    EXPECT_GT(s.unexplained, 0.1); // the foreign peak stays unexplained
}

TEST(PatternMatch, OnlyLinesInsideTheScanCount) {
    const MeasuredAxis axis{true, kCu};
    // 2θ 18..40 holds quartz's lines from 4.255 (20.9°) to 2.281 (39.5°; 2.236 at 40.3° is
    // out): four lines.
    MeasuredPattern p;
    for (std::size_t i = 0; i < 4; ++i)
        p.peaks.push_back(Peak{kD[i], kI[i]});
    normalisePattern(p);
    const PatternScore s = matchPattern(preparePeaks(p, axis, 18.0, 40.0), kD, kI, {});
    EXPECT_EQ(s.linesInRange, 4);
    EXPECT_EQ(s.linesMatched, 4);
    EXPECT_NEAR(s.unexplained, 0.0, 1e-12);
}

// A profile of Gaussian-topped lines with Kα2 at half height, on a flat background.
Profile doubletProfile(const std::vector<double>& twoTheta, const std::vector<double>& height,
                       double fwhm, double ratio) {
    Profile p;
    const double alpha2 = 1.544426;
    for (double x = 20.0; x <= 60.0; x += 0.01) {
        double y = 100.0;
        for (std::size_t i = 0; i < twoTheta.size(); ++i) {
            const double d = dFromTwoTheta(twoTheta[i], kCu);
            for (const auto& [centre, share] :
                 {std::pair{twoTheta[i], 1.0}, std::pair{twoThetaFromD(d, alpha2), ratio}}) {
                const double q = (x - centre) / fwhm;
                y += share * height[i] * std::exp(-4.0 * std::numbers::ln2 * q * q);
            }
        }
        p.twoTheta.push_back(x);
        p.counts.push_back(y);
    }
    return p;
}

TEST(ProfileFit, StrippingKAlpha2LeavesOnePeakOfTheMeasuredWidth) {
    const Profile p = doubletProfile({30.0, 50.0}, {1000.0, 800.0}, 0.08, 0.5);
    const std::vector<double> flat(p.counts.size(), 100.0);
    const Profile stripped = stripKAlpha2(p, flat, radiationFor(kCu));
    const std::vector<FoundPeak> before = findPeaks(p), after = findPeaks(stripped);
    // At 50° the doublet is resolved (0.14° apart): two peaks before, one after.
    EXPECT_EQ(before.size(), 3u); // 30°: 0.08° apart, one peak
    ASSERT_EQ(after.size(), 2u);
    EXPECT_NEAR(after[0].twoTheta, 30.0, 0.01);
    EXPECT_NEAR(after[1].twoTheta, 50.0, 0.01);
    EXPECT_NEAR(measureWidths(stripped, flat, after).at(40.0), 0.08, 0.01);
}

TEST(ProfileFit, TheRightLinesReproduceTheProfileAndWrongOnesDoNot) {
    const MeasuredAxis axis{true, kCu};
    const std::vector<double> at = {twoThetaFromD(3.3427, kCu), twoThetaFromD(2.4567, kCu)};
    const Profile p = doubletProfile(at, {1000.0, 300.0}, 0.1, 0.5);
    const std::vector<double> flat(p.counts.size(), 100.0);
    const ProfileTarget target = profileTarget(p, flat, radiationFor(kCu), PeakWidth{0.1, 0.0});
    const std::vector<float> rightD = {3.3427f, 2.4567f}, rightI = {100.0f, 30.0f};
    const std::vector<float> wrongD = {3.03f, 2.28f}, wrongI = {100.0f, 30.0f};
    EXPECT_LT(compareProfile(target, axis, rightD, rightI, {}).rwp, 0.25);
    EXPECT_GT(compareProfile(target, axis, wrongD, wrongI, {}).rwp, 0.9);
}

// Two phases fitted together: each takes its own peaks at the ratio they were made with, and a
// third phase the scan does not hold gets no counts.
TEST(ProfileFit, PhasesFittedTogetherShareTheCountsByTheirOwnPeaks) {
    const MeasuredAxis axis{true, kCu};
    const std::vector<float> aD = {3.3427f, 2.4567f}, aI = {100.0f, 30.0f};
    const std::vector<float> bD = {3.03f, 2.28f}, bI = {100.0f, 30.0f};
    const std::vector<float> cD = {4.26f, 1.82f}, cI = {100.0f, 50.0f};
    const Profile p = doubletProfile({twoThetaFromD(3.3427, kCu), twoThetaFromD(2.4567, kCu),
                                      twoThetaFromD(3.03, kCu), twoThetaFromD(2.28, kCu)},
                                     {1000.0, 300.0, 500.0, 150.0}, 0.1, 0.5);
    const std::vector<double> flat(p.counts.size(), 100.0);
    const ProfileTarget target = profileTarget(p, flat, radiationFor(kCu), PeakWidth{0.1, 0.0});
    const std::vector<PhaseModel> phases = {
        {aD, aI, {}, {}, 1.0}, {bD, bI, {}, {}, 1.0}, {cD, cI, {}, {}, 1.0}};
    const PhasesFit all = fitPhases(target, axis, phases, true);
    const PhasesFit alone = fitPhases(target, axis, std::span(phases).first(1));
    EXPECT_LT(all.rwp, 0.25);
    EXPECT_GT(alone.rwp, 0.4);
    ASSERT_EQ(all.scale.size(), 3u);
    EXPECT_NEAR(all.scale[0] / all.scale[1], 2.0, 0.2);
    EXPECT_LT(all.scale[2], 0.01 * all.scale[1]);
    ASSERT_EQ(all.calculated.size(), 3u);
    EXPECT_EQ(all.calculated[0].size(), target.twoTheta.size());
}

// Weight fractions from scales and I/Ic: shares of scale / I/Ic summing to 100 over the phases
// with an I/Ic, a phase without one left out, and the uncertainty growing with the scale's.
TEST(Mixture, AmountsFollowScaleOverIicAndCarryTheirUncertainty) {
    struct Case {
        std::vector<double> scale;
        std::vector<std::optional<double>> iic;
        std::vector<double> spread;
        std::vector<double> percent; // -1: no amount
        bool complete;
    };
    const std::vector<Case> cases = {
        {{2.0, 1.0}, {1.0, 1.0}, {0.0, 0.0}, {200.0 / 3, 100.0 / 3}, true},
        {{2.0, 1.0}, {4.0, 1.0}, {0.0, 0.0}, {100.0 / 3, 200.0 / 3}, true},
        {{2.0, 1.0, 5.0},
         {1.0, 1.0, std::nullopt},
         {0.0, 0.0, 0.0},
         {200.0 / 3, 100.0 / 3, -1},
         false},
        {{3.0}, {2.0}, {0.5}, {100.0}, true},
    };
    for (const Case& c : cases) {
        Mixture m;
        for (std::size_t i = 0; i < c.scale.size(); ++i) {
            MixturePhase p;
            p.scale = c.scale[i];
            p.iic = c.iic[i];
            m.phases.push_back(p);
        }
        assignAmounts(m, c.spread);
        EXPECT_EQ(m.amountsComplete, c.complete);
        for (std::size_t i = 0; i < c.scale.size(); ++i)
            EXPECT_NEAR(m.phases[i].weightPercent, c.percent[i], 1e-9) << i;
    }
    // One phase is all there is, however uncertain its scale; of two, a wider spread of one
    // scale widens both amounts' uncertainty.
    Mixture one;
    one.phases.resize(1);
    one.phases[0].scale = 1.0;
    one.phases[0].iic = 1.0;
    assignAmounts(one, {0.5});
    EXPECT_NEAR(one.phases[0].weightSigma, 0.0, 1e-12);
    Mixture two;
    two.phases.resize(2);
    for (MixturePhase& p : two.phases) {
        p.scale = 1.0;
        p.iic = 1.0;
    }
    assignAmounts(two, {0.0, 0.0});
    const double floor = two.phases[0].weightSigma;
    EXPECT_NEAR(floor, 50.0 * kIicUncertainty * std::sqrt(0.5), 1e-9);
    assignAmounts(two, {0.3, 0.0});
    EXPECT_GT(two.phases[0].weightSigma, floor);
    EXPECT_GT(two.phases[1].weightSigma, floor);
}

// The noise a perfect calculation would leave is read off the scan itself: counting noise of
// a known size on a known profile, at two count levels and none.
TEST(ProfileFit, TheNoiseFloorIsMeasuredOnTheScan) {
    const std::vector<double> at = {twoThetaFromD(3.3427, kCu), twoThetaFromD(2.4567, kCu)};
    for (const double scale : {0.0, 1.0, 100.0}) {
        const Profile clean = doubletProfile(at, {1000.0, 300.0}, 0.1, 0.5);
        Profile noisy = clean;
        std::uint32_t random = 12345;
        double noiseSquares = 0.0, netSquares = 0.0;
        for (std::size_t i = 0; i < noisy.counts.size(); ++i) {
            const double expected = clean.counts[i] * std::max(scale, 1.0);
            // A normal deviate of the Poisson spread from twelve uniform ones.
            double z = -6.0;
            for (int k = 0; k < 12; ++k) {
                random = random * 1664525u + 1013904223u;
                z += (random >> 8) / 16777216.0;
            }
            const double noise = scale > 0.0 ? z * std::sqrt(expected) : 0.0;
            noisy.counts[i] = expected + noise;
            const double net = expected - 100.0 * std::max(scale, 1.0);
            noiseSquares += noise * noise / noisy.counts[i];
            netSquares += net * net / noisy.counts[i];
        }
        const std::vector<double> flat(noisy.counts.size(), 100.0 * std::max(scale, 1.0));
        const ProfileTarget target =
            profileTarget(noisy, flat, radiationFor(kCu), PeakWidth{0.1, 0.0});
        const double truth = std::sqrt(noiseSquares / netSquares);
        if (scale == 0.0) {
            EXPECT_LT(target.noiseR, 0.01);
        } else {
            EXPECT_NEAR(target.noiseR, truth, 0.25 * truth) << "counts times " << scale;
        }
    }
}

} // namespace
