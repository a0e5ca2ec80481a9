#include "card/card_texts.h"

#include <algorithm>
#include <vector>

#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

std::string blank(std::string_view text) {
    return " " + std::string(text);
}

std::string beforeFirst(std::string_view text, char c) {
    const std::size_t p = text.find(c);
    return std::string(p == std::string_view::npos ? text : text.substr(0, p));
}

constexpr char kValueSeparator = '\x1d';

} // namespace

int referenceScrollMaximum(int referenceCount, int extraSteps) {
    return std::max(1, referenceCount - 2) + extraSteps;
}

bool referenceScrollEnabled(int referenceCount) {
    return referenceCount > 3;
}

ReferencePage referencePage(const CardState& state, int v) {
    ReferencePage page;
    const int last = std::min(v + 2, state.currentReferenceCount);
    for (int k = 0; k <= last - v && k < 3; ++k) {
        const int index = v - 1 + k;
        if (index < 0 || static_cast<std::size_t>(index) >= state.currentReferences.size())
            continue;
        page.numbers[static_cast<std::size_t>(k)] = std::to_string(v + k);
        const std::string reference =
            replaceAll(state.currentReferences[static_cast<std::size_t>(index)], "]</i>", "");
        const std::size_t bracket = reference.find('[');
        const std::string second =
            bracket == std::string::npos ? reference : reference.substr(bracket + 1);
        page.lines[static_cast<std::size_t>(2 * k)] = blank(beforeFirst(reference, '<'));
        page.lines[static_cast<std::size_t>(2 * k + 1)] = blank(second);
    }
    return page;
}

MainFieldTexts mainFieldTexts(const CardState& s) {
    MainFieldTexts tf;
    const bool escaped = contains(s.currentRawName, "!") || contains(s.currentRawName, "@");
    tf[0] = blank(escaped ? s.currentName : s.currentRawName);
    tf[1] = blank(s.currentSynonym);
    tf[2] = blank(s.currentFormula);
    tf[3] = blank(replaceAll(s.currentElements, " ", "      "));
    tf[4] = blank(s.currentCrystalSystemCode);
    tf[5] = blank(s.currentSpaceGroup);
    tf[6] = blank(s.currentCrystalClass);
    if (!s.currentCell.empty()) {
        const std::vector<std::string> w = splitWords(s.currentCell);
        for (std::size_t i = 0; i < 6 && i < w.size(); ++i) {
            tf[7 + i] = (i == 0 || i == 3) ? blank(w[i]) : w[i];
        }
    }
    tf[13] = s.currentMohs;
    tf[14] = s.currentZ;
    tf[15] = s.currentDensityMeasured;
    tf[16] = s.currentDensityCalculated;
    tf[17] = blank(s.currentStrunzClass);
    tf[18] = s.currentGroup;
    tf[19] = blank(s.currentNameReference);
    tf[20] = blank(s.currentCompareWith);
    tf[21] = blank(s.currentIcddNumber);
    tf[22] = blank(s.currentAppearance);
    tf[23] = blank(s.currentTypeLocality);
    tf[24] = blank(s.currentNotes);
    if (!s.currentDIPairs.empty()) {
        for (std::size_t i = 0; i < 8; ++i) {
            tf[25 + i] = std::string(trimBlanks(s.currentDSpacings[i]));
            tf[33 + i] = std::string(trimBlanks(s.currentIntensities[i]));
        }
    }
    tf[41] = blank(s.currentStatus);
    tf[42] = blank(s.currentLastUpdated);
    const ReferencePage page = referencePage(s, 1);
    std::copy(page.lines.begin(), page.lines.end(), tf.begin() + 43);
    return tf;
}

OpticsFieldTexts opticsFieldTexts(std::string_view record, char sep) {
    OpticsFieldTexts of;
    if (record.empty()) return of;
    std::vector<std::string> f = splitFields(record);
    if (f.size() > 42) f.resize(42);
    std::array<std::string, 42> first;
    std::array<std::string, 42> second;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i] == "0" || f[i] == "0.0") f[i].clear();
        const std::size_t p = f[i].find(kValueSeparator);
        if (p == std::string::npos) {
            first[i] = f[i];
        } else {
            first[i] = f[i].substr(0, p);
            second[i] = f[i].substr(p + 1);
        }
    }
    auto field = [&f](std::size_t i) -> const std::string& { return fieldOrEmpty(f, i); };
    // A number field shows only when its value is not 0; "<" or ">" before it reads as 0.
    auto number = [&](std::size_t i, int minDecimals, int maxDecimals) {
        const float v = numericValue(field(i));
        return v == 0.0f ? std::string() : formatNumber(v, minDecimals, maxDecimals, sep);
    };

    of[15] = field(1);
    of[47] = number(3, 3, 3);
    of[35] = number(4, 1, 1);
    of[38] = number(5, 1, 1);
    of[41] = number(6, 1, 1);
    of[44] = number(7, 1, 1);
    of[46] = number(8, 3, 3);
    of[3] = field(11);
    of[4] = field(12);
    of[28] = first[13];
    of[29] = second[13];
    of[30] = field(14);
    of[25] = first[15];
    of[26] = second[15];
    of[27] = field(16);
    of[12] = field(17);
    of[16] = first[18];
    of[17] = second[18];
    of[18] = field(19);
    of[19] = first[20];
    of[20] = second[20];
    of[21] = field(21);
    of[2] = field(22);
    of[6] = field(23);
    of[11] = field(24);
    of[22] = first[25];
    of[23] = second[25];
    of[24] = field(26);
    of[10] = field(27);
    of[8] = field(28);
    of[48] = number(29, 1, 1);
    of[49] = field(30);
    of[45] = number(31, 1, 2);
    of[13] = field(32);
    of[33] = first[33];
    of[34] = second[33];
    of[36] = first[34];
    of[37] = second[34];
    of[39] = first[35];
    of[40] = second[35];
    of[42] = first[36];
    of[43] = second[36];
    return of;
}

} // namespace lithora
