// The Niggli reduction of unit cells and the comparison of reduced cells, without data files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <random>

#include "cell/cell_match.h"
#include "cell/cell_reduction.h"

using namespace lithora;

namespace {

using IntMatrix = std::array<std::array<int, 3>, 3>;

// The metric of the basis whose vectors are the columns of m in the basis of g.
Metric transformed(const Metric& g, const IntMatrix& m) {
    const std::array<std::array<double, 3>, 3> G = {
        {{g.A, g.zeta / 2, g.eta / 2}, {g.zeta / 2, g.B, g.xi / 2}, {g.eta / 2, g.xi / 2, g.C}}};
    std::array<std::array<double, 3>, 3> out{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < 3; ++l)
                    out[i][j] += m[k][i] * G[k][l] * m[l][j];
    return {out[0][0], out[1][1], out[2][2], 2 * out[1][2], 2 * out[0][2], 2 * out[0][1]};
}

// A random integer matrix of determinant 1: a product of shears and edge swaps with a flip.
IntMatrix randomUnimodular(std::mt19937& rng) {
    IntMatrix m = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    std::uniform_int_distribution<int> pick(0, 2), factor(-2, 2);
    for (int step = 0; step < 6; ++step) {
        const int i = pick(rng), j = pick(rng), f = factor(rng);
        if (i == j) continue;
        for (int r = 0; r < 3; ++r)
            m[r][static_cast<std::size_t>(j)] += f * m[r][static_cast<std::size_t>(i)];
    }
    return m;
}

void expectSameCell(const UnitCell& x, const UnitCell& y, double t, const std::string& what) {
    EXPECT_NEAR(x.a, y.a, t) << what;
    EXPECT_NEAR(x.b, y.b, t) << what;
    EXPECT_NEAR(x.c, y.c, t) << what;
    EXPECT_NEAR(x.alpha, y.alpha, t) << what;
    EXPECT_NEAR(x.beta, y.beta, t) << what;
    EXPECT_NEAR(x.gamma, y.gamma, t) << what;
}

bool matches(const UnitCell& typed, const UnitCell& entry, double t,
             std::optional<Centring> letter = Centring::P, Centring entryCentring = Centring::P) {
    const std::optional<ReducedCell> e = reducedCell(entry, entryCentring);
    if (!e) return false;
    for (const TypedCellForm& f : typedCellForms(typed, letter, t)) {
        if (cellFormMatches(f, *e, t)) return true;
    }
    return false;
}

} // namespace

TEST(CellReduction, KnownReducedCells) {
    struct Case {
        const char* what;
        UnitCell cell;
        Centring centring;
        UnitCell reduced;
        double volume;
    };
    // Expected values worked out by hand from the lattice's shortest vectors:
    const Case cases[] = {
        // fcc a = 4: the face diagonals a/sqrt2 = 2.828 at 60 degrees, volume 64 / 4.
        {"cubic F", {4, 4, 4, 90, 90, 90}, Centring::F, {2.8284, 2.8284, 2.8284, 60, 60, 60}, 16},
        // bcc a = 4: the half body diagonals 4 sqrt3 / 2 = 3.464 at 109.47 degrees, 64 / 2.
        {"cubic I",
         {4, 4, 4, 90, 90, 90},
         Centring::I,
         {3.4641, 3.4641, 3.4641, 109.47, 109.47, 109.47},
         32},
        // Orthorhombic P, edges given longest first: only the order changes.
        {"orthorhombic P", {7, 6, 5, 90, 90, 90}, Centring::P, {5, 6, 7, 90, 90, 90}, 210},
        // Obtuse monoclinic beta = 100 between a = 5 and c = 7 stays; b = 6 moves to the middle.
        {"monoclinic P", {5, 7, 6, 90, 90, 100}, Centring::P, {5, 6, 7, 90, 100, 90}, 206.809},
        // Diopside C2/c 9.746 8.920 5.252 beta 105.86: u, v = (a +- b)/2 are 6.606 long at
        // acos((a^2 - b^2)/(a^2 + b^2)) = 84.93 degrees, each at acos((a c cos beta / 2) /
        // (6.606 * 5.252)) = 101.63 degrees to c. The product of the three cosines is
        // positive, so the reduced form is all acute: c, u, -v at 84.93, 78.37, 78.37; half
        // the volume.
        {"diopside C",
         {9.746, 8.920, 5.252, 90, 105.86, 90},
         Centring::C,
         {5.252, 6.6058, 6.6058, 84.93, 78.37, 78.37},
         219.57},
    };
    for (const Case& k : cases) {
        const std::optional<ReducedCell> r = reducedCell(k.cell, k.centring);
        ASSERT_TRUE(r) << k.what;
        expectSameCell(r->cell, k.reduced, 0.01, k.what);
        EXPECT_NEAR(r->volume, k.volume, 0.01 * k.volume) << k.what;
    }
}

TEST(CellReduction, CalciteInBothAxesIsOneReducedCell) {
    // Hexagonal axes 4.988 4.988 17.068: the rhombohedral edge is sqrt(a^2/3 + c^2/9) = 6.3767,
    // at 2 asin(a / (2 * 6.3767)) = 46.05 degrees; the reduced cell has the two hexagonal edges
    // 4.988 and one rhombohedral edge, a third of the hexagonal volume 367.76.
    const std::optional<ReducedCell> hex =
        reducedCell({4.988, 4.988, 17.068, 90, 90, 120}, Centring::R);
    const std::optional<ReducedCell> rho =
        reducedCell({6.3767, 6.3767, 6.3767, 46.05, 46.05, 46.05}, Centring::P);
    ASSERT_TRUE(hex && rho);
    EXPECT_NEAR(hex->cell.a, 4.988, 1e-3);
    EXPECT_NEAR(hex->cell.b, 4.988, 1e-3);
    EXPECT_NEAR(hex->cell.c, 6.3767, 1e-3);
    EXPECT_NEAR(hex->volume, 367.76 / 3, 0.05);
    expectSameCell(hex->cell, rho->cell, 0.02, "calcite");
    // An R symbol reads hexagonal axes as R, rhombohedral axes as primitive.
    EXPECT_EQ(centringOfSymbol("R-3c", {4.988, 4.988, 17.068, 90, 90, 120}), Centring::R);
    EXPECT_EQ(centringOfSymbol("R-3c", {6.375, 6.375, 6.375, 46.05, 46.05, 46.05}), Centring::P);
    EXPECT_EQ(centringOfSymbol("C2/c", {}), Centring::C);
    EXPECT_EQ(centringOfSymbol("  I4_1/amd", {}), Centring::I);
    EXPECT_EQ(centringOfSymbol("", {}), std::nullopt);
    EXPECT_EQ(centringOfSymbol("m-3m", {}), std::nullopt); // a point group names no lattice
}

TEST(CellReduction, SameCellUnderUnimodularTransformations) {
    const UnitCell cells[] = {
        {5.011, 5.850, 10.353, 90, 92.41, 90},       // azurite
        {8.508, 11.185, 7.299, 90.85, 114.1, 79.99}, // abelsonite, triclinic
        {4.914, 4.914, 5.405, 90, 90, 120},          // quartz
        {4.0, 4.0, 4.0, 90, 90, 90},                 // cubic, every edge equal
        {3.0, 30.0, 300.0, 80, 70, 60},              // long and skewed
    };
    std::mt19937 rng(7);
    for (const UnitCell& cell : cells) {
        const std::optional<ReducedCell> reference = reducedCell(cell, Centring::P);
        ASSERT_TRUE(reference);
        for (int trial = 0; trial < 200; ++trial) {
            const Metric other = transformed(metricOf(cell), randomUnimodular(rng));
            const std::optional<Metric> r = niggliReduce(other);
            ASSERT_TRUE(r) << cell.a << " trial " << trial;
            expectSameCell(cellOf(*r), reference->cell, 1e-5, "trial " + std::to_string(trial));
        }
    }
}

TEST(CellReduction, SameLatticeUnderCentringChanges) {
    const UnitCell c{9.746, 8.920, 5.252, 90, 105.86, 90};
    const std::optional<ReducedCell> ofC = reducedCell(c, Centring::C);
    // The same cell relabelled: (b, c, a) puts the centring on the ac face (B), (c, a, b) on
    // the bc face (A); the angles follow their edges.
    const std::optional<ReducedCell> ofB =
        reducedCell({c.b, c.c, c.a, c.beta, c.gamma, c.alpha}, Centring::B);
    const std::optional<ReducedCell> ofA =
        reducedCell({c.c, c.a, c.b, c.gamma, c.alpha, c.beta}, Centring::A);
    ASSERT_TRUE(ofC && ofB && ofA);
    expectSameCell(ofB->cell, ofC->cell, 1e-6, "B");
    expectSameCell(ofA->cell, ofC->cell, 1e-6, "A");
    // The primitive cell typed as P is the centred cell's reduced cell.
    const std::optional<ReducedCell> ofP = reducedCell(ofC->cell, Centring::P);
    ASSERT_TRUE(ofP);
    expectSameCell(ofP->cell, ofC->cell, 1e-6, "P");
    // fcc is the rhombohedral 60-degree lattice, bcc the 109.47-degree one.
    const std::optional<ReducedCell> f = reducedCell({4, 4, 4, 90, 90, 90}, Centring::F);
    const std::optional<ReducedCell> r60 =
        reducedCell({2.828427, 2.828427, 2.828427, 60, 60, 60}, Centring::P);
    ASSERT_TRUE(f && r60);
    expectSameCell(f->cell, r60->cell, 1e-4, "F");
}

TEST(CellMatch, BoundariesOfTheReducedFormStillMatch) {
    struct Case {
        const char* what;
        UnitCell typed, entry;
        bool match;
    };
    const Case cases[] = {
        // gamma either side of 120: 120.02 reduces to the 59.98-degree basis (a, a + b).
        {"hexagonal 120", {5, 5, 7, 90, 90, 120.02}, {5, 5, 7, 90, 90, 119.98}, true},
        // a and b nearly equal, their order flipped by the error: the 100 degrees moves from
        // beta to alpha in the typed reduced cell.
        {"edge order", {6.0005, 6.000, 8, 90, 100, 90}, {6.000, 6.001, 8, 90, 100, 90}, true},
        // All three near 90, all acute against all obtuse.
        {"near 90", {5, 6, 7, 90.03, 90.02, 90.01}, {5, 6, 7, 89.98, 89.98, 90.01}, true},
        // Obtuse against acute beta: c turned round.
        {"acute beta", {5, 6, 7, 90, 80, 90}, {5, 6, 7, 90, 100, 90}, true},
        // Just outside the tolerance: an angle, an edge.
        {"beta off", {5, 6, 7, 90, 101.2, 90}, {5, 6, 7, 90, 100, 90}, false},
        {"edge off", {5, 6, 7.2, 90, 100, 90}, {5, 6, 7, 90, 100, 90}, false},
    };
    for (const Case& k : cases)
        EXPECT_EQ(matches(k.typed, k.entry, 0.1), k.match) << k.what;
    // The edge-order pair really sits on either side of a boundary: its reduced cells differ.
    const auto t2 = reducedCell(cases[1].typed, Centring::P),
               e2 = reducedCell(cases[1].entry, Centring::P);
    EXPECT_GT(std::fabs(t2->cell.alpha - e2->cell.alpha), 5);
}

TEST(CellMatch, TypedLatticeLetters) {
    const UnitCell diopside{9.746, 8.920, 5.252, 90, 105.86, 90};
    // No letter: read as P and as every centring, so the conventional cell finds the C entry;
    // the letter C alone finds it too, the letter P alone does not.
    EXPECT_TRUE(matches(diopside, diopside, 0.1, std::nullopt, Centring::C));
    EXPECT_TRUE(matches(diopside, diopside, 0.1, Centring::C, Centring::C));
    EXPECT_FALSE(matches(diopside, diopside, 0.1, Centring::P, Centring::C));
    // R on a cell in rhombohedral axes reads it as primitive; without a letter R is tried
    // only for hexagonal axes.
    EXPECT_EQ(typedCellForms({6.375, 6.375, 6.375, 46.05, 46.05, 46.05}, Centring::R, 0.1).size(),
              1u);
    // Read as R, hexagonal axes give a form of a third of the volume 367.76; a cell that is
    // not hexagonal gets none, and the forms of equal lattices (A and B here) come once.
    const auto thirds = [](const std::vector<TypedCellForm>& forms) {
        return std::count_if(forms.begin(), forms.end(), [](const TypedCellForm& f) {
            return std::fabs(f.reduced.volume - 367.76 / 3) < 0.5;
        });
    };
    const auto hex = typedCellForms({4.988, 4.988, 17.068, 90, 90, 120}, std::nullopt, 0.1);
    EXPECT_EQ(thirds(hex), 1);
    EXPECT_LT(hex.size(), 7u);
    EXPECT_EQ(thirds(typedCellForms({4.988, 4.988, 17.068, 90, 90, 90}, std::nullopt, 0.1)), 0);
}

TEST(CellMatch, VolumeToleranceCoversTheSixParameters) {
    // Every corner of the tolerance box round a cell stays within the volume slack.
    const UnitCell cell{5.011, 5.850, 10.353, 88, 92.41, 95};
    const double t = 0.1;
    const double slack = volumeTolerance(cell, t);
    const double v = volumeOf(cell);
    for (int corner = 0; corner < 64; ++corner) {
        const auto d = [&](int bit) { return (corner >> bit & 1) ? t : -t; };
        const UnitCell moved{cell.a + d(0),     cell.b + d(1),    cell.c + d(2),
                             cell.alpha + d(3), cell.beta + d(4), cell.gamma + d(5)};
        EXPECT_LE(std::fabs(volumeOf(moved) - v), slack) << corner;
    }
    // And it is no blanket: 10 % of the volume is well outside.
    EXPECT_LT(slack, 0.1 * v);
}

TEST(CellReduction, HostileCellsAreRefusedQuickly) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const UnitCell bad[] = {
        {0, 5, 5, 90, 90, 90},       {-5, 5, 5, 90, 90, 90},      {5, 5, 5, 0, 90, 90},
        {5, 5, 5, 180, 90, 90},      {5, 5, 5, -90, 90, 90},      {nan, 5, 5, 90, 90, 90},
        {5, 5, 5, 90, nan, 90},      {inf, 5, 5, 90, 90, 90},     {1e30, 5, 5, 90, 90, 90},
        {10, 10, 10, 170, 170, 170}, {5, 5, 5, 30, 30, 90},       {5, 5, 5, 120, 120, 120},
        {0.01, 5, 5, 90, 90, 90},    {5, 5, 5, 90, 90, 179.9999},
    };
    for (const UnitCell& c : bad) {
        EXPECT_FALSE(isSoundCell(c)) << c.a << " " << c.alpha;
        EXPECT_FALSE(reducedCell(c, Centring::P)) << c.a << " " << c.alpha;
        EXPECT_TRUE(typedCellForms(c, std::nullopt, 0.1).empty());
    }
    // A metric that is no positive definite form is refused by the reduction itself.
    EXPECT_FALSE(niggliReduce({25, 25, 25, 60, 60, 60}));
    EXPECT_FALSE(niggliReduce({25, 25, -1, 0, 0, 0}));
    EXPECT_FALSE(niggliReduce({nan, 25, 25, 0, 0, 0}));
}

TEST(CellReduction, ExtremeSoundCellsEndWithinTheCap) {
    // Random cells anywhere within the limits, flat and needle-like ones included: each either
    // reduces, keeping its volume, or is refused; none hangs.
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> logEdge(std::log(kMinEdge), std::log(kMaxEdge));
    std::uniform_real_distribution<double> angle(1.0, 179.0);
    int reduced = 0;
    for (int i = 0; i < 20000; ++i) {
        const UnitCell c{std::exp(logEdge(rng)),
                         std::exp(logEdge(rng)),
                         std::exp(logEdge(rng)),
                         angle(rng),
                         angle(rng),
                         angle(rng)};
        const std::optional<ReducedCell> r = reducedCell(c, Centring::P);
        if (!r) continue;
        ++reduced;
        EXPECT_NEAR(r->volume, volumeOf(c), 1e-6 * volumeOf(c) + 1e-9);
        EXPECT_LE(r->cell.a, r->cell.b * (1 + 1e-9));
        EXPECT_LE(r->cell.b, r->cell.c * (1 + 1e-9));
    }
    EXPECT_GT(reduced, 1000);
}
