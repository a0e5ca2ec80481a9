#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "card/card_state.h"

// The printed card as a page of positioned texts and rules, laid out from the current-card
// state with a text-measuring function of the output device. Units are the device's own (the
// Qt backend uses points); only the page width and measured widths matter.
namespace lithora {

struct PrintFont {
    double points = 8.16; // "Arial" 8.16 pt is the base font
    bool bold = false;
    bool italic = false;
};

struct PrintItem {
    enum class Kind { Text, Rule, Line };
    Kind kind = Kind::Text;
    double x = 0;
    double y = 0;  // top of the text line, or the height of the rule
    double x2 = 0; // end of a rule or a line
    std::string text;
    PrintFont font;
    double y2 = 0; // end of a line; a rule is level
};

struct PrintPage {
    std::vector<PrintItem> items;
    double width = 0;
    double bottom = 0; // where the last rule lies
};

class TextMeasurer {
  public:
    virtual ~TextMeasurer() = default;
    virtual double width(std::string_view text, const PrintFont& font) const = 0;
    virtual double lineHeight(const PrintFont& font) const = 0;
};

// The captions of the property lines, in the order printed.
extern const std::vector<std::string_view> kPrintCaptions;

PrintPage layoutCardPage(const CardState& state, double pageWidth, const TextMeasurer& measurer,
                         char decimalSeparator);

// "a/b = 0.7619,   c/a = 1.7391" from the cell text, or empty for a cubic cell, fewer than
// three values, or a or b equal to 0.
std::string axialRatioText(std::string_view cell, char decimalSeparator);

// A synonym holding "?" and "alpha" had its alpha written as "?": print it as "a".
std::string printedSynonym(std::string_view synonym);

// "1. Authors ...": each non-blank reference numbered by its place, markup removed.
std::vector<std::string> printedReferences(const std::vector<std::string>& references);

// Removes "<i>", "</i>", "</A>", then every tag "<...>" as long as a ">" follows a "<".
std::string withoutMarkup(std::string text);

// Breaks a text into lines no wider than width between words; a word wider than the column
// stands alone on its line.
std::vector<std::string> wrapText(std::string_view text, double width,
                                  const std::function<double(std::string_view)>& measure);

} // namespace lithora
