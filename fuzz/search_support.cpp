#include "search_support.h"

namespace lithora::fuzz {

bool startSearchSession(Session& session, const std::vector<std::string_view>& parts,
                        const std::vector<Setting>& settings, std::string_view scratch) {
    const std::filesystem::path dir = scratchDirectory(scratch);
    writeDataDirectory(dir, parts, 1);
    session.imaOnly = hasSetting(settings, "ima");
    if (!startSession(session, dir)) return false;
    for (const Setting& s : settings) {
        if (s.key == "listgroup") FUZZ_CHECK(loadGroup(session, std::string(s.value)).ok());
    }
    return true;
}

void checkOutcome(const Session& session, const SearchOutcome& outcome) {
    FUZZ_CHECK(!outcome.title.empty());
    switch (outcome.end) {
    case SearchEnd::Matches: {
        FUZZ_CHECK(outcome.matchCount > 0 && outcome.matchCount == session.matchCount);
        FUZZ_CHECK(outcome.message.empty());
        // The list holds the flagged entries up to the entry count.
        std::size_t flagged = 0;
        const auto entryCount = static_cast<std::size_t>(session.data.tables.entryCount);
        for (std::size_t i = 1; i < session.matchFlags.size() && i <= entryCount; ++i)
            flagged += session.matchFlags[i] ? 1 : 0;
        FUZZ_CHECK(session.rows.size() == flagged);
        FUZZ_CHECK(session.selectedRow == (session.rows.empty() ? 0 : 1));
        break;
    }
    case SearchEnd::NoMatches:
        FUZZ_CHECK(outcome.matchCount == 0 && outcome.message == kNoMatchesMessage);
        break;
    case SearchEnd::NoCriteria:
    case SearchEnd::Declined:
        FUZZ_CHECK(outcome.matchCount == 0);
        break;
    case SearchEnd::Failed:
        FUZZ_CHECK(!outcome.message.empty());
        break;
    }
    int set = 0;
    for (bool f : session.matchFlags)
        set += f ? 1 : 0;
    if (outcome.end == SearchEnd::Matches || outcome.end == SearchEnd::NoMatches)
        FUZZ_CHECK(set == session.matchCount);
}

} // namespace lithora::fuzz
