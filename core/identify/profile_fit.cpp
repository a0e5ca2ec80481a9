#include "identify/profile_fit.h"

#include "base/angles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lithora {

namespace {

// Kα1 and Kα2 of the common anodes (Å): the doublet's spacing belongs to the anode, so it is
// added to the Kα1 the user or the file gives.
struct Doublet {
    double alpha1, alpha2;
};
constexpr Doublet kDoublets[] = {
    {1.540598, 1.544426}, {1.788996, 1.792850}, {1.936042, 1.939980},
    {2.289760, 2.293663}, {0.709319, 0.713609}, {0.559421, 0.563813},
};

// Area-normalised pseudo-Voigt of full width h at offset u, its Lorentzian share eta (half and
// half unless the profile says otherwise), read from tables of the unit-width shapes (steps of
// 1/200 of the width, linear between them: within 0.01 % of the exact value, and no exp() for
// each of a comparison's million points).
class PseudoVoigt {
  public:
    static constexpr double kReach = 6.0; // widths each side
    PseudoVoigt() {
        const auto size = static_cast<std::size_t>(kReach * kSteps) + 2;
        m_lorentz.resize(size);
        m_gauss.resize(size);
        for (std::size_t i = 0; i < size; ++i) {
            const double q = static_cast<double>(i) / kSteps;
            m_lorentz[i] = (2.0 / std::numbers::pi) / (1.0 + 4.0 * q * q);
            constexpr double kGauss = 0.9394372786996513; // 2 √(ln 2 / π)
            m_gauss[i] = kGauss * std::exp(-4.0 * std::numbers::ln2 * q * q);
        }
    }
    double operator()(double u, double h, double eta = 0.5) const {
        const double q = std::fabs(u / h) * kSteps;
        if (!(q < kReach * kSteps)) return 0.0;
        const auto i = static_cast<std::size_t>(q);
        const double t = q - static_cast<double>(i);
        const double l = m_lorentz[i] + t * (m_lorentz[i + 1] - m_lorentz[i]);
        const double g = m_gauss[i] + t * (m_gauss[i + 1] - m_gauss[i]);
        return (eta * l + (1.0 - eta) * g) / h;
    }

  private:
    static constexpr double kSteps = 200.0;
    std::vector<double> m_lorentz, m_gauss;
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

PhaseShape shapePhase(const ProfileTarget& target, const MeasuredAxis& axis,
                      const PhaseModel& phase) {
    PhaseShape out;
    const std::size_t n = target.twoTheta.size();
    if (n < 2) return out;
    const double lo = target.twoTheta.front(), hi = target.twoTheta.back();
    const PseudoVoigt& shape = pseudoVoigt();
    MeasuredAxis alpha2Axis = axis;
    alpha2Axis.wavelength = target.radiation.alpha2;
    const bool doublet = target.radiation.ratio > 0.0;
    const std::size_t count = std::min(phase.d.size(), phase.intensity.size());
    double strongest = 0.0;
    for (std::size_t i = 0; i < count; ++i)
        strongest = std::max(strongest, double{phase.intensity[i]});
    const double widen = phase.widthFactor > 0.0 ? phase.widthFactor : 1.0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!(phase.intensity[i] >= 0.002 * strongest)) continue; // below any profile's noise
        const double offset = i < phase.offsets.size() ? phase.offsets[i] : 0.0;
        const double t1 = expectedPosition(axis, phase.d[i], phase.fit) + offset;
        if (!std::isfinite(t1)) continue;
        const double h = widen * target.width.at(t1);
        const double reach = PseudoVoigt::kReach * h;
        const double t2 =
            doublet ? expectedPosition(alpha2Axis, phase.d[i], phase.fit) + offset : t1;
        const double from = t1 - reach, to = (std::isfinite(t2) ? t2 : t1) + reach;
        if (to < lo || from > hi) continue;
        PhaseShape::Line c;
        c.first = static_cast<std::size_t>(
            std::lower_bound(target.twoTheta.begin(), target.twoTheta.end(), from) -
            target.twoTheta.begin());
        for (std::size_t k = c.first; k < n && target.twoTheta[k] <= to; ++k) {
            const double x = target.twoTheta[k];
            double v = shape(x - t1, h, target.eta);
            if (doublet && std::isfinite(t2))
                v += target.radiation.ratio * shape(x - t2, h, target.eta);
            c.shape.push_back(v);
        }
        if (c.shape.empty()) continue;
        c.intensity = phase.intensity[i];
        c.significant = phase.intensity[i] >= 0.05 * strongest;
        out.lines.push_back(std::move(c));
    }
    return out;
}

PhasesFit fitPhases(const ProfileTarget& target, const MeasuredAxis& axis,
                    std::span<const PhaseModel> phases, bool keepCalculated, bool finalScales) {
    std::vector<PhaseShape> shapes;
    shapes.reserve(phases.size());
    for (const PhaseModel& phase : phases)
        shapes.push_back(shapePhase(target, axis, phase));
    std::vector<const PhaseShape*> pointers;
    for (const PhaseShape& shape : shapes)
        pointers.push_back(&shape);
    return fitShapes(target, pointers, keepCalculated, finalScales);
}

PhasesFit fitShapes(const ProfileTarget& target, std::span<const PhaseShape* const> phases,
                    bool keepCalculated, bool finalScales) {
    PhasesFit out;
    out.scale.assign(phases.size(), 0.0);
    out.scaleSpread.assign(phases.size(), 0.0);
    const std::size_t n = target.twoTheta.size();
    if (n < 2 || !(target.weightedSquares > 0.0) || phases.empty()) return out;
    out.squares = target.weightedSquares;
    // Each line's contribution: its shape, and the factor this fit gives it.
    struct Contribution {
        std::size_t phase = 0;
        std::size_t first = 0;
        std::span<const double> shape;
        double intensity = 0.0;
        double factor = 1.0;
        bool significant = false;
    };
    std::vector<Contribution> lines;
    for (std::size_t p = 0; p < phases.size(); ++p)
        for (const PhaseShape::Line& l : phases[p]->lines)
            lines.push_back({p, l.first, l.shape, l.intensity, 1.0, l.significant});
    if (lines.empty()) return out;
    const std::size_t m = phases.size();
    std::vector<double>& scale = out.scale;
    // The phases' profiles at unit scale, and the total at their scales.
    std::vector<std::vector<double>> own(m, std::vector<double>(n, 0.0));
    std::vector<double> total(n, 0.0);
    auto build = [&]() {
        for (std::vector<double>& v : own)
            std::fill(v.begin(), v.end(), 0.0);
        for (const Contribution& c : lines) {
            const double a = c.intensity * c.factor;
            std::vector<double>& v = own[c.phase];
            for (std::size_t k = 0; k < c.shape.size(); ++k)
                v[c.first + k] += a * c.shape[k];
        }
    };
    auto sum = [&]() {
        std::fill(total.begin(), total.end(), 0.0);
        for (std::size_t p = 0; p < m; ++p)
            for (std::size_t k = 0; k < n; ++k)
                total[k] += scale[p] * own[p][k];
    };
    // The scales by weighted least squares, none below 0: one phase alone in closed form, more
    // by coordinate descent (a few phases, a few hundred sweeps at most).
    auto bestScales = [&]() {
        std::vector<std::vector<double>> a(m, std::vector<double>(m, 0.0));
        std::vector<double> b(m, 0.0);
        for (std::size_t p = 0; p < m; ++p) {
            for (std::size_t k = 0; k < n; ++k) {
                const double wk = target.weight[k] * own[p][k];
                if (wk == 0.0) continue;
                b[p] += wk * target.net[k];
                for (std::size_t q = p; q < m; ++q)
                    a[p][q] += wk * own[q][k];
            }
            for (std::size_t q = 0; q < p; ++q)
                a[p][q] = a[q][p];
        }
        for (std::size_t p = 0; p < m; ++p)
            scale[p] = a[p][p] > 0.0 ? std::max(b[p] / a[p][p], 0.0) : 0.0;
        for (int sweep = 0; m > 1 && sweep < 300; ++sweep) {
            double moved = 0.0;
            for (std::size_t p = 0; p < m; ++p) {
                if (!(a[p][p] > 0.0)) continue;
                double r = b[p];
                for (std::size_t q = 0; q < m; ++q)
                    if (q != p) r -= a[p][q] * scale[q];
                const double next = std::max(r / a[p][p], 0.0);
                moved = std::max(moved, std::fabs(next - scale[p]) / std::max(next, 1e-12));
                scale[p] = next;
            }
            if (moved < 1e-6) break;
        }
    };
    build();
    bestScales();
    std::vector<std::vector<double>> significant(m);
    for (int round = 0; round < 3; ++round) {
        sum();
        // Le Bail's share-out: each line takes the measured counts in proportion to its part of
        // the calculated profile, whichever phase it belongs to. A phase's scale follows its
        // median line, and each line may stand within a factor of three of it.
        std::vector<double> wanted(lines.size(), 1.0);
        for (std::vector<double>& v : significant)
            v.clear();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const Contribution& c = lines[i];
            const double s = scale[c.phase];
            if (!(s > 0.0)) continue;
            double observed = 0.0, mineSum = 0.0;
            for (std::size_t k = 0; k < c.shape.size(); ++k) {
                const std::size_t at = c.first + k;
                const double mine = s * c.intensity * c.factor * c.shape[k];
                mineSum += mine;
                if (total[at] > 0.0) observed += std::max(target.net[at], 0.0) * mine / total[at];
            }
            if (mineSum > 0.0) {
                wanted[i] = c.factor * observed / mineSum;
                if (c.significant) significant[c.phase].push_back(wanted[i]);
            }
        }
        std::vector<double> median(m, 1.0);
        for (std::size_t p = 0; p < m; ++p) {
            std::vector<double> v = significant[p];
            if (v.empty()) continue;
            std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2),
                             v.end());
            median[p] = std::max(v[v.size() / 2], 1e-6);
        }
        bool any = false;
        for (std::size_t p = 0; p < m; ++p) {
            any = any || scale[p] > 0.0;
            scale[p] *= median[p];
        }
        if (!any) break;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (scale[lines[i].phase] > 0.0)
                lines[i].factor = std::clamp(wanted[i] / median[lines[i].phase], 1.0 / 3.0, 3.0);
        }
        build();
    }
    // The scales once more by least squares with the lines' factors as they now stand: the
    // median steps above need not leave the best sum where phases overlap.
    if (finalScales) {
        build();
        bestScales();
    }
    sum();
    // How far the scale is known: the spread of its lines' wanted factors about their median
    // (texture, a wrong intensity), as a share, over the root of how many lines set it.
    for (std::size_t p = 0; p < m; ++p) {
        std::vector<double> logs;
        for (double v : significant[p])
            if (v > 0.0) logs.push_back(std::log(v));
        if (logs.size() < 2) {
            out.scaleSpread[p] = 1.0;
            continue;
        }
        std::vector<double> sorted = logs;
        std::nth_element(sorted.begin(),
                         sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2),
                         sorted.end());
        const double middle = sorted[sorted.size() / 2];
        for (double& v : sorted)
            v = std::fabs(v - middle);
        std::nth_element(sorted.begin(),
                         sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2),
                         sorted.end());
        out.scaleSpread[p] =
            1.4826 * sorted[sorted.size() / 2] / std::sqrt(static_cast<double>(logs.size()));
    }
    // The scale of the phase's whole intensity: texture moves intensity between lines, and the
    // sum over the lines in the scan keeps more of it than any single line does.
    out.totalScale.assign(m, 0.0);
    {
        std::vector<double> fitted(m, 0.0), given(m, 0.0);
        for (const Contribution& c : lines) {
            fitted[c.phase] += scale[c.phase] * c.factor * c.intensity;
            given[c.phase] += c.intensity;
        }
        for (std::size_t p = 0; p < m; ++p)
            out.totalScale[p] = given[p] > 0.0 ? fitted[p] / given[p] : 0.0;
    }
    double residual = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const double r = target.net[k] - total[k];
        residual += target.weight[k] * r * r;
    }
    out.squares = residual;
    out.rwp = std::sqrt(residual / target.weightedSquares);
    if (keepCalculated) {
        out.calculated.resize(m);
        for (std::size_t p = 0; p < m; ++p) {
            out.calculated[p] = std::move(own[p]);
            for (double& v : out.calculated[p])
                v *= scale[p];
        }
    }
    return out;
}

ProfileComparison compareProfile(const ProfileTarget& target, const MeasuredAxis& axis,
                                 std::span<const float> d, std::span<const float> intensity,
                                 const InstrumentFit& fit, std::span<const double> offsets,
                                 bool keepCalculated) {
    const PhaseModel phase{d, intensity, fit, offsets, 1.0};
    PhasesFit fitted = fitPhases(target, axis, std::span(&phase, 1), keepCalculated);
    ProfileComparison out;
    out.rwp = fitted.rwp;
    out.scale = fitted.scale.front();
    if (keepCalculated && !fitted.calculated.empty())
        out.calculated = std::move(fitted.calculated.front());
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
