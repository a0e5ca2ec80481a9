// The identification over a fuzzed data set: a pattern of typed peaks ranked with the element
// filter, a card list and the residual after the first candidate.
//
// Input: the control part, then the eight files of a data directory (see fuzz_support.h).
// Control lines: "peaks=LIST" (d and intensity pairs, separated by commas), "tolerance=N"
// (hundredths of a percent), "required=Ca,O", "excluded=Fe", "max=N", "top=N", "within" (the
// cards of the current list), "ima", "listgroup=NAME".
#include <algorithm>

#include "fuzz_support.h"
#include "identify/peak_list.h"
#include "identify/ranking.h"
#include "search_support.h"

using namespace lithora;
using namespace lithora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        splitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<Setting> settings = settingsOf(parts[0]);
    std::string peaks = "3.34 100, 4.26 20, 1.82 14";
    IdentifyOptions options;
    std::vector<int> required, excluded;
    int maxElements = 0;
    for (const Setting& s : settings) {
        if (s.key == "peaks") peaks = std::string(s.value);
        if (s.key == "tolerance")
            options.tolerancePercent = settingNumber(s.value, 1, 1000, 60) / 100.0;
        if (s.key == "top") options.top = settingNumber(s.value, -5, 20000, 20);
        if (s.key == "max") maxElements = settingNumber(s.value, -5, 200, 0);
        if (s.key == "required" || s.key == "excluded") {
            const Result<std::vector<int>> symbols = parseElementSymbols(s.value);
            if (symbols) {
                for (int z : symbols.value())
                    FUZZ_CHECK(z >= 1 && z <= kElementCount);
                (s.key == "required" ? required : excluded) = symbols.value();
            }
        }
    }
    const Result<MeasuredPattern> pattern = parsePeakList(peaks, PeakPosition::D);
    if (!pattern) return 0;
    setElementFilter(options, required, excluded, maxElements);

    Session session;
    if (!startSearchSession(session, parts, settings, "search_identify")) return 0;
    if (hasSetting(settings, "within")) {
        options.cardScope.assign(kMaxCardNumber + 1, false);
        getCurrentCardNumbers(session, options.cardScope);
    }
    const Result<Identification> result = identifyPattern(session.data, pattern.value(), options);
    if (!result) return 0;
    const auto& candidates = result.value().candidates;
    FUZZ_CHECK(static_cast<int>(candidates.size()) <= std::max(1, options.top));
    FUZZ_CHECK(static_cast<int>(candidates.size()) <= result.value().entriesScored);
    // A group's members each show the group's probability: counted once a group, the
    // probabilities add up to no more than 1.
    double probabilities = 0.0;
    std::vector<int> groups;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Candidate& c = candidates[i];
        FUZZ_CHECK(c.rank == static_cast<int>(i) + 1);
        FUZZ_CHECK(c.score.figureOfMerit > 0.0 && c.score.figureOfMerit <= 100.0 + 1e-9);
        // Typed peaks have no profile to compare with: the figure of merit is the final score.
        FUZZ_CHECK(c.profileR == -1.0 && c.finalScore == c.score.figureOfMerit);
        // Best first, but a group's members stand right under its best one: a member follows
        // another of its group, and a group's first member or a lone candidate follows no
        // better one.
        const bool member = i > 0 && c.group != 0 && candidates[i - 1].group == c.group;
        if (member) FUZZ_CHECK(candidates[i - 1].finalScore >= c.finalScore);
        if (!member && i > 0) {
            FUZZ_CHECK(c.group == 0 ||
                       std::find(groups.begin(), groups.end(), c.group) == groups.end());
            for (std::size_t j = 0; j < i; ++j)
                FUZZ_CHECK(candidates[j].group != 0 || candidates[j].finalScore >= c.finalScore);
        }
        FUZZ_CHECK(c.probability > 0.0 && c.probability <= 1.0);
        if (c.group == 0 || std::find(groups.begin(), groups.end(), c.group) == groups.end()) {
            probabilities += c.probability;
            if (c.group != 0) groups.push_back(c.group);
        }
        for (const LineMatch& line : c.score.lines)
            FUZZ_CHECK(line.peak < static_cast<int>(pattern.value().peaks.size()));
        if (!options.cardScope.empty() && c.card >= 0 && c.card <= kMaxCardNumber)
            FUZZ_CHECK(options.cardScope[static_cast<std::size_t>(c.card)]);
    }
    FUZZ_CHECK(probabilities <= 1.0 + 1e-9);
    FUZZ_CHECK(result.value().confident ==
               (!candidates.empty() && candidates[0].probability >= kConfidentProbability));
    if (candidates.empty()) return 0;
    // The first candidate scored alone scores the same, and its residual leaves it out.
    const Result<Candidate> alone =
        scoreOneCard(session.data, pattern.value(), candidates[0].card, options);
    if (alone && session.data.tables.entryOf(candidates[0].card) == candidates[0].entry)
        FUZZ_CHECK(alone.value().score.figureOfMerit == candidates[0].score.figureOfMerit);
    IdentifyOptions again = options;
    again.excludedCards.push_back(candidates[0].card);
    const MeasuredPattern rest = residualPattern(pattern.value(), candidates[0].score);
    if (rest.peaks.empty()) return 0;
    const Result<Identification> second = identifyPattern(session.data, rest, again);
    if (second) {
        for (const Candidate& c : second.value().candidates)
            FUZZ_CHECK(c.card != candidates[0].card);
    }
    return 0;
}
