#include "search/element_search.h"

#include <bitset>
#include <cmath>

#include "datafiles/element_index.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

// Two characters an element, by atomic number; one-letter symbols padded with a blank.
constexpr std::string_view kSymbolTable =
    "H HeLiBeB C N O F NeNaMgAlSiP S ClArK CaScTiV CrMnFeCoNiCuZnGaGeAsSeBrKrRbSrY "
    "ZrNbMoTcRuRhPdAgCdInSnSbTeI "
    "XeCsBaLaCePrNdPmSmEuGdTbDyHoErTmYbLuHfTaW ReOsIrPtAuHgTlPbBiPoAtRnFrRaAcThPaU "
    "NpPuAmCmBkCfEsFmMdNoLr";

constexpr int kLightElements[] = {1,  3,  5,  6,  7,  8,  9,  11, 12, 13, 14, 15, 16,
                                  17, 19, 20, 22, 23, 24, 25, 26, 27, 28, 29, 30};
constexpr int kCommonAdditions[] = {31, 32, 33, 34, 35, 38, 40, 41, 42, 47, 48, 49,
                                    50, 51, 53, 56, 57, 58, 59, 60, 61, 62, 63, 64,
                                    65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 82, 83};

void toggleRange(ElementSelection& s, int first, int last) {
    const bool value = !s.possible[static_cast<std::size_t>(first)];
    for (int z = first; z <= last; ++z)
        s.possible[static_cast<std::size_t>(z)] = value;
}

// Atomic numbers by symbol: one slot per upper-case letter and optional lower-case letter.
class SymbolLookup {
  public:
    SymbolLookup() {
        for (int z = 1; z <= kElementCount; ++z) {
            const std::string_view symbol = elementSymbol(z);
            m_numbers[slot(symbol)] = static_cast<unsigned char>(z);
        }
    }
    int numberOf(std::string_view word) const {
        if (word.empty() || word.size() > 2 || word[0] < 'A' || word[0] > 'Z') return 0;
        if (word.size() == 2 && (word[1] < 'a' || word[1] > 'z')) return 0;
        return m_numbers[slot(word)];
    }

  private:
    static std::size_t slot(std::string_view symbol) {
        const auto first = static_cast<std::size_t>(symbol[0] - 'A');
        const std::size_t second =
            symbol.size() == 2 ? static_cast<std::size_t>(symbol[1] - 'a') + 1 : 0;
        return first * 27 + second;
    }
    std::array<unsigned char, 26 * 27> m_numbers{};
};

const SymbolLookup& symbolLookup() {
    static const SymbolLookup lookup;
    return lookup;
}

} // namespace

std::string_view elementSymbol(int z) {
    if (z < 1 || z > kElementCount) return {};
    const std::string_view pair = kSymbolTable.substr(static_cast<std::size_t>(2 * (z - 1)), 2);
    return pair[1] == ' ' ? pair.substr(0, 1) : pair;
}

int atomicNumber(std::string_view symbol) {
    return symbolLookup().numberOf(symbol);
}

ElementState ElementSelection::state(int z) const {
    const auto i = static_cast<std::size_t>(z);
    if (required[i]) return ElementState::Required;
    return possible[i] ? ElementState::Possible : ElementState::Excluded;
}

void ElementSelection::cycle(int z) {
    const auto i = static_cast<std::size_t>(z);
    switch (state(z)) {
    case ElementState::Excluded:
        possible[i] = true;
        required[i] = false;
        break;
    case ElementState::Possible:
        possible[i] = true;
        required[i] = true;
        break;
    case ElementState::Required:
        possible[i] = false;
        required[i] = false;
        break;
    }
}

void ElementSelection::require(int z) {
    possible[static_cast<std::size_t>(z)] = true;
    required[static_cast<std::size_t>(z)] = true;
}

void ElementSelection::applyPreset(int index) {
    switch (index) {
    case 0:
        clear();
        break;
    case 1:
    case 2:
        possible.fill(false);
        for (int z : kLightElements)
            possible[static_cast<std::size_t>(z)] = true;
        if (index == 2) {
            for (int z : kCommonAdditions)
                possible[static_cast<std::size_t>(z)] = true;
        }
        break;
    case 3:
        possible.fill(true);
        break;
    default:
        break;
    }
}

void ElementSelection::toggleLanthanides() {
    toggleRange(*this, 57, 71);
}
void ElementSelection::toggleActinides() {
    toggleRange(*this, 89, 103);
}

void ElementSelection::clear() {
    possible.fill(false);
    required.fill(false);
}

std::string requiredElementsText(const ElementSelection& selection) {
    std::string text;
    for (int z = 1; z <= kElementCount; ++z) {
        if (selection.state(z) == ElementState::Required)
            text += " " + std::string(elementSymbol(z)) + ", ";
    }
    return text;
}

int elementLimit(std::string_view typed) {
    const float value = numericValue(typed);
    if (!(value > -32768.5f && value < 32767.5f)) return 0;
    return static_cast<int>(std::nearbyint(value));
}

Result<std::vector<int>> parseElementSymbols(std::string_view list) {
    std::vector<int> numbers;
    std::size_t pos = 0;
    while (pos < list.size()) {
        const std::size_t end = std::min(list.find_first_of(", \t\r\n\v\f;", pos), list.size());
        const std::string_view word = list.substr(pos, end - pos);
        pos = end + 1;
        if (word.empty()) continue;
        const int z = atomicNumber(word);
        if (z == 0) {
            std::string shown(word.substr(0, 20));
            for (char& c : shown) {
                const auto u = static_cast<unsigned char>(c);
                if (u < 0x20 || u == 0x7F) c = '?';
            }
            return makeError(ErrorCode::Damaged,
                             "\"" + shown + "\" is no element symbol from H to Lr");
        }
        numbers.push_back(z);
    }
    return numbers;
}

Result<SearchPass> runElementSearchPass(const DataSet& data, ElementSelection& selection,
                                        int maxElements) {
    for (int z = 1; z <= kElementCount; ++z) {
        if (selection.required[static_cast<std::size_t>(z)])
            selection.possible[static_cast<std::size_t>(z)] = true;
    }
    // Each record is read as its blank-separated words; a word counts only when it is a whole
    // symbol from H to Lr ("F" is not found in "Fe"), any other word is no element of the table.
    std::bitset<kElementSlots> requiredSet;
    std::bitset<kElementSlots> excludedSet;
    for (int z = 1; z <= kElementCount; ++z) {
        requiredSet[static_cast<std::size_t>(z)] = selection.required[static_cast<std::size_t>(z)];
        excludedSet[static_cast<std::size_t>(z)] = !selection.possible[static_cast<std::size_t>(z)];
    }
    const auto& lookup = symbolLookup();

    SearchPass pass;
    pass.matchFlags.assign(static_cast<std::size_t>(std::max(data.tables.entryCount, 0)) + 1,
                           false);
    const Status read = readElementIndex(data, [&](int r, std::string_view symbols) {
        ++pass.entriesTested;
        const std::string_view inner = trimBlanks(symbols);
        if (maxElements > 0) {
            const auto pieces = inner.empty() ? 0 : std::count(inner.begin(), inner.end(), ' ') + 1;
            if (pieces > maxElements) return;
        }
        std::bitset<kElementSlots> present;
        std::size_t pos = 0;
        while (pos < symbols.size()) {
            std::size_t end = symbols.find(' ', pos);
            if (end == std::string_view::npos) end = symbols.size();
            present[static_cast<std::size_t>(lookup.numberOf(symbols.substr(pos, end - pos)))] =
                true;
            pos = end + 1;
        }
        present[0] = false; // words that are no symbol
        if ((present & excludedSet).any() || (requiredSet & ~present).any()) return;
        if (static_cast<std::size_t>(r) < pass.matchFlags.size()) {
            pass.matchFlags[static_cast<std::size_t>(r)] = true;
            ++pass.matchCount;
        }
    });
    if (!read) return read.error();
    return pass;
}

SearchOutcome runElementSearch(Session& session, ElementSelection& selection, int maxElements) {
    return finishWindowSearch(session, runElementSearchPass(session.data, selection, maxElements),
                              kElementSearchTitle);
}

} // namespace lithora
