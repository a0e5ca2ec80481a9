// The card-form search of the card window: fuzzed criteria over a fuzzed data set, with AND or
// OR, over the current list or the whole database, and the question whether to widen it.
//
// Input: the control part, then the eight files of a data directory (see fuzz_support.h).
// Control lines: "or", "full" (whole database), "widen" (answer yes when asked), "ima",
// "listgroup=NAME", and criteria "FIELD=TEXT" with FIELD a name of lithora-cli (name, mohs, d1,
// ...) or tfN.
#include "fuzz_support.h"
#include "search/criterion_names.h"
#include "search/form_search.h"
#include "search/near_miss.h"
#include "search_support.h"

using namespace lithora;
using namespace lithora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        splitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<Setting> settings = settingsOf(parts[0]);

    const FormCriterionTexts typed =
        typedCriteria<kFormCriterionCount>(settings, "tf", formCriterionNames());
    const SearchOptions options = searchOptionsOf(settings);
    const bool widen = hasSetting(settings, "widen");

    // The criteria alone, and on a plain record built from them.
    const FormCriteria criteria = parseFormCriteria(typed);
    const int required = requiredFormHits(criteria, options.orCombination);
    FUZZ_CHECK(required >= 0 && required <= kFormCriterionCount);
    std::string record;
    for (int i = 0; i < 28; ++i)
        record += typed[static_cast<std::size_t>(i)] + "|";
    FUZZ_CHECK(formHits(criteria, record) >= 0);

    Session session;
    if (!startSearchSession(session, parts, settings, "search_form")) return 0;
    // The near misses over the same scope: each fails one typed criterion, closest first.
    const Result<NearMissList> misses =
        findCardFormNearMisses(session, typed, options.orCombination, options.fullScope);
    if (misses) {
        FUZZ_CHECK(misses.value().misses.size() <= kNearMissCap);
        FUZZ_CHECK(misses.value().total >= static_cast<int>(misses.value().misses.size()));
        if (!nearMissesApply(criteria, options.orCombination))
            FUZZ_CHECK(misses.value().total == 0);
        for (std::size_t i = 0; i < misses.value().misses.size(); ++i) {
            const NearMiss& m = misses.value().misses[i];
            FUZZ_CHECK(!m.check.holds() && !m.text.empty());
            FUZZ_CHECK(!typed[static_cast<std::size_t>(m.check.field)].empty());
            if (i > 0) FUZZ_CHECK(!nearMissBefore(m, misses.value().misses[i - 1]));
        }
    }
    int asked = 0;
    const AskFn ask = [&](std::string_view question) {
        FUZZ_CHECK(question == kWidenQuestion);
        ++asked;
        return widen;
    };
    int lastProgress = 0;
    const ProgressFn progress = [&](int card) {
        FUZZ_CHECK(card >= 1 && card <= session.maxCardNumber);
        lastProgress = card;
    };
    const SearchOutcome outcome = runCardFormSearch(session, typed, options, ask, progress);
    checkOutcome(session, outcome);
    FUZZ_CHECK(asked <= 1);
    if (outcome.end == SearchEnd::NoCriteria) FUZZ_CHECK(criteria.totalLength == 0);
    if (outcome.end == SearchEnd::Declined) FUZZ_CHECK(asked == 1 && !widen);
    return 0;
}
