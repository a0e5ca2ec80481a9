#include "cell/cell_reduction.h"

#include "base/angles.h"

#include <algorithm>
#include <cmath>

namespace lithora {

namespace {

using Matrix = std::array<std::array<double, 3>, 3>;

double cosDeg(double degrees) {
    return std::cos(degrees * kDegree);
}

// 1 - cos²α - cos²β - cos²γ + 2 cosα cosβ cosγ: the squared volume of a cell with unit edges.
double shapeFactor(double alpha, double beta, double gamma) {
    const double ca = cosDeg(alpha), cb = cosDeg(beta), cg = cosDeg(gamma);
    return 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg;
}

Matrix gramOf(const Metric& m) {
    return {
        {{m.A, m.zeta / 2, m.eta / 2}, {m.zeta / 2, m.B, m.xi / 2}, {m.eta / 2, m.xi / 2, m.C}}};
}

double determinant(const Matrix& g) {
    return g[0][0] * (g[1][1] * g[2][2] - g[1][2] * g[2][1]) -
           g[0][1] * (g[1][0] * g[2][2] - g[1][2] * g[2][0]) +
           g[0][2] * (g[1][0] * g[2][1] - g[1][1] * g[2][0]);
}

// Columns: the primitive basis vectors in the conventional cell's coordinates. Each is a
// lattice point of the centring, and the determinant is 1 over the number of points per cell.
Matrix primitiveBasis(Centring centring) {
    constexpr double h = 0.5, t = 1.0 / 3.0;
    switch (centring) {
    case Centring::A:
        return {{{1, 0, 0}, {0, 1, h}, {0, 0, h}}};
    case Centring::B:
        return {{{1, 0, h}, {0, 1, 0}, {0, 0, h}}};
    case Centring::C:
        return {{{1, h, 0}, {0, h, 0}, {0, 0, 1}}};
    case Centring::I:
        return {{{1, 0, h}, {0, 1, h}, {0, 0, h}}};
    case Centring::F:
        return {{{0, h, h}, {h, 0, h}, {h, h, 0}}};
    case Centring::R:
        // (2/3 1/3 1/3), (-1/3 1/3 1/3), (-1/3 -2/3 1/3): the obverse points less whole cells.
        return {{{2 * t, -t, -t}, {t, t, -2 * t}, {t, t, t}}};
    case Centring::P:
        break;
    }
    return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
}

// The epsilon-stable comparisons: x is taken as equal to y within eps.
struct Compare {
    double eps;
    bool lt(double x, double y) const { return x < y - eps; }
    bool gt(double x, double y) const { return y < x - eps; }
    bool eq(double x, double y) const { return !lt(x, y) && !gt(x, y); }
    int sign(double x) const { return gt(x, 0) ? 1 : lt(x, 0) ? -1 : 0; }
};

double signOf(double x) {
    return x < 0 ? -1.0 : 1.0;
}

} // namespace

std::optional<Centring> centringOfLetter(std::string_view letter) {
    if (letter.size() != 1) return std::nullopt;
    switch (letter[0]) {
    case 'P':
    case 'p':
        return Centring::P;
    case 'A':
    case 'a':
        return Centring::A;
    case 'B':
    case 'b':
        return Centring::B;
    case 'C':
    case 'c':
        return Centring::C;
    case 'I':
    case 'i':
        return Centring::I;
    case 'F':
    case 'f':
        return Centring::F;
    case 'R':
    case 'r':
        return Centring::R;
    default:
        return std::nullopt;
    }
}

bool hasHexagonalAxes(const UnitCell& cell) {
    // Half a degree and a hundredth of the edge: what rounding a measured cell leaves.
    return std::fabs(cell.a - cell.b) <= 0.01 * std::max(cell.a, cell.b) &&
           std::fabs(cell.gamma - 120.0) <= 0.5 && std::fabs(cell.alpha - 90.0) <= 0.5 &&
           std::fabs(cell.beta - 90.0) <= 0.5;
}

std::optional<Centring> centringOfSymbol(std::string_view spaceGroup, const UnitCell& cell) {
    const std::size_t first = spaceGroup.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    const std::optional<Centring> c = centringOfLetter(spaceGroup.substr(first, 1));
    // A lower-case first letter is a point group or something else, not a lattice.
    if (!c || spaceGroup[first] < 'A' || spaceGroup[first] > 'Z') return std::nullopt;
    if (*c == Centring::R && !hasHexagonalAxes(cell)) return Centring::P;
    return c;
}

bool isSoundCell(const UnitCell& cell) {
    for (const double edge : {cell.a, cell.b, cell.c}) {
        if (!(edge >= kMinEdge && edge <= kMaxEdge)) return false; // NaN fails too
    }
    for (const double angle : {cell.alpha, cell.beta, cell.gamma}) {
        if (!(angle > 0.0 && angle < 180.0)) return false;
    }
    return shapeFactor(cell.alpha, cell.beta, cell.gamma) >= kMinShape;
}

Metric metricOf(const UnitCell& cell) {
    return {cell.a * cell.a,
            cell.b * cell.b,
            cell.c * cell.c,
            2.0 * cell.b * cell.c * cosDeg(cell.alpha),
            2.0 * cell.a * cell.c * cosDeg(cell.beta),
            2.0 * cell.a * cell.b * cosDeg(cell.gamma)};
}

UnitCell cellOf(const Metric& m) {
    const double a = std::sqrt(m.A), b = std::sqrt(m.B), c = std::sqrt(m.C);
    const auto angle = [](double twiceDot, double p, double q) {
        return std::acos(std::clamp(twiceDot / (2.0 * p * q), -1.0, 1.0)) / kDegree;
    };
    return {a, b, c, angle(m.xi, b, c), angle(m.eta, a, c), angle(m.zeta, a, b)};
}

double volumeOf(const UnitCell& cell) {
    return cell.a * cell.b * cell.c *
           std::sqrt(std::max(0.0, shapeFactor(cell.alpha, cell.beta, cell.gamma)));
}

Metric primitiveMetric(const Metric& conventional, Centring centring) {
    const Matrix g = gramOf(conventional);
    const Matrix p = primitiveBasis(centring);
    Matrix out{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            double s = 0;
            for (int k = 0; k < 3; ++k) {
                for (int l = 0; l < 3; ++l)
                    s += p[k][i] * g[k][l] * p[l][j];
            }
            out[i][j] = s;
        }
    }
    return {out[0][0], out[1][1], out[2][2], 2 * out[1][2], 2 * out[0][2], 2 * out[0][1]};
}

// The steps N1 to N8 of the reduction with every comparison made with a slack eps (a
// hundred-thousandth of the squared cube root of the volume, after Grosse-Kunstleve, Sauter and
// Adams): without it, rounding makes the steps undo one another and never end. Every step
// replaces the basis by another basis of the same lattice (a swap, sign changes, or adding a
// multiple of one edge to another), and the steps 5 to 8 each shorten the cell, A + B + C
// falling by at least eps, so the loop ends; the cap guards against what rounding may do
// all the same. When no step applies the metric meets the Niggli conditions.
std::optional<Metric> niggliReduce(const Metric& metric) {
    Metric m = metric;
    const double det = determinant(gramOf(m));
    if (!(m.A > 0 && m.B > 0 && m.C > 0 && det > 0) || !std::isfinite(det)) return std::nullopt;
    const Compare cmp{1e-5 * std::cbrt(det)}; // det^(1/3) = V^(2/3), in Å²
    for (int step = 0; step < kMaxReductionSteps; ++step) {
        // N1: A <= B, and |xi| <= |eta| when A = B.
        if (cmp.gt(m.A, m.B) || (cmp.eq(m.A, m.B) && cmp.gt(std::fabs(m.xi), std::fabs(m.eta)))) {
            std::swap(m.A, m.B);
            std::swap(m.xi, m.eta);
        }
        // N2: B <= C, and |eta| <= |zeta| when B = C.
        if (cmp.gt(m.B, m.C) || (cmp.eq(m.B, m.C) && cmp.gt(std::fabs(m.eta), std::fabs(m.zeta)))) {
            std::swap(m.B, m.C);
            std::swap(m.eta, m.zeta);
            continue;
        }
        // N3, N4: the three angles all acute or all not acute. Flipping edges changes the
        // signs of two of xi, eta, zeta at a time, so the product of the three signs stays;
        // an entry within eps of zero takes whichever sign keeps that product.
        const int l = cmp.sign(m.xi), mm = cmp.sign(m.eta), n = cmp.sign(m.zeta);
        if (l * mm * n == 1) {
            m.xi = std::fabs(m.xi);
            m.eta = std::fabs(m.eta);
            m.zeta = std::fabs(m.zeta);
        } else {
            // Every entry to <= 0: a positive one flips, a negative one stays, and one within
            // eps of zero flips too when the product of the flips must come out positive.
            std::array<double*, 3> v = {&m.xi, &m.eta, &m.zeta};
            std::array<int, 3> flip = {1, 1, 1};
            std::size_t zero = 3;
            for (std::size_t k = 0; k < 3; ++k) {
                const int s = cmp.sign(*v[k]);
                if (s > 0) flip[k] = -1;
                if (s == 0) zero = k;
            }
            if (flip[0] * flip[1] * flip[2] < 0 && zero < 3) flip[zero] = -1;
            for (std::size_t k = 0; k < 3; ++k)
                *v[k] *= flip[k];
        }
        // N5: |xi| <= B.
        if (cmp.gt(std::fabs(m.xi), m.B) || (cmp.eq(m.xi, m.B) && cmp.lt(2 * m.eta, m.zeta)) ||
            (cmp.eq(m.xi, -m.B) && cmp.lt(m.zeta, 0))) {
            const double s = signOf(m.xi);
            m.C = m.B + m.C - m.xi * s;
            m.eta = m.eta - m.zeta * s;
            m.xi = m.xi - 2 * m.B * s;
            continue;
        }
        // N6: |eta| <= A.
        if (cmp.gt(std::fabs(m.eta), m.A) || (cmp.eq(m.eta, m.A) && cmp.lt(2 * m.xi, m.zeta)) ||
            (cmp.eq(m.eta, -m.A) && cmp.lt(m.zeta, 0))) {
            const double s = signOf(m.eta);
            m.C = m.A + m.C - m.eta * s;
            m.xi = m.xi - m.zeta * s;
            m.eta = m.eta - 2 * m.A * s;
            continue;
        }
        // N7: |zeta| <= A.
        if (cmp.gt(std::fabs(m.zeta), m.A) || (cmp.eq(m.zeta, m.A) && cmp.lt(2 * m.xi, m.eta)) ||
            (cmp.eq(m.zeta, -m.A) && cmp.lt(m.eta, 0))) {
            const double s = signOf(m.zeta);
            m.B = m.A + m.B - m.zeta * s;
            m.xi = m.xi - m.eta * s;
            m.zeta = m.zeta - 2 * m.A * s;
            continue;
        }
        // N8: the body diagonal a + b + c is no shorter than c.
        const double sum = m.xi + m.eta + m.zeta + m.A + m.B;
        if (cmp.lt(sum, 0) || (cmp.eq(sum, 0) && cmp.gt(2 * (m.A + m.eta) + m.zeta, 0))) {
            m.C = m.A + m.B + m.C + m.xi + m.eta + m.zeta;
            m.xi = 2 * m.B + m.xi + m.zeta;
            m.eta = 2 * m.A + m.eta + m.zeta;
            continue;
        }
        return m;
    }
    return std::nullopt;
}

std::optional<ReducedCell> reducedCell(const UnitCell& cell, Centring centring) {
    if (!isSoundCell(cell)) return std::nullopt;
    const std::optional<Metric> m = niggliReduce(primitiveMetric(metricOf(cell), centring));
    if (!m) return std::nullopt;
    ReducedCell out;
    out.metric = *m;
    out.cell = cellOf(*m);
    out.volume = std::sqrt(std::max(0.0, determinant(gramOf(*m))));
    return out;
}

} // namespace lithora
