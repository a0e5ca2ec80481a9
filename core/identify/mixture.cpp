#include "identify/mixture.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace lithora {

namespace {

// A phase is added when the weighted squares it takes away exceed both
//  - kNoisePoints times the counting noise of one point, so that a noisy scan does not sprout
//    phases that fit its noise, and
//  - kMisfitShare of the squares the phases so far leave above the noise, so that the misfit
//    of a major phase's intensities is not taken for a minor phase.
// The same bars keep a phase when it is left out in turn.
constexpr double kNoisePoints = 60.0;
constexpr double kMisfitShare = 0.2;
// A residual candidate must explain this share of its lines' intensity in what is left.
constexpr double kLeastExplained = 0.55;
// Above this likeness of calculated profiles a candidate is a phase already found.
constexpr double kAlike = 0.7;
// How many candidates each residual ranking keeps, and compares with the residual as a whole.
constexpr int kResidualTop = 12;
constexpr int kResidualConfirm = 20;
// How many of the first identification's candidates each step tries besides.
constexpr int kFirstTries = 6;

// The cards' lines, read once for the search.
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

  private:
    DataSet& m_data;
    std::map<int, CardPattern> m_lines;
};

struct State {
    std::vector<Candidate> phases;
    std::vector<std::vector<Candidate>> alternatives; // by phase
    PhasesFit fit;
};

Result<PhasesFit> fitState(LineCache& cache, const ProfileAnalysis& analysis,
                           const MeasuredAxis& axis, const std::vector<Candidate>& phases,
                           bool keepCalculated) {
    std::vector<std::vector<double>> offsets(phases.size());
    std::vector<PhaseModel> models;
    for (std::size_t i = 0; i < phases.size(); ++i) {
        Result<const CardPattern*> lines = cache.get(phases[i].card);
        if (!lines) return lines.error();
        const CardPattern& p = *lines.value();
        offsets[i] = matchedOffsets(phases[i].score, p.d.size());
        models.push_back(PhaseModel{p.d, p.intensity, phases[i].score.fit, offsets[i], 1.0});
    }
    return fitPhases(analysis.target, axis, models, keepCalculated);
}

MeasuredAxis axisOf(const ProfileAnalysis& analysis) {
    MeasuredAxis axis;
    axis.twoTheta = true;
    axis.wavelength = analysis.radiation.alpha1;
    return axis;
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

bool holds(const std::vector<Candidate>& phases, int card) {
    return std::any_of(phases.begin(), phases.end(),
                       [&](const Candidate& c) { return c.card == card; });
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

namespace {

Result<Mixture> mixtureOf(LineCache& cache, const ProfileAnalysis& analysis,
                          const std::vector<Candidate>& phases,
                          const std::vector<std::vector<Candidate>>& alternatives = {}) {
    Mixture m;
    m.twoTheta = analysis.target.twoTheta;
    m.background.assign(
        analysis.background.begin(),
        analysis.background.begin() +
            static_cast<std::ptrdiff_t>(std::min(analysis.background.size(), m.twoTheta.size())));
    m.noiseR = analysis.target.noiseR;
    m.calculated.assign(m.twoTheta.size(), 0.0);
    if (phases.empty()) {
        m.rwp = 1.0;
        return m;
    }
    Result<PhasesFit> fitted = fitState(cache, analysis, axisOf(analysis), phases, true);
    if (!fitted) return fitted.error();
    PhasesFit& fit = fitted.value();
    m.rwp = fit.rwp;
    for (std::size_t i = 0; i < phases.size(); ++i) {
        MixturePhase p;
        p.candidate = phases[i];
        if (i < alternatives.size()) p.alternatives = alternatives[i];
        p.scale = fit.scale[i];
        Result<const CardPattern*> lines = cache.get(phases[i].card);
        if (!lines) return lines.error();
        p.iic = lines.value()->iic;
        if (i < fit.calculated.size()) {
            p.calculated = std::move(fit.calculated[i]);
            for (std::size_t k = 0; k < p.calculated.size() && k < m.calculated.size(); ++k)
                m.calculated[k] += p.calculated[k];
        }
        m.phases.push_back(std::move(p));
    }
    assignAmounts(m, fit.scaleSpread);
    return m;
}

} // namespace

std::vector<Candidate> groupMembers(const std::vector<Candidate>& list, const Candidate& c) {
    std::vector<Candidate> out;
    if (c.group == 0) return out;
    for (const Candidate& o : list)
        if (o.group == c.group && o.card != c.card) out.push_back(o);
    return out;
}

Result<Mixture> fitMixture(DataSet& data, const ProfileAnalysis& analysis,
                           const std::vector<Candidate>& phases) {
    if (analysis.target.twoTheta.size() < 2)
        return makeError(ErrorCode::NotFound, "The pattern has no profile to fit");
    LineCache cache(data);
    return mixtureOf(cache, analysis, phases);
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
    const MeasuredAxis axis = axisOf(analysis);
    const ProfileTarget& target = analysis.target;
    const double noiseSquares = target.noiseR * target.noiseR * target.weightedSquares;
    const double perPoint = noiseSquares / static_cast<double>(target.twoTheta.size());
    auto bar = [&](double squares) {
        return std::max(kNoisePoints * perPoint,
                        kMisfitShare * std::max(squares - noiseSquares, 0.0));
    };
    const int most = std::clamp(settings.maxPhases, 1, kMostPhases);
    const auto beamWidth = static_cast<std::size_t>(std::max(settings.beam, 1));

    // The first step: the best candidates of the first identification, one of each group.
    std::vector<State> beam;
    for (const Candidate& c : first.candidates) {
        if (beam.size() >= beamWidth) break;
        const bool sameGroup = std::any_of(beam.begin(), beam.end(), [&](const State& s) {
            return c.group != 0 && s.phases.front().group == c.group;
        });
        if (sameGroup) continue;
        State s;
        s.phases.push_back(c);
        s.alternatives.push_back(groupMembers(first.candidates, c));
        Result<PhasesFit> fit = fitState(cache, analysis, axis, s.phases, false);
        if (!fit) return fit.error();
        s.fit = std::move(fit.value());
        beam.push_back(std::move(s));
    }
    if (beam.empty()) return mixtureOf(cache, analysis, {});
    // The first identification's best stays first unless a mixture beats it.
    State best = beam.front();

    for (int step = 1; step < most; ++step) {
        std::vector<State> next;
        for (const State& state : beam) {
            Result<PhasesFit> kept = fitState(cache, analysis, axis, state.phases, true);
            if (!kept) return kept.error();
            const ProfileAnalysis rest = analyseProfile(
                residualProfile(profile, kept.value().calculated), analysis.radiation);
            if (rest.pattern.peaks.empty()) continue;
            IdentifyOptions o = options;
            o.top = kResidualTop;
            o.confirm = kResidualConfirm;
            for (const Candidate& c : state.phases)
                o.excludedCards.push_back(c.card);
            Result<Identification> ranked = identifyPattern(data, patternInputOf(rest), o);
            if (!ranked) return ranked.error();
            // The residual's best, one of each group the data cannot tell apart, then the
            // first identification's (a minor phase often ranks there below the major ones).
            std::vector<const Candidate*> tries;
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
                    const bool offered =
                        std::any_of(tries.begin(), tries.end(),
                                    [&](const Candidate* t) { return t->card == c.card; });
                    if (!offered) tries.push_back(&c);
                }
            };
            offer(ranked.value().candidates, settings.tries);
            const std::size_t fromResidual = tries.size();
            offer(first.candidates, kFirstTries);
            for (std::size_t t = 0; t < tries.size(); ++t) {
                const Candidate& c = *tries[t];
                if (c.score.explained < kLeastExplained) continue;
                State grown;
                grown.phases = state.phases;
                grown.phases.push_back(c);
                grown.alternatives = state.alternatives;
                grown.alternatives.push_back(groupMembers(
                    t < fromResidual ? ranked.value().candidates : first.candidates, c));
                Result<PhasesFit> fit = fitState(cache, analysis, axis, grown.phases, true);
                if (!fit) return fit.error();
                grown.fit = std::move(fit.value());
                // A candidate whose calculated profile is nearly one of the phases' own is that
                // phase again (an isostructural species), whatever the fit gains by it.
                double alike = 0.0;
                for (std::size_t i = 0; i + 1 < grown.phases.size(); ++i)
                    alike = std::max(alike, similarity(target, grown.fit.calculated[i],
                                                       grown.fit.calculated.back()));
                grown.fit.calculated.clear();
                if (alike > kAlike) continue;
                const double gain = state.fit.squares - grown.fit.squares;
                if (!(gain > bar(state.fit.squares))) continue;
                // A phase the others now explain goes.
                for (std::size_t i = 0; i + 1 < grown.phases.size() && grown.phases.size() > 2;) {
                    std::vector<Candidate> without = grown.phases;
                    without.erase(without.begin() + static_cast<std::ptrdiff_t>(i));
                    Result<PhasesFit> less = fitState(cache, analysis, axis, without, false);
                    if (!less) return less.error();
                    if (less.value().squares - grown.fit.squares > bar(less.value().squares)) {
                        ++i;
                        continue;
                    }
                    grown.phases = std::move(without);
                    grown.alternatives.erase(grown.alternatives.begin() +
                                             static_cast<std::ptrdiff_t>(i));
                    grown.fit = std::move(less.value());
                }
                next.push_back(std::move(grown));
            }
        }
        if (next.empty()) break;
        std::sort(next.begin(), next.end(),
                  [](const State& a, const State& b) { return a.fit.squares < b.fit.squares; });
        // One of each set of phases.
        std::vector<State> kept;
        for (State& s : next) {
            std::vector<int> cards;
            for (const Candidate& c : s.phases)
                cards.push_back(c.card);
            std::sort(cards.begin(), cards.end());
            const bool seen = std::any_of(kept.begin(), kept.end(), [&](const State& k) {
                std::vector<int> other;
                for (const Candidate& c : k.phases)
                    other.push_back(c.card);
                std::sort(other.begin(), other.end());
                return other == cards;
            });
            if (!seen && kept.size() < beamWidth) kept.push_back(std::move(s));
        }
        beam = std::move(kept);
        if (beam.front().fit.squares < best.fit.squares) best = beam.front();
    }
    return mixtureOf(cache, analysis, best.phases, best.alternatives);
}

} // namespace lithora
