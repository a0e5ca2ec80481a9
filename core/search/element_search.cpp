#include "search/element_search.h"

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

} // namespace

std::string_view elementSymbol(int z) {
    if (z < 1 || z > kElementCount) return {};
    const std::string_view pair = kSymbolTable.substr(static_cast<std::size_t>(2 * (z - 1)), 2);
    return pair[1] == ' ' ? pair.substr(0, 1) : pair;
}

int atomicNumber(std::string_view symbol) {
    for (int z = 1; z <= kElementCount; ++z) {
        if (elementSymbol(z) == symbol) return z;
    }
    return 0;
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

Result<SearchPass> runElementSearchPass(const DataSet& data, ElementSelection& selection,
                                        int maxElements) {
    for (int z = 1; z <= kElementCount; ++z) {
        if (selection.required[static_cast<std::size_t>(z)])
            selection.possible[static_cast<std::size_t>(z)] = true;
    }
    // Whole symbols only: " Fe " is found in " Fe S ", " F " is not.
    std::array<std::string, kElementCount + 1> patterns;
    for (int z = 1; z <= kElementCount; ++z)
        patterns[static_cast<std::size_t>(z)] = " " + std::string(elementSymbol(z)) + " ";

    SearchPass pass;
    pass.matchFlags.assign(static_cast<std::size_t>(std::max(data.tables.entryCount, 0)) + 1,
                           false);
    std::string padded;
    const Status read = readElementIndex(data, [&](int r, std::string_view symbols) {
        ++pass.entriesTested;
        padded = " ";
        padded += symbols;
        padded += ' ';
        if (maxElements > 0) {
            const std::string_view inner = trimBlanks(symbols);
            const auto pieces = inner.empty() ? 0 : std::count(inner.begin(), inner.end(), ' ') + 1;
            if (pieces > maxElements) return;
        }
        for (int z = 1; z <= kElementCount; ++z) {
            const bool present =
                padded.find(patterns[static_cast<std::size_t>(z)]) != std::string::npos;
            if (present && !selection.possible[static_cast<std::size_t>(z)]) return;
            if (!present && selection.required[static_cast<std::size_t>(z)]) return;
        }
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
