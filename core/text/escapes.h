#pragma once

#include <string>
#include <string_view>

namespace lithora {

// Names are stored in Windows-1252, which lacks letters such as č or ő; the records write them
// as three-character codes: "@" (small letters) or "!" (capitals) and two upper-case letters.

// Turns one kind of code into its plain letter: the code found at the first "@" (or, when the
// text has no "@", at the first "!"); every occurrence of that code is replaced, others stay.
void toPlainLetters(std::string& text);

// The code that stands for a letter the code page lacks, or an empty view when the letter has
// none (used when a readable name is packed).
std::string_view escapeCodeForLetter(char32_t letter);

// A stored name with the codes of escapeCodeForLetter written as their letters again, for the
// readable source: packing it gives the same bytes.
std::string lettersForEscapeCodes(std::string_view name);

} // namespace lithora
