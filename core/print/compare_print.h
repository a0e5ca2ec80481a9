#pragma once

#include "compare/card_compare.h"
#include "print/card_print.h"

// The printed comparison: a table of the fields with one column per card, the values that
// differ in bold, then the diffraction lines of every card on one d axis. Laid out in the
// device's units from the page's width and height; nothing is cut across a page break.
namespace lithora {

inline constexpr std::string_view kComparisonTitle = "Card Comparison";
inline constexpr std::string_view kComparisonLegend =
    "Values in bold differ between the cards. The marks above the first card's lines show the d "
    "values that two or more cards share (within 0.5 %).";

// pageHeight 0 lays everything out on one endless page.
PrintPage layoutComparisonPage(const CardComparison& comparison, double pageWidth,
                               double pageHeight, const TextMeasurer& measurer);

// Steps for the d axis: about `wanted` ticks between low and high at 1, 2 or 5 times a power
// of ten.
std::vector<double> axisTicks(double low, double high, int wanted);

} // namespace lithora
