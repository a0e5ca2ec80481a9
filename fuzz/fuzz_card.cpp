// The card: its loaders (entry record, references, optical record), the texts of the card
// window's fields and of the optics panel, the reference pages, and the printed page laid out
// with a fixed-width measurer.
//
// Input: the control part, then the eight files of a data directory (see fuzz_support.h).
// Control lines: "card=N" (a card to load besides the first ones the tables list), "sep=,"
// (decimal separator), "page=V" (a reference page), "width=W" (page width for printing).
#include <cmath>

#include "card/card_loader.h"
#include "card/card_texts.h"
#include "fuzz_support.h"
#include "print/card_print.h"
#include "text/codepage.h"

using namespace lithora;
using namespace lithora::fuzz;

namespace {

struct Options {
    char separator = '.';
    int extraPage = 1;
    double pageWidth = 595;
};

// Every item lies on the page, below its top, and the closing rule is the lowest line.
void checkPage(const PrintPage& page) {
    for (const PrintItem& item : page.items) {
        FUZZ_CHECK(std::isfinite(item.x) && std::isfinite(item.y) && item.y >= 0);
        FUZZ_CHECK(item.y <= page.bottom);
    }
}

void exerciseCard(const DataSet& set, int card, const Options& options) {
    CardState state;
    state.currentCardNumber = card;
    state.currentEntryIndex = card >= 0 && card <= kMaxCardNumber ? set.tables.entryOf(card) : 0;
    loadCurrentReferences(set, state);
    FUZZ_CHECK(state.currentReferences.size() >= 11);
    FUZZ_CHECK(state.currentReferenceCount >= 0 &&
               static_cast<std::size_t>(state.currentReferenceCount) <
                   state.currentReferences.size());

    const Status loaded = loadCurrentCard(set, state, options.separator);
    FUZZ_CHECK(loaded.ok() == std::filesystem::exists(set.file(DataFiles::kEntries)));
    if (!loaded) return;
    for (std::size_t k = 0; k < 8; ++k) {
        FUZZ_CHECK(characterCount(state.currentDSpacings[k]) == 8);
        FUZZ_CHECK(characterCount(state.currentIntensities[k]) == 8);
    }
    buildDIPairs(state);
    loadCurrentOpticalRecord(set, state);
    FUZZ_CHECK(state.currentOpticalRecord == readOpticalRecord(set, card));
    state.currentName = state.currentRawName;
    state.currentFormula = "Ca(CO3)";

    const MainFieldTexts tf = mainFieldTexts(state);
    (void)tf;
    (void)opticsFieldTexts(state.currentOpticalRecord, options.separator);
    const int count = state.currentReferenceCount;
    const int maximum = referenceScrollMaximum(count, 2);
    FUZZ_CHECK(maximum >= 1);
    (void)referenceScrollEnabled(count);
    for (int v : {1, 2, maximum, count, count + 1, options.extraPage})
        (void)referencePage(state, v);

    const FixedWidthMeasurer measurer;
    const PrintPage page = layoutCardPage(state, options.pageWidth, measurer, options.separator);
    checkPage(page);
    (void)axialRatioText(state.currentCell, options.separator);

    // Wrapped lines fit the column unless a single word is wider.
    const double column = options.pageWidth / 2;
    const auto measure = [&](std::string_view t) { return measurer.width(t, PrintFont{}); };
    for (const std::string& reference : printedReferences(state.currentReferences)) {
        for (const std::string& line : wrapText(reference, column, measure)) {
            FUZZ_CHECK(measure(line) <= column || line.find(' ') == std::string::npos ||
                       line.find(' ') == line.size() - 1);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        splitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<Setting> settings = settingsOf(parts[0]);
    const std::filesystem::path dir = scratchDirectory("card");
    writeDataDirectory(dir, parts, 1);

    Options options;
    std::vector<int> cards;
    for (const Setting& s : settings) {
        if (s.key == "sep" && !s.value.empty()) options.separator = s.value[0];
        if (s.key == "page") options.extraPage = settingNumber(s.value, -100, 100000, 1);
        if (s.key == "width") options.pageWidth = settingNumber(s.value, 1, 5000, 595);
        if (s.key == "card") cards.push_back(settingNumber(s.value, -5, kCardTableSize + 5, 1));
    }

    DataSet set;
    set.dir = dir;
    getLineNumbers(dir, set.tables, nullptr);
    getReferenceIndex(dir, set.tables, nullptr);
    // The cards the table lists first, as many as a short run can take.
    for (int c = 1; c <= kMaxCardNumber && cards.size() < 12; ++c) {
        if (set.tables.entryOf(c) != 0) cards.push_back(c);
    }
    for (int card : cards)
        exerciseCard(set, card, options);
    return 0;
}
