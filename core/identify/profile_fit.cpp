#include "identify/profile_fit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lithora {

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

// Kα1 and Kα2 of the common anodes (Å): the doublet's spacing belongs to the anode, so it is
// added to the Kα1 the user or the file gives.
struct Doublet {
    double alpha1, alpha2;
};
constexpr Doublet kDoublets[] = {
    {1.540598, 1.544426}, {1.788996, 1.792850}, {1.936042, 1.939980},
    {2.289760, 2.293663}, {0.709319, 0.713609}, {0.559421, 0.563813},
};

// Area-normalised pseudo-Voigt, half Lorentzian and half Gaussian, of full width h at offset u,
// read from a table of the unit-width shape (steps of 1/200 of the width, linear between them:
// within 0.01 % of the exact value, and no exp() for each of a comparison's million points).
class PseudoVoigt {
  public:
    static constexpr double kReach = 6.0; // widths each side
    PseudoVoigt() {
        m_table.resize(static_cast<std::size_t>(kReach * kSteps) + 2);
        for (std::size_t i = 0; i < m_table.size(); ++i) {
            const double q = static_cast<double>(i) / kSteps;
            const double lorentz = (2.0 / std::numbers::pi) / (1.0 + 4.0 * q * q);
            constexpr double kGauss = 0.9394372786996513; // 2 √(ln 2 / π)
            const double gauss = kGauss * std::exp(-4.0 * std::numbers::ln2 * q * q);
            m_table[i] = 0.5 * lorentz + 0.5 * gauss;
        }
    }
    double operator()(double u, double h) const {
        const double q = std::fabs(u / h) * kSteps;
        if (!(q < kReach * kSteps)) return 0.0;
        const auto i = static_cast<std::size_t>(q);
        const double t = q - static_cast<double>(i);
        return (m_table[i] + t * (m_table[i + 1] - m_table[i])) / h;
    }

  private:
    static constexpr double kSteps = 200.0;
    std::vector<double> m_table;
};

const PseudoVoigt& pseudoVoigt() {
    static const PseudoVoigt shape;
    return shape;
}

} // namespace

TubeRadiation radiationFor(double alpha1) {
    for (const Doublet& d : kDoublets) {
        if (std::fabs(d.alpha1 - alpha1) <= 0.0005)
            return TubeRadiation{alpha1, alpha1 + (d.alpha2 - d.alpha1), 0.5};
    }
    return TubeRadiation{alpha1, alpha1, 0.0};
}

double PeakWidth::at(double twoTheta) const {
    return std::max(0.01, a + b * std::tan(twoTheta / 2.0 / kDegrees));
}

Profile stripKAlpha2(const Profile& profile, const std::vector<double>& background,
                     const TubeRadiation& radiation) {
    Profile out = profile;
    const std::size_t n = std::min(profile.twoTheta.size(), background.size());
    if (radiation.ratio <= 0.0 || radiation.alpha2 <= radiation.alpha1 || n < 2) return out;
    std::vector<double> alpha1(n, 0.0);
    const double factor = radiation.alpha1 / radiation.alpha2;
    for (std::size_t i = 0; i < n; ++i) {
        const double net = profile.counts[i] - background[i];
        // Kα2 seen at 2θ comes from the Kα1 line at 2θ1 < 2θ.
        const double s = factor * std::sin(profile.twoTheta[i] / 2.0 / kDegrees);
        double fromAlpha1 = 0.0;
        if (s < 1.0 && i > 0) {
            const double source = 2.0 * std::asin(s) * kDegrees;
            if (source >= profile.twoTheta.front()) {
                // alpha1 is filled up to i - 1, and source < twoTheta[i].
                const auto end = profile.twoTheta.begin() + static_cast<std::ptrdiff_t>(i);
                const auto hi = static_cast<std::size_t>(
                    std::upper_bound(profile.twoTheta.begin(), end, source) -
                    profile.twoTheta.begin());
                if (hi == 0) {
                    fromAlpha1 = alpha1[0];
                } else if (hi >= i) {
                    fromAlpha1 = alpha1[i - 1];
                } else {
                    const std::size_t lo = hi - 1;
                    const double t = (source - profile.twoTheta[lo]) /
                                     (profile.twoTheta[hi] - profile.twoTheta[lo]);
                    fromAlpha1 = alpha1[lo] + t * (alpha1[hi] - alpha1[lo]);
                }
            }
        }
        alpha1[i] = net - radiation.ratio * fromAlpha1;
        out.counts[i] = background[i] + std::max(alpha1[i], 0.0);
    }
    return out;
}

PeakWidth measureWidths(const Profile& stripped, const std::vector<double>& background,
                        const std::vector<FoundPeak>& peaks) {
    PeakWidth w;
    const std::size_t n = std::min(stripped.twoTheta.size(), background.size());
    if (n < 3 || peaks.empty()) return w;
    double highest = 0.0;
    for (const FoundPeak& p : peaks)
        highest = std::max(highest, p.height);
    struct Sample {
        double tanTheta, fwhm;
    };
    std::vector<Sample> samples;
    for (const FoundPeak& p : peaks) {
        if (p.height < 0.1 * highest) continue;
        const auto at = static_cast<std::size_t>(
            std::lower_bound(stripped.twoTheta.begin(),
                             stripped.twoTheta.begin() + static_cast<std::ptrdiff_t>(n),
                             p.twoTheta) -
            stripped.twoTheta.begin());
        if (at == 0 || at >= n) continue;
        const double half = 0.5 * p.height;
        std::size_t lo = at, hi = at;
        while (lo > 0 && stripped.counts[lo] - background[lo] > half && at - lo < 400)
            --lo;
        while (hi + 1 < n && stripped.counts[hi] - background[hi] > half && hi - at < 400)
            ++hi;
        auto crossing = [&](std::size_t inside, std::size_t outside) {
            const double yi = stripped.counts[inside] - background[inside];
            const double yo = stripped.counts[outside] - background[outside];
            const double t = yi != yo ? (yi - half) / (yi - yo) : 0.5;
            return stripped.twoTheta[inside] +
                   std::clamp(t, 0.0, 1.0) *
                       (stripped.twoTheta[outside] - stripped.twoTheta[inside]);
        };
        if (lo == at || hi == at) continue;
        const double fwhm = crossing(hi - 1, hi) - crossing(lo + 1, lo);
        if (fwhm > 0.0 && fwhm < 2.0)
            samples.push_back({std::tan(p.twoTheta / 2.0 / kDegrees), fwhm});
    }
    if (samples.empty()) return w;
    std::vector<double> widths;
    for (const Sample& s : samples)
        widths.push_back(s.fwhm);
    std::nth_element(widths.begin(),
                     widths.begin() + static_cast<std::ptrdiff_t>(widths.size() / 2), widths.end());
    const double median = widths[widths.size() / 2];
    w.a = median;
    w.b = 0.0;
    if (samples.size() >= 5) {
        // A straight line through the widths that are not far from the median (overlapping
        // peaks measure too wide).
        double sx = 0, sy = 0, sxx = 0, sxy = 0, count = 0;
        for (const Sample& s : samples) {
            if (s.fwhm > 2.0 * median || s.fwhm < 0.5 * median) continue;
            sx += s.tanTheta;
            sy += s.fwhm;
            sxx += s.tanTheta * s.tanTheta;
            sxy += s.tanTheta * s.fwhm;
            ++count;
        }
        const double det = count * sxx - sx * sx;
        if (count >= 5 && det > 1e-9) {
            const double b = (count * sxy - sx * sy) / det;
            const double a = (sy - b * sx) / count;
            if (b >= 0.0 && a > 0.0) {
                w.a = a;
                w.b = b;
            }
        }
    }
    w.a = std::max(w.a, 0.02);
    return w;
}

ProfileTarget profileTarget(const Profile& profile, const std::vector<double>& background,
                            const TubeRadiation& radiation, const PeakWidth& width) {
    ProfileTarget t;
    const std::size_t n = std::min(profile.twoTheta.size(), background.size());
    t.twoTheta.assign(profile.twoTheta.begin(),
                      profile.twoTheta.begin() + static_cast<std::ptrdiff_t>(n));
    t.net.resize(n);
    t.weight.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        t.net[i] = profile.counts[i] - background[i];
    // The peak finder's background runs a little above the noise's middle; most points of a
    // scan lie between peaks, so the median of what is left is where the background really is.
    if (n > 0) {
        std::vector<double> sorted = t.net;
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n / 2),
                         sorted.end());
        const double offset = sorted[n / 2];
        for (double& v : t.net)
            v -= offset;
    }
    // Poisson weights, 1 / counts, with the counts taken at least at their median: a scan
    // that was scaled or had its background taken off would otherwise weigh its emptiest
    // points thousands of times more than its peaks.
    double floor = 1.0;
    if (n > 0) {
        std::vector<double> sorted(profile.counts.begin(),
                                   profile.counts.begin() + static_cast<std::ptrdiff_t>(n));
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n / 2),
                         sorted.end());
        floor = std::max(sorted[n / 2], 1.0);
    }
    for (std::size_t i = 0; i < n; ++i) {
        t.weight[i] = 1.0 / std::max(profile.counts[i], floor);
        t.weightedSquares += t.weight[i] * t.net[i] * t.net[i];
    }
    // The noise: each point against the mean of its four neighbours, r = y - mean, whose
    // variance for white noise is 5/4 of the point's. The median of w r² (a peak's curvature
    // touches few points) over the median of a χ² of one degree, 0.455, is the mean of w σ².
    if (n >= 5 && t.weightedSquares > 0.0) {
        std::vector<double> scaled;
        scaled.reserve(n - 4);
        for (std::size_t i = 2; i + 2 < n; ++i) {
            const double mean = (profile.counts[i - 2] + profile.counts[i - 1] +
                                 profile.counts[i + 1] + profile.counts[i + 2]) /
                                4.0;
            const double r = profile.counts[i] - mean;
            scaled.push_back(t.weight[i] * r * r);
        }
        const auto middle = scaled.begin() + static_cast<std::ptrdiff_t>(scaled.size() / 2);
        std::nth_element(scaled.begin(), middle, scaled.end());
        const double perPoint = *middle / 0.455 / 1.25;
        t.noiseR = std::sqrt(perPoint * static_cast<double>(n) / t.weightedSquares);
    }
    t.radiation = radiation;
    t.width = width;
    return t;
}

ProfileComparison compareProfile(const ProfileTarget& target, const MeasuredAxis& axis,
                                 std::span<const float> d, std::span<const float> intensity,
                                 const InstrumentFit& fit, std::span<const double> offsets,
                                 bool keepCalculated) {
    ProfileComparison out;
    const std::size_t n = target.twoTheta.size();
    if (n < 2 || !(target.weightedSquares > 0.0)) return out;
    const double lo = target.twoTheta.front(), hi = target.twoTheta.back();
    // Each line's contribution, as a span of points and their values (both Kα lines).
    struct Contribution {
        std::size_t first = 0;
        std::vector<double> shape;
        double intensity = 0.0;
        double factor = 1.0;
    };
    std::vector<Contribution> lines;
    double strongest = 0.0;
    for (std::size_t i = 0; i < d.size() && i < intensity.size(); ++i)
        strongest = std::max(strongest, double{intensity[i]});
    const PseudoVoigt& shape = pseudoVoigt();
    MeasuredAxis alpha2Axis = axis;
    alpha2Axis.wavelength = target.radiation.alpha2;
    for (std::size_t i = 0; i < d.size() && i < intensity.size(); ++i) {
        if (!(intensity[i] >= 0.002 * strongest)) continue; // below any profile's noise
        const double offset = i < offsets.size() ? offsets[i] : 0.0;
        const double t1 = expectedPosition(axis, d[i], fit) + offset;
        if (!std::isfinite(t1)) continue;
        const double h = target.width.at(t1);
        const double reach = PseudoVoigt::kReach * h;
        const bool doublet = target.radiation.ratio > 0.0;
        const double t2 = doublet ? expectedPosition(alpha2Axis, d[i], fit) + offset : t1;
        const double from = t1 - reach, to = (std::isfinite(t2) ? t2 : t1) + reach;
        if (to < lo || from > hi) continue;
        Contribution c;
        const auto first = static_cast<std::size_t>(
            std::lower_bound(target.twoTheta.begin(), target.twoTheta.end(), from) -
            target.twoTheta.begin());
        c.first = first;
        for (std::size_t k = first; k < n && target.twoTheta[k] <= to; ++k) {
            const double x = target.twoTheta[k];
            double v = shape(x - t1, h);
            if (doublet && std::isfinite(t2)) v += target.radiation.ratio * shape(x - t2, h);
            c.shape.push_back(v);
        }
        if (c.shape.empty()) continue;
        c.intensity = intensity[i];
        lines.push_back(std::move(c));
    }
    if (lines.empty()) return out;
    std::vector<double> calc(n, 0.0);
    auto build = [&]() {
        std::fill(calc.begin(), calc.end(), 0.0);
        for (const Contribution& c : lines) {
            const double a = c.intensity * c.factor;
            for (std::size_t k = 0; k < c.shape.size(); ++k)
                calc[c.first + k] += a * c.shape[k];
        }
    };
    auto bestScale = [&]() {
        double num = 0.0, den = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            num += target.weight[k] * target.net[k] * calc[k];
            den += target.weight[k] * calc[k] * calc[k];
        }
        return den > 0.0 ? std::max(num / den, 0.0) : 0.0;
    };
    build();
    double scale = bestScale();
    for (int round = 0; round < 3 && scale > 0.0; ++round) {
        // Le Bail's share-out: each line takes the measured counts in proportion to its part of
        // the calculated profile. The common scale follows the median line, and each line may
        // stand within a factor of three of it.
        std::vector<double> wanted(lines.size(), 1.0);
        std::vector<double> significant;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const Contribution& c = lines[i];
            double observed = 0.0, own = 0.0;
            for (std::size_t k = 0; k < c.shape.size(); ++k) {
                const std::size_t at = c.first + k;
                const double mine = c.intensity * c.factor * c.shape[k];
                own += mine;
                if (calc[at] > 0.0) observed += std::max(target.net[at], 0.0) * mine / calc[at];
            }
            if (own > 0.0) {
                wanted[i] = c.factor * observed / (own * scale);
                if (c.intensity >= 0.05 * strongest) significant.push_back(wanted[i]);
            }
        }
        double median = 1.0;
        if (!significant.empty()) {
            std::nth_element(significant.begin(),
                             significant.begin() +
                                 static_cast<std::ptrdiff_t>(significant.size() / 2),
                             significant.end());
            median = std::max(significant[significant.size() / 2], 1e-6);
        }
        scale *= median;
        for (std::size_t i = 0; i < lines.size(); ++i)
            lines[i].factor = std::clamp(wanted[i] / median, 1.0 / 3.0, 3.0);
        build();
    }
    double residual = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const double r = target.net[k] - scale * calc[k];
        residual += target.weight[k] * r * r;
    }
    out.rwp = std::sqrt(residual / target.weightedSquares);
    out.scale = scale;
    if (keepCalculated) {
        out.calculated = std::move(calc);
        for (double& v : out.calculated)
            v *= scale;
    }
    return out;
}

std::vector<double> matchedOffsets(const PatternScore& score, std::size_t lineCount) {
    std::vector<double> out(lineCount, 0.0);
    for (const LineMatch& m : score.lines) {
        if (m.peak >= 0 && m.line >= 0 && static_cast<std::size_t>(m.line) < lineCount)
            out[static_cast<std::size_t>(m.line)] = m.residual;
    }
    return out;
}

} // namespace lithora
