#pragma once

#include <string>
#include <string_view>

namespace lithora {

// The decimal number at the start of a text, as every reader and search takes it: an optional
// sign, digits, "." as the decimal point. Blanks, tabs and line feeds are skipped wherever they
// stand ("6 7" reads 67, "1.59 1.595" reads 1.591); reading stops at the first character that
// cannot continue the number. No number, or one too large for single precision, gives 0.
float numericValue(std::string_view text);

// Numeric picture formats: at least minDecimals and at most maxDecimals decimals, rounded half
// away from zero on the number as it is written (the shortest decimal form of the value), at
// least one integer digit. "0.0##" is (1, 3), "0.0#" (1, 2), "0.000" (3, 3), "0.0" (1, 1).
std::string formatNumber(float value, int minDecimals, int maxDecimals, char decimalSeparator);
std::string formatNumber(double value, int minDecimals, int maxDecimals, char decimalSeparator);

} // namespace lithora
