#pragma once

#include <span>
#include <vector>

#include "identify/pattern_match.h"
#include "identify/profile.h"

// A measured profile against a candidate's calculated one: the Kα doublet, peak widths taken
// from the measured peaks, and the weighted profile R of the comparison.
namespace lithora {

// The tube's lines: Kα1, Kα2 and the intensity of Kα2 relative to Kα1 (0: one line only, as
// behind a monochromator or for typed Kα1 peaks).
struct TubeRadiation {
    double alpha1 = 1.540598;
    double alpha2 = 1.544426;
    double ratio = 0.5;
};

// The Kα1/Kα2 pair of a named anode for a Kα1 wavelength (Cu, Co, Fe, Cr, Mo, Ag, within
// 0.0005 Å), else a single line.
TubeRadiation radiationFor(double alpha1);

// The profile with Kα2 taken away (Rachinger): above the background, the counts at 2θ lose
// ratio × the stripped counts where Kα1 stands for the Kα2 that falls at 2θ. Resolved doublets
// become single peaks; the background is kept as it was.
Profile stripKAlpha2(const Profile& profile, const std::vector<double>& background,
                     const TubeRadiation& radiation);

// The full width at half maximum of the peaks, FWHM(2θ) = a + b · tan θ (degrees), from the
// widths of the profile's clear peaks (Kα2 stripped, background taken away).
struct PeakWidth {
    double a = 0.1;
    double b = 0.0;
    double at(double twoTheta) const;
};
PeakWidth measureWidths(const Profile& stripped, const std::vector<double>& background,
                        const std::vector<FoundPeak>& peaks);

// The measured profile prepared once for every candidate's comparison.
struct ProfileTarget {
    std::vector<double> twoTheta;
    std::vector<double> net;    // counts less background
    std::vector<double> weight; // 1 / counts (Poisson), at least 1
    double weightedSquares = 0.0;
    // The weighted R that the counting noise alone leaves to a perfect calculation, measured on
    // the scan itself (so that a scaled or resampled scan is judged by its own noise).
    double noiseR = 0.0;
    TubeRadiation radiation;
    PeakWidth width;
    // The Lorentzian share of the calculated peaks' pseudo-Voigt shape.
    double eta = 0.5;
};
ProfileTarget profileTarget(const Profile& profile, const std::vector<double>& background,
                            const TubeRadiation& radiation, const PeakWidth& width);

struct ProfileComparison {
    double rwp = 1.0;               // weighted profile R of the net counts, 0 .. 1 (and above)
    std::vector<double> calculated; // net counts of the candidate, one a point of the target
    double scale = 0.0;
};

// The candidate's profile: every line (d, intensity, decreasing d) at its fitted position for
// both Kα lines, moved by its offset (degrees; the residual of its match with a peak, so that
// the comparison weighs intensities and unexplained counts rather than again the positions the
// peak match has judged), a pseudo-Voigt of the measured width; one scale by least squares,
// then each line's intensity let free within a factor of three of it (preferred orientation
// changes single lines, not the pattern), twice; the weighted R of what is left. offsets may
// be empty.
ProfileComparison compareProfile(const ProfileTarget& target, const MeasuredAxis& axis,
                                 std::span<const float> d, std::span<const float> intensity,
                                 const InstrumentFit& fit, std::span<const double> offsets = {},
                                 bool keepCalculated = false);

// One phase of a joint fit: its lines (decreasing d), where they stand (the fit and each line's
// offset, as for compareProfile) and how much wider its peaks are than the scan's (fine grains).
struct PhaseModel {
    std::span<const float> d;
    std::span<const float> intensity;
    InstrumentFit fit;
    std::span<const double> offsets;
    double widthFactor = 1.0;
};

struct PhasesFit {
    double rwp = 1.0;
    double squares = 0.0;            // the weighted squares left
    std::vector<double> scale;       // a phase, measured counts per unit of line intensity
    std::vector<double> scaleSpread; // how far the scale is known, as a share (from its lines)
    // A phase, the scale of its lines in the scan taken together, each at its own factor: what
    // its amount follows, as texture moves intensity between lines rather than away.
    std::vector<double> totalScale;
    std::vector<std::vector<double>> calculated; // a phase, its net counts a point of the target
};

// A phase's lines as calculated on the profile's points, at unit scale: each line's span of
// points and its pseudo-Voigt values there (both Kα lines). Made once, fitted many times.
struct PhaseShape {
    struct Line {
        std::size_t first = 0;
        std::vector<double> shape;
        double intensity = 0.0;
        bool significant = false; // strong enough to set its phase's scale
    };
    std::vector<Line> lines;
};
PhaseShape shapePhase(const ProfileTarget& target, const MeasuredAxis& axis,
                      const PhaseModel& phase);

// The phases fitted together to the profile: the scales by non-negative least squares, then
// three rounds in which every line takes its share of the measured counts where lines of any
// phase overlap, each phase's scale follows its median line and each line may stand within a
// factor of three of it (texture). With one phase this is compareProfile. finalScales: the
// scales are fitted once more by least squares at the end, so that the sum is the best the
// lines' factors allow (a mixture's phases are compared by what they leave).
PhasesFit fitPhases(const ProfileTarget& target, const MeasuredAxis& axis,
                    std::span<const PhaseModel> phases, bool keepCalculated = false,
                    bool finalScales = false);
// The same for phases shaped already.
PhasesFit fitShapes(const ProfileTarget& target, std::span<const PhaseShape* const> phases,
                    bool keepCalculated = false, bool finalScales = false);

// The offsets of a score's matched lines, by line index, for compareProfile.
std::vector<double> matchedOffsets(const PatternScore& score, std::size_t lineCount);

} // namespace lithora
