#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "datafiles/dataset.h"
#include "search/form_search.h"
#include "search/search_run.h"
#include "session/session.h"

// Near misses of a card-form search: the entries that fail exactly one criterion of an AND
// search, which criterion that is and by how much. A pass of its own beside the search (which
// keeps its speed), judging each criterion exactly as the search does.
namespace lithora {

inline constexpr std::size_t kNearMissCap = 200;
// Said where near misses do not apply: OR, or a single criterion.
inline constexpr std::string_view kNearMissesNeedAnd =
    "Near misses need an AND search of two criteria or more.";

// How an entry meets one criterion.
struct CriterionCheck {
    int field = 0; // tf index
    int hits = 0;  // as the search counts them: 2 for a space group met as symbol and number
    bool measured = false; // a number compared with a value of the entry: offBy and tolerance hold
    float typedValue = 0;  // the value the search compares with
    float offBy = 0;       // |entry's value - typed value|; for a d-spacing, its nearest line's
    float tolerance = 0;
    std::string found; // what the entry has there (UTF-8): the nearest line for a d-spacing
    bool holds() const { return hits > 0; }
};

// The criteria of a card-form search: the tf field of every one typed, in field order. The d
// tolerance is none.
std::vector<int> formCriterionFields(const FormCriteria& criteria);

// Near misses mean something for an AND search of two criteria or more. One criterion alone
// gives none (every entry fails it or matches), nor does OR (an entry meeting one criterion is a
// match).
bool nearMissesApply(const FormCriteria& criteria, bool orCombination);

// How an entry record (Windows-1252 as unscrambled, letter case as written) meets each
// criterion, in field order.
std::vector<CriterionCheck> checkFormCriteria(const FormCriteria& criteria,
                                              std::string_view record);

struct NearMiss {
    int card = 0;
    int entry = 0;
    std::string name;      // as the list shows it
    std::string criterion; // the field's readable name ("mohs", "d2"), or "tfN"
    std::string label;     // what the text calls it ("Mohs", "d2")
    std::string typed;     // as typed, trimmed
    CriterionCheck check;  // the criterion the entry fails
    std::string text;      // "Mohs 5.5 against 6 ± 0.1, off by 0.5"
};

struct NearMissList {
    std::vector<NearMiss> misses; // closest first, at most the cap
    int total = 0;                // every near miss found, listed or not
    int more() const { return total - static_cast<int>(misses.size()); }
};

// The near miss an entry record gives: under AND with two criteria or more, the search does not
// match it and it fails exactly one criterion. typed holds the texts as typed (UTF-8).
std::optional<NearMiss> nearMissOf(const FormCriterionTexts& typed, bool orCombination,
                                   std::string_view record);

// What a near miss says: "Mohs 5.5 against 6 ± 0.1, off by 0.5", "d2: nearest line 3.36 against
// 3.38 ± 0.05 Å, off by 0.02 Å", "Name \"Calcite\" lacks \"calx\"".
std::string nearMissText(const NearMiss& miss);

// The order of the list: measured misses first, by how far off they are for their tolerance,
// then the others; card number after that.
bool nearMissBefore(const NearMiss& a, const NearMiss& b);

// The near misses among the cards in scope (as runFormSearchPass takes them), at most cap of
// them; an empty list where near misses do not apply.
Result<NearMissList> findNearMisses(const DataSet& data, const FormCriterionTexts& typed,
                                    bool orCombination, const std::vector<bool>& scope,
                                    int maxCardNumber, std::size_t cap = kNearMissCap);

// The near misses of a card-form search over the cards it searched: the whole database, or the
// current list.
Result<NearMissList> findCardFormNearMisses(const Session& session, const FormCriterionTexts& typed,
                                            bool orCombination, bool fullScope);

// "3 entries fail one criterion", and how many more there were than are listed.
std::string nearMissSummary(const NearMissList& list);

// Replaces the list by the near-miss entries in their order and makes the first current;
// status panel 1 says "Near Misses", panel 2 how many.
Status listNearMisses(Session& session, const NearMissList& list);

} // namespace lithora
