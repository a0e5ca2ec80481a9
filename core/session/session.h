#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "card/card_state.h"
#include "datafiles/dataset.h"
#include "list/entry_list.h"

namespace lithora {

// Everything the program holds while it runs: the data directory with its tables, the list the
// main window shows, the status bar's texts and the current card. The desktop program and the
// tools drive the same object, so both behave alike.
struct Session {
    DataSet data;
    ErrorSink errorSink;
    char decimalSeparator = '.';

    std::vector<ListRow> rows;
    int selectedRow = 0; // 1-based; 0 when no row is selected
    int maxCardNumber = 0;
    std::vector<std::string> groupCaptions; // built by the first load that finds group entries
    bool imaOnly = false;
    std::array<std::string, 4> status; // panels 1 to 4

    CardState card;

    // Where the last reading of the list stopped short of the entry count; empty for a sound
    // file. The desktop program tells it once after start-up.
    std::optional<ListDamage> listDamage;

    // Written by the searches: one flag per entry index, and how many are set.
    std::vector<bool> matchFlags;
    int matchCount = 0;
};

// Start-up: the tables (their errors go to the sink and start-up goes on), the full list with
// no group filter, row 1 selected and made current. Fails when lithora.a cannot be read.
Status startUp(Session& session);

// Refills the list from lithora.a with the group filter (upper-cased by the caller, or empty),
// the approval switch, and sets status panels 1 and 2.
Status getFullList(Session& session, const std::string& groupFilter);

// Makes the selected row the current card. False when no card could be loaded: with no row or
// a card number outside 0..10000 the state keeps what was reached; when the card's record
// cannot be read (lithora.a unreadable, or the tables lead to no record with a name) the state
// is a blank card of that number whose unreadableMessage says why.
bool loadSelectedCard(Session& session);

// Makes a card current that need not be in the list (a candidate of an identification): the
// list stays as it is and no row is selected. False when the card is not in the database or
// cannot be read; the state then keeps what was reached.
bool loadCard(Session& session, int card);

// The state a card would have if it were made current, read without touching the current
// card, the list or the status bar: for windows that show several cards at once. Empty when the
// card is not in the database or its entry record cannot be read.
std::optional<CardState> cardStateOf(const Session& session, int card);

// Replaces the list by the entries flagged in matchFlags, in entry-index order, and makes the
// first current. Status panels 1 and 2 stay as the search left them.
Status getMatchList(Session& session);

// Replaces the list by the given entries in the given order (the candidates of an
// identification, best first) and makes the first current. Status panel 1 shows what the list
// holds ("Identification"), panel 2 how many ("12 candidates").
Status getOrderedList(Session& session, const std::vector<int>& entries, const std::string& kind,
                      const std::string& noun);

// Narrows the list to a group as the group menu does: reload with the upper-cased name, make
// row 1 current when there is one, and show " Group: NAME " in status panel 2.
Status loadGroup(Session& session, const std::string& groupName);

// Previous and next: the row a step leads to, kept within 1..rowCount (the first and last rows
// select themselves again).
int steppedRow(int selectedRow, int step, int rowCount);

// "Item  n / c": the message after a step.
std::string itemMessage(int row, int rowCount);

// Sets flags[c] for the card number c of every row (flags sized by the caller; numbers outside
// it are passed over). Nothing is cleared.
void getCurrentCardNumbers(const Session& session, std::vector<bool>& flags);

// The 1-based row whose Card# cell holds the card number, or 0.
int rowOfCard(const Session& session, int card);

// The card number in the Card# cell of a 1-based row, or 0 for no row or no valid number.
int cardOfRow(const Session& session, int row);

} // namespace lithora
