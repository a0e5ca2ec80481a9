#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "list/entry_list.h"

// The name and card-number field above the list, and the alphabetical jump from the list.
namespace lithora {

struct NameFieldRequest {
    enum class Kind { Nothing, CardNumber, NamePrefix };
    Kind kind = Kind::Nothing;
    int cardNumber = 0;
    std::string prefix; // upper-cased
};

// What typed text asks for: a text that begins with a number from 1 to maxCardNumber is that
// card ("12b" is card 12); otherwise two or more characters are a name prefix; anything else
// (one letter, empty text, a number above maxCardNumber) asks for nothing.
NameFieldRequest parseNameField(std::string_view text, int maxCardNumber);

// Upper-cases a name after folding the accented small letters of the search table to their
// base letter (ß to "b"); capitals keep their accents.
std::string foldedUpperName(std::string_view name);

// The 1-based row of the first name that begins with the upper-case prefix: first among the
// upper-cased names, then, when none matches, among the folded ones. 0 when neither pass finds
// one.
int findNameRow(const std::vector<ListRow>& rows, std::string_view prefix);

// The 1-based row of the first entry with that card number, or 0.
int findCardRow(const std::vector<ListRow>& rows, int cardNumber);

// The prefix a key pressed in the list jumps to: the upper-cased character of its key code for
// codes 65 to 122 (so F1, code 112, jumps to "P"); nothing for other keys.
std::optional<std::string> alphabeticalJumpPrefix(int keyCode);

// The part of the command line that names an entry: the whole trimmed line, or the text after
// its first blank when it has one ("/i Quartz" gives "Quartz"). Empty when nothing is named.
std::string commandLineArgument(std::string_view commandLine);

// The name prefix an argument selects: every "/i" removed, a path cut to its file name (either
// slash), then cut at its first "." and its first blank, upper-cased. "/i" alone gives the empty
// prefix, which every name begins with.
std::string nameFromCommandLineArgument(std::string_view argument);

} // namespace lithora
