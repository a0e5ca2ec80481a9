#pragma once

#include <string>

#include "card/card_state.h"

// The current card as plain text, as Copy Card puts it on the clipboard.
namespace lithora {

// The name, then "Caption: value" for every field of the card window that shows a value, in
// the window's order (top to bottom, left to right), with the window's captions; then the
// diffraction lines as d / intensity pairs, every reference numbered with its markup taken out,
// and, when the card has optical data, the optics panel's fields. Fields that show nothing are
// left out. Lines end in LF; the text ends with one.
std::string cardPlainText(const CardState& state, char decimalSeparator);

} // namespace lithora
