#pragma once

#include <array>
#include <string>

#include "base/result.h"
#include "datafiles/dataset.h"
#include "search/criteria.h"
#include "search/form_search.h"

// The optics search: criteria typed into the optics panel's fields of(0)..of(49), matched
// against the optical record of every card in scope.
namespace lithora {

inline constexpr int kOpticsCriterionCount = 50;
using OpticsCriterionTexts = std::array<std::string, kOpticsCriterionCount>;

struct OpticsCriteria {
    std::array<std::string, kOpticsCriterionCount> texts{}; // trimmed, upper case, normalised
    std::array<float, kOpticsCriterionCount> values{};
    std::array<float, kOpticsCriterionCount> tolerances{};
    std::array<WordCriterion, kOpticsCriterionCount> words;
    std::size_t totalLength = 0;
    int nonEmptyFields = 0;
};

// One number: that value give or take 1 %; "a b" with b < a: a give or take b; otherwise the
// middle of a..b give or take the whole difference b - a. The optical class becomes "BI" or
// "UNI", a sign with "+" or "-" becomes "POS" or "NEG".
OpticsCriteria parseOpticsCriteria(const OpticsCriterionTexts& typed);

int requiredOpticsHits(const OpticsCriteria& criteria, bool orCombination);

// Tests the optical record of every card 1..maxCardNumber in scope that has one.
Result<SearchPass> runOpticsSearchPass(const DataSet& data, const OpticsCriteria& criteria,
                                       int requiredHits, const std::vector<bool>& scope,
                                       int maxCardNumber, const ProgressFn& progress);

// The hits one optical record (Windows-1252, not yet upper-cased) gives.
int opticsHits(const OpticsCriteria& criteria, std::string record);

} // namespace lithora
