#include "identify/pattern_match.h"

#include "base/angles.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace lithora {

namespace {

// The faults a measurement plausibly has, one standard deviation each: they keep the fit from
// trading a zero shift against a displacement (nearly alike over a lab scan's range) and make an
// implausible fit cost score. A solid solution moves a lattice by up to a few percent.
constexpr double kSigmaZero = 0.1;          // degrees 2θ
constexpr double kSigmaDisplacement = 0.06; // degrees 2θ at cos θ = 1 (0.13 mm at 240 mm)
constexpr double kSigmaLattice = 0.008;     // Δd/d
constexpr double kMaxLattice = 0.025;       // no fit moves a lattice further

// The widest a line can move by faults before the fit: the first guesses look this far.
double faultWindow(const MeasuredAxis& axis, double x) {
    if (!axis.twoTheta) return kMaxLattice;
    const double theta = x / 2.0 / kDegrees;
    return 0.35 + 2.0 * std::tan(theta) * kDegrees * 0.02;
}

// A spacing's bin for PreparedPeaks::peakStart: the top bits of its float, 256 bins an octave.
constexpr int kBinShift = 15;
std::uint32_t spacingBin(double d) {
    return std::bit_cast<std::uint32_t>(static_cast<float>(d)) >> kBinShift;
}

// The d-spacing at position x of the axis (x as in PreparedPeaks); beyond the axis' ends, the
// end (0 past 180° 2θ, very large below 0°).
double dAt(const MeasuredAxis& axis, double x) {
    if (!axis.twoTheta) return std::exp(-x);
    if (x >= 180.0) return 0.0;
    if (x <= 0.0) return 1e9;
    return dFromTwoTheta(x, axis.wavelength);
}

// The spacings of the lines that lie within the widest fault window of a peak at x: a line at
// y reaches it when |x − y| ≤ faultWindow(y). y ± faultWindow(y) rises with y over any range a
// scan covers, so each end is found by bisection.
std::pair<double, double> reachOfPeak(const MeasuredAxis& axis, double x) {
    auto solve = [&](double sign) { // y with y + sign·faultWindow(y) = x
        double a = x - 40.0, b = x + 40.0;
        for (int i = 0; i < 60; ++i) {
            const double m = 0.5 * (a + b);
            const double w =
                axis.twoTheta ? faultWindow(axis, std::clamp(m, 0.0, 179.0)) : faultWindow(axis, m);
            (m + sign * w < x ? a : b) = m;
        }
        return 0.5 * (a + b);
    };
    return {dAt(axis, solve(-1.0)), dAt(axis, solve(1.0))};
}

double window(const MeasuredAxis& axis, const MatchSettings& s) {
    return axis.twoTheta ? std::max(s.toleranceTwoTheta, 0.005)
                         : std::max(s.tolerancePercent, 0.01) / 100.0;
}

// How x moves per unit of each fitted value at a line of spacing d (x as in PreparedPeaks).
std::array<double, 3> derivatives(const MeasuredAxis& axis, double xLine, double lattice) {
    if (!axis.twoTheta) return {-1.0 / (1.0 + lattice), 0.0, 0.0};
    const double theta = xLine / 2.0 / kDegrees;
    return {-2.0 * std::tan(theta) * kDegrees / (1.0 + lattice), 1.0, std::cos(theta)};
}

struct Line {
    int index;
    double d;
    double intensity; // relative to the strongest in range, 100
    double x0;        // d axis: −ln d, its position without a fit
};

// Where a line is expected for a fit: expectedPosition, but on the d axis from the line's own
// −ln d and the fit's −ln(1 + lattice), worked out once a fit instead of a logarithm a line.
class Placement {
  public:
    Placement(const MeasuredAxis& axis, const InstrumentFit& fit)
        : m_axis(axis), m_fit(fit), m_shift(axis.twoTheta ? 0.0 : -std::log1p(fit.lattice)) {}
    double operator()(const Line& line) const {
        return m_axis.twoTheta ? expectedPosition(m_axis, line.d, m_fit) : line.x0 + m_shift;
    }

  private:
    const MeasuredAxis& m_axis;
    InstrumentFit m_fit;
    double m_shift;
};

std::size_t firstAtLeast(const std::vector<double>& x, double value) {
    return static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), value) - x.begin());
}

// The nearest peak to x within ±w, or -1.
int nearestPeak(const PreparedPeaks& p, double x, double w) {
    int best = -1;
    double bestDistance = w;
    for (std::size_t k = firstAtLeast(p.x, x - w); k < p.x.size() && p.x[k] <= x + w; ++k) {
        const double distance = std::fabs(p.x[k] - x);
        if (distance <= bestDistance) {
            best = static_cast<int>(k);
            bestDistance = distance;
        }
    }
    return best;
}

// Solves a small symmetric positive system in place (Gaussian elimination; the ridge terms keep
// it well conditioned). n is 1 or 3.
void solve(std::array<std::array<double, 3>, 3>& a, std::array<double, 3>& b, int n) {
    for (int i = 0; i < n; ++i) {
        const auto ui = static_cast<std::size_t>(i);
        const double pivot = a[ui][ui];
        if (!(std::fabs(pivot) > 1e-300)) {
            b[ui] = 0.0;
            continue;
        }
        for (int j = i + 1; j < n; ++j) {
            const auto uj = static_cast<std::size_t>(j);
            const double f = a[uj][ui] / pivot;
            for (int k = i; k < n; ++k)
                a[uj][static_cast<std::size_t>(k)] -= f * a[ui][static_cast<std::size_t>(k)];
            b[uj] -= f * b[ui];
        }
    }
    for (int i = n - 1; i >= 0; --i) {
        const auto ui = static_cast<std::size_t>(i);
        double sum = b[ui];
        for (int k = i + 1; k < n; ++k)
            sum -= a[ui][static_cast<std::size_t>(k)] * b[static_cast<std::size_t>(k)];
        b[ui] = std::fabs(a[ui][ui]) > 1e-300 ? sum / a[ui][ui] : 0.0;
    }
}

// One step of a robust, regularised least-squares fit of the faults to the lines matched within
// w of where the current fit expects them. Lines weigh by intensity; a line far off (an impurity
// peak taken by mistake) weighs less (Huber); the prior pulls every value towards 0.
InstrumentFit refine(const PreparedPeaks& p, const std::vector<Line>& lines,
                     const InstrumentFit& fit, double w) {
    const bool twoTheta = p.axis.twoTheta;
    const int n = twoTheta ? 3 : 1;
    std::array<std::array<double, 3>, 3> a{};
    std::array<double, 3> b{};
    const std::array<double, 3> current = {fit.lattice, fit.zero, fit.displacement};
    const std::array<double, 3> sigma = {kSigmaLattice, kSigmaZero, kSigmaDisplacement};
    // Positions are known to about a quarter of the window.
    const double precision = 1.0 / ((0.25 * w) * (0.25 * w));
    double weights = 0.0;
    int matched = 0;
    const Placement place(p.axis, fit);
    for (const Line& line : lines) {
        const double xe = place(line);
        if (!std::isfinite(xe)) continue;
        const int k = nearestPeak(p, xe, w);
        if (k < 0) continue;
        const double r = p.x[static_cast<std::size_t>(k)] - xe;
        const double huber = std::min(1.0, 0.5 * w / std::max(std::fabs(r), 1e-12));
        const double weight = std::sqrt(line.intensity) * huber;
        const std::array<double, 3> j = derivatives(p.axis, xe, fit.lattice);
        for (int u = 0; u < n; ++u) {
            for (int v = 0; v < n; ++v)
                a[static_cast<std::size_t>(u)][static_cast<std::size_t>(v)] +=
                    weight * j[static_cast<std::size_t>(u)] * j[static_cast<std::size_t>(v)];
            b[static_cast<std::size_t>(u)] += weight * j[static_cast<std::size_t>(u)] * r;
        }
        weights += std::sqrt(line.intensity);
        ++matched;
    }
    if (matched == 0) return fit;
    // The data weigh as many lines as matched, whatever their intensities.
    const double norm = precision * matched / weights;
    for (int u = 0; u < n; ++u) {
        const auto uu = static_cast<std::size_t>(u);
        for (int v = 0; v < n; ++v)
            a[uu][static_cast<std::size_t>(v)] *= norm;
        b[uu] *= norm;
        a[uu][uu] += 1.0 / (sigma[uu] * sigma[uu]);
        b[uu] -= current[uu] / (sigma[uu] * sigma[uu]);
    }
    solve(a, b, n);
    InstrumentFit out = fit;
    out.lattice = std::clamp(fit.lattice + b[0], -kMaxLattice, kMaxLattice);
    if (twoTheta) {
        out.zero = std::clamp(fit.zero + b[1], -1.0, 1.0);
        out.displacement = std::clamp(fit.displacement + b[2], -1.0, 1.0);
    }
    return out;
}

// How many of the strong lines a fit puts near a peak, weighted by intensity and closeness.
double votes(const PreparedPeaks& p, const std::vector<Line>& strong, const InstrumentFit& fit,
             double w) {
    double sum = 0.0;
    const Placement place(p.axis, fit);
    for (const Line& line : strong) {
        const double xe = place(line);
        if (!std::isfinite(xe)) continue;
        const int k = nearestPeak(p, xe, w);
        if (k < 0) continue;
        const double off = (p.x[static_cast<std::size_t>(k)] - xe) / w;
        sum += line.intensity * (1.0 - 0.5 * off * off);
    }
    return sum;
}

std::vector<Line> strongest(const std::vector<Line>& lines, std::size_t count) {
    std::vector<Line> out = lines;
    const std::size_t n = std::min(count, out.size());
    std::partial_sort(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n), out.end(),
                      [](const Line& a, const Line& b) { return a.intensity > b.intensity; });
    out.resize(n);
    return out;
}

double priorChiSquare(const InstrumentFit& f, bool twoTheta);

// First guesses for the faults: none, or the lattice scale that moves one of the three
// strongest lines onto a peak within the fault window; the `keep` that put most strong lines on
// peaks (weighed by how plausible the guess is) are refined, each in three rounds of a narrowing
// window. A dense measured pattern offers several guesses that look alike at first sight; the
// caller scores each refined fit and keeps the best.
struct Guess {
    InstrumentFit fit;
    double votes;
};

// The first guesses, best first: `strong` are the twelve strongest lines, `wide` the window
// their votes are counted in.
std::vector<Guess> firstGuesses(const PreparedPeaks& p, const std::vector<Line>& strong,
                                double wide) {
    auto weigh = [&](const InstrumentFit& fit) {
        return votes(p, strong, fit, wide) * std::exp(-priorChiSquare(fit, p.axis.twoTheta) / 8.0);
    };
    std::vector<Guess> guesses{{InstrumentFit{}, weigh(InstrumentFit{})}};
    for (std::size_t s = 0; s < std::min<std::size_t>(3, strong.size()); ++s) {
        const double x0 = expectedPosition(p.axis, strong[s].d, InstrumentFit{});
        if (!std::isfinite(x0)) continue;
        const double reach = faultWindow(p.axis, x0);
        const double slope = derivatives(p.axis, x0, 0.0)[0];
        for (std::size_t k = firstAtLeast(p.x, x0 - reach); k < p.x.size() && p.x[k] <= x0 + reach;
             ++k) {
            InstrumentFit guess{};
            guess.lattice = std::clamp((p.x[k] - x0) / slope, -kMaxLattice, kMaxLattice);
            bool near = false;
            for (const Guess& g : guesses)
                near = near || std::fabs(g.fit.lattice - guess.lattice) < 0.001;
            if (!near) guesses.push_back({guess, weigh(guess)});
        }
    }
    std::sort(guesses.begin(), guesses.end(),
              [](const Guess& a, const Guess& b) { return a.votes > b.votes; });
    return guesses;
}

double wideWindow(const PreparedPeaks& p, double w) {
    return 2.0 * w + (p.axis.twoTheta ? 0.1 : 0.002);
}

std::vector<InstrumentFit> fitFaults(const PreparedPeaks& p, const std::vector<Line>& lines,
                                     double w, std::size_t keep) {
    const double wide = wideWindow(p, w);
    const std::vector<Guess> guesses = firstGuesses(p, strongest(lines, 12), wide);
    // The fit rests on the stronger lines: the weakest hundreds of a large cell's pattern add
    // little but time.
    const std::vector<Line> fitted = strongest(lines, 80);
    std::vector<InstrumentFit> out;
    for (std::size_t i = 0; i < guesses.size() && i < keep; ++i) {
        InstrumentFit fit = refine(p, fitted, guesses[i].fit, wide);
        fit = refine(p, fitted, fit, 1.5 * w);
        out.push_back(refine(p, fitted, fit, w));
    }
    return out;
}

double priorChiSquare(const InstrumentFit& f, bool twoTheta) {
    double chi = (f.lattice / kSigmaLattice) * (f.lattice / kSigmaLattice);
    if (twoTheta) {
        chi += (f.zero / kSigmaZero) * (f.zero / kSigmaZero) +
               (f.displacement / kSigmaDisplacement) * (f.displacement / kSigmaDisplacement);
    }
    return chi;
}

// Scores the lines against the peaks for the fit in s (see matchPattern).
void evaluate(const PreparedPeaks& p, const std::vector<Line>& lines, double w, PatternScore& s) {
    const double xLo = expectedPosition(p.axis, p.dMax, InstrumentFit{});
    const double xHi = expectedPosition(p.axis, p.dMin, InstrumentFit{});

    struct Taken {
        Line line;
        int peak;
        double residual;
    };
    std::vector<Taken> taken;
    taken.reserve(lines.size());
    std::vector<double> peakLines(p.x.size(), 0.0);
    double matchedLineIntensity = 0.0;
    const Placement place(p.axis, s.fit);
    for (const Line& line : lines) {
        const double xe = place(line);
        if (!std::isfinite(xe) || xe < xLo || xe > xHi) continue;
        ++s.linesInRange;
        const int k = nearestPeak(p, xe, w);
        taken.push_back({line, k, k >= 0 ? p.x[static_cast<std::size_t>(k)] - xe : 0.0});
        if (k >= 0) {
            peakLines[static_cast<std::size_t>(k)] += line.intensity;
            matchedLineIntensity += line.intensity;
        }
    }
    double matchedPeakIntensity = 0.0;
    int matchedPeaks = 0;
    for (std::size_t k = 0; k < p.x.size(); ++k) {
        if (peakLines[k] > 0.0) {
            matchedPeakIntensity += p.intensity[k];
            ++matchedPeaks;
        }
    }
    if (matchedPeaks == 0) return;
    s.scale = matchedPeakIntensity / matchedLineIntensity;

    // Without intensities the user listed about as many lines as the strongest they saw.
    double floorIntensity = 0.0;
    if (p.intensities) {
        floorIntensity = p.weakest / s.scale;
    } else {
        std::vector<double> all;
        for (const Taken& t : taken)
            all.push_back(t.line.intensity);
        const std::size_t keep = std::min(all.size(), p.x.size() * 3 / 2 + 1);
        std::nth_element(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(keep - 1),
                         all.end(), std::greater<>());
        floorIntensity = all[keep - 1];
    }
    double close = 0.0, counted = 0.0;
    for (const Taken& t : taken) {
        LineMatch m;
        m.line = t.line.index;
        m.cardD = t.line.d;
        m.cardIntensity = t.line.intensity;
        if (t.peak >= 0) {
            const auto uk = static_cast<std::size_t>(t.peak);
            m.peak = p.index[uk];
            m.residual = t.residual;
            const double measuredD =
                p.axis.twoTheta ? dFromTwoTheta(p.x[uk], p.axis.wavelength) : std::exp(-p.x[uk]);
            m.deltaD = measuredD - t.line.d;
            const double off = t.residual / w;
            close += t.line.intensity * std::max(0.0, 1.0 - off * off);
            counted += t.line.intensity;
            ++s.linesMatched;
            ++s.linesCounted;
        } else if (t.line.intensity < floorIntensity) {
            m.belowDetection = true;
            continue; // not listed: a whole pattern has hundreds of such lines
        } else {
            counted += t.line.intensity;
            ++s.linesCounted;
        }
        s.lines.push_back(m);
    }
    double agree = 0.0, unexplained = 0.0;
    for (std::size_t k = 0; k < p.x.size(); ++k) {
        if (peakLines[k] > 0.0) {
            const double ratio = p.intensity[k] / (s.scale * peakLines[k]);
            agree +=
                p.intensity[k] * std::max(0.0, 1.0 - std::fabs(std::log(ratio)) / std::log(10.0));
        } else {
            unexplained += p.intensity[k];
        }
    }
    s.explained = counted > 0.0 ? close / counted : 0.0;
    s.unexplained = p.total > 0.0 ? std::clamp(unexplained / p.total, 0.0, 1.0) : 1.0;
    s.agreement = (p.intensities && matchedPeaks >= 2 && matchedPeakIntensity > 0.0)
                      ? agree / matchedPeakIntensity
                      : 1.0;
    s.plausibility = std::exp(-priorChiSquare(s.fit, p.axis.twoTheta) / 8.0);
    s.figureOfMerit =
        100.0 * s.explained * (1.0 - s.unexplained) * (0.5 + 0.5 * s.agreement) * s.plausibility;
}

} // namespace

double displacementMillimetres(double displacementDegrees, double radiusMm) {
    return -displacementDegrees / kDegrees * radiusMm / 2.0;
}

double expectedPosition(const MeasuredAxis& axis, double d, const InstrumentFit& fit) {
    const double shifted = d * (1.0 + fit.lattice);
    if (!(shifted > 0.0)) return std::nan("");
    if (!axis.twoTheta) return -std::log(shifted);
    const double t = twoThetaFromD(shifted, axis.wavelength);
    if (!(t > 0.0)) return std::nan("");
    return t + fit.zero + fit.displacement * std::cos(t / 2.0 / kDegrees);
}

PreparedPeaks preparePeaks(const MeasuredPattern& pattern, const MeasuredAxis& axis,
                           double rangeMin, double rangeMax) {
    PreparedPeaks p;
    p.axis = axis;
    p.intensities = pattern.intensitiesGiven;
    struct Item {
        double x, intensity;
        int index;
    };
    std::vector<Item> items;
    double dLo = 0.0, dHi = 0.0;
    for (std::size_t i = 0; i < pattern.peaks.size(); ++i) {
        const Peak& peak = pattern.peaks[i];
        const double x = expectedPosition(axis, peak.d, InstrumentFit{});
        if (!std::isfinite(x)) continue;
        const double weight = pattern.intensitiesGiven ? std::max(peak.intensity, 0.0) : 100.0;
        items.push_back({x, weight, static_cast<int>(i)});
        dLo = dLo == 0.0 ? peak.d : std::min(dLo, peak.d);
        dHi = std::max(dHi, peak.d);
    }
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.x < b.x; });
    p.weakest = p.intensities ? 100.0 : 0.0;
    for (const Item& item : items) {
        p.x.push_back(item.x);
        p.intensity.push_back(item.intensity);
        p.index.push_back(item.index);
        p.total += item.intensity;
        if (p.intensities) p.weakest = std::min(p.weakest, item.intensity);
    }
    {
        std::vector<std::pair<double, double>> byIntensity;
        for (const Item& item : items)
            byIntensity.push_back({item.intensity, item.x});
        const std::size_t n = std::min<std::size_t>(8, byIntensity.size());
        std::partial_sort(byIntensity.begin(), byIntensity.begin() + static_cast<std::ptrdiff_t>(n),
                          byIntensity.end(), std::greater<>());
        for (std::size_t i = 0; i < n; ++i)
            p.strongX.push_back(byIntensity[i].second);
    }
    for (const double x : p.x)
        p.reachD.push_back(reachOfPeak(axis, x));
    std::sort(p.reachD.begin(), p.reachD.end());
    std::vector<std::pair<double, double>> merged;
    for (const auto& span : p.reachD) {
        if (!merged.empty() && span.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, span.second);
        else
            merged.push_back(span);
    }
    p.reachD = std::move(merged);
    for (const double x : p.strongX) {
        const double r = faultWindow(axis, x);
        p.strongReachD.push_back({dAt(axis, x + r), dAt(axis, x - r)});
    }
    if (axis.twoTheta && rangeMax > rangeMin && rangeMin > 0.0) {
        p.dMax = dFromTwoTheta(rangeMin, axis.wavelength);
        p.dMin = dFromTwoTheta(std::min(rangeMax, 179.0), axis.wavelength);
    } else {
        // Typed peaks: the lines the user could have listed lie in the span of the peaks.
        p.dMin = dLo / 1.01;
        p.dMax = dHi * 1.01;
    }
    if (!axis.twoTheta) {
        for (auto it = p.x.rbegin(); it != p.x.rend(); ++it)
            p.peakD.push_back(std::exp(-*it));
        p.peakStrong.assign(p.peakD.size(), 0);
        for (std::size_t k = 0; k < p.peakD.size(); ++k) {
            const double x = p.x[p.x.size() - 1 - k];
            for (std::size_t j = 0; j < p.strongX.size(); ++j)
                if (p.strongX[j] == x) p.peakStrong[k] |= 1u << j;
        }
        if (!p.peakD.empty() && p.dMin > 0.0) {
            const std::uint32_t lo = spacingBin(p.dMin * std::exp(-kMaxLattice) * 0.99);
            const std::uint32_t hi = spacingBin(p.dMax * std::exp(kMaxLattice) * 1.01);
            if (hi >= lo && hi - lo < 65'536 && p.peakD.size() < 65'535) {
                p.peakStartBase = lo;
                std::size_t k = 0;
                for (std::uint32_t b = lo; b <= hi; ++b) {
                    const double start = std::bit_cast<float>(b << kBinShift);
                    while (k < p.peakD.size() && p.peakD[k] < start)
                        ++k;
                    p.peakStart.push_back(static_cast<std::uint16_t>(k));
                }
            }
        }
    }
    return p;
}

namespace {

// The first of the peaks' spacings (ascending) at or above v.
std::size_t firstPeakAtLeast(const PreparedPeaks& p, double v) {
    std::size_t k = 0;
    if (!p.peakStart.empty()) {
        const std::uint32_t b = spacingBin(v);
        // One bin lower: v as a float may round up into the next bin.
        if (b > p.peakStartBase) {
            const std::size_t i =
                std::min<std::size_t>(b - 1 - p.peakStartBase, p.peakStart.size() - 1);
            k = p.peakStart[i];
        }
    } else {
        return static_cast<std::size_t>(std::lower_bound(p.peakD.begin(), p.peakD.end(), v) -
                                        p.peakD.begin());
    }
    while (k < p.peakD.size() && p.peakD[k] < v)
        ++k;
    return k;
}

// On the d axis the one fault is a lattice scale common to every line: the quick look finds the
// ratio d(peak) / d(line), within the fault window, that puts the most line intensity on peaks
// within the coarse tolerance, and judges the candidate at that ratio.
double latticeCoverage(const PreparedPeaks& p, std::span<const std::pair<float, float>> top,
                       double floor) {
    static const double kBelow = std::exp(-kMaxLattice), kAbove = std::exp(kMaxLattice);
    struct Ratio {
        double r;
        unsigned line;
        unsigned strong; // the peak's bit among the strongest peaks, or 0
    };
    std::array<Ratio, 96> ratios; // NOLINT: only the first n are read
    std::size_t n = 0;
    double all = 0.0;
    for (std::size_t i = 0; i < top.size(); ++i) {
        const double d = top[i].second;
        all += top[i].first;
        for (std::size_t k = firstPeakAtLeast(p, d * kBelow);
             k < p.peakD.size() && p.peakD[k] <= d * kAbove && n < ratios.size(); ++k) {
            ratios[n++] = {p.peakD[k] / d, static_cast<unsigned>(i), p.peakStrong[k]};
        }
    }
    if (n == 0 || !(all > 0.0)) return 0.0;
    // Every line that has a peak in reach bounds what any one ratio can find.
    double reachable = 0.0;
    unsigned any = 0;
    for (std::size_t j = 0; j < n; ++j)
        any |= 1u << ratios[j].line;
    for (std::size_t i = 0; i < top.size(); ++i)
        if (any & (1u << i)) reachable += top[i].first;
    if (reachable / all < floor) return 0.0;
    // A handful of ratios, nearly in order already (lines strongest first, peaks ascending).
    for (std::size_t j = 1; j < n; ++j) {
        const Ratio ratio = ratios[j];
        std::size_t k = j;
        for (; k > 0 && ratios[k - 1].r > ratio.r; --k)
            ratios[k] = ratios[k - 1];
        ratios[k] = ratio;
    }
    const double span = 1.0 + 2.0 * p.coarseTolerance;
    double found = 0.0;
    std::size_t bestFirst = 0, bestEnd = 0;
    for (std::size_t a = 0; a < n; ++a) {
        unsigned mask = 0;
        double sum = 0.0;
        std::size_t b = a;
        for (; b < n && ratios[b].r <= ratios[a].r * span; ++b) {
            const unsigned bit = 1u << ratios[b].line;
            if (!(mask & bit)) sum += top[ratios[b].line].first;
            mask |= bit;
        }
        if (sum > found) {
            found = sum;
            bestFirst = a;
            bestEnd = b;
        }
    }
    // The peaks' share is at most 1.
    if (found / all < floor) return 0.0;
    // The strong peaks that lines reach at that ratio are the peaks of the ratios in its window.
    unsigned strong = 0;
    for (std::size_t j = bestFirst; j < bestEnd; ++j)
        strong |= ratios[j].strong;
    const auto reached = static_cast<std::size_t>(std::popcount(strong));
    const double peakShare =
        p.strongX.empty() ? 0.0
                          : static_cast<double>(reached) / static_cast<double>(p.strongX.size());
    return (found / all) * (0.25 + 0.75 * peakShare);
}

// The coarse coverage of a candidate's strongest lines in range, (intensity, d), strongest first.
double coarseCoverageOf(const PreparedPeaks& p, std::span<const std::pair<float, float>> top,
                        double floor) {
    if (top.empty()) return 0.0;
    if (!p.axis.twoTheta) return latticeCoverage(p, top, floor);
    auto within = [](const std::vector<std::pair<double, double>>& spans, double d) {
        const auto it = std::lower_bound(spans.begin(), spans.end(), d,
                                         [](const auto& s, double v) { return s.second < v; });
        return it != spans.end() && it->first <= d;
    };
    double found = 0.0, all = 0.0;
    for (const auto& [I, d] : top) {
        all += I;
        if (within(p.reachD, d)) found += I;
    }
    if (!(all > 0.0) || found / all < floor) return 0.0;
    std::size_t reached = 0;
    for (const auto& [dLo, dHi] : p.strongReachD) {
        for (const auto& line : top) {
            if (line.second >= dLo && line.second <= dHi) {
                ++reached;
                break;
            }
        }
    }
    const double peakShare =
        p.strongX.empty() ? 0.0
                          : static_cast<double>(reached) / static_cast<double>(p.strongX.size());
    return all > 0.0 ? (found / all) * (0.25 + 0.75 * peakShare) : 0.0;
}

} // namespace

double coarseCoverage(const PreparedPeaks& p, std::span<const float> d,
                      std::span<const float> intensity,
                      std::span<const std::pair<float, float>> strongest, double floor) {
    // The eight strongest lines in range, kept in a small sorted array.
    std::array<std::pair<float, float>, 8> top{}; // (intensity, d)
    std::size_t count = 0;
    const double lo = p.dMin, hi = p.dMax;
    if (!strongest.empty()) {
        for (const auto& line : strongest) {
            if (line.second > hi || line.second < lo) continue;
            top[count++] = line;
            if (count == top.size()) break;
        }
        // Any line not among them is weaker than all of them.
        if (count == top.size() || strongest.size() == d.size())
            return coarseCoverageOf(p, std::span(top).first(count), floor);
        count = 0;
    }
    for (std::size_t i = 0; i < d.size(); ++i) {
        if (d[i] > hi) continue;
        if (d[i] < lo) break; // d falls
        const float I = intensity[i];
        if (count == top.size() && I <= top[count - 1].first) continue;
        std::size_t k = count < top.size() ? count++ : count - 1;
        for (; k > 0 && top[k - 1].first < I; --k)
            top[k] = top[k - 1];
        top[k] = {I, d[i]};
    }
    return coarseCoverageOf(p, std::span(top).first(count), floor);
}

// The figure of merit of a candidate, 0 to 100:
//
//   FOM = 100 · E · (1 − U) · (½ + ½·A) · P
//
// The faults are fitted first (fitFaults): guesses that put the strongest lines on peaks, then
// three rounds of a robust least-squares fit, each matching every line in range to the nearest
// peak within a narrowing window. Then every line in range takes the nearest peak within the
// tolerance of where the fit expects it; several lines may share a peak (lines that overlap).
//  k  the scale: the matched peaks' intensity over the matched lines' intensity.
//  counted  a line in range that matched, or whose intensity × k reaches the weakest measured
//     peak (without measured intensities: the strongest lines, half again as many as peaks).
//  E  explained: Σ I·c over the matched counted lines / Σ I over the counted lines,
//     c = 1 − (residual / tolerance)², the closeness to the fitted position.
//  U  unexplained: the share of the measured intensity that no line took.
//  A  agreement: Σ m·max(0, 1 − |ln(m / (k·ΣI))| / ln 10) / Σ m over the matched peaks, m the
//     peak's intensity and ΣI that of its lines: a factor of ten apart agrees not at all, so
//     that texture costs only part of the score. 1 with fewer than two peaks or no intensities.
//  P  plausibility of the faults: exp(−χ²/8), χ² of the fitted values against their typical
//     sizes, so that a fit has to be far out before it costs much.
namespace {

// The lines that may fall in range once the lattice is fitted, their intensities relative to the
// strongest in range (100); none when no line is in range.
std::vector<Line> candidateLines(const PreparedPeaks& p, std::span<const float> d,
                                 std::span<const float> intensity) {
    const double lo = p.dMin / (1.0 + kMaxLattice), hi = p.dMax * (1.0 + kMaxLattice);
    std::vector<Line> lines;
    double strongestInRange = 0.0;
    for (std::size_t i = 0; i < d.size() && i < intensity.size(); ++i) {
        if (d[i] > hi || d[i] < lo || !(intensity[i] > 0.0)) continue;
        lines.push_back({static_cast<int>(i), d[i], intensity[i],
                         p.axis.twoTheta ? 0.0 : -std::log(double{d[i]})});
        if (d[i] <= p.dMax && d[i] >= p.dMin)
            strongestInRange = std::max(strongestInRange, double{intensity[i]});
    }
    if (lines.empty() || p.x.empty() || !(strongestInRange > 0.0)) return {};
    for (Line& line : lines)
        line.intensity *= 100.0 / strongestInRange;
    return lines;
}

} // namespace

PatternScore matchPattern(const PreparedPeaks& p, std::span<const float> d,
                          std::span<const float> intensity, const MatchSettings& settings) {
    PatternScore s;
    const double w = window(p.axis, settings);
    const std::vector<Line> lines = candidateLines(p, d, intensity);
    if (lines.empty()) return s;

    const std::vector<InstrumentFit> fits = settings.fitInstrument
                                                ? fitFaults(p, lines, w, 3)
                                                : std::vector<InstrumentFit>{InstrumentFit{}};
    PatternScore best = s;
    for (std::size_t i = 0; i < fits.size(); ++i) {
        const InstrumentFit& fit = fits[i];
        // Guesses that refined to the same fit score the same.
        if (std::any_of(fits.begin(), fits.begin() + static_cast<std::ptrdiff_t>(i),
                        [&](const InstrumentFit& f) {
                            return f.zero == fit.zero && f.displacement == fit.displacement &&
                                   f.lattice == fit.lattice;
                        })) {
            continue;
        }
        PatternScore tried = s;
        tried.fit = fit;
        evaluate(p, lines, w, tried);
        if (tried.figureOfMerit > best.figureOfMerit || best.lines.empty()) best = std::move(tried);
    }
    return best;
}

} // namespace lithora
