#pragma once

#include <array>
#include <optional>
#include <string_view>

// Unit cells in any setting: a cell as typed or stored (edges in Å, angles in degrees), the
// lattice centring that says which points besides the corners belong to the lattice, and the
// Niggli-reduced primitive cell that is the same for every setting of the same lattice.
namespace lithora {

struct UnitCell {
    double a = 0, b = 0, c = 0;
    double alpha = 0, beta = 0, gamma = 0;
};

// P primitive; A, B, C one face centred; I body centred; F all faces centred; R rhombohedral
// in hexagonal axes, obverse (extra points at 2/3 1/3 1/3 and 1/3 2/3 2/3).
enum class Centring { P, A, B, C, I, F, R };
inline constexpr std::array<Centring, 7> kAllCentrings = {
    Centring::P, Centring::A, Centring::B, Centring::C, Centring::I, Centring::F, Centring::R};

// The letter P A B C I F R (upper or lower case); nothing for any other text.
std::optional<Centring> centringOfLetter(std::string_view letter);

// Whether a cell has hexagonal axes: a = b and gamma = 120 within a small measuring slack.
bool hasHexagonalAxes(const UnitCell& cell);

// The centring of an entry's cell from its space-group symbol ("C2/c", "R-3c", "P2_1/n"): the
// symbol's first letter. An R cell counts as R-centred only in hexagonal axes; an R cell in
// rhombohedral axes (a = b = c, alpha = beta = gamma) is primitive already. Nothing for a
// symbol that does not start with one of the seven letters.
std::optional<Centring> centringOfSymbol(std::string_view spaceGroup, const UnitCell& cell);

// The metric of a basis: A = a.a, B = b.b, C = c.c, xi = 2 b.c, eta = 2 a.c, zeta = 2 a.b
// (Å squared).
struct Metric {
    double A = 0, B = 0, C = 0, xi = 0, eta = 0, zeta = 0;
};

// The limits a cell must keep to be reduced: no edge outside kMinEdge..kMaxEdge, no angle
// outside 0..180 exclusive, and angles that close up into a solid (the Gram determinant of the
// unit edge vectors at least kMinShape; 10 10 10 170 170 170 is no cell).
inline constexpr double kMinEdge = 0.1;
inline constexpr double kMaxEdge = 10000.0;
inline constexpr double kMinShape = 1e-6;
bool isSoundCell(const UnitCell& cell);

Metric metricOf(const UnitCell& cell);
UnitCell cellOf(const Metric& metric);
double volumeOf(const UnitCell& cell);

// The metric of a primitive basis of the lattice that the conventional cell spans with the
// given centring; its volume is the cell's divided by 1, 2, 2, 2, 2, 4 or 3.
Metric primitiveMetric(const Metric& conventional, Centring centring);

// The iteration cap of the reduction; a sound cell needs a few dozen steps at most.
inline constexpr int kMaxReductionSteps = 1000;

// The Niggli-reduced form of a primitive metric, by the epsilon-stable Krivy-Gruber steps;
// nothing when the cap is reached or the metric is not positive definite.
std::optional<Metric> niggliReduce(const Metric& metric);

// A reduced primitive cell with its volume and metric. The cell's edges a <= b <= c are the
// lattice's three successive minima, so they move continuously with the lattice; its angles
// can jump at the boundaries of the reduced form (all-acute against all-obtuse, an edge order
// that flips), which the comparison allows for.
struct ReducedCell {
    UnitCell cell;
    Metric metric;
    double volume = 0;
};

// The Niggli-reduced primitive cell of a conventional cell with its centring; nothing for a
// cell that is not sound or whose reduction does not end.
std::optional<ReducedCell> reducedCell(const UnitCell& cell, Centring centring);

} // namespace lithora
