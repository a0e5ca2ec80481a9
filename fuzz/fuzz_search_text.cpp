// The text and unit-cell search of the search window: fuzzed keywords in one of the fourteen
// categories, with required elements and a limit, over the entries of a fuzzed data set. Each
// input runs its keywords in its own category and in every other one.
//
// Input: the control part, then the eight files of a data directory (see fuzz_support.h).
// Control lines: "category=NAME or 0..13", "keywords=TEXT", "required= Ca,  O, ", "max=N",
// "ima", "listgroup=NAME", "any" (the unit-cell search runs in any setting too).
#include "fuzz_support.h"
#include "search/text_search.h"
#include "search_support.h"

using namespace lithora;
using namespace lithora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        splitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<Setting> settings = settingsOf(parts[0]);

    int category = 0;
    std::string_view keywords;
    std::string_view required;
    int maxElements = 0;
    bool anySetting = false;
    for (const Setting& s : settings) {
        if (s.key == "category") category = textCategoryIndex(s.value);
        if (s.key == "keywords") keywords = s.value;
        if (s.key == "required") required = s.value;
        if (s.key == "max") maxElements = settingNumber(s.value, -5, 200, 0);
        if (s.key == "any") anySetting = true;
    }
    FUZZ_CHECK(category >= -1 && category < kTextCategoryCount);

    Session session;
    if (!startSearchSession(session, parts, settings, "search_text")) return 0;
    // The category asked for first, then the others: every field rule sees the same text.
    std::vector<int> categories = {category};
    for (int c = 0; c < kTextCategoryCount; ++c) {
        if (c != category) categories.push_back(c);
    }
    for (int c : categories) {
        const SearchOutcome outcome = runTextSearch(session, keywords, c, required, maxElements);
        checkOutcome(session, outcome);
        if (c < 0) FUZZ_CHECK(outcome.end == SearchEnd::NoCriteria);
        // A valid category refuses only with a message: no keywords, or too few cell values.
        if (outcome.end == SearchEnd::NoCriteria && c >= 0) {
            FUZZ_CHECK(!outcome.message.empty());
            if (c != CategoryUnitCell) FUZZ_CHECK(outcome.message == kNoCriteriaMessage);
        }
    }
    if (anySetting) {
        // In any setting the keywords are a cell: the first search reduces every entry's cell,
        // the second finds them cached, and both must agree.
        const SearchOutcome first =
            runTextSearch(session, keywords, CategoryUnitCell, required, maxElements, true);
        checkOutcome(session, first);
        if (first.end == SearchEnd::NoCriteria) {
            FUZZ_CHECK(first.message == kNoCriteriaMessage || first.message == kUnitCellMessage ||
                       first.message == kAnySettingValuesMessage ||
                       first.message == kNoCellMessage);
        }
        const SearchOutcome again =
            runTextSearch(session, keywords, CategoryUnitCell, required, maxElements, true);
        checkOutcome(session, again);
        FUZZ_CHECK(again.end == first.end && again.matchCount == first.matchCount);
    }
    return 0;
}
