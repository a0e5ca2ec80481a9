// The optics search of the optics panel: fuzzed criteria over the optical records of a fuzzed
// data set, AND or OR, the current list or the whole database.
//
// Input: the control part, then the eight files of a data directory (see fuzz_support.h).
// Control lines: "or", "full", "widen", "ima", "listgroup=NAME", and criteria "FIELD=TEXT" with
// FIELD a name of lithora-cli (n_avg, optical_sign, r546, ...) or ofN.
#include "fuzz_support.h"
#include "search/criterion_names.h"
#include "search/optics_search.h"
#include "search_support.h"

using namespace lithora;
using namespace lithora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        splitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<Setting> settings = settingsOf(parts[0]);

    const OpticsCriterionTexts typed =
        typedCriteria<kOpticsCriterionCount>(settings, "of", opticsCriterionNames());
    const SearchOptions options = searchOptionsOf(settings);
    const bool widen = hasSetting(settings, "widen");

    const OpticsCriteria criteria = parseOpticsCriteria(typed);
    FUZZ_CHECK(requiredOpticsHits(criteria, options.orCombination) <= kOpticsCriterionCount);
    std::string record;
    for (int i = 0; i < 42; ++i)
        record += typed[static_cast<std::size_t>(i)] + "|";
    FUZZ_CHECK(opticsHits(criteria, record) >= 0);

    Session session;
    if (!startSearchSession(session, parts, settings, "search_optics")) return 0;
    int asked = 0;
    const AskFn ask = [&](std::string_view question) {
        FUZZ_CHECK(question == kWidenQuestion);
        ++asked;
        return widen;
    };
    const ProgressFn progress = [&](int card) {
        FUZZ_CHECK(card >= 1 && card <= session.maxCardNumber);
    };
    const SearchOutcome outcome = runOpticsSearch(session, typed, options, ask, progress);
    checkOutcome(session, outcome);
    FUZZ_CHECK(asked <= 1);
    if (outcome.end == SearchEnd::NoCriteria) FUZZ_CHECK(criteria.totalLength == 0);
    return 0;
}
