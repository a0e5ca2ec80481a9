#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "card/card_state.h"
#include "session/session.h"

// Two to six cards side by side: the fields as rows, the cards as columns, each row saying
// whether the cards differ there, and the diffraction lines of all of them for one d axis.
namespace lithora {

inline constexpr int kMinComparedCards = 2;
inline constexpr int kMaxComparedCards = 6;

struct DiffractionLine {
    double d = 0;         // Å
    double intensity = 0; // as the card gives it; 0 when the card gives none
};

struct ComparedCard {
    int card = 0;
    std::string name; // as the list shows it
    std::vector<DiffractionLine> lines;
};

struct ComparisonRow {
    std::string section; // "Chemistry", "Crystallography", "Physical", "Diffraction", "Optics"
    std::string field;   // the row's caption
    std::vector<std::string> values; // one per card, as the card window shows it; may be empty
    bool differ = false;
};

struct CardComparison {
    std::vector<ComparedCard> cards;
    std::vector<ComparisonRow> rows;
};

// Builds the comparison from the cards' states, in the order given. Values are compared as the
// reader would: numbers by value ("2.65" and "2.650" agree), element lists as sets, other
// texts with runs of blanks closed up. A row where no card has a value does not differ.
CardComparison compareCardStates(const std::vector<CardState>& states, char decimalSeparator);

// Reads the cards and compares them. Fails, naming the card, when a number is given twice, is
// not in the database or cannot be read, and when fewer than two or more than six are given.
Result<CardComparison> compareCards(const Session& session, const std::vector<int>& cards);

// The diffraction lines of a card: the d-spacings with their intensities, strongest first as
// the card lists them; d values that are not positive numbers are left out.
std::vector<DiffractionLine> diffractionLines(const CardState& state);

// Lines of different cards that lie within tolerance (relative, |Δd|/d) of one another: each
// group holds at least two cards. Groups are in order of d; within a group, the card indices
// (0-based, into CardComparison::cards) ascend and appear once.
struct LineOverlap {
    double d = 0; // the mean d of the group's lines
    std::vector<int> cards;
};
std::vector<LineOverlap> overlappingLines(const CardComparison& comparison,
                                          double tolerance = 0.005);

// The d range that shows every line of every card, with a margin; {0, 0} when none has lines.
std::pair<double, double> comparisonDRange(const CardComparison& comparison);

} // namespace lithora
