#include "fault_profile.h"

#include "base/angles.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <random>
#include <string>

namespace lithora {

namespace {

constexpr double kLn2 = std::numbers::ln2;

// Beyond 50 FWHM a Lorentzian is below 1/10,000 of its top, a Gaussian beyond 4 below 1e-19:
// the sums stop there instead of running every line over every point.
constexpr double kTailWidths = 50.0;
constexpr double kGaussWidths = 4.0;

// std::mt19937_64's output is fixed by the standard but the std distributions are not, so every
// draw is made here from the engine's bits and the profile is the same with every library.
class Draw {
  public:
    explicit Draw(std::uint64_t seed) : m_engine(seed) {}

    double uniform() { return static_cast<double>(m_engine() >> 11) * 0x1.0p-53; } // [0, 1)
    double uniform(double low, double high) { return low + (high - low) * uniform(); }
    bool chance(double probability) { return uniform() < probability; }
    std::size_t index(std::size_t count) { return static_cast<std::size_t>(m_engine() % count); }

    double poisson(double mean) {
        if (!(mean > 0.0)) return 0.0;
        if (mean < 10.0) return poissonByProducts(mean);
        return poissonByRejection(mean);
    }

  private:
    // Knuth's: multiply uniforms until the product falls below e^-mean.
    double poissonByProducts(double mean) {
        const double limit = std::exp(-mean);
        double product = uniform();
        int k = 0;
        while (product > limit) {
            ++k;
            product *= uniform();
        }
        return k;
    }

    // Hörmann's transformed rejection (PTRS, 1993): exact for a mean of 10 and above, and a
    // couple of draws per count however large the mean.
    double poissonByRejection(double mean) {
        const double root = std::sqrt(mean);
        const double logMean = std::log(mean);
        const double b = 0.931 + 2.53 * root;
        const double a = -0.059 + 0.02483 * b;
        const double inverseAlpha = 1.1239 + 1.1328 / (b - 3.4);
        const double vr = 0.9277 - 3.6224 / (b - 2.0);
        for (;;) {
            const double u = uniform() - 0.5;
            const double v = uniform();
            const double us = 0.5 - std::fabs(u);
            const double k = std::floor((2.0 * a / us + b) * u + mean + 0.43);
            if (us >= 0.07 && v <= vr) return k;
            if (k < 0.0 || (us < 0.013 && v > us)) continue;
            if (std::log(v) + std::log(inverseAlpha) - std::log(a / (us * us) + b) <=
                -mean + k * logMean - std::lgamma(k + 1.0))
                return k;
        }
    }

    std::mt19937_64 m_engine;
};

using Vector = std::array<double, 3>;

Vector cross(const Vector& x, const Vector& y) {
    return {x[1] * y[2] - x[2] * y[1], x[2] * y[0] - x[0] * y[2], x[0] * y[1] - x[1] * y[0]};
}
double dot(const Vector& x, const Vector& y) {
    return x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
}

// The direct and reciprocal bases of a cell in Cartesian axes: a along x, b in the xy plane.
struct Bases {
    std::array<Vector, 3> direct;
    std::array<Vector, 3> reciprocal; // a_i · a*_j = δij
};

Bases basesOf(const UnitCell& cell) {
    const double ca = std::cos(cell.alpha * kDegree), cb = std::cos(cell.beta * kDegree);
    const double cg = std::cos(cell.gamma * kDegree), sg = std::sin(cell.gamma * kDegree);
    const double cy = (ca - cb * cg) / sg;
    const double cz = std::sqrt(std::max(0.0, 1.0 - cb * cb - cy * cy));
    Bases out;
    out.direct = {Vector{cell.a, 0.0, 0.0}, Vector{cell.b * cg, cell.b * sg, 0.0},
                  Vector{cell.c * cb, cell.c * cy, cell.c * cz}};
    const double volume = dot(out.direct[0], cross(out.direct[1], out.direct[2]));
    for (std::size_t i = 0; i < 3; ++i) {
        const Vector v = cross(out.direct[(i + 1) % 3], out.direct[(i + 2) % 3]);
        out.reciprocal[i] = {v[0] / volume, v[1] / volume, v[2] / volume};
    }
    return out;
}

Vector reciprocalVector(const Bases& bases, const Vector& coordinates) {
    Vector out{};
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j)
            out[j] += coordinates[i] * bases.reciprocal[i][j];
    }
    return out;
}

// March–Dollase: the share of grains whose scattering vector lies at angle α to the preferred
// direction, against a random powder. Its average over the sphere is 1, so the total scattered
// intensity stays what it was.
double marchDollase(double r, double cosAngle) {
    const double c2 = cosAngle * cosAngle;
    return std::pow(r * r * c2 + (1.0 - c2) / r, -1.5);
}

// The tops of a Gaussian and a Lorentzian of unit area (the given intensities are areas), and of
// the pseudo-Voigt, η Lorentzian + (1 - η) Gaussian of one FWHM.
double gaussianTop(double fwhm) {
    return 2.0 / fwhm * std::sqrt(kLn2 / std::numbers::pi);
}
double lorentzianTop(double fwhm) {
    return 2.0 / (std::numbers::pi * fwhm);
}
double peakTop(double fwhm, double eta) {
    return eta * lorentzianTop(fwhm) + (1.0 - eta) * gaussianTop(fwhm);
}

Error inputError(const std::string& what) {
    return makeError(ErrorCode::Damaged, what);
}

std::string lineName(std::size_t phase, std::size_t line) {
    return "phase " + std::to_string(phase + 1) + ", line " + std::to_string(line + 1);
}

// The low-index planes whose normals plates and needles grow along.
constexpr std::array<Vector, 7> kLowIndexAxes = {Vector{1, 0, 0}, Vector{0, 1, 0}, Vector{0, 0, 1},
                                                 Vector{1, 1, 0}, Vector{1, 0, 1}, Vector{0, 1, 1},
                                                 Vector{1, 1, 1}};

// Every draw of one profile but the noise, made in a fixed order whatever is given.
struct DrawnFaults {
    ScanRange range;
    double step = 0.0, zeroShift = 0.0, displacement = 0.0;
    double lowWidth = 0.0, highWidth = 0.0, eta = 0.0, peakHeight = 0.0;
    double levelShare = 0.0, riseShare = 0.0, riseWidth = 0.0, endShare = 0.0;
    bool hump = false;
    double humpShare = 0.0, humpCentre = 0.0, humpWidth = 0.0;
    struct Phase {
        double strain = 0.0, marchR = 1.0;
        bool lowIndex = false;
        std::size_t axisIndex = 0;
        double z = 0.0, phi = 0.0;
    };
    std::vector<Phase> phases;
};

DrawnFaults drawAll(Draw& draw, std::size_t phaseCount) {
    DrawnFaults d;
    d.range = draw.chance(0.5) ? ScanRange{5.0, 70.0} : ScanRange{10.0, 100.0};
    d.step = draw.uniform(0.01, 0.03);
    d.zeroShift = draw.uniform(-0.15, 0.15);
    d.displacement = draw.uniform(-0.15, 0.15);
    d.lowWidth = draw.uniform(0.06, 0.2);
    d.highWidth = draw.uniform(d.lowWidth, 0.3);
    d.eta = draw.uniform(0.2, 0.8);
    d.peakHeight = std::exp(draw.uniform(std::log(2000.0), std::log(50000.0)));
    d.levelShare = draw.uniform(0.03, 0.30);
    d.riseShare = draw.uniform(0.0, 1.0);
    d.riseWidth = draw.uniform(2.0, 10.0);
    d.endShare = draw.uniform(0.3, 1.1);
    d.hump = draw.chance(0.3);
    d.humpShare = draw.uniform(0.2, 0.8);
    d.humpCentre = draw.uniform(15.0, 35.0);
    d.humpWidth = draw.uniform(6.0, 14.0);
    d.phases.resize(phaseCount);
    for (DrawnFaults::Phase& p : d.phases) {
        p.strain = draw.uniform(-0.01, 0.01);
        p.marchR = draw.uniform(0.6, 1.5);
        p.lowIndex = draw.chance(0.5);
        p.axisIndex = draw.index(kLowIndexAxes.size());
        p.z = draw.uniform(-1.0, 1.0);
        p.phi = draw.uniform(0.0, 2.0 * std::numbers::pi);
    }
    return d;
}

// Widths through the drawn FWHM at the two ends of the scan, V left at 0.
Caglioti drawnWidths(const DrawnFaults& d, const ScanRange& range) {
    const double low = std::tan(range.from / 2.0 * kDegree);
    const double high = std::tan(range.to / 2.0 * kDegree);
    Caglioti c;
    c.u = (d.highWidth * d.highWidth - d.lowWidth * d.lowWidth) / (high * high - low * low);
    c.w = std::max(0.0, d.lowWidth * d.lowWidth - c.u * low * low);
    return c;
}

Background drawnBackground(const DrawnFaults& d, const ScanRange& range, double peakHeight) {
    Background b;
    b.level = d.levelShare * peakHeight;
    b.slope = (d.endShare - 1.0) * b.level / (range.to - range.from);
    b.riseHeight = d.riseShare * b.level;
    b.riseWidth = d.riseWidth;
    if (d.hump) {
        b.humpHeight = d.humpShare * b.level;
        b.humpCentre = d.humpCentre;
        b.humpWidth = d.humpWidth;
    }
    return b;
}

// The axis drawn for a phase in reciprocal-lattice coordinates, its largest component ±1.
std::array<double, 3> drawnAxis(const DrawnFaults::Phase& p, const Bases& bases) {
    if (p.lowIndex) return kLowIndexAxes[p.axisIndex];
    // A direction uniform on the sphere: z uniform in -1..1 and the azimuth uniform. Its
    // reciprocal-lattice coordinates are its dot products with the direct edges.
    const double s = std::sqrt(1.0 - p.z * p.z);
    const Vector u{s * std::cos(p.phi), s * std::sin(p.phi), p.z};
    Vector x{dot(bases.direct[0], u), dot(bases.direct[1], u), dot(bases.direct[2], u)};
    const double largest = std::max({std::fabs(x[0]), std::fabs(x[1]), std::fabs(x[2])});
    for (double& c : x)
        c /= largest;
    return x;
}

Status checkSettings(const ProfileTruth& t, std::size_t points) {
    if (!(t.range.from > 0.0 && t.range.to < 180.0 && t.range.from < t.range.to))
        return inputError("The scan must lie between 0 and 180 degrees and rise");
    if (!(t.step > 0.0)) return inputError("The step must be above 0");
    if (points < 10 || points > kMaxProfilePoints) {
        return inputError("The scan has " + std::to_string(points) +
                          " points; a profile has 10 to " + std::to_string(kMaxProfilePoints));
    }
    if (!(t.eta >= 0.0 && t.eta <= 1.0)) return inputError("η must lie between 0 and 1");
    if (!(t.peakHeight > 0.0)) return inputError("The peak height must be above 0");
    if (!(t.radiation.kAlpha1 > 0.0 && t.radiation.kAlpha2 > 0.0 && t.radiation.ratio >= 0.0))
        return inputError("The wavelengths must be above 0 and the Kα2 ratio not below 0");
    if (!(t.goniometerRadius > 0.0)) return inputError("The goniometer radius must be above 0");
    return Ok{};
}

Status checkPhase(const FaultPhase& phase, const PhaseTruth& truth, std::size_t p) {
    const std::string name = "phase " + std::to_string(p + 1);
    if (!(phase.weight > 0.0 && std::isfinite(phase.weight)))
        return inputError("The weight of " + name + " must be above 0");
    if (!(truth.strain > -0.5 && truth.strain < 0.5))
        return inputError("The strain of " + name + " must lie within ±0.5");
    if (!(truth.marchR > 0.0))
        return inputError("The March–Dollase r of " + name + " must be above 0");
    const bool textured = truth.marchR != 1.0;
    if (textured && !isSoundCell(phase.cell))
        return inputError("The cell of " + name + " is no cell, and its texture needs one");
    for (std::size_t i = 0; i < phase.lines.size(); ++i) {
        const FaultLine& line = phase.lines[i];
        if (!(line.d > 0.0 && std::isfinite(line.d)))
            return inputError("The d of " + lineName(p, i) + " must be above 0");
        if (!(line.intensity > 0.0 && std::isfinite(line.intensity)))
            return inputError("The intensity of " + lineName(p, i) + " must be above 0");
        if (textured && line.hkl == std::array<int, 3>{})
            return inputError("The hkl of " + lineName(p, i) + " is 0 0 0, and texture needs one");
    }
    return Ok{};
}

// One peak of the doublet: where it lies, how wide it is, whether the scan holds its top.
struct PeakPlace {
    double position = 0.0;
    double fwhm = 0.0;
    bool inside = false;
};

// Adds the lines of the phases to the peak sum at unit scale, and places each Kα1 peak that
// lies inside the scan in the truth with its height at unit scale.
class PeakSum {
  public:
    PeakSum(ProfileTruth& truth, std::size_t points) : m_truth(truth), m_peaks(points, 0.0) {}

    const std::vector<double>& peaks() const { return m_peaks; }

    Status add(const FaultPhase& phase, std::size_t p) {
        const PhaseTruth& pt = m_truth.phases[p];
        std::optional<Vector> axis;
        Bases bases{};
        if (pt.marchR != 1.0) {
            bases = basesOf(phase.cell);
            const Vector v = reciprocalVector(bases, pt.textureAxis);
            const double length = std::sqrt(dot(v, v));
            if (!(length > 0.0))
                return inputError("The texture axis of phase " + std::to_string(p + 1) +
                                  " has no length");
            axis = Vector{v[0] / length, v[1] / length, v[2] / length};
        }
        const Radiation& radiation = m_truth.radiation;
        for (std::size_t i = 0; i < phase.lines.size(); ++i) {
            const FaultLine& line = phase.lines[i];
            double texture = 1.0;
            if (axis) {
                // The given hkl stands for all its symmetry-equivalent planes, whose directions
                // are not known here: the factor of this one plane is taken for the whole line.
                const Vector h = reciprocalVector(
                    bases, {double(line.hkl[0]), double(line.hkl[1]), double(line.hkl[2])});
                texture = marchDollase(pt.marchR, dot(h, *axis) / std::sqrt(dot(h, h)));
            }
            // The intensities were computed for Cu Kα with the Lorentz-polarisation factor in
            // them: it is not applied again (nor changed for another anode).
            const double area = phase.weight * line.intensity * texture;
            const double d = line.d * (1.0 + pt.strain);
            Result<PeakPlace> first = addPeak(d, radiation.kAlpha1, area, p, i);
            if (!first) return first.error();
            if (first.value().inside) {
                const PeakPlace& at = first.value();
                m_truth.lines.push_back(PlacedLine{p, i, at.position, at.fwhm,
                                                   area * peakTop(at.fwhm, m_truth.eta), texture});
            }
            if (radiation.ratio > 0.0) {
                Result<PeakPlace> second =
                    addPeak(d, radiation.kAlpha2, area * radiation.ratio, p, i);
                if (!second) return second.error();
            }
        }
        return Ok{};
    }

  private:
    // A width that is not above 0 is an error only near the scan, where the peak would show.
    Result<PeakPlace> addPeak(double d, double wavelength, double area, std::size_t p,
                              std::size_t i) {
        const ProfileTruth& t = m_truth;
        const double s = wavelength / (2.0 * d);
        if (s >= 1.0) return PeakPlace{}; // beyond the limiting sphere: this d cannot diffract
        const double theta = std::asin(s);
        PeakPlace place;
        place.position = 2.0 * theta / kDegree + t.zeroShift -
                         2.0 * t.displacement * std::cos(theta) / t.goniometerRadius / kDegree;
        const double last = t.range.from + t.step * double(m_peaks.size() - 1);
        place.inside = place.position >= t.range.from && place.position <= last;
        const double tangent = std::tan(theta);
        const double square = t.widths.u * tangent * tangent + t.widths.v * tangent + t.widths.w;
        if (!(square > 0.0)) {
            if (place.position < t.range.from - 2.0 || place.position > last + 2.0)
                return PeakPlace{};
            return inputError("The widths give no FWHM above 0 at " + lineName(p, i));
        }
        place.fwhm = std::sqrt(square);
        // The two parts of the pseudo-Voigt are summed apart: the Gaussian over the few widths
        // where it is not 0, the Lorentzian over its long tails.
        const double gaussTop = area * (1.0 - t.eta) * gaussianTop(place.fwhm);
        const double lorentzTop = area * t.eta * lorentzianTop(place.fwhm);
        addShape(place, kGaussWidths, [&](double z) { return gaussTop * std::exp(-kLn2 * z * z); });
        if (lorentzTop > 0.0)
            addShape(place, kTailWidths, [&](double z) { return lorentzTop / (1.0 + z * z); });
        return place;
    }

    // Adds shape(z), z = 2 (x - position) / FWHM, at the points within `widths` FWHM.
    template <typename Shape> void addShape(const PeakPlace& place, double widths, Shape shape) {
        const ProfileTruth& t = m_truth;
        const double reach = widths * place.fwhm;
        const double top = double(m_peaks.size() - 1);
        const double from =
            std::max(0.0, std::ceil((place.position - reach - t.range.from) / t.step));
        const double to =
            std::min(top, std::floor((place.position + reach - t.range.from) / t.step));
        if (from > to) return;
        const double scale = 2.0 / place.fwhm;
        for (std::size_t k = std::size_t(from), end = std::size_t(to); k <= end; ++k) {
            const double x = t.range.from + t.step * double(k);
            m_peaks[k] += shape(scale * (x - place.position));
        }
    }

    ProfileTruth& m_truth;
    std::vector<double> m_peaks;
};

} // namespace

std::optional<Radiation> radiationOfAnode(std::string_view anode) {
    struct Doublet {
        std::string_view anode;
        double kAlpha1, kAlpha2;
    };
    // Kα1 as the identification names it; Kα2 as diffractometers commonly set it.
    static constexpr Doublet kDoublets[] = {
        {"cu", 1.540598, 1.544426}, {"co", 1.78897, 1.79285}, {"fe", 1.93604, 1.93998},
        {"cr", 2.28970, 2.29361},   {"mo", 0.70930, 0.71359}, {"ag", 0.55941, 0.56381},
    };
    std::string lower(anode);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const Doublet& d : kDoublets) {
        if (lower == d.anode) return Radiation{d.kAlpha1, d.kAlpha2, 0.5};
    }
    return std::nullopt;
}

double backgroundAt(const Background& b, double firstTwoTheta, double twoTheta) {
    const double x = twoTheta - firstTwoTheta;
    double value = b.level + b.slope * x;
    if (b.riseWidth > 0.0) value += b.riseHeight * std::exp(-x / b.riseWidth);
    if (b.humpWidth > 0.0) {
        const double z = (twoTheta - b.humpCentre) / b.humpWidth;
        value += b.humpHeight * std::exp(-4.0 * kLn2 * z * z);
    }
    return std::max(0.0, value);
}

Result<FaultProfile> makeFaultProfile(std::span<const FaultPhase> phases,
                                      const FaultSettings& settings, std::uint64_t seed) {
    if (phases.empty()) return inputError("A profile needs at least one phase");
    Draw draw(seed);
    const DrawnFaults drawn = drawAll(draw, phases.size());

    FaultProfile out;
    ProfileTruth& t = out.truth;
    t.radiation = settings.radiation;
    t.range = settings.range.value_or(drawn.range);
    t.step = settings.step.value_or(drawn.step);
    t.zeroShift = settings.zeroShift.value_or(drawn.zeroShift);
    t.displacement = settings.displacement.value_or(drawn.displacement);
    t.goniometerRadius = settings.goniometerRadius;
    t.widths = settings.widths.value_or(drawnWidths(drawn, t.range));
    t.eta = settings.eta.value_or(drawn.eta);
    t.peakHeight = settings.peakHeight.value_or(drawn.peakHeight);
    t.background = settings.background.value_or(drawnBackground(drawn, t.range, t.peakHeight));
    t.noise = settings.noise;

    const double span = (t.range.to - t.range.from) / t.step;
    const std::size_t points =
        std::isfinite(span) && span >= 0.0 && span < 1e7 ? std::size_t(span + 1e-9) + 1 : 0;
    if (Status s = checkSettings(t, points); !s) return s.error();

    for (std::size_t p = 0; p < phases.size(); ++p) {
        const FaultPhase& phase = phases[p];
        const DrawnFaults::Phase& d = drawn.phases[p];
        PhaseTruth pt;
        pt.strain = phase.strain.value_or(d.strain);
        pt.marchR = phase.marchR.value_or(d.marchR);
        if (phase.textureAxis) {
            pt.textureAxis = *phase.textureAxis;
        } else if (isSoundCell(phase.cell)) {
            pt.textureAxis = drawnAxis(d, basesOf(phase.cell));
        }
        if (Status s = checkPhase(phase, pt, p); !s) return s.error();
        t.phases.push_back(pt);
    }

    PeakSum sum(t, points);
    for (std::size_t p = 0; p < phases.size(); ++p) {
        if (Status s = sum.add(phases[p], p); !s) return s.error();
    }
    // The tallest point of the peaks, whichever phase or doublet makes it, is the peak height.
    const std::vector<double>& peaks = sum.peaks();
    const double tallest = *std::max_element(peaks.begin(), peaks.end());
    const double scale = tallest > 0.0 ? t.peakHeight / tallest : 0.0;
    for (PlacedLine& line : t.lines)
        line.height *= scale;

    out.profile.twoTheta.resize(points);
    out.profile.counts.resize(points);
    out.expected.resize(points);
    for (std::size_t i = 0; i < points; ++i) {
        const double x = t.range.from + t.step * double(i);
        out.profile.twoTheta[i] = x;
        out.expected[i] = peaks[i] * scale + backgroundAt(t.background, t.range.from, x);
        out.profile.counts[i] = t.noise ? draw.poisson(out.expected[i]) : out.expected[i];
    }
    return out;
}

FaultPhase faultPhaseOf(const PatternView& pattern, const UnitCell& cell) {
    FaultPhase phase;
    phase.cell = cell;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const Miller& m = pattern.hkl[i];
        phase.lines.push_back({pattern.d[i], pattern.intensity[i], {m.h, m.k, m.l}});
    }
    return phase;
}

} // namespace lithora
