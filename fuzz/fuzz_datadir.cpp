// A whole data directory, used as the program uses it from its start: the tables, the full
// list and its groups, the first rows made current, the name field, a group's members and a
// match list.
//
// Input: the control part, then the eight files of a data directory (see fuzz_support.h).
// Control lines: "ima" (IMA entries only), "sep=," (decimal separator), "select=N" (a row to
// make current), "name=TEXT" (typed into the name field), "group=NAME" (loaded from the group
// menu), "match=0101..." (match flags by entry index).
#include "datafiles/datadir.h"
#include "fuzz_support.h"
#include "list/match_list.h"
#include "list/name_search.h"

using namespace lithora;
using namespace lithora::fuzz;

namespace {

constexpr std::size_t kEntriesPart = 1; // lithora.a is the first file

void checkRows(const Session& session) {
    for (std::size_t i = 0; i < session.rows.size(); ++i)
        FUZZ_CHECK(session.rows[i][ColNumber] == std::to_string(i + 1));
    FUZZ_CHECK(session.maxCardNumber >= 0 && session.maxCardNumber <= kMaxCardNumber);
    // The list ends quietly once it has gone past the entry count.
    FUZZ_CHECK(session.rows.size() <= static_cast<std::size_t>(session.data.tables.entryCount) + 1);
}

void selectRow(Session& session, int row) {
    session.selectedRow = row;
    const bool loaded = loadSelectedCard(session);
    if (row < 1 || static_cast<std::size_t>(row) > session.rows.size()) FUZZ_CHECK(!loaded);
    if (loaded) {
        FUZZ_CHECK(session.card.currentCardNumber >= 0 &&
                   session.card.currentCardNumber <= kMaxCardNumber);
        FUZZ_CHECK(rowOfCard(session, session.card.currentCardNumber) >= 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        splitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<Setting> settings = settingsOf(parts[0]);
    const std::filesystem::path dir = scratchDirectory("datadir");
    writeDataDirectory(dir, parts, 1);

    Session session;
    session.imaOnly = hasSetting(settings, "ima");
    for (const Setting& s : settings) {
        if (s.key == "sep" && !s.value.empty()) session.decimalSeparator = s.value[0];
    }
    const Status started = startSession(session, dir);
    FUZZ_CHECK(started.ok() == (kEntriesPart < parts.size()));
    if (!started) return 0;
    checkRows(session);
    FUZZ_CHECK(session.selectedRow == (session.rows.empty() ? 0 : 1));
    FUZZ_CHECK(session.status[0] == entriesStatusText(session.rows.size()));

    // The first rows, the last one, and one past it.
    const int rowCount = static_cast<int>(session.rows.size());
    for (int row = 1; row <= rowCount && row <= 6; ++row)
        selectRow(session, row);
    selectRow(session, rowCount);
    selectRow(session, rowCount + 1);
    selectRow(session, steppedRow(session.selectedRow, -1, rowCount));

    for (const Setting& s : settings) {
        if (s.key == "select") {
            selectRow(session, settingNumber(s.value, -1, rowCount + 1, 1));
        } else if (s.key == "name") {
            // What the name field does with typed text.
            const NameFieldRequest request = parseNameField(s.value, session.maxCardNumber);
            int row = 0;
            if (request.kind == NameFieldRequest::Kind::CardNumber)
                row = findCardRow(session.rows, request.cardNumber);
            if (request.kind == NameFieldRequest::Kind::NamePrefix)
                row = findNameRow(session.rows, request.prefix);
            FUZZ_CHECK(row >= 0 && row <= rowCount);
            if (row > 0) selectRow(session, row);
            const std::string fromCommandLine =
                nameFromCommandLineArgument(commandLineArgument(s.value));
            const int jumped = findNameRow(session.rows, fromCommandLine);
            FUZZ_CHECK(jumped >= 0 && jumped <= rowCount);
        }
    }

    // The group menu: the first captions and any named group.
    std::vector<std::string> groups;
    for (std::size_t i = 0; i < session.groupCaptions.size() && i < 3; ++i)
        groups.push_back(groupNameOfCaption(session.groupCaptions[i]));
    for (const Setting& s : settings) {
        if (s.key == "group") groups.emplace_back(s.value);
    }
    for (const std::string& group : groups) {
        const Status loaded = loadGroup(session, group);
        FUZZ_CHECK(loaded.ok());
        checkRows(session);
        (void)loadGroupMembersCaption(session.card.currentGroup);
    }

    // A match list from flags by entry index: it holds one row per flag from 1 to entryCount.
    const int entryCount = session.data.tables.entryCount;
    std::string_view pattern = "01";
    for (const Setting& s : settings) {
        if (s.key == "match" && !s.value.empty()) pattern = s.value;
    }
    session.matchFlags.assign(static_cast<std::size_t>(entryCount) + 2, false);
    std::size_t expected = 0;
    for (std::size_t i = 0; i < session.matchFlags.size(); ++i) {
        session.matchFlags[i] = pattern[i % pattern.size()] == '1';
        if (session.matchFlags[i] && i >= 1 && i <= static_cast<std::size_t>(entryCount))
            ++expected;
    }
    const Status matched = getMatchList(session);
    FUZZ_CHECK(matched.ok());
    FUZZ_CHECK(session.rows.size() == expected);
    for (std::size_t i = 0; i < session.rows.size(); ++i)
        FUZZ_CHECK(session.rows[i][ColNumber] == std::to_string(i + 1));

    std::vector<bool> cards(kCardTableSize, false);
    getCurrentCardNumbers(session, cards);
    (void)itemMessage(session.selectedRow, static_cast<int>(session.rows.size()));
    return 0;
}
