#include "compare/card_compare.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <set>

#include "card/card_texts.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

// A word that is a whole number, with either decimal separator; nothing else.
std::optional<double> wordNumber(std::string word) {
    std::replace(word.begin(), word.end(), ',', '.');
    if (word.empty()) return std::nullopt;
    const char* begin = word.data();
    if (*begin == '+') ++begin;
    double value = 0;
    const auto [end, ec] = std::from_chars(begin, word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool sameWord(const std::string& a, const std::string& b) {
    if (a == b) return true;
    const std::optional<double> x = wordNumber(a);
    const std::optional<double> y = wordNumber(b);
    if (!x || !y) return false;
    return std::fabs(*x - *y) <= 1e-9 * std::max({1.0, std::fabs(*x), std::fabs(*y)});
}

bool sameValue(const std::string& a, const std::string& b, bool asSet) {
    std::vector<std::string> x = splitWords(a);
    std::vector<std::string> y = splitWords(b);
    if (x.size() != y.size()) return false;
    if (asSet) {
        std::sort(x.begin(), x.end());
        std::sort(y.begin(), y.end());
    }
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!sameWord(x[i], y[i])) return false;
    }
    return true;
}

bool valuesDiffer(const std::vector<std::string>& values, bool asSet) {
    for (std::size_t i = 1; i < values.size(); ++i) {
        if (!sameValue(values[0], values[i], asSet)) return true;
    }
    return false;
}

std::string trimmed(std::string_view text) {
    return std::string(trimBlanks(text));
}

// "1.544 – 1.553" for a value given as a range, the one value otherwise.
std::string range(const std::string& first, const std::string& second) {
    const std::string a = trimmed(first);
    const std::string b = trimmed(second);
    if (b.empty()) return a;
    if (a.empty()) return b;
    return a + " – " + b;
}

std::string lineText(const DiffractionLine& line, char decimalSeparator) {
    std::string text = formatNumber(line.d, 3, 3, decimalSeparator);
    if (line.intensity > 0) text += " / " + formatNumber(line.intensity, 0, 0, decimalSeparator);
    return text;
}

} // namespace

std::vector<DiffractionLine> diffractionLines(const CardState& state) {
    std::vector<DiffractionLine> lines;
    for (std::size_t i = 0; i < state.currentDSpacings.size(); ++i) {
        const std::optional<double> d = wordNumber(trimmed(state.currentDSpacings[i]));
        if (!d || !(*d > 0) || *d > 1000) continue;
        const std::optional<double> intensity = wordNumber(trimmed(state.currentIntensities[i]));
        lines.push_back({*d, intensity && *intensity > 0 ? *intensity : 0.0});
    }
    return lines;
}

CardComparison compareCardStates(const std::vector<CardState>& states, char decimalSeparator) {
    CardComparison comparison;
    std::vector<MainFieldTexts> tf;
    std::vector<OpticsFieldTexts> of;
    bool anyOptics = false;
    std::size_t mostLines = 0;
    for (const CardState& s : states) {
        ComparedCard card;
        card.card = s.currentCardNumber;
        card.name = trimmed(s.currentName);
        card.lines = diffractionLines(s);
        mostLines = std::max(mostLines, card.lines.size());
        comparison.cards.push_back(std::move(card));
        tf.push_back(mainFieldTexts(s));
        of.push_back(opticsFieldTexts(s.currentOpticalRecord, decimalSeparator));
        anyOptics = anyOptics || !s.currentOpticalRecord.empty();
    }

    auto add = [&](std::string_view section, std::string_view field, auto value,
                   bool asSet = false) {
        ComparisonRow row;
        row.section = section;
        row.field = field;
        for (std::size_t i = 0; i < states.size(); ++i)
            row.values.push_back(trimmed(value(i)));
        row.differ = valuesDiffer(row.values, asSet);
        comparison.rows.push_back(std::move(row));
    };
    auto mainField = [&](std::size_t k) { return [&tf, k](std::size_t i) { return tf[i][k]; }; };
    auto opticsField = [&](std::size_t k) { return [&of, k](std::size_t i) { return of[i][k]; }; };
    auto opticsRange = [&](std::size_t first, std::size_t second) {
        return [&of, first, second](std::size_t i) { return range(of[i][first], of[i][second]); };
    };

    add("Chemistry", "Formula", mainField(2));
    add(
        "Chemistry", "Elements", [&](std::size_t i) { return states[i].currentElements; }, true);
    add("Chemistry", "Group", mainField(18));
    add("Chemistry", "Strunz Class", mainField(17));
    add("Crystallography", "Crystal System",
        [&](std::size_t i) { return states[i].currentCrystalSystem; });
    add("Crystallography", "Space Group", mainField(5));
    add("Crystallography", "Crystal Class", mainField(6));
    add("Crystallography", "Unit Cell", [&](std::size_t i) { return states[i].currentCell; });
    add("Crystallography", "Cell Volume",
        [&](std::size_t i) { return states[i].currentCellVolume; });
    add("Crystallography", "Z", mainField(14));
    add("Physical", "Mohs", mainField(13));
    add("Physical", "SGm", mainField(15));
    add("Physical", "SGc", mainField(16));
    for (std::size_t k = 0; k < mostLines; ++k) {
        add("Diffraction", "d / I " + std::to_string(k + 1), [&, k](std::size_t i) {
            const std::vector<DiffractionLine>& lines = comparison.cards[i].lines;
            return k < lines.size() ? lineText(lines[k], decimalSeparator) : std::string();
        });
    }
    if (anyOptics) {
        add("Optics", "Optical Class", opticsField(6));
        add("Optics", "Optical Sign", opticsField(8));
        add("Optics", "N, Nα, Nε", opticsRange(16, 17));
        add("Optics", "Nβ", opticsRange(19, 20));
        add("Optics", "Nγ, Nω", opticsRange(22, 23));
        add("Optics", "2V Meas", opticsRange(25, 26));
        add("Optics", "Birefringence", opticsField(46));
        add("Optics", "Color", opticsField(3));
        add("Optics", "Luster", opticsField(4));
    }
    return comparison;
}

Result<CardComparison> compareCards(const Session& session, const std::vector<int>& cards) {
    if (cards.size() < static_cast<std::size_t>(kMinComparedCards) ||
        cards.size() > static_cast<std::size_t>(kMaxComparedCards)) {
        return makeError(ErrorCode::NotFound, "a comparison takes " +
                                                  std::to_string(kMinComparedCards) + " to " +
                                                  std::to_string(kMaxComparedCards) +
                                                  " cards, not " + std::to_string(cards.size()));
    }
    std::set<int> seen;
    std::vector<CardState> states;
    for (const int card : cards) {
        if (!seen.insert(card).second) {
            return makeError(ErrorCode::NotFound,
                             "card " + std::to_string(card) + " is given twice");
        }
        const bool listed =
            card >= 1 && card <= kMaxCardNumber && session.data.tables.entryOf(card) > 0;
        if (!listed) {
            return makeError(ErrorCode::NotFound, "card " + std::to_string(card) +
                                                      " is not in the database at " +
                                                      session.data.dir.string());
        }
        std::optional<CardState> state = cardStateOf(session, card);
        if (!state) {
            return makeError(ErrorCode::Unreadable,
                             "card " + std::to_string(card) + " could not be read from " +
                                 session.data.file(DataFiles::kEntries).string());
        }
        states.push_back(std::move(*state));
    }
    return compareCardStates(states, session.decimalSeparator);
}

std::vector<LineOverlap> overlappingLines(const CardComparison& comparison, double tolerance) {
    struct Tagged {
        double d;
        int card;
    };
    std::vector<Tagged> all;
    for (std::size_t c = 0; c < comparison.cards.size(); ++c) {
        for (const DiffractionLine& line : comparison.cards[c].lines)
            all.push_back({line.d, static_cast<int>(c)});
    }
    std::sort(all.begin(), all.end(), [](const Tagged& a, const Tagged& b) {
        return a.d < b.d || (a.d == b.d && a.card < b.card);
    });
    std::vector<LineOverlap> overlaps;
    std::size_t i = 0;
    while (i < all.size()) {
        // A group runs while its lines lie within tolerance of its first line.
        const double first = all[i].d;
        std::size_t j = i;
        double sum = 0;
        std::set<int> members;
        while (j < all.size() && all[j].d - first <= tolerance * first) {
            sum += all[j].d;
            members.insert(all[j].card);
            ++j;
        }
        if (members.size() >= 2) {
            overlaps.push_back({sum / static_cast<double>(j - i),
                                std::vector<int>(members.begin(), members.end())});
        }
        i = j;
    }
    return overlaps;
}

std::pair<double, double> comparisonDRange(const CardComparison& comparison) {
    double low = 0;
    double high = 0;
    bool any = false;
    for (const ComparedCard& card : comparison.cards) {
        for (const DiffractionLine& line : card.lines) {
            low = any ? std::min(low, line.d) : line.d;
            high = any ? std::max(high, line.d) : line.d;
            any = true;
        }
    }
    if (!any) return {0.0, 0.0};
    const double margin = std::max(0.2, 0.05 * (high - low));
    return {std::max(0.0, low - margin), high + margin};
}

} // namespace lithora
