#include "search/text_search.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "datafiles/record.h"
#include "search/criteria.h"
#include "text/codepage.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

const std::array<std::string_view, kTextCategoryCount> kTextCategories = {
    "Synonym",      "Group",        "Appearance", "Locality", "Nameref",
    "Strunz Class", "SPG Symbol",   "SPG Number", "XI Class", "d-Spacings",
    "Mohs",         "Spec.Gravity", "Unit Cell",  "ICDD#"};

namespace {

// The entry-record field a text category searches.
constexpr std::array<int, kTextCategoryCount> kCategoryField = {23, 13, 10, 24, 18, 22, 4,
                                                                3,  5,  6,  16, 20, 26, 14};

bool isNumeric(int category) {
    return category == CategorySpgNumber || category == CategoryDSpacings ||
           category == CategoryMohs || category == CategorySpecGravity ||
           category == CategoryUnitCell;
}

// Up to ten values of the blank-separated words of a field.
void fieldValues(std::string_view field, std::array<float, 10>& values) {
    std::size_t k = 0;
    std::size_t pos = 0;
    while (pos < field.size() && k < values.size()) {
        std::size_t end = field.find(' ', pos);
        if (end == std::string_view::npos) end = field.size();
        if (end > pos) values[k++] = numericValue(field.substr(pos, end - pos));
        pos = end + 1;
    }
}

// The six values and the lattice letter of an any-setting search, or the reason to refuse.
void prepareAnySetting(PreparedTextSearch& p, const std::vector<std::string>& keywords) {
    std::vector<double> values;
    std::optional<Centring> letter;
    int letters = 0;
    for (const std::string& k : keywords) {
        if (const std::optional<Centring> c = centringOfLetter(k)) {
            letter = c;
            ++letters;
        } else {
            values.push_back(numericValue(k));
        }
    }
    const bool allPositive =
        std::all_of(values.begin(), values.end(), [](double v) { return v > 0.0; });
    if (values.size() != 6 || !allPositive || letters > 1) {
        p.cellRefusal = kAnySettingValuesMessage;
        return;
    }
    const UnitCell typed{values[0], values[1], values[2], values[3], values[4], values[5]};
    p.cellForms = typedCellForms(typed, letter, p.tolerance);
    if (p.cellForms.empty()) p.cellRefusal = kNoCellMessage;
}

bool anySettingMatches(const PreparedTextSearch& p, const std::optional<ReducedCell>& entry) {
    if (!entry || !(p.tolerance > 0.0f)) return false;
    return std::any_of(p.cellForms.begin(), p.cellForms.end(), [&](const TypedCellForm& f) {
        return cellFormMatches(f, *entry, p.tolerance);
    });
}

bool requiredSymbolsPresent(const PreparedTextSearch& p, RecordDecoder& record) {
    if (p.request.requiredSymbols.empty()) return true;
    const std::string_view formula = record.field(2);
    if (formula.empty()) return false;
    const std::string symbols = formulaSymbols(formula);
    if (p.request.maxElements > 0) {
        const auto count =
            std::count(symbols.begin(), symbols.end(), ' ') + (symbols.empty() ? 0 : 1);
        if (count > p.request.maxElements) return false;
    }
    const std::string padded = " " + symbols + " ";
    for (const std::string& s : p.request.requiredSymbols) {
        if (padded.find(" " + s + " ") == std::string::npos) return false;
    }
    return true;
}

bool isAnySetting(const PreparedTextSearch& p) {
    return p.request.anySetting && p.request.category == CategoryUnitCell;
}

} // namespace

int textCategoryIndex(std::string_view nameOrIndex) {
    const std::string upper = upperCase(nameOrIndex);
    for (std::size_t i = 0; i < kTextCategories.size(); ++i) {
        if (upperCase(kTextCategories[i]) == upper) return static_cast<int>(i);
    }
    if (!nameOrIndex.empty() &&
        nameOrIndex.find_first_not_of("0123456789") == std::string_view::npos &&
        nameOrIndex.size() <= 2) {
        const int index = std::stoi(std::string(nameOrIndex));
        if (index < kTextCategoryCount) return index;
    }
    return -1;
}

PreparedTextSearch prepareTextSearch(TextSearchRequest request) {
    PreparedTextSearch p;
    for (std::string& k : request.keywords) {
        if (k.find("+-") != std::string::npos) {
            p.tolerance = numericValue(replaceAll(k, "+-", ""));
            k.clear(); // the last tolerance keyword counts
        }
    }
    // Taken out, so that the values keep their places: "+-0.2 4.99 4.99 17.06 90 90 120" is the
    // same cell as "4.99 4.99 17.06 90 90 120 +-0.2", and a cell needs six values besides.
    std::erase(request.keywords, std::string());
    switch (request.category) {
    case CategorySpgNumber:
        p.tolerance = 0.0001f;
        break;
    case CategoryDSpacings:
    case CategorySpecGravity:
        if (p.tolerance == 0.0f) p.tolerance = 0.05f;
        break;
    case CategoryMohs:
        if (p.tolerance == 0.0f) p.tolerance = 0.1f;
        break;
    case CategoryUnitCell:
        if (p.tolerance == 0.0f) p.tolerance = 0.1f;
        if (request.anySetting) {
            prepareAnySetting(p, request.keywords);
        } else {
            p.tooFewCellValues = request.keywords.size() < 6;
        }
        break;
    case CategoryIcdd:
        // A six-digit number is written with a dash before its last four digits.
        for (std::string& k : request.keywords) {
            if (k.find('-') == std::string::npos && k.size() >= 4)
                k = k.substr(0, k.size() - 4) + "-" + k.substr(k.size() - 4);
        }
        break;
    default:
        break;
    }
    if (isNumeric(request.category)) {
        for (std::size_t i = 0; i < request.keywords.size() && i < p.typedValues.size(); ++i) {
            p.typedValues[i] = numericValue(request.keywords[i]);
            if (p.typedValues[i] != 0.0f) ++p.nonZeroValues;
        }
    }
    p.request = std::move(request);
    return p;
}

bool textSearchMatches(const PreparedTextSearch& p, RecordDecoder& record, std::string& text) {
    if (isAnySetting(p))
        return anySettingMatches(p, entryReducedCell(record)) && requiredSymbolsPresent(p, record);
    const int category = p.request.category;
    const std::string_view field =
        record.field(static_cast<std::size_t>(kCategoryField[static_cast<std::size_t>(category)]));
    std::array<float, 10> values{};
    text.clear();
    if (category == CategorySpecGravity) {
        values[0] = numericValue(record.field(20));
        values[1] = numericValue(record.field(21));
    } else if (category == CategoryMohs) {
        values[0] = numericValue(field);
    } else if (isNumeric(category)) {
        fieldValues(field, values);
    } else {
        text.assign(field);
        upperCaseCp1252(text);
    }

    if (p.tolerance == 0.0f) {
        if (text.empty()) return false;
        for (const std::string& k : p.request.keywords) {
            if (text.find(k) == std::string::npos) return false;
        }
    } else {
        int hits = 0;
        if (category == CategoryUnitCell) {
            for (std::size_t j = 0; j < 6; ++j) {
                if (p.typedValues[j] > 0.0f &&
                    std::fabs(values[j] - p.typedValues[j]) <= p.tolerance)
                    ++hits;
            }
        } else {
            // Each typed value hits once, at the first value of the field within tolerance.
            for (const float typed : p.typedValues) {
                if (!(typed > 0.0f)) continue;
                for (const float value : values) {
                    if (value > 0.0f && std::fabs(value - typed) <= p.tolerance) {
                        ++hits;
                        break;
                    }
                }
            }
        }
        if (hits < 1 || hits < p.nonZeroValues) return false;
    }

    return requiredSymbolsPresent(p, record);
}

Result<SearchPass> runTextSearchPass(const DataSet& data, const PreparedTextSearch& search,
                                     const ReducedCellIndex* cells) {
    const bool anySetting = isAnySetting(search) && cells != nullptr;
    // With the reduced cells at hand and no elements asked for, no record needs reading.
    if (anySetting && search.request.requiredSymbols.empty()) {
        SearchPass pass;
        const int count = std::max(data.tables.entryCount, 0);
        pass.matchFlags.assign(static_cast<std::size_t>(count) + 1, false);
        for (int r = 1; r <= count && static_cast<std::size_t>(r) < cells->cells.size(); ++r) {
            ++pass.entriesTested;
            if (anySettingMatches(search, cells->cells[static_cast<std::size_t>(r)])) {
                pass.matchFlags[static_cast<std::size_t>(r)] = true;
                ++pass.matchCount;
            }
        }
        return pass;
    }
    Result<SequentialRecords> file = SequentialRecords::load(data.file(DataFiles::kEntries));
    if (!file) return file.error();
    SequentialRecords& records = file.value();
    SearchPass pass;
    pass.matchFlags.assign(static_cast<std::size_t>(std::max(data.tables.entryCount, 0)) + 1,
                           false);
    records.next(); // the header is not read
    RecordDecoder record(data.recordKey, false);
    std::string text;
    for (int r = 1; r <= data.tables.entryCount && !records.atEnd(); ++r) {
        const auto raw = records.next();
        if (!raw) break;
        record.decode(raw->body);
        ++pass.entriesTested;
        const bool match =
            anySetting ? static_cast<std::size_t>(r) < cells->cells.size() &&
                             anySettingMatches(search, cells->cells[static_cast<std::size_t>(r)]) &&
                             requiredSymbolsPresent(search, record)
                       : textSearchMatches(search, record, text);
        if (match) {
            pass.matchFlags[static_cast<std::size_t>(r)] = true;
            ++pass.matchCount;
        }
    }
    return pass;
}

SearchOutcome runTextSearch(Session& session, std::string_view keywords, int category,
                            std::string_view requiredElements, int maxElements, bool anySetting) {
    SearchOutcome outcome;
    outcome.title = std::string(kTextSearchTitle);
    TextSearchRequest request;
    request.category = category;
    request.maxElements = maxElements;
    request.anySetting = anySetting && category == CategoryUnitCell;
    for (std::string& k : splitWords(criterionText(keywords))) {
        if (!k.empty()) request.keywords.push_back(std::move(k));
    }
    for (std::string& s : splitWords(replaceAll(requiredElements, ",", ""))) {
        if (!s.empty()) request.requiredSymbols.push_back(std::move(s));
    }
    if (category < 0 || category >= kTextCategoryCount) {
        outcome.end = SearchEnd::NoCriteria;
        return outcome;
    }
    // Nothing but white space is no keyword: it would let every entry with the field pass.
    if (request.keywords.empty()) {
        outcome.end = SearchEnd::NoCriteria;
        outcome.message = std::string(kNoCriteriaMessage);
        return outcome;
    }
    const PreparedTextSearch prepared = prepareTextSearch(std::move(request));
    if (prepared.tooFewCellValues) {
        outcome.end = SearchEnd::NoCriteria;
        outcome.title = std::string(kUnitCellTitle);
        outcome.message = std::string(kUnitCellMessage);
        return outcome;
    }
    if (!prepared.cellRefusal.empty()) {
        outcome.end = SearchEnd::NoCriteria;
        outcome.title = std::string(kUnitCellTitle);
        outcome.message = std::string(prepared.cellRefusal);
        return outcome;
    }
    if (prepared.request.anySetting) {
        Result<std::shared_ptr<const ReducedCellIndex>> cells = reducedCellsOf(session.data);
        if (!cells) return finishWindowSearch(session, cells.error(), kTextSearchTitle);
        return finishWindowSearch(session,
                                  runTextSearchPass(session.data, prepared, cells.value().get()),
                                  kTextSearchTitle);
    }
    return finishWindowSearch(session, runTextSearchPass(session.data, prepared), kTextSearchTitle);
}

} // namespace lithora
