#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "search/search_run.h"

// The element search of the search window: every element is excluded, possible or required,
// and an entry matches when all its elements may occur, every required one does, and it has
// no more elements than the limit.
namespace lithora {

inline constexpr int kElementCount = 103; // H to Lr
inline constexpr int kElementSlots = 121; // flags are kept for atomic numbers 0..120

// The symbol of atomic number z (1..103).
std::string_view elementSymbol(int z);
// The atomic number of a symbol (exact letter case), or 0.
int atomicNumber(std::string_view symbol);

enum class ElementState { Excluded, Possible, Required };

struct ElementSelection {
    std::array<bool, kElementSlots> possible{};
    std::array<bool, kElementSlots> required{};

    ElementState state(int z) const;
    // A left click: excluded -> possible -> required -> excluded.
    void cycle(int z);
    // A right click: required at once.
    void require(int z);
    // The presets of the four buttons: 0 excludes everything, 1 light elements, 2 common
    // elements, 3 every element possible; 1 to 3 leave required elements required.
    void applyPreset(int index);
    // The captions Lanthanides and Actinides: all fifteen possible, or none, by the first.
    void toggleLanthanides();
    void toggleActinides();
    void clear();
};

// The atomic numbers of comma- or blank-separated element symbols ("Ca, O", "Si O"); the error
// names a word that is no symbol from H to Lr.
Result<std::vector<int>> parseElementSymbols(std::string_view list);

// The required elements as the window's field shows them: " Ca,  O, " for Ca and O.
std::string requiredElementsText(const ElementSelection& selection);

// The element limit typed into "max": a whole number, halves to the even neighbour; 0 for none.
int elementLimit(std::string_view typed);

// One pass over lithora.e: required elements become possible as well (the selection keeps
// that), then every entry is tested. Flags by entry index 0..entryCount.
Result<SearchPass> runElementSearchPass(const DataSet& data, ElementSelection& selection,
                                        int maxElements);

// The search from the window: "Search Results" and the count in the status panels, the match
// list, or "No Matches found" titled "Element Search".
SearchOutcome runElementSearch(Session& session, ElementSelection& selection, int maxElements);

inline constexpr std::string_view kElementSearchTitle = "Element Search";
inline constexpr std::string_view kKeywordsIgnoredMessage =
    "Only element search will be performed.\r\nText input in text search field will be "
    "ignored.\r\n\r\n"
    "For a combined text search click top [Search] button.";

} // namespace lithora
