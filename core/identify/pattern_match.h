#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "identify/peak_list.h"

// One candidate's whole pattern against the measured peaks, with the instrument's faults fitted
// for that candidate: a zero shift, a specimen displacement and a lattice scale.
namespace lithora {

// How a pattern's positions were measured: in 2θ for a wavelength (a profile, a typed 2θ list),
// where a zero shift and a displacement move lines too, or as d-spacings, where only a common
// Δd/d (the lattice scale) can be told.
struct MeasuredAxis {
    bool twoTheta = false;
    double wavelength = kDefaultWavelength; // Kα1, Å
};

// The faults fitted for one candidate. A line of spacing d appears at
//   2θ(d · (1 + lattice)) + zero + displacement · cos θ
// (2θ axis), or at d · (1 + lattice) (d axis).
struct InstrumentFit {
    double zero = 0.0;         // degrees 2θ
    double displacement = 0.0; // degrees 2θ at cos θ = 1
    double lattice = 0.0;      // Δd/d, 0.01 = 1 %
};

inline constexpr double kGoniometerRadiusMm = 240.0;
// A sample standing s mm above the focusing circle moves its lines by −2 s cos θ / R (radians).
double displacementMillimetres(double displacementDegrees, double radiusMm = kGoniometerRadiusMm);

// The measured peaks as the matching walks them: ordered by position x, where x is 2θ in
// degrees on the 2θ axis and −ln d on the d axis (so that x rises as 2θ does on both).
struct PreparedPeaks {
    MeasuredAxis axis;
    std::vector<double> x;
    std::vector<double> intensity; // relative (strongest 100); all 100 without intensities
    std::vector<int> index;        // into the pattern's peaks
    double total = 0.0;
    double weakest = 0.0; // the weakest measured peak: a weaker line could not have been seen
    bool intensities = true;
    // The range a line is counted in: the measured 2θ range, or the span of typed peaks. As d.
    double dMin = 0.0, dMax = 0.0;
    std::vector<double> strongX; // the positions of the eight strongest peaks
    // For the quick look, as d-spacings (ascending, disjoint): the spans in which a line lies
    // within the widest fault window of some peak, and for each of the eight strongest peaks
    // the span of lines within that window of it.
    std::vector<std::pair<double, double>> reachD;
    std::vector<std::pair<double, double>> strongReachD;
    // d axis: the peaks' d ascending; the quick look puts a candidate's lines on them with one
    // common Δd/d, within this share either way.
    std::vector<double> peakD;
    std::vector<unsigned> peakStrong; // by peakD: bit j when it is the j-th strongest peak
    double coarseTolerance = 0.006;
    // Where in peakD to start looking for a spacing: by the top bits of the spacing as a float
    // (256 bins an octave), the first peak at or above the bin; empty when the span is too wide.
    std::vector<std::uint16_t> peakStart;
    std::uint32_t peakStartBase = 0;
};

// rangeTwoTheta: the scan's 2θ range when the peaks come from a profile ({0, 0}: the range the
// peaks span, a little widened).
PreparedPeaks preparePeaks(const MeasuredPattern& pattern, const MeasuredAxis& axis,
                           double rangeMin = 0.0, double rangeMax = 0.0);

struct MatchSettings {
    double tolerancePercent = 0.3;  // d axis: Δd/d left after the fit
    double toleranceTwoTheta = 0.1; // 2θ axis: degrees left after the fit
    bool fitInstrument = true;      // false: positions as calculated, no fit
};

// One reference line in the comparison.
struct LineMatch {
    int line = -1;               // index into the candidate's lines
    double cardD = 0.0;          // as calculated
    double cardIntensity = 0.0;  // relative to the candidate's strongest line in range, 100
    int peak = -1;               // index into the pattern's peaks, or -1 when no peak is near
    double deltaD = 0.0;         // measured d − calculated d (no fit), Å
    double residual = 0.0;       // measured − expected after the fit (degrees or Δd/d)
    bool belowDetection = false; // missed, but too weak to have been seen
};

struct PatternScore {
    double figureOfMerit = 0.0; // 0 .. 100
    double explained = 0.0;     // share of the counted line intensity found, closeness weighted
    double unexplained = 1.0;   // share of the measured intensity no line explains
    double agreement = 1.0;     // how alike the matched intensities are, 0 .. 1
    double plausibility = 1.0;  // how likely the fitted faults are, 0 .. 1
    InstrumentFit fit;
    double scale = 0.0; // measured intensity per unit of line intensity
    int linesInRange = 0;
    int linesCounted = 0; // in range and strong enough to be seen
    int linesMatched = 0;
    std::vector<LineMatch> lines; // matched and counted lines, by d falling
};

// d and intensity of a candidate's lines in decreasing d (intensity relative, any scale).
PatternScore matchPattern(const PreparedPeaks& peaks, std::span<const float> d,
                          std::span<const float> intensity, const MatchSettings& settings);

// A quick look that passes over hopeless candidates before matchPattern: the share of the
// intensity of the candidate's eight strongest lines in range that has a measured peak within
// reach, times (¼ + ¾ × the share of the eight strongest peaks that one of those lines reaches).
// On 2θ a peak is in reach within the widest fault window of the line. On d-spacings, where the
// one fault is a lattice scale common to every line, the reach is the one ratio d(peak)/d(line)
// within the fault window that puts the most line intensity on peaks, give or take
// coarseTolerance. 0 when the candidate has no line in range.
// `strongest`, when given, are the candidate's strongest lines as (intensity, d), strongest
// first (PatternView::strongest): the eight in range are taken from them when they hold eight.
// A candidate that cannot reach `floor` gets 0 without the rest of the look.
double coarseCoverage(const PreparedPeaks& peaks, std::span<const float> d,
                      std::span<const float> intensity,
                      std::span<const std::pair<float, float>> strongest = {}, double floor = 0.0);

// Where a line of spacing d is expected for a fit, on the peaks' axis (x as in PreparedPeaks).
double expectedPosition(const MeasuredAxis& axis, double d, const InstrumentFit& fit);

} // namespace lithora
