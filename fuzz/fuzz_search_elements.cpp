// The element search of the search window: a fuzzed selection of excluded, possible and
// required elements with a limit, over the element index of a fuzzed data set.
//
// Input: the control part, then the eight files of a data directory (see fuzz_support.h).
// Control lines, applied in order: "preset=0..3", "possible=Fe,S,...", "required=Cu,...",
// "cycle=Z", "lanthanides", "actinides", "max=TEXT" (as typed into the limit field), "ima",
// "listgroup=NAME".
#include "fuzz_support.h"
#include "search/element_search.h"
#include "search_support.h"
#include "text/split.h"

using namespace lithora;
using namespace lithora::fuzz;

namespace {

std::vector<int> symbolsOf(std::string_view list) {
    std::vector<int> numbers;
    for (const std::string& word : splitWords(replaceAll(list, ",", " "))) {
        const int z = atomicNumber(word);
        if (z > 0) numbers.push_back(z);
    }
    return numbers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        splitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<Setting> settings = settingsOf(parts[0]);

    ElementSelection selection;
    int maxElements = 0;
    for (const Setting& s : settings) {
        if (s.key == "preset") {
            selection.applyPreset(settingNumber(s.value, -1, 4, 0));
        } else if (s.key == "possible") {
            for (int z : symbolsOf(s.value))
                selection.cycle(z);
        } else if (s.key == "required") {
            for (int z : symbolsOf(s.value))
                selection.require(z);
        } else if (s.key == "cycle") {
            selection.cycle(settingNumber(s.value, 1, kElementCount, 1));
        } else if (s.key == "lanthanides") {
            selection.toggleLanthanides();
        } else if (s.key == "actinides") {
            selection.toggleActinides();
        } else if (s.key == "max") {
            maxElements = elementLimit(s.value);
        }
    }
    // Symbols and numbers agree both ways.
    for (int z = 1; z <= kElementCount; ++z)
        FUZZ_CHECK(atomicNumber(elementSymbol(z)) == z);
    const std::string requiredText = requiredElementsText(selection);

    Session session;
    if (!startSearchSession(session, parts, settings, "search_elements")) return 0;
    const SearchOutcome outcome = runElementSearch(session, selection, maxElements);
    checkOutcome(session, outcome);
    FUZZ_CHECK(outcome.title == kElementSearchTitle);
    // Required elements became possible ones.
    for (int z = 1; z <= kElementCount; ++z) {
        if (selection.required[static_cast<std::size_t>(z)])
            FUZZ_CHECK(selection.possible[static_cast<std::size_t>(z)]);
    }
    (void)requiredText;
    return 0;
}
