#include <algorithm>
#include <string>
#include <vector>

#include "print/identify_print.h"
#include "search/element_search.h"
#include "text/numeric.h"
#include "text/split.h"

// What a report holds, gathered from an identification: the file, the settings, the phases and
// each one's lines matched again against the whole pattern.
namespace lithora {

namespace {

const char* sourceText(WavelengthSource source) {
    switch (source) {
    case WavelengthSource::File:
        return "from the file";
    case WavelengthSource::Chosen:
        return "chosen";
    default:
        return "default";
    }
}

} // namespace

std::string elementFilterText(const IdentifyOptions& options) {
    std::vector<std::string> parts;
    if (options.filterElements) {
        std::vector<std::string> required, excluded, possible;
        for (int z = 1; z <= kElementCount; ++z) {
            const ElementState state = options.elements.state(z);
            (state == ElementState::Required   ? required
             : state == ElementState::Excluded ? excluded
                                               : possible)
                .emplace_back(elementSymbol(z));
        }
        if (!required.empty()) parts.push_back("required " + joinWords(required, ", "));
        // Whichever list is the shorter says it: a few left out, or the few that may occur.
        if (!excluded.empty() && excluded.size() <= possible.size() + required.size()) {
            parts.push_back("excluded " + joinWords(excluded, ", "));
        } else if (!excluded.empty()) {
            parts.push_back(possible.empty() ? "no other element"
                                             : "otherwise only " + joinWords(possible, ", "));
        }
        if (options.maxElements > 0)
            parts.push_back("at most " + std::to_string(options.maxElements) + " elements");
    }
    if (!options.cardScope.empty()) parts.push_back("the current list only");
    if (!options.excludedCards.empty()) {
        std::vector<std::string> cards;
        for (const int card : options.excludedCards)
            cards.push_back(std::to_string(card));
        parts.push_back("cards left out " + joinWords(cards, ", "));
    }
    return parts.empty() ? "none" : joinWords(parts, "; ");
}

Result<IdentificationReport> reportOf(DataSet& data, const ReportSource& source,
                                      const Profile& profile, const ProfileAnalysis& analysis,
                                      const Identification& identification, const Mixture* mixture,
                                      const IdentifyOptions& options) {
    IdentificationReport r;
    r.fileName = source.fileName;
    r.sample = source.sample;
    r.dateTime = source.dateTime;
    r.wavelength = analysis.radiation.alpha1;
    r.wavelengthSource = sourceText(source.wavelengthSource);
    r.kAlpha2Ratio = analysis.radiation.ratio;
    r.toleranceTwoTheta = identification.toleranceTwoTheta;
    r.elementFilter = elementFilterText(options);
    r.note = identification.patternNote;

    const ProfileTarget& target = analysis.target;
    const std::size_t n = std::min(profile.twoTheta.size(), profile.counts.size());
    r.twoTheta.assign(profile.twoTheta.begin(),
                      profile.twoTheta.begin() + static_cast<std::ptrdiff_t>(n));
    r.counts.assign(profile.counts.begin(),
                    profile.counts.begin() + static_cast<std::ptrdiff_t>(n));
    if (n > 0) {
        r.rangeMin = r.twoTheta.front();
        r.rangeMax = r.twoTheta.back();
    }
    // The fit's net counts stand on the background less the offset it took off (the median of
    // what the background leaves): counts − net is that level exactly.
    r.background.resize(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        r.background[i] = i < target.net.size()            ? r.counts[i] - target.net[i]
                          : i < analysis.background.size() ? analysis.background[i]
                                                           : 0.0;
    }

    const std::vector<Candidate>& ranked = identification.candidates;
    for (std::size_t i = 0; i < ranked.size() && i < kReportCandidates; ++i) {
        const Candidate& c = ranked[i];
        r.candidates.push_back({c.rank, candidateNameText(ranked, i), c.card, c.finalScore,
                                linesText(c.score), c.profileR, c.probability});
    }

    if (!mixture || mixture->phases.empty()) return r;
    r.calculated = mixture->calculated;
    r.profileR = mixture->rwp;
    r.noiseR = mixture->noiseR;
    r.amountsComplete = mixture->amountsComplete;
    PatternInput whole = patternInputOf(analysis);
    whole.profile = nullptr; // the lines are wanted, not another comparison of the profile
    const std::vector<Peak>& peaks = analysis.pattern.peaks;
    for (const MixturePhase& phase : mixture->phases) {
        const Candidate& c = phase.candidate;
        ReportPhase p;
        p.name = c.name;
        p.card = c.card;
        p.weightPercent = phase.weightPercent;
        p.weightSigma = phase.weightSigma;
        p.certainty = c.probability;
        p.fit = c.score.fit;
        for (const Candidate& a : phase.alternatives)
            p.alternatives.push_back(a.name + " (" + std::to_string(a.card) + ")");
        p.calculated = phase.calculated;
        Result<Candidate> scored = scoreOneCard(data, whole, c.card, options);
        if (!scored) return scored.error();
        for (const LineMatch& m : scored.value().score.lines) {
            ReportLine line;
            line.cardD = m.cardD;
            line.cardIntensity = m.cardIntensity;
            if (m.peak >= 0 && static_cast<std::size_t>(m.peak) < peaks.size()) {
                const Peak& peak = peaks[static_cast<std::size_t>(m.peak)];
                line.kind = LineKind::Matched;
                line.measuredD = peak.d;
                line.measuredTwoTheta = twoThetaFromD(peak.d, analysis.radiation.alpha1);
                line.measuredIntensity = peak.intensity;
                line.deltaD = m.deltaD;
            } else {
                line.kind = m.belowDetection ? LineKind::BelowDetection : LineKind::Missed;
            }
            p.lines.push_back(line);
        }
        r.phases.push_back(std::move(p));
    }
    return r;
}

} // namespace lithora
