#pragma once

#include <optional>
#include <vector>

#include "cell/cell_reduction.h"

// Whether a typed cell and an entry's cell span the same lattice, within the user's tolerance.
namespace lithora {

// One reduced form of the typed cell with what the comparison needs ready: its lattice
// vectors with coefficients -2..2 on the reduced edges, shortest first, and the volume slack.
struct TypedCellForm {
    ReducedCell reduced;
    double volumeTolerance = 0;
    struct Vector {
        std::array<int, 3> n{};    // coefficients on the reduced edges
        std::array<double, 3> x{}; // Cartesian, in Å
        double length = 0;
    };
    std::vector<Vector> vectors;
};

// The typed cell read with the given centring, or as P and each centring in turn when none is
// given (R only for a cell in hexagonal axes, the others always); forms that are the same
// lattice are kept once. Empty when the cell is not sound.
std::vector<TypedCellForm> typedCellForms(const UnitCell& typed, std::optional<Centring> centring,
                                          double tolerance);

// Whether the entry's reduced cell is the lattice of the typed form: its three edges within
// the tolerance (Å) of the typed reduced edges, its primitive volume within the form's volume
// slack, and a basis of the typed lattice whose six parameters are each within the tolerance
// (Å for the edges, degrees for the angles) of the entry's reduced cell. The basis is looked
// for among short vectors of the typed lattice, so the two reduced cells may sit on either
// side of a boundary of the reduced form (angles about 90 degrees, all acute against all
// obtuse; nearly equal edges whose order flips) and still match.
bool cellFormMatches(const TypedCellForm& typed, const ReducedCell& entry, double tolerance);

// The volume slack of a reduced cell for a tolerance t: how far the volume moves when every
// edge grows by t, plus the first-order change of the angle factor when every angle moves by
// t degrees in the direction that grows it (|dV| = a b c |dD/dθ| dθ, D the volume of the cell
// with unit edges). A cell whose six parameters are each within t of this cell's has its
// volume within this slack, so the volume test refuses no match the six parameters allow.
double volumeTolerance(const UnitCell& reduced, double tolerance);

} // namespace lithora
