#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "search/form_search.h"
#include "search/optics_search.h"
#include "session/session.h"

// A card-window search from start to end: criteria, scope, the pass, the question whether to
// search the whole database when the current list has no match, and the match list.
namespace lithora {

inline constexpr std::string_view kNoCriteriaMessage = "No criteria entered!";
inline constexpr std::string_view kNoMatchesMessage = "No Matches found";
inline constexpr std::string_view kWidenQuestion =
    "No Matches found in current list.\r\nDo you want to search the full database?";
inline constexpr std::string_view kSearchTitle = "Search";

struct SearchOptions {
    bool orCombination = false;
    bool fullScope = false; // otherwise the cards of the current list
};

enum class SearchEnd {
    NoCriteria, // nothing typed: "No criteria entered!"
    Matches,    // the list now holds the matches, the first is current
    NoMatches,  // "No Matches found"
    Declined,   // the user did not want the whole database searched
    Failed,     // a data file could not be read; message says which
};

struct SearchOutcome {
    SearchEnd end = SearchEnd::NoMatches;
    int matchCount = 0;
    std::string message; // what the program tells the user, or asked last ("" after matches)
    std::string title = std::string(kSearchTitle); // the title of the message box
};

// Asked when the current list has no match: true searches the whole database.
using AskFn = std::function<bool(std::string_view question)>;

SearchOutcome runCardFormSearch(Session& session, const FormCriterionTexts& typed,
                                const SearchOptions& options, const AskFn& askWiden,
                                const ProgressFn& progress = {});
SearchOutcome runOpticsSearch(Session& session, const OpticsCriterionTexts& typed,
                              const SearchOptions& options, const AskFn& askWiden,
                              const ProgressFn& progress = {});

// The end of the searches of the search window, which always cover the whole database:
// "Search Results" and the count in status panels 1 and 2, then the match list, or "No
// Matches found" under the given title.
SearchOutcome finishWindowSearch(Session& session, Result<SearchPass> pass, std::string_view title);

// Card numbers to search within: the list as it stands, or the whole database.
std::vector<bool> searchScope(const Session& session, bool fullScope);

} // namespace lithora
