#include "identify/mixture.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace lithora {

namespace {

// A phase is added when the weighted squares it takes away, times the plausibility of its
// fitted faults, exceed both
//  - kNoisePoints times the counting noise of one point, so that a noisy scan does not sprout
//    phases that fit its noise, and
//  - kMisfitShare of the squares the phases so far leave above the noise, so that the misfit
//    of a major phase's intensities is not taken for a minor phase.
// The same bars keep a phase when it is left out in turn.
constexpr double kNoisePoints = 60.0;
constexpr double kMisfitShare = 0.05;
// The stricter bar of the last look at every phase, as a share of the misfit.
constexpr double kKeep = 0.15;
// A residual candidate must explain this share of its lines' intensity in what is left.
constexpr double kLeastExplained = 0.6;
// Above this likeness of calculated profiles a candidate is a phase already found.
constexpr double kAlike = 0.7;
// How many candidates each residual ranking keeps, and compares with the residual as a whole.
constexpr int kResidualTop = 12;
constexpr int kResidualConfirm = 20;
// How many of a residual ranking's candidates that explain the most of their lines each step
// tries besides its best.
constexpr int kByExplained = 2;
// How many species the search names beside a phase as ones its peaks cannot tell from it.
constexpr std::size_t kMostAlternatives = 5;
// How many of the first identification's candidates each step tries besides.
constexpr int kFirstTries = 6;
// The widths a phase's peaks are tried at, as shares of the scan's.
constexpr double kWidths[] = {1.0, 1.5, 2.2, 3.2};
// The Lorentzian shares the peak shape is tried at, on the first phase.
constexpr double kEtas[] = {0.2, 0.35, 0.5, 0.65, 0.8};

// The cards' lines, read once for the search, and the phases shaped on the profile.
class LineCache {
  public:
    explicit LineCache(DataSet& data) : m_data(data) {}
    Result<const CardPattern*> get(int card) {
        auto it = m_lines.find(card);
        if (it == m_lines.end()) {
            Result<CardPattern> read = cardPatternOf(m_data, card);
            if (!read) return read.error();
            it = m_lines.emplace(card, std::move(read.value())).first;
        }
        return &it->second;
    }

    // The phase's lines shaped on the profile: made once for each card, fit, width and peak
    // shape, since a search fits the same phase in many mixtures.
    Result<const PhaseShape*> shape(const ProfileAnalysis& analysis, const MixturePhase& phase) {
        const Candidate& c = phase.candidate;
        const double width = phase.widthFactor > 0.0 ? phase.widthFactor : 1.0;
        const ShapeKey key{c.card,
                           c.score.fit.zero,
                           c.score.fit.displacement,
                           c.score.fit.lattice,
                           c.score.linesMatched,
                           width,
                           analysis.target.eta};
        auto it = m_shapes.find(key);
        if (it == m_shapes.end()) {
            Result<const CardPattern*> lines = get(c.card);
            if (!lines) return lines.error();
            const CardPattern& p = *lines.value();
            const std::vector<double> offsets = matchedOffsets(c.score, p.d.size());
            MeasuredAxis axis;
            axis.twoTheta = true;
            axis.wavelength = analysis.radiation.alpha1;
            const PhaseModel model{p.d, p.intensity, c.score.fit, offsets, width};
            it = m_shapes.emplace(key, shapePhase(analysis.target, axis, model)).first;
        }
        return &it->second;
    }

  private:
    using ShapeKey = std::tuple<int, double, double, double, int, double, double>;
    DataSet& m_data;
    std::map<int, CardPattern> m_lines;
    std::map<ShapeKey, PhaseShape> m_shapes;
};

struct State {
    std::vector<MixturePhase> phases;
    PhasesFit fit;
    // What the phases took away, each step's gain weighed by its phase's plausibility: the
    // mixtures of a step are ordered by it.
    double merit = 0.0;
};

Result<PhasesFit> fitPhasesOf(LineCache& cache, const ProfileAnalysis& analysis,
                              const std::vector<MixturePhase>& phases, bool keepCalculated) {
    std::vector<const PhaseShape*> shapes;
    for (const MixturePhase& phase : phases) {
        Result<const PhaseShape*> shaped = cache.shape(analysis, phase);
        if (!shaped) return shaped.error();
        shapes.push_back(shaped.value());
    }
    return fitShapes(analysis.target, shapes, keepCalculated, true);
}

// The width of phases[index] that leaves the least, the others as they are; the fit at it.
Result<PhasesFit> fitWidth(LineCache& cache, const ProfileAnalysis& analysis,
                           std::vector<MixturePhase>& phases, std::size_t index,
                           bool keepCalculated) {
    std::optional<PhasesFit> best;
    double width = kWidths[0];
    for (double w : kWidths) {
        phases[index].widthFactor = w;
        Result<PhasesFit> fit = fitPhasesOf(cache, analysis, phases, keepCalculated);
        if (!fit) return fit.error();
        // The squares fall to one width and rise past it: the first rise ends the search.
        if (best && !(fit.value().squares < best->squares)) break;
        best = std::move(fit.value());
        width = w;
    }
    phases[index].widthFactor = width;
    return std::move(*best);
}

// The analysis with the peak shape's Lorentzian share that fits the phases best, each phase at
// its best width for it.
Result<ProfileAnalysis> fitShape(LineCache& cache, const ProfileAnalysis& analysis,
                                 std::vector<MixturePhase>& phases) {
    ProfileAnalysis best = analysis;
    double least = -1.0;
    std::vector<MixturePhase> chosen = phases;
    ProfileAnalysis trial = analysis;
    for (double eta : kEtas) {
        trial.target.eta = eta;
        std::vector<MixturePhase> tried = phases;
        double squares = 0.0;
        for (std::size_t i = 0; i < tried.size(); ++i) {
            Result<PhasesFit> fit = fitWidth(cache, trial, tried, i, false);
            if (!fit) return fit.error();
            squares = fit.value().squares;
        }
        if (least < 0.0 || squares < least) {
            least = squares;
            best.target.eta = eta;
            chosen = std::move(tried);
        }
    }
    phases = std::move(chosen);
    return best;
}

// The profile less the phases' calculated counts.
Profile residualProfile(const Profile& profile, const std::vector<std::vector<double>>& phases) {
    Profile rest = profile;
    for (const std::vector<double>& calc : phases)
        for (std::size_t k = 0; k < calc.size() && k < rest.counts.size(); ++k)
            rest.counts[k] -= calc[k];
    return rest;
}

// The weighted cosine of two calculated profiles: 1 when one is the other scaled.
double similarity(const ProfileTarget& target, const std::vector<double>& a,
                  const std::vector<double>& b) {
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t k = 0; k < a.size() && k < b.size() && k < target.weight.size(); ++k) {
        ab += target.weight[k] * a[k] * b[k];
        aa += target.weight[k] * a[k] * a[k];
        bb += target.weight[k] * b[k] * b[k];
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

bool holds(const std::vector<MixturePhase>& phases, int card) {
    return std::any_of(phases.begin(), phases.end(),
                       [&](const MixturePhase& p) { return p.candidate.card == card; });
}

bool names(const std::vector<Candidate>& list, int card) {
    return std::any_of(list.begin(), list.end(),
                       [&](const Candidate& c) { return c.card == card; });
}

std::vector<int> cardsOf(const State& s) {
    std::vector<int> cards;
    for (const MixturePhase& p : s.phases)
        cards.push_back(p.candidate.card);
    std::sort(cards.begin(), cards.end());
    return cards;
}

// The mixture of the phases as fitted, with each one's calculated counts and its amount.
Result<Mixture> mixtureOf(LineCache& cache, const ProfileAnalysis& analysis,
                          std::vector<MixturePhase> phases) {
    Mixture m;
    m.twoTheta = analysis.target.twoTheta;
    m.background.assign(
        analysis.background.begin(),
        analysis.background.begin() +
            static_cast<std::ptrdiff_t>(std::min(analysis.background.size(), m.twoTheta.size())));
    m.noiseR = analysis.target.noiseR;
    m.eta = analysis.target.eta;
    m.calculated.assign(m.twoTheta.size(), 0.0);
    if (phases.empty()) return m;
    Result<PhasesFit> fitted = fitPhasesOf(cache, analysis, phases, true);
    if (!fitted) return fitted.error();
    PhasesFit& fit = fitted.value();
    m.rwp = fit.rwp;
    for (std::size_t i = 0; i < phases.size(); ++i) {
        MixturePhase& p = phases[i];
        p.scale = fit.totalScale[i];
        Result<const CardPattern*> lines = cache.get(p.candidate.card);
        if (!lines) return lines.error();
        p.iic = lines.value()->iic;
        if (i < fit.calculated.size()) {
            p.calculated = std::move(fit.calculated[i]);
            for (std::size_t k = 0; k < p.calculated.size() && k < m.calculated.size(); ++k)
                m.calculated[k] += p.calculated[k];
        }
    }
    m.phases = std::move(phases);
    assignAmounts(m, fit.scaleSpread);
    return m;
}

} // namespace

void assignAmounts(Mixture& mixture, const std::vector<double>& scaleSpread) {
    double total = 0.0;
    std::vector<double> share(mixture.phases.size(), 0.0), relative(mixture.phases.size(), 0.0);
    mixture.amountsComplete = true;
    for (std::size_t i = 0; i < mixture.phases.size(); ++i) {
        const MixturePhase& p = mixture.phases[i];
        if (!p.iic || !(*p.iic > 0.0)) {
            mixture.amountsComplete = false;
            continue;
        }
        share[i] = std::max(p.scale, 0.0) / *p.iic;
        const double spread = i < scaleSpread.size() ? scaleSpread[i] : 0.0;
        relative[i] = std::sqrt(spread * spread + kIicUncertainty * kIicUncertainty);
        total += share[i];
    }
    for (std::size_t i = 0; i < mixture.phases.size(); ++i) {
        MixturePhase& p = mixture.phases[i];
        if (!p.iic || !(*p.iic > 0.0) || !(total > 0.0)) {
            p.weightPercent = -1.0;
            p.weightSigma = 0.0;
            continue;
        }
        // w_i = a_i / Σ a: ∂w_i/∂a_i = (1 − w_i) / A, ∂w_i/∂a_j = −w_i / A.
        const double w = share[i] / total;
        double variance = 0.0;
        for (std::size_t j = 0; j < mixture.phases.size(); ++j) {
            if (!(share[j] > 0.0)) continue;
            const double wj = share[j] / total;
            const double d = j == i ? w * (1.0 - w) * relative[j] : w * wj * relative[j];
            variance += d * d;
        }
        p.weightPercent = 100.0 * w;
        p.weightSigma = 100.0 * std::sqrt(variance);
    }
}

std::vector<Candidate> groupMembers(const std::vector<Candidate>& list, const Candidate& c) {
    std::vector<Candidate> out;
    if (c.group == 0) return out;
    for (const Candidate& o : list)
        if (o.group == c.group && o.card != c.card) out.push_back(o);
    return out;
}

Result<Mixture> fitMixture(DataSet& data, const ProfileAnalysis& analysis,
                           std::vector<MixturePhase> phases, double eta) {
    if (analysis.target.twoTheta.size() < 2 || !(analysis.target.weightedSquares > 0.0))
        return makeError(ErrorCode::NotFound, "The pattern has no profile to fit");
    LineCache cache(data);
    ProfileAnalysis shaped = analysis;
    if (eta > 0.0) {
        shaped.target.eta = eta;
        for (std::size_t i = 0; i < phases.size(); ++i) {
            if (phases[i].widthFactor > 0.0) continue;
            Result<PhasesFit> fit = fitWidth(cache, shaped, phases, i, false);
            if (!fit) return fit.error();
        }
    } else if (!phases.empty()) {
        Result<ProfileAnalysis> fitted = fitShape(cache, analysis, phases);
        if (!fitted) return fitted.error();
        shaped = std::move(fitted.value());
    }
    return mixtureOf(cache, shaped, std::move(phases));
}

Result<Candidate> scorePhase(DataSet& data, const Profile& profile, const ProfileAnalysis& analysis,
                             const Mixture& mixture, int card, const IdentifyOptions& options) {
    std::vector<std::vector<double>> calculated;
    for (const MixturePhase& p : mixture.phases)
        calculated.push_back(p.calculated);
    const ProfileAnalysis rest =
        analyseProfile(residualProfile(profile, calculated), analysis.radiation);
    return scoreOneCard(data, patternInputOf(rest), card, options);
}

Result<Mixture> findMixture(DataSet& data, const Profile& profile, const ProfileAnalysis& analysis,
                            const Identification& first, const IdentifyOptions& options,
                            const MixtureOptions& settings) {
    if (analysis.target.twoTheta.size() < 2 || !(analysis.target.weightedSquares > 0.0))
        return makeError(ErrorCode::NotFound, "The pattern has no profile to fit");
    LineCache cache(data);
    const ProfileTarget& target = analysis.target;
    const double noiseSquares = target.noiseR * target.noiseR * target.weightedSquares;
    const double perPoint = noiseSquares / static_cast<double>(target.twoTheta.size());
    auto bar = [&](double squares) {
        return std::max(kNoisePoints * perPoint,
                        kMisfitShare * std::max(squares - noiseSquares, 0.0));
    };
    const int most = std::clamp(settings.maxPhases, 1, kMostPhases);
    const auto beamWidth = static_cast<std::size_t>(std::max(settings.beam, 1));

    // The peak shape, fitted once on the first identification's best: the instrument's, common
    // to every phase.
    if (first.candidates.empty()) return mixtureOf(cache, analysis, {});
    ProfileAnalysis shaped = analysis;
    {
        std::vector<MixturePhase> lead(1);
        lead[0].candidate = first.candidates.front();
        Result<ProfileAnalysis> fitted = fitShape(cache, analysis, lead);
        if (!fitted) return fitted.error();
        shaped = std::move(fitted.value());
    }
    // The search starts from the first identification's best, the phase the profile as a whole
    // confirmed; the beam widens from there.
    std::vector<State> beam(1);
    beam[0].phases.push_back(MixturePhase{});
    beam[0].phases[0].candidate = first.candidates.front();
    beam[0].phases[0].alternatives = groupMembers(first.candidates, first.candidates.front());
    {
        Result<PhasesFit> fit = fitWidth(cache, shaped, beam[0].phases, 0, false);
        if (!fit) return fit.error();
        beam[0].fit = std::move(fit.value());
        beam[0].merit = (target.weightedSquares - beam[0].fit.squares) *
                        first.candidates.front().score.plausibility;
    }
    State best = beam.front();

    for (int step = 1; step < most; ++step) {
        std::vector<State> next;
        for (const State& state : beam) {
            Result<PhasesFit> kept = fitPhasesOf(cache, shaped, state.phases, true);
            if (!kept) return kept.error();
            const ProfileAnalysis rest = analyseProfile(
                residualProfile(profile, kept.value().calculated), analysis.radiation);
            if (rest.pattern.peaks.empty()) continue;
            IdentifyOptions o = options;
            o.top = kResidualTop;
            o.confirm = kResidualConfirm;
            for (const MixturePhase& p : state.phases)
                o.excludedCards.push_back(p.candidate.card);
            Result<Identification> ranked = identifyPattern(data, patternInputOf(rest), o);
            if (!ranked) return ranked.error();
            // The residual's best, one of each group the data cannot tell apart, then the
            // first identification's (a minor phase often ranks there below the major ones).
            struct Try {
                const Candidate* candidate;
                const std::vector<Candidate>* list;
            };
            std::vector<Try> tries;
            auto offer = [&](const std::vector<Candidate>& list, int count) {
                int taken = 0;
                std::vector<int> groups;
                for (const Candidate& c : list) {
                    if (taken >= count) break;
                    if (holds(state.phases, c.card)) continue;
                    if (c.group != 0 &&
                        std::find(groups.begin(), groups.end(), c.group) != groups.end()) {
                        continue;
                    }
                    if (c.group != 0) groups.push_back(c.group);
                    ++taken;
                    const bool offered = std::any_of(tries.begin(), tries.end(), [&](const Try& t) {
                        return t.candidate->card == c.card;
                    });
                    if (!offered) tries.push_back({&c, &list});
                }
            };
            // A residual's peaks are partly the phases' misfit, and its ranking often puts a
            // phase below cards that fit the misfit: the ones that explain most of their lines
            // are tried besides.
            std::vector<Candidate> byExplained = ranked.value().candidates;
            std::stable_sort(byExplained.begin(), byExplained.end(),
                             [](const Candidate& a, const Candidate& b) {
                                 return a.score.explained > b.score.explained;
                             });
            offer(ranked.value().candidates, settings.tries);
            offer(byExplained, kByExplained);
            offer(first.candidates, kFirstTries);
            // Candidates whose profile is one of the phases' own: the fit cannot tell them from
            // it, and every mixture grown from this one names them beside it.
            std::vector<std::vector<Candidate>> twins(state.phases.size());
            const std::size_t grownFrom = next.size();
            for (const Try& t : tries) {
                const Candidate& c = *t.candidate;
                if (c.score.explained < kLeastExplained) continue;
                State grown;
                grown.phases = state.phases;
                grown.phases.push_back(MixturePhase{});
                grown.phases.back().candidate = c;
                grown.phases.back().alternatives = groupMembers(*t.list, c);
                Result<PhasesFit> fit =
                    fitWidth(cache, shaped, grown.phases, grown.phases.size() - 1, true);
                if (!fit) return fit.error();
                grown.fit = std::move(fit.value());
                // A candidate whose calculated profile is nearly one of the phases' own is that
                // phase again (an isostructural species), whatever the fit gains by it.
                double alike = 0.0;
                for (std::size_t i = 0; i + 1 < grown.phases.size(); ++i) {
                    const double a =
                        similarity(target, grown.fit.calculated[i], grown.fit.calculated.back());
                    if (a > kAlike) twins[i].push_back(c);
                    alike = std::max(alike, a);
                }
                grown.fit.calculated.clear();
                // What the candidate takes away, weighed by how plausible its fitted faults are:
                // of two that fit alike, the one whose lines need no stretched lattice.
                const double gain = (state.fit.squares - grown.fit.squares) * c.score.plausibility;
                if (alike > kAlike || !(gain > bar(state.fit.squares))) continue;
                grown.merit = state.merit + gain;
                // A phase the others now explain goes.
                for (std::size_t i = 0; i + 1 < grown.phases.size();) {
                    std::vector<MixturePhase> without = grown.phases;
                    without.erase(without.begin() + static_cast<std::ptrdiff_t>(i));
                    Result<PhasesFit> less = fitPhasesOf(cache, shaped, without, false);
                    if (!less) return less.error();
                    const double loss = less.value().squares - grown.fit.squares;
                    if (loss > bar(less.value().squares)) {
                        ++i;
                        continue;
                    }
                    grown.merit -= loss;
                    grown.phases = std::move(without);
                    grown.fit = std::move(less.value());
                }
                next.push_back(std::move(grown));
            }
            for (std::size_t g = grownFrom; g < next.size(); ++g) {
                for (std::size_t i = 0; i < twins.size(); ++i) {
                    const int card = state.phases[i].candidate.card;
                    auto at = std::find_if(
                        next[g].phases.begin(), next[g].phases.end(),
                        [&](const MixturePhase& p) { return p.candidate.card == card; });
                    if (at == next[g].phases.end()) continue;
                    for (const Candidate& twin : twins[i])
                        if (!names(at->alternatives, twin.card)) at->alternatives.push_back(twin);
                }
            }
        }
        if (next.empty()) break;
        std::sort(next.begin(), next.end(),
                  [](const State& a, const State& b) { return a.merit > b.merit; });
        // One of each set of phases.
        std::vector<State> kept;
        for (State& s : next) {
            const std::vector<int> cards = cardsOf(s);
            const bool seen = std::any_of(kept.begin(), kept.end(),
                                          [&](const State& k) { return cardsOf(k) == cards; });
            if (!seen && kept.size() < beamWidth) kept.push_back(std::move(s));
        }
        beam = std::move(kept);
        if (beam.front().merit > best.merit) best = beam.front();
    }
    // Last, each phase must still earn its place beside all the others, at a stricter bar: a
    // phase added early may have been fitting what a later one explains.
    for (std::size_t i = best.phases.size(); i-- > 0 && best.phases.size() > 1;) {
        std::vector<MixturePhase> without = best.phases;
        without.erase(without.begin() + static_cast<std::ptrdiff_t>(i));
        Result<PhasesFit> less = fitPhasesOf(cache, shaped, without, false);
        if (!less) return less.error();
        const double loss =
            (less.value().squares - best.fit.squares) * best.phases[i].candidate.score.plausibility;
        const double keepBar = std::max(kNoisePoints * perPoint,
                                        kKeep * std::max(less.value().squares - noiseSquares, 0.0));
        if (loss > keepBar) continue;
        best.phases = std::move(without);
        best.fit = std::move(less.value());
    }
    Result<Mixture> found = mixtureOf(cache, shaped, std::move(best.phases));
    if (!found) return found.error();
    const Status certain = assessPhases(data, profile, analysis, found.value(), options);
    if (!certain) return certain.error();
    return found;
}

Status assessPhases(DataSet& data, const Profile& profile, const ProfileAnalysis& analysis,
                    Mixture& mixture, const IdentifyOptions& options) {
    if (mixture.phases.size() < 2) return Ok{};
    for (std::size_t i = 0; i < mixture.phases.size(); ++i) {
        std::vector<std::vector<double>> others;
        for (std::size_t j = 0; j < mixture.phases.size(); ++j)
            if (j != i) others.push_back(mixture.phases[j].calculated);
        const ProfileAnalysis rest =
            analyseProfile(residualProfile(profile, others), analysis.radiation);
        MixturePhase& phase = mixture.phases[i];
        phase.candidate.probability = 0.0;
        if (rest.pattern.peaks.empty()) continue;
        IdentifyOptions o = options;
        o.top = kResidualTop;
        o.confirm = kResidualConfirm;
        for (std::size_t j = 0; j < mixture.phases.size(); ++j)
            if (j != i) o.excludedCards.push_back(mixture.phases[j].candidate.card);
        Result<Identification> ranked = identifyPattern(data, patternInputOf(rest), o);
        if (!ranked) return ranked.error();
        // Judged on its own peaks, the phase's group holds the species these peaks cannot tell
        // from it (isostructural, a member of a series): they are named beside it.
        const std::vector<Candidate>& list = ranked.value().candidates;
        const auto own = std::find_if(list.begin(), list.end(), [&](const Candidate& c) {
            return c.card == phase.candidate.card;
        });
        if (own != list.end()) {
            for (const Candidate& member : groupMembers(list, *own)) {
                if (!names(phase.alternatives, member.card) &&
                    phase.alternatives.size() < kMostAlternatives)
                    phase.alternatives.push_back(member);
            }
        }
        for (const Candidate& c : ranked.value().candidates) {
            const bool same = c.card == phase.candidate.card || names(phase.alternatives, c.card);
            if (same)
                phase.candidate.probability = std::max(phase.candidate.probability, c.probability);
        }
    }
    return Ok{};
}

Result<Mixture> refitMixture(DataSet& data, const Profile& profile, const ProfileAnalysis& analysis,
                             std::vector<MixturePhase> phases, double eta,
                             const IdentifyOptions& options) {
    Result<Mixture> fitted = fitMixture(data, analysis, std::move(phases), eta);
    if (!fitted) return fitted;
    const Status assessed = assessPhases(data, profile, analysis, fitted.value(), options);
    if (!assessed) return assessed.error();
    return fitted;
}

} // namespace lithora
