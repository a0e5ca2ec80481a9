#pragma once

#include <array>
#include <string>
#include <string_view>

#include "card/card_state.h"

// What each field of the card window shows, as pure functions of the current-card state.
namespace lithora {

inline constexpr int kMainFieldCount = 49;   // tf(0) .. tf(48)
inline constexpr int kOpticsFieldCount = 50; // of(0) .. of(49)

using MainFieldTexts = std::array<std::string, kMainFieldCount>;
using OpticsFieldTexts = std::array<std::string, kOpticsFieldCount>;

// One page of references: tf(43)..tf(48) (two lines per reference) and the captions of the
// three number labels lbr(0)..lbr(2).
struct ReferencePage {
    std::array<std::string, 6> lines;
    std::array<std::string, 3> numbers;
};

// The page that starts at reference v (1-based, the scroll bar's value).
ReferencePage referencePage(const CardState& state, int v);

// The reference scroll bar: maximum max(1, count - 2) plus the extra steps of the compact
// layout; enabled only with more than three references; it always starts at 1.
int referenceScrollMaximum(int referenceCount, int extraSteps);
bool referenceScrollEnabled(int referenceCount);

// tf(0)..tf(48) for a card, with the first page of references in tf(43)..tf(48).
MainFieldTexts mainFieldTexts(const CardState& state);

// of(0)..of(49) laid out from an optical record (UTF-8, fields at "|", two-value fields split
// at the character of code 29). Formatted numbers use the given decimal separator.
OpticsFieldTexts opticsFieldTexts(std::string_view opticalRecord, char decimalSeparator);

} // namespace lithora
