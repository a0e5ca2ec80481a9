#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lithora {

// Removes blanks (code 32 only) at both ends; tabs and other white space stay.
std::string_view trimBlanks(std::string_view text);

// Cuts a record into fields at a one-character delimiter, after trimming blanks at both ends of
// the whole text. A delimiter at the very end adds no empty last field, one at the start gives
// an empty first field; the result always has at least one element.
std::vector<std::string> splitFields(std::string_view text, char delimiter = '|');
// The same fields as views into text.
std::vector<std::string_view> splitFieldViews(std::string_view text, char delimiter = '|');

// Same cut at blanks, except that runs of blanks separate like one; at least one element.
std::vector<std::string> splitWords(std::string_view text);

// The element symbols of a formula, each listed once in order of first appearance, separated
// by single blanks: CaMg(CO3)2 gives "Ca Mg C O". A lower-case x is a variable count, never
// part of a symbol.
std::string formulaSymbols(std::string_view formula);

// Cuts at every delimiter and keeps every piece as it stands, empty ones and blanks included:
// the exact cells of a source line or a packed record.
std::vector<std::string_view> splitExact(std::string_view text, char delimiter);

// Field i of a split record, or an empty text when the record has no such field.
const std::string& fieldOrEmpty(const std::vector<std::string>& fields, std::size_t i);

bool contains(std::string_view text, std::string_view part);
// The parts with the separator between them: {"a", "b"}, ", " → "a, b".
std::string joinWords(const std::vector<std::string>& parts, std::string_view separator);

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

} // namespace lithora
