#include "session/session.h"

#include <cmath>

#include "card/card_loader.h"
#include "list/match_list.h"
#include "session/data_damage.h"
#include "text/codepage.h"
#include "text/escapes.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

int cardNumberOf(const std::string& cell) {
    const float v = numericValue(cell);
    if (!(v > -1e6f && v < 1e6f)) return -1;
    return static_cast<int>(std::nearbyint(v));
}

// Nothing of the card shown before is left: a blank card of this number that says why.
void markUnreadable(CardState& card, std::string message) {
    CardState blank;
    blank.lastSelection = std::move(card.lastSelection);
    blank.currentCardNumber = card.currentCardNumber;
    blank.currentEntryIndex = card.currentEntryIndex;
    blank.unreadableMessage = std::move(message);
    card = std::move(blank);
}

// Fills a card's state from its list row: the number and entry, then the references, the entry
// record and the optical record. False when the number is out of range or the record cannot be
// read (lithora.a unreadable, or no record with a name where the tables lead).
bool readRowCard(const DataSet& data, char decimalSeparator, const ListRow& row, CardState& card) {
    card.unreadableMessage.clear();
    card.currentName = row[ColName];
    card.currentFormula = row[ColFormula];
    card.currentCardNumber = cardNumberOf(row[ColCard]);
    if (card.currentCardNumber < 0 || card.currentCardNumber > kMaxCardNumber) return false;
    // Element 0 of the card table holds the entry count, not an entry: card 0 has no entry.
    card.currentEntryIndex =
        card.currentCardNumber == 0 ? 0 : data.tables.entryOf(card.currentCardNumber);
    loadCurrentReferences(data, card);
    if (Status loaded = loadCurrentCard(data, card, decimalSeparator); !loaded) {
        markUnreadable(
            card, unreadableCardMessage(card.currentCardNumber, loaded.error().message, data.dir));
        return false;
    }
    // A record with no name is none: the tables lead to no entry, or the bytes are damaged.
    if (card.currentRawName.empty() && card.currentCardNumber > 0) {
        std::string reason = unreadableRecordReason(data, card.currentCardNumber);
        if (reason.empty()) {
            reason = "its record in " + data.file(DataFiles::kEntries).string() +
                     " holds no name (its bytes or the key are damaged)";
        }
        markUnreadable(card, unreadableCardMessage(card.currentCardNumber, reason, data.dir));
        return false;
    }
    toPlainLetters(card.currentName);
    loadCurrentOpticalRecord(data, card);
    return true;
}

bool loadRowCard(Session& session, const ListRow& row) {
    CardState& card = session.card;
    card.lastSelection = upperCase(trimBlanks(card.currentName));
    const int number = cardNumberOf(row[ColCard]);
    if (number >= 0 && number <= kMaxCardNumber)
        session.status[3] = "Card " + std::to_string(number);
    return readRowCard(session.data, session.decimalSeparator, row, card);
}

} // namespace

Status startUp(Session& session) {
    getLineNumbers(session.data.dir, session.data.tables, session.errorSink);
    getReferenceIndex(session.data.dir, session.data.tables, session.errorSink);
    if (Status s = getFullList(session, std::string()); !s) return s;
    session.selectedRow = session.rows.empty() ? 0 : 1;
    loadSelectedCard(session);
    return Ok{};
}

Status getFullList(Session& session, const std::string& groupFilter) {
    session.rows.clear();
    session.selectedRow = 0;
    const ListFilter filter{session.imaOnly, groupFilter};
    Result<FullList> list =
        readFullList(session.data, filter, session.maxCardNumber, session.decimalSeparator);
    if (!list) return list.error();
    session.rows = std::move(list.value().rows);
    session.listDamage = std::move(list.value().damage);
    if (session.groupCaptions.empty()) {
        session.groupCaptions = groupMenuCaptions(std::move(list.value().groupNames));
    }
    session.status[0] = entriesStatusText(session.rows.size());
    session.status[1] = listKindStatusText(session.imaOnly);
    return Ok{};
}

bool loadSelectedCard(Session& session) {
    if (session.selectedRow < 1 ||
        static_cast<std::size_t>(session.selectedRow) > session.rows.size()) {
        return false;
    }
    return loadRowCard(session, session.rows[static_cast<std::size_t>(session.selectedRow - 1)]);
}

bool loadCard(Session& session, int card) {
    const int entry = card > 0 ? session.data.tables.entryOf(card) : 0;
    if (entry <= 0) return false;
    int maxCardNumber = session.maxCardNumber; // the list's own maximum stays the list's
    Result<std::vector<ListRow>> rows =
        readOrderedList(session.data, {entry}, maxCardNumber, session.decimalSeparator);
    if (!rows || rows.value().empty()) return false;
    session.selectedRow = 0;
    return loadRowCard(session, rows.value().front());
}

std::optional<CardState> cardStateOf(const Session& session, int card) {
    const int entry = card > 0 && card <= kMaxCardNumber ? session.data.tables.entryOf(card) : 0;
    if (entry <= 0) return std::nullopt;
    int maxCardNumber = session.maxCardNumber;
    Result<std::vector<ListRow>> rows =
        readOrderedList(session.data, {entry}, maxCardNumber, session.decimalSeparator);
    if (!rows || rows.value().empty()) return std::nullopt;
    CardState state;
    if (!readRowCard(session.data, session.decimalSeparator, rows.value().front(), state))
        return std::nullopt;
    // A record that lithora.g places nowhere reads as a blank card; it is not this card.
    if (state.currentCardNumber != card || state.currentRawName.empty()) return std::nullopt;
    return state;
}

Status getMatchList(Session& session) {
    Result<std::vector<ListRow>> rows = readMatchList(
        session.data, session.matchFlags, session.maxCardNumber, session.decimalSeparator);
    if (!rows) return rows.error();
    session.rows = std::move(rows.value());
    session.selectedRow = session.rows.empty() ? 0 : 1;
    loadSelectedCard(session);
    return Ok{};
}

Status getOrderedList(Session& session, const std::vector<int>& entries, const std::string& kind,
                      const std::string& noun) {
    Result<std::vector<ListRow>> rows =
        readOrderedList(session.data, entries, session.maxCardNumber, session.decimalSeparator);
    if (!rows) return rows.error();
    session.rows = std::move(rows.value());
    session.selectedRow = session.rows.empty() ? 0 : 1;
    loadSelectedCard(session);
    session.status[0] = kind;
    session.status[1] = std::to_string(session.rows.size()) + " " + noun;
    return Ok{};
}

Status loadGroup(Session& session, const std::string& groupName) {
    if (Status s = getFullList(session, upperCase(groupName)); !s) return s;
    if (!session.rows.empty()) {
        session.selectedRow = 1;
        loadSelectedCard(session);
    }
    session.status[1] = " Group: " + groupName + " ";
    return Ok{};
}

int steppedRow(int selectedRow, int step, int rowCount) {
    const int row = selectedRow + step;
    if (row > rowCount) return rowCount;
    return row < 1 ? 1 : row;
}

std::string itemMessage(int row, int rowCount) {
    return "Item  " + std::to_string(row) + " / " + std::to_string(rowCount);
}

void getCurrentCardNumbers(const Session& session, std::vector<bool>& flags) {
    for (const ListRow& row : session.rows) {
        const int card = cardNumberOf(row[ColCard]);
        if (card >= 0 && static_cast<std::size_t>(card) < flags.size())
            flags[static_cast<std::size_t>(card)] = true;
    }
}

int rowOfCard(const Session& session, int card) {
    for (std::size_t i = 0; i < session.rows.size(); ++i) {
        if (cardNumberOf(session.rows[i][ColCard]) == card) return static_cast<int>(i) + 1;
    }
    return 0;
}

int cardOfRow(const Session& session, int row) {
    if (row < 1 || row > static_cast<int>(session.rows.size())) return 0;
    const int card = cardNumberOf(session.rows[static_cast<std::size_t>(row - 1)][ColCard]);
    return card >= 1 && card <= kMaxCardNumber ? card : 0;
}

} // namespace lithora
