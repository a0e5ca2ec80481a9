#pragma once

// What the four search targets share: the session they search in and the checks on an outcome.
#include "fuzz_support.h"
#include "search/search_run.h"

namespace lithora::fuzz {

// A session on the data directory of the input (parts 1..8), started as the program starts,
// then narrowed as the control settings ask: "ima" lists IMA entries only, "listgroup=NAME" loads a
// group's members (the current list a search may keep to). False when it could not start.
bool startSearchSession(Session& session, const std::vector<std::string_view>& parts,
                        const std::vector<Setting>& settings, std::string_view scratch);

// An outcome agrees with the session it left: matches listed, counts and flags in step.
void checkOutcome(const Session& session, const SearchOutcome& outcome);

} // namespace lithora::fuzz
