#include "fault_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace lithora {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kCu1 = 1.540598, kCu2 = 1.544426;

// Every fault given and off: no noise, no background, narrow Gaussian peaks (FWHM 0.05° at every
// angle) on a fine step, so each top can be read to 0.0001°.
FaultSettings quiet() {
    FaultSettings s;
    s.range = ScanRange{10.0, 100.0};
    s.step = 0.005;
    s.zeroShift = 0.0;
    s.displacement = 0.0;
    s.widths = Caglioti{0.0, 0.0, 0.05 * 0.05};
    s.eta = 0.0;
    s.peakHeight = 10000.0;
    s.background = Background{};
    s.noise = false;
    return s;
}

FaultPhase phase(std::vector<FaultLine> lines, UnitCell cell, double r) {
    FaultPhase p;
    p.lines = std::move(lines);
    p.cell = cell;
    p.strain = 0.0;
    p.marchR = r;
    p.textureAxis = {0.0, 0.0, 1.0};
    return p;
}

struct Top {
    double twoTheta = 0.0, height = 0.0;
};

// The top of the peak within 0.1° of `near`: the vertex of the parabola through the logarithms
// of the highest point and its neighbours, exact for a Gaussian.
Top topNear(const FaultProfile& f, double near) {
    const auto& x = f.profile.twoTheta;
    const auto& y = f.profile.counts;
    std::size_t best = 0;
    for (std::size_t i = 1; i + 1 < x.size(); ++i) {
        if (std::fabs(x[i] - near) < 0.1 && (best == 0 || y[i] > y[best])) best = i;
    }
    const double a = std::log(y[best - 1]), b = std::log(y[best]), c = std::log(y[best + 1]);
    const double shift = 0.5 * (a - c) / (a - 2.0 * b + c);
    return {x[best] + shift * (x[1] - x[0]), std::exp(b - 0.25 * (a - c) * shift)};
}

struct ShiftCase {
    const char* name;
    double zero, displacement, strain, ratio;
};

TEST(FaultProfile, PeaksSitWhereBraggsLawAndTheFaultsPutThem) {
    const double d = 1.2; // 2θ near 80°, where the doublet is 0.24° apart: the tops stand clear
    // Expected: 2θ = 2 asin(λ / 2d(1 + ε)) + zero - 2 s cosθ / R (R = 240 mm), for each of the
    // doublet, with Kα2 at half the height of Kα1 (equal widths, area ratio 0.5).
    const ShiftCase cases[] = {
        {"none", 0.0, 0.0, 0.0, 0.5},        {"zero +0.1", 0.1, 0.0, 0.0, 0.5},
        {"s +0.15 mm", 0.0, 0.15, 0.0, 0.5}, {"s -0.1 mm", 0.0, -0.1, 0.0, 0.5},
        {"ε +1 %", 0.0, 0.0, 0.01, 0.5},     {"Kα1 only", 0.0, 0.0, 0.0, 0.0}};
    for (const ShiftCase& c : cases) {
        SCOPED_TRACE(c.name);
        FaultSettings s = quiet();
        s.zeroShift = c.zero;
        s.displacement = c.displacement;
        s.radiation.ratio = c.ratio;
        FaultPhase p = phase({{d, 100.0, {1, 1, 1}}}, {5, 5, 5, 90, 90, 90}, 1.0);
        p.strain = c.strain;
        const Result<FaultProfile> f = makeFaultProfile({&p, 1}, s, 1);
        ASSERT_TRUE(f.ok()) << f.error().message;
        auto expected = [&](double lambda) {
            const double theta = std::asin(lambda / (2.0 * d * (1.0 + c.strain)));
            return 2.0 * theta / kDegree + c.zero -
                   2.0 * c.displacement * std::cos(theta) / 240.0 / kDegree;
        };
        const Top first = topNear(f.value(), expected(kCu1));
        EXPECT_NEAR(first.twoTheta, expected(kCu1), 1e-4);
        // The peak height is the highest count, which lies on a point, not at the top.
        const auto& counts = f.value().profile.counts;
        EXPECT_NEAR(*std::max_element(counts.begin(), counts.end()), 10000.0, 1e-6);
        ASSERT_EQ(f.value().truth.lines.size(), 1u);
        EXPECT_NEAR(f.value().truth.lines[0].twoTheta, expected(kCu1), 1e-9);
        if (c.ratio > 0.0) {
            const Top second = topNear(f.value(), expected(kCu2));
            EXPECT_NEAR(second.twoTheta, expected(kCu2), 1e-4);
            EXPECT_NEAR(second.height / first.height, 0.5, 1e-3);
        } else {
            const auto at = std::lower_bound(f.value().profile.twoTheta.begin(),
                                             f.value().profile.twoTheta.end(), expected(kCu2));
            EXPECT_LT(counts[std::size_t(at - f.value().profile.twoTheta.begin())], 1e-3);
        }
    }
}

struct TextureCase {
    const char* name;
    UnitCell cell;
    double r;
    std::array<int, 3> side; // the second line, beside (001)
    double angle;            // between the normals of (001) and the side line, degrees
};

TEST(FaultProfile, TextureFollowsTheAngleToTheAxisInTheReciprocalLattice) {
    // March–Dollase: P(α) = (r² cos²α + sin²α / r)^-3/2, so along the axis r^-3 and across it
    // r^1.5. (100) is across c* unless the cell is oblique. In the monoclinic cell the reciprocal
    // one has a* = 1/(a sin β), c* = 1/(c sin β) and β* = 180° - β = 70°, so (100) lies at 70°
    // and a* + c* at acos((a* c* cos β* + c*²) / (|a* + c*| c*)) = 41.656° from c*.
    const TextureCase cases[] = {
        {"tetragonal plates", {4, 4, 6, 90, 90, 90}, 0.7, {1, 0, 0}, 90.0},
        {"tetragonal needles", {4, 4, 6, 90, 90, 90}, 1.3, {1, 0, 0}, 90.0},
        {"hexagonal plates", {5, 5, 8, 90, 90, 120}, 0.6, {1, 0, 0}, 90.0},
        {"monoclinic (100)", {5, 6, 7, 90, 110, 90}, 0.7, {1, 0, 0}, 70.0},
        {"monoclinic (101)", {5, 6, 7, 90, 110, 90}, 0.7, {1, 0, 1}, 41.65638},
        {"none", {4, 4, 6, 90, 90, 90}, 1.0, {1, 0, 0}, 90.0}};
    for (const TextureCase& c : cases) {
        SCOPED_TRACE(c.name);
        FaultSettings s = quiet();
        s.radiation.ratio = 0.0;
        const FaultPhase p = phase({{2.0, 100.0, {0, 0, 1}}, {1.6, 100.0, c.side}}, c.cell, c.r);
        const Result<FaultProfile> f = makeFaultProfile({&p, 1}, s, 1);
        ASSERT_TRUE(f.ok()) << f.error().message;
        const double along = std::pow(c.r, -3.0);
        const double cosine = std::cos(c.angle * kDegree);
        const double across =
            std::pow(c.r * c.r * cosine * cosine + (1.0 - cosine * cosine) / c.r, -1.5);
        const double basal = topNear(f.value(), 2.0 * std::asin(kCu1 / 4.0) / kDegree).height;
        const double side = topNear(f.value(), 2.0 * std::asin(kCu1 / 3.2) / kDegree).height;
        EXPECT_NEAR(basal / side, along / across, 1e-3 * along / across);
    }
}

std::vector<FaultPhase> mixture() {
    std::vector<FaultPhase> phases(2);
    phases[0].cell = {4.9, 4.9, 5.4, 90, 90, 120};
    phases[0].lines = {{4.26, 20, {1, 0, 0}}, {3.34, 100, {1, 0, 1}}, {1.82, 15, {1, 1, 2}}};
    phases[1].cell = {5.2, 9.0, 20.0, 90, 96, 90};
    phases[1].lines = {{9.95, 100, {0, 0, 2}}, {4.48, 30, {0, 2, 0}}, {2.56, 40, {1, 3, 1}}};
    phases[1].weight = 0.4;
    return phases;
}

TEST(FaultProfile, DrawnFaultsStayInTheirRangesAndFollowTheSeed) {
    const std::vector<FaultPhase> phases = mixture();
    const FaultProfile again = makeFaultProfile(phases, {}, 7).value();
    EXPECT_EQ(makeFaultProfile(phases, {}, 7).value().profile.counts, again.profile.counts);
    EXPECT_NE(makeFaultProfile(phases, {}, 8).value().profile.counts, again.profile.counts);
    for (std::uint64_t seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE(seed);
        const Result<FaultProfile> f = makeFaultProfile(phases, {}, seed);
        ASSERT_TRUE(f.ok()) << f.error().message;
        const ProfileTruth& t = f.value().truth;
        const std::size_t n = f.value().profile.counts.size();
        EXPECT_TRUE(n >= 2000 && n <= 10000) << n;
        EXPECT_LE(std::fabs(t.zeroShift), 0.15);
        EXPECT_LE(std::fabs(t.displacement), 0.15);
        EXPECT_TRUE(t.eta >= 0.2 && t.eta <= 0.8);
        EXPECT_TRUE(t.peakHeight >= 2000 && t.peakHeight <= 50000);
        for (const PhaseTruth& p : t.phases)
            EXPECT_TRUE(std::fabs(p.strain) <= 0.01 && p.marchR >= 0.6 && p.marchR <= 1.5);
        for (const double twoTheta : {t.range.from, t.range.to}) {
            const double tangent = std::tan(twoTheta / 2.0 * kDegree);
            const double fwhm =
                std::sqrt(t.widths.u * tangent * tangent + t.widths.v * tangent + t.widths.w);
            EXPECT_TRUE(fwhm >= 0.06 - 1e-9 && fwhm <= 0.3 + 1e-9) << fwhm;
        }
        for (double count : f.value().profile.counts)
            ASSERT_TRUE(count >= 0.0 && count == std::floor(count)) << count;
    }
}

TEST(FaultProfile, CountingNoiseIsPoisson) {
    // A flat background of λ counts and a line too short to diffract (d < λ/2): the counts have
    // mean λ, variance λ and a share e^-λ of zeros, each read within four standard errors.
    for (const double level : {3.0, 400.0, 40000.0}) {
        SCOPED_TRACE(level);
        FaultSettings s = quiet();
        s.noise = true;
        s.background = Background{level, 0.0, 0.0, 5.0, 0.0, 25.0, 10.0};
        const FaultPhase p = phase({{0.7, 100.0, {1, 0, 0}}}, {5, 5, 5, 90, 90, 90}, 1.0);
        const FaultProfile f = makeFaultProfile({&p, 1}, s, 3).value();
        double sum = 0.0, squares = 0.0, zeros = 0.0;
        for (double count : f.profile.counts) {
            sum += count - level;
            squares += (count - level) * (count - level);
            zeros += count == 0.0 ? 1.0 : 0.0;
        }
        const double n = double(f.profile.counts.size());
        const double zeroShare = std::exp(-level);
        EXPECT_NEAR(sum / n, 0.0, 4.0 * std::sqrt(level / n));
        EXPECT_NEAR(squares / n / level, 1.0, 4.0 * std::sqrt((2.0 + 1.0 / level) / n));
        EXPECT_NEAR(zeros / n, zeroShare, 4.0 * std::sqrt(zeroShare / n));
    }
}

TEST(FaultProfile, InputThatMakesNoProfileIsRefused) {
    FaultPhase good = phase({{2.0, 100.0, {1, 0, 0}}}, {5, 5, 5, 90, 90, 90}, 0.8);
    FaultPhase noD = good, noCell = good;
    noD.lines[0].d = 0.0;
    noCell.cell = UnitCell{};
    FaultSettings tooFine = quiet();
    tooFine.step = 0.0001; // 900,001 points
    EXPECT_FALSE(makeFaultProfile({}, quiet(), 1).ok());
    EXPECT_FALSE(makeFaultProfile({&noD, 1}, quiet(), 1).ok());
    EXPECT_FALSE(makeFaultProfile({&noCell, 1}, quiet(), 1).ok()); // texture needs the cell
    EXPECT_FALSE(makeFaultProfile({&good, 1}, tooFine, 1).ok());
    noCell.marchR = 1.0;
    EXPECT_TRUE(makeFaultProfile({&noCell, 1}, quiet(), 1).ok());
}

} // namespace
} // namespace lithora
