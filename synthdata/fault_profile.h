#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "cell/cell_reduction.h"
#include "datafiles/reference_patterns.h"
#include "identify/profile.h"

// Measured-looking powder profiles made from the computed lines of one or more phases, with the
// faults of a real instrument and specimen: the Kα doublet, a zero error, specimen displacement,
// a lattice that is not the reference's, preferred orientation, widths that grow with angle,
// counting noise, a sloping background and an amorphous hump. Each fault is either given or
// drawn from a documented range, and every value used comes back with the profile, so a test can
// check what the identification or a fit found against the truth. The same phases, settings and
// seed give the same profile.
namespace lithora {

// A tube's Kα doublet (Å): Kα2 comes with `ratio` times the intensity of Kα1; 0 leaves Kα1
// alone, as behind a Kα1 monochromator.
struct Radiation {
    double kAlpha1 = 1.540598;
    double kAlpha2 = 1.544426;
    double ratio = 0.5;
};

// The doublet of an anode named "Cu", "Co", "Fe", "Cr", "Mo" or "Ag" (letter case ignored), with
// the ratio 0.5; nothing for another name.
std::optional<Radiation> radiationOfAnode(std::string_view anode);

struct FaultLine {
    double d = 0.0; // Å
    // Relative integrated intensity (any scale) as computed for Cu Kα: the Lorentz-polarisation
    // factor is in it already, and the profile does not apply it again.
    double intensity = 0.0;
    // The plane whose normal the texture factor is taken along. A line stands for all its
    // symmetry-equivalent planes, whose directions are not given: the factor of the whole line
    // is that of this one plane, not the average over them all.
    std::array<int, 3> hkl{};
};

// One phase of the specimen. Its own faults are drawn when not given: a phase of a mixture has
// its own composition and its own grain shape.
struct FaultPhase {
    std::vector<FaultLine> lines;
    UnitCell cell; // places the reciprocal-lattice vector of each line for the texture
    // The phase's scale: for a mixture, its weight fraction × I/Ic.
    double weight = 1.0;
    std::optional<double> strain; // ε, every d × (1 + ε); drawn in -0.01..0.01
    // The March–Dollase r: below 1 the grains lie with textureAxis along the scattering vector
    // (plates), above 1 across it (needles); 1 is no texture. Drawn in 0.6..1.5.
    std::optional<double> marchR;
    // The preferred direction in reciprocal-lattice coordinates: {0, 0, 1} is the normal of the
    // (001) planes. Drawn as the normal of a low-index plane or a direction uniform on the sphere.
    std::optional<std::array<double, 3>> textureAxis;
};

struct ScanRange {
    double from = 10.0; // degrees 2θ, the first point
    double to = 100.0;  // the last point, when it falls on the step
};

// FWHM² = U tan²θ + V tanθ + W, in degrees² 2θ.
struct Caglioti {
    double u = 0.0, v = 0.0, w = 0.0;
};

// Counts beneath the peaks at 2θ = x, with x0 the first point of the scan:
// level + slope (x - x0) + riseHeight exp(-(x - x0) / riseWidth)
// + humpHeight exp(-4 ln 2 (x - humpCentre)² / humpWidth²), never below 0.
struct Background {
    double level = 0.0;       // counts at x0
    double slope = 0.0;       // counts per degree
    double riseHeight = 0.0;  // the low-angle rise of air scatter and beam spill
    double riseWidth = 5.0;   // degrees
    double humpHeight = 0.0;  // a glass or amorphous phase; 0 for none
    double humpCentre = 25.0; // degrees
    double humpWidth = 10.0;  // degrees, full width at half height
};
double backgroundAt(const Background& background, double firstTwoTheta, double twoTheta);

// The instrument and the measurement; what is not given is drawn.
struct FaultSettings {
    Radiation radiation;             // never drawn
    std::optional<ScanRange> range;  // drawn: 5..70 or 10..100 degrees
    std::optional<double> step;      // degrees; drawn in 0.01..0.03
    std::optional<double> zeroShift; // degrees 2θ, added to every position; drawn in ±0.15
    // s, mm, positive for a surface below the goniometer axis: moves a line by -2 s cosθ / R
    // radians, to lower angles. Drawn in ±0.15.
    std::optional<double> displacement;
    double goniometerRadius = 240.0; // mm, the R of the displacement
    // Drawn: a FWHM of 0.06..0.2° at the low end growing to at most 0.3° at the high end.
    std::optional<Caglioti> widths;
    std::optional<double> eta; // pseudo-Voigt share of the Lorentzian; drawn in 0.2..0.8
    // Counts at the tallest point of the peaks above the background, whichever lines and
    // doublet make it; drawn in 2,000..50,000 (evenly in its logarithm).
    std::optional<double> peakHeight;
    // Drawn: a level of 3..30 % of the peak height at the low end sloping to 30..110 % of itself
    // at the high end, a low-angle rise of up to the level falling by 1/e over 2..10°, and in
    // three profiles of ten a hump of 20..80 % of the level, 6..14° wide, centred at 15..35°.
    std::optional<Background> background;
    bool noise = true; // Poisson counting noise; false gives the expected counts
};

struct PhaseTruth {
    double strain = 0.0;
    double marchR = 1.0;
    std::array<double, 3> textureAxis{0.0, 0.0, 1.0};
};

// A line whose Kα1 peak lies inside the scan.
struct PlacedLine {
    std::size_t phase = 0; // index into the phases
    std::size_t line = 0;  // index into that phase's lines
    double twoTheta = 0.0; // the Kα1 peak, every fault applied
    double fwhm = 0.0;     // degrees
    double height = 0.0;   // counts at the top of this Kα1 peak alone, before noise
    double texture = 1.0;  // the March–Dollase factor it was multiplied by
};

// Every value the profile was made with, given or drawn.
struct ProfileTruth {
    Radiation radiation;
    ScanRange range;
    double step = 0.0;
    double zeroShift = 0.0;
    double displacement = 0.0;
    double goniometerRadius = 0.0;
    Caglioti widths;
    double eta = 0.0;
    double peakHeight = 0.0;
    Background background;
    bool noise = true;
    std::vector<PhaseTruth> phases; // in the order of the phases given
    std::vector<PlacedLine> lines;  // by phase, then line
};

struct FaultProfile {
    Profile profile;
    std::vector<double> expected; // the counts before noise, point by point
    ProfileTruth truth;
};

// The profile of the phases under the settings. Every value is drawn for every profile in the
// same order, given or not, so that fixing one fault leaves the draws of the others as they
// were. Errors: no phase; a line with d or intensity not above 0; a weight not above 0, a strain
// outside ±0.5 or an r not above 0; where there is texture (r not 1), a cell that is no cell,
// hkl 0 0 0 or a texture axis of length 0; a scan outside 0..180° or of fewer than 10 or more
// than 200,000 points; a width not above 0 near the scan; η outside 0..1; a peak height, a
// wavelength or the radius not above 0.
Result<FaultProfile> makeFaultProfile(std::span<const FaultPhase> phases,
                                      const FaultSettings& settings, std::uint64_t seed);

// A phase of a reference pattern: its lines with their hkl, and the cell for the texture.
FaultPhase faultPhaseOf(const PatternView& pattern, const UnitCell& cell);

} // namespace lithora
