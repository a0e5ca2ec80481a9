#include "cell/cell_match.h"

#include "base/angles.h"

#include <algorithm>
#include <cmath>

namespace lithora {

namespace {

constexpr int kMaxBasisChecks = 20000;

// Cartesian edges of a cell: a along x, b in the xy plane.
std::array<std::array<double, 3>, 3> cartesianEdges(const UnitCell& c) {
    const double ca = std::cos(c.alpha * kDegree), cb = std::cos(c.beta * kDegree);
    const double cg = std::cos(c.gamma * kDegree), sg = std::sin(c.gamma * kDegree);
    const double cx = cb;
    const double cy = (ca - cb * cg) / sg;
    const double cz = std::sqrt(std::max(0.0, 1.0 - cx * cx - cy * cy));
    return {{{c.a, 0, 0}, {c.b * cg, c.b * sg, 0}, {c.c * cx, c.c * cy, c.c * cz}}};
}

double dot(const std::array<double, 3>& u, const std::array<double, 3>& v) {
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}

double angleBetween(const TypedCellForm::Vector& u, const TypedCellForm::Vector& v) {
    return std::acos(std::clamp(dot(u.x, v.x) / (u.length * v.length), -1.0, 1.0)) / kDegree;
}

int determinant(const std::array<int, 3>& p, const std::array<int, 3>& q,
                const std::array<int, 3>& r) {
    return p[0] * (q[1] * r[2] - q[2] * r[1]) - p[1] * (q[0] * r[2] - q[2] * r[0]) +
           p[2] * (q[0] * r[1] - q[1] * r[0]);
}

bool near(double x, double y, double tolerance) {
    return std::fabs(x - y) <= tolerance;
}

bool sameParameters(const UnitCell& x, const UnitCell& y, double t) {
    return near(x.a, y.a, t) && near(x.b, y.b, t) && near(x.c, y.c, t) &&
           near(x.alpha, y.alpha, t) && near(x.beta, y.beta, t) && near(x.gamma, y.gamma, t);
}

TypedCellForm formOf(const ReducedCell& reduced, double tolerance) {
    TypedCellForm form;
    form.reduced = reduced;
    form.volumeTolerance = volumeTolerance(reduced.cell, tolerance);
    const auto e = cartesianEdges(reduced.cell);
    // Any edge of another reduced cell of (nearly) this lattice is no longer than the
    // longest reduced edge plus the tolerance; in a reduced basis such vectors have small
    // coefficients, -1..1 in all but nearly degenerate cells, so -2..2 covers them.
    const double longest = reduced.cell.c + tolerance;
    for (int i = -2; i <= 2; ++i) {
        for (int j = -2; j <= 2; ++j) {
            for (int k = -2; k <= 2; ++k) {
                if (i == 0 && j == 0 && k == 0) continue;
                TypedCellForm::Vector v;
                v.n = {i, j, k};
                for (std::size_t d = 0; d < 3; ++d)
                    v.x[d] = i * e[0][d] + j * e[1][d] + k * e[2][d];
                v.length = std::sqrt(dot(v.x, v.x));
                if (v.length <= longest) form.vectors.push_back(v);
            }
        }
    }
    std::sort(form.vectors.begin(), form.vectors.end(),
              [](const auto& p, const auto& q) { return p.length < q.length; });
    return form;
}

} // namespace

double volumeTolerance(const UnitCell& r, double t) {
    const double ca = std::cos(r.alpha * kDegree), cb = std::cos(r.beta * kDegree),
                 cg = std::cos(r.gamma * kDegree);
    const double d2 = 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg;
    const double d = std::sqrt(std::max(d2, 1e-12));
    const double dAlpha = std::sin(r.alpha * kDegree) * (ca - cb * cg) / d;
    const double dBeta = std::sin(r.beta * kDegree) * (cb - ca * cg) / d;
    const double dGamma = std::sin(r.gamma * kDegree) * (cg - ca * cb) / d;
    const double grown = (r.a + t) * (r.b + t) * (r.c + t);
    return (grown - r.a * r.b * r.c) * d +
           grown * (std::fabs(dAlpha) + std::fabs(dBeta) + std::fabs(dGamma)) * t * kDegree;
}

std::vector<TypedCellForm> typedCellForms(const UnitCell& typed, std::optional<Centring> centring,
                                          double tolerance) {
    std::vector<TypedCellForm> forms;
    if (!isSoundCell(typed)) return forms;
    std::vector<Centring> tried;
    if (centring) {
        // R on a cell that is not in hexagonal axes reads it as rhombohedral axes: primitive.
        tried.push_back(*centring == Centring::R && !hasHexagonalAxes(typed) ? Centring::P
                                                                             : *centring);
    } else {
        for (const Centring c : kAllCentrings) {
            if (c != Centring::R || hasHexagonalAxes(typed)) tried.push_back(c);
        }
    }
    for (const Centring c : tried) {
        const std::optional<ReducedCell> r = reducedCell(typed, c);
        if (!r) continue;
        const bool seen = std::any_of(forms.begin(), forms.end(), [&](const TypedCellForm& f) {
            return sameParameters(f.reduced.cell, r->cell, 1e-6 * r->cell.c);
        });
        if (!seen) forms.push_back(formOf(*r, tolerance));
    }
    return forms;
}

bool cellFormMatches(const TypedCellForm& typed, const ReducedCell& entry, double t) {
    const UnitCell& x = typed.reduced.cell;
    const UnitCell& y = entry.cell;
    // The edges of reduced cells are the lattice's successive minima: a quick and exact test.
    if (!near(x.a, y.a, t) || !near(x.b, y.b, t) || !near(x.c, y.c, t)) return false;
    if (!near(typed.reduced.volume, entry.volume, typed.volumeTolerance)) return false;
    if (sameParameters(x, y, t)) return true;
    // Near a boundary of the reduced form: another basis of the typed lattice, made of its
    // short vectors, may be the one that sits next to the entry's reduced cell.
    std::array<std::vector<const TypedCellForm::Vector*>, 3> candidates;
    const std::array<double, 3> edges = {y.a, y.b, y.c};
    for (const TypedCellForm::Vector& v : typed.vectors) {
        for (std::size_t k = 0; k < 3; ++k) {
            if (near(v.length, edges[k], t)) candidates[k].push_back(&v);
        }
    }
    // A tolerance near the size of the cell makes every short vector a candidate; the checks
    // are bounded so that such a search stays quick (real cells need a few dozen).
    int budget = kMaxBasisChecks;
    for (const auto* u : candidates[0]) {
        for (const auto* v : candidates[1]) {
            if (v == u || !near(angleBetween(*u, *v), y.gamma, t)) continue;
            for (const auto* w : candidates[2]) {
                if (--budget < 0) return false;
                if (w == u || w == v) continue;
                if (!near(angleBetween(*v, *w), y.alpha, t) ||
                    !near(angleBetween(*u, *w), y.beta, t))
                    continue;
                if (std::abs(determinant(u->n, v->n, w->n)) == 1) return true;
            }
        }
    }
    return false;
}

} // namespace lithora
