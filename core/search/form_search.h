#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "base/result.h"
#include "datafiles/dataset.h"
#include "search/criteria.h"

// The card-form search: criteria typed into the card window's main-data fields tf(0)..tf(43),
// matched against every entry record in scope.
namespace lithora {

inline constexpr int kFormCriterionCount = 44; // tf(0) .. tf(43)
inline constexpr int kDToleranceField = 33;    // holds the d tolerance, no criterion of its own
inline constexpr float kDefaultDTolerance = 0.05f;

using FormCriterionTexts = std::array<std::string, kFormCriterionCount>;

// The criteria as read once per search.
struct FormCriteria {
    std::array<std::string, kFormCriterionCount> texts{}; // trimmed, upper case, Windows-1252
    std::array<float, kFormCriterionCount> values{};
    std::array<WordCriterion, kFormCriterionCount> words;
    std::size_t totalLength = 0;
    int nonEmptyFields = 0; // tf(33) included
    float dTolerance = kDefaultDTolerance;
};

// Reads the typed texts (UTF-8) once: each field's text, value and word list, how many are not
// empty, and the d tolerance from tf(33) (0 gives 0.05).
FormCriteria parseFormCriteria(const FormCriterionTexts& typed);

// The hits an entry needs: every non-empty field under AND, one under OR; a typed d tolerance
// is no criterion and is taken off again when more than one hit is needed.
int requiredFormHits(const FormCriteria& criteria, bool orCombination);

// Which entries one pass flagged.
struct SearchPass {
    std::vector<bool> matchFlags; // by entry index, 0 .. entryCount + 1
    int matchCount = 0;
    int entriesTested = 0;
};

// Called after every tested card whose number is a multiple of 100.
using ProgressFn = std::function<void(int cardNumber)>;

// Tests every card 1..maxCardNumber whose scope flag is set, reading its entry record by
// position from lithora.a. requiredHits is the number of hits an entry needs.
Result<SearchPass> runFormSearchPass(const DataSet& data, const FormCriteria& criteria,
                                     int requiredHits, const std::vector<bool>& scope,
                                     int maxCardNumber, const ProgressFn& progress);

// The hits one entry record (Windows-1252, not yet upper-cased) gives; for tests and tools.
int formHits(const FormCriteria& criteria, std::string record);

} // namespace lithora
