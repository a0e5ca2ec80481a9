#pragma once

// What the four search targets share: the session they search in and the checks on an outcome.
#include <array>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "search/criterion_names.h"
#include "search/search_run.h"

namespace lithora::fuzz {

// A session on the data directory of the input (parts 1..8), started as the program starts,
// then narrowed as the control settings ask: "ima" lists IMA entries only, "listgroup=NAME" loads a
// group's members (the current list a search may keep to). False when it could not start.
bool startSearchSession(Session& session, const std::vector<std::string_view>& parts,
                        const std::vector<Setting>& settings, std::string_view scratch);

// The criteria typed into the fields named by "<prefix>N=" or a field's readable name.
template <std::size_t N>
std::array<std::string, N> typedCriteria(const std::vector<Setting>& settings,
                                         std::string_view prefix,
                                         const std::vector<CriterionName>& names) {
    std::array<std::string, N> typed;
    for (const Setting& s : settings) {
        const std::optional<int> field = criterionField(s.key, prefix, names, static_cast<int>(N));
        if (field) typed[static_cast<std::size_t>(*field)] = std::string(s.value);
    }
    return typed;
}

// "or" and "full" of the control settings.
inline SearchOptions searchOptionsOf(const std::vector<Setting>& settings) {
    SearchOptions options;
    options.orCombination = hasSetting(settings, "or");
    options.fullScope = hasSetting(settings, "full");
    return options;
}

// An outcome agrees with the session it left: matches listed, counts and flags in step.
void checkOutcome(const Session& session, const SearchOutcome& outcome);

} // namespace lithora::fuzz
