#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "cell/cell_index.h"
#include "cell/cell_match.h"
#include "search/criteria.h"
#include "search/search_run.h"

// The text and unit-cell search of the search window: keywords in one of fourteen categories,
// optionally with required elements and an element limit.
namespace lithora {

inline constexpr int kTextCategoryCount = 14;
extern const std::array<std::string_view, kTextCategoryCount> kTextCategories;
enum TextCategory {
    CategorySynonym = 0,
    CategoryGroup,
    CategoryAppearance,
    CategoryLocality,
    CategoryNameref,
    CategoryStrunz,
    CategorySpgSymbol,
    CategorySpgNumber,
    CategoryXlClass,
    CategoryDSpacings,
    CategoryMohs,
    CategorySpecGravity,
    CategoryUnitCell,
    CategoryIcdd
};

// The index of a category by its caption (letter case ignored) or its number "0".."13"; -1.
int textCategoryIndex(std::string_view nameOrIndex);

struct TextSearchRequest {
    int category = 0;
    std::vector<std::string> keywords;        // upper case, Windows-1252, no empty ones
    std::vector<std::string> requiredSymbols; // element symbols the formula must hold
    int maxElements = 0;                      // 0: no limit
    // Unit Cell only: the typed cell matches an entry's cell in any setting, compared as
    // reduced primitive cells; a lattice letter P A B C I F R may stand among the keywords.
    bool anySetting = false;
};

// The keywords after the tolerance keywords ("+-0.2") were taken out and the category's rules
// applied: the tolerance, the typed values, the ICDD rewriting.
struct PreparedTextSearch {
    TextSearchRequest request;
    float tolerance = 0;
    std::array<float, 10> typedValues{};
    int nonZeroValues = 0;
    bool tooFewCellValues = false; // a unit cell needs all six values
    // Any setting: the typed cell's reduced forms, one per centring it is read with, or why
    // the typed cell was refused (one of the messages below; empty when it was not).
    std::vector<TypedCellForm> cellForms;
    std::string_view cellRefusal;
};
PreparedTextSearch prepareTextSearch(TextSearchRequest request);

// One pass over lithora.a, flags by entry index 0..entryCount. An any-setting search takes the
// entries' reduced cells from the index when one is given, and reduces each cell it reads
// otherwise.
Result<SearchPass> runTextSearchPass(const DataSet& data, const PreparedTextSearch& search,
                                     const ReducedCellIndex* cells = nullptr);

// Whether one decoded entry record matches; text is working space for the upper-cased field.
bool textSearchMatches(const PreparedTextSearch& search, RecordDecoder& record, std::string& text);

// The search from the window: keywords as typed (UTF-8), the category, the required elements
// as the element field shows them (" Ca,  O, "), the limit. "Search Results" and the count in
// the status panels, then the match list or "No Matches found" titled "Text Search"; a unit
// cell of fewer than six values is refused with its message titled "Unit Cell Search". An
// any-setting cell search uses the reduced cells kept with the session's data set, made by
// the first such search; a typed cell it cannot use is refused the same way.
SearchOutcome runTextSearch(Session& session, std::string_view keywords, int category,
                            std::string_view requiredElements, int maxElements,
                            bool anySetting = false);

inline constexpr std::string_view kTextSearchTitle = "Text Search";
inline constexpr std::string_view kUnitCellTitle = "Unit Cell Search";
inline constexpr std::string_view kUnitCellMessage =
    "Enter all 6 parameters. Use zero for the ones not to be searched.\r\n\r\ne.g.:   6.6  6.6  "
    "5.98  0 0 0";
inline constexpr std::string_view kAnySettingValuesMessage =
    "A search in any setting needs all 6 parameters, each greater than zero, and at most one "
    "lattice letter (P, A, B, C, I, F or R).\r\n\r\ne.g.:   4.99  4.99  17.06  90  90  120  R";
inline constexpr std::string_view kNoCellMessage =
    "These 6 values make no unit cell. Each edge must lie between 0.1 and 10000 \xC3\x85, each "
    "angle between 0 and 180 degrees, each angle must be smaller than the sum of the other two, "
    "and the three together smaller than 360 degrees.";

} // namespace lithora
