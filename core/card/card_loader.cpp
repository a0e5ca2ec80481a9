#include "card/card_loader.h"

#include <array>

#include "datafiles/record.h"
#include "text/codepage.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

struct CrystalSystem {
    std::string_view code;
    std::string_view name;
};

constexpr std::array<CrystalSystem, 8> kCrystalSystems = {{
    {"A", "Triclinic (anorthic)"},
    {"M", "Monoclinic"},
    {"Q", "Tetragonal"},
    {"O", "Orthorhombic"},
    {"H", "Hexagonal"},
    {"H/R", "Hexagonal (rhombohedral)"},
    {"H/T", "Hexagonal (trigonal)"},
    {"C", "Cubic"},
}};

// Cut or pad with blanks on the right to exactly eight characters.
std::string eightCharacters(std::string_view text) {
    std::string out;
    std::size_t pos = 0;
    std::size_t count = 0;
    while (pos < text.size() && count < 8) {
        const std::size_t start = pos;
        nextCodePoint(text, pos);
        out.append(text.substr(start, pos - start));
        ++count;
    }
    out.append(8 - count, ' ');
    return out;
}

} // namespace

std::string_view crystalSystemName(std::string_view code) {
    const std::string upper = upperCase(code);
    for (const CrystalSystem& s : kCrystalSystems) {
        if (s.code == upper) return s.name;
    }
    return {};
}

void loadCurrentReferences(const DataSet& data, CardState& state) {
    state.currentReferences.assign(11, std::string());
    state.currentReferenceCount = 0;
    const int card = state.currentCardNumber;
    if (card < 1 || card > kMaxCardNumber) return;
    std::int64_t position = data.tables.referencePositionOf(card);
    if (position == 0) return;

    Result<RecordFile> file = RecordFile::open(data.file(DataFiles::kReferences));
    if (!file) return;
    int n = 0;
    while (position <= file.value().size()) {
        std::int64_t next = 0;
        const std::string text = file.value().readRecordAt(position, data.recordKey, &next);
        const std::size_t bar = text.find('|');
        const std::string_view head = bar == std::string::npos
                                          ? std::string_view()
                                          : std::string_view(text).substr(0, bar + 1);
        if (numericValue(head) != static_cast<float>(card)) break;

        const std::vector<std::string> fields = splitFields(cp1252ToUtf8(text));
        std::string display = fieldOrEmpty(fields, 1);
        if (fields.size() > 2) display += " <i>[" + fields[2] + "]</i>";
        state.currentReferences[static_cast<std::size_t>(n)] = replaceAll(display, "[, ", "[");
        ++n;
        if (static_cast<std::size_t>(n) + 1 == state.currentReferences.size()) {
            state.currentReferences.resize(static_cast<std::size_t>(n) + 2);
        }
        position = next;
    }
    state.currentReferenceCount = n;
}

void buildDIPairs(CardState& state) {
    state.currentDIPairs.clear();
    const std::vector<std::string> d = splitWords(state.currentDSpacingText);
    std::vector<std::string> intensities = splitWords(state.currentIntensityText);
    if (intensities.size() == 1) intensities.assign(10, "?");
    if (intensities.size() < d.size()) return;
    std::string text;
    for (std::size_t k = 0; k < d.size(); ++k) {
        text += d[k] + "/" + intensities[k] + "  ";
    }
    state.currentDIPairs = std::string(trimBlanks(text));
}

Status loadCurrentCard(const DataSet& data, CardState& state, char decimalSeparator) {
    Result<RecordFile> file = RecordFile::open(data.file(DataFiles::kEntries));
    if (!file) return file.error();
    const std::string record = cp1252ToUtf8(file.value().readRecordAt(
        data.tables.positionOfEntry(state.currentEntryIndex), data.recordKey));
    const std::vector<std::string> f = splitFields(record);
    auto field = [&f](std::size_t i) -> const std::string& { return fieldOrEmpty(f, i); };

    state.currentName = field(1);
    state.currentRawName = field(1);

    state.currentSpaceGroup.clear();
    if (numericValue(field(3)) > 0 || !trimBlanks(field(4)).empty()) {
        state.currentSpaceGroup = field(4) + "  (" + field(3) + ")";
    }
    state.currentCrystalClass = field(5);
    state.currentDSpacingText = field(6);
    state.currentIntensityText = field(7);
    state.currentDIPairs.clear();
    if (characterCount(state.currentDSpacingText) > 1) buildDIPairs(state);

    state.currentLastUpdated = field(8);
    state.currentStatus = field(9);
    state.currentAppearance = field(10);
    state.currentCompareWith = field(11);
    state.currentCrystalSystemCode = field(12);
    state.currentGroup = field(13);
    state.currentIcddNumber = field(14);
    state.currentMohs = field(16);
    state.currentNameReference = field(18);
    state.currentNotes = field(19);
    state.currentDensityCalculated = field(20);
    state.currentDensityMeasured = field(21);
    state.currentStrunzClass = field(22);
    state.currentSynonym = field(23);
    state.currentTypeLocality = field(24);
    state.currentZ = field(25);
    state.currentElements = field(27);

    state.currentCell.clear();
    state.currentCellVolume.clear();
    if (!field(26).empty()) {
        const std::vector<std::string> w = splitWords(field(26));
        for (std::size_t i = 0; i < 6 && i < w.size(); ++i) {
            if (i > 0) state.currentCell.push_back(' ');
            state.currentCell += w[i];
        }
        if (w.size() > 6)
            state.currentCellVolume = formatNumber(numericValue(w[6]), 1, 2, decimalSeparator);
    }

    const std::string_view systemName = crystalSystemName(state.currentCrystalSystemCode);
    state.currentCrystalSystem =
        systemName.empty() ? state.currentCrystalSystemCode : std::string(systemName);

    // A card without d/I pairs shows no diffraction lines; its arrays are blank rather than
    // left holding the lines of the card shown before it.
    state.currentDSpacings.fill(std::string(8, ' '));
    state.currentIntensities.fill(std::string(8, ' '));
    if (!state.currentDIPairs.empty()) {
        const std::vector<std::string> pairs = splitWords(state.currentDIPairs);
        for (std::size_t k = 0; k < pairs.size() && k < 8; ++k) {
            const std::size_t slash = pairs[k].find('/');
            const std::string_view pair = pairs[k];
            state.currentDSpacings[k] = eightCharacters(pair.substr(0, slash));
            state.currentIntensities[k] = eightCharacters(
                slash == std::string::npos ? std::string_view() : pair.substr(slash + 1));
        }
    }
    return Ok{};
}

std::string readOpticalRecord(const DataSet& data, int card) {
    const std::int32_t position = data.tables.opticalPositionOf(card);
    if (position == 0) return std::string();
    Result<RecordFile> file = RecordFile::open(data.file(DataFiles::kOptics));
    if (!file) return std::string();
    return cp1252ToUtf8(file.value().readRecordAt(position, data.recordKey));
}

void loadCurrentOpticalRecord(const DataSet& data, CardState& state) {
    state.currentOpticalRecord = readOpticalRecord(data, state.currentCardNumber);
}

} // namespace lithora
