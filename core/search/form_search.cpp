#include "search/form_search.h"

#include <cmath>

#include "datafiles/record.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

// The fields of an entry record that a text criterion is tied to, with the tf field it reads.
struct TextTie {
    int field;
    int tf;
};
constexpr TextTie kTextTies[] = {{1, 0},   {2, 2},   {4, 5},  {5, 6},   {8, 42},  {9, 41},
                                 {10, 22}, {11, 20}, {12, 4}, {13, 18}, {14, 21}, {18, 19},
                                 {19, 24}, {22, 17}, {23, 1}, {24, 23}};

struct NumberTie {
    int field;
    int tf;
    float tolerance;
};
constexpr NumberTie kNumberTies[] = {
    {3, 5, 0.1f}, {16, 13, 0.1f}, {20, 16, 0.05f}, {21, 15, 0.05f}, {25, 14, 0.5f}};

constexpr int kCellField = 26;
constexpr int kFirstCellTf = 7;
constexpr float kCellTolerance = 0.05f;
constexpr int kDSpacingField = 6;
constexpr int kFirstDTf = 25;

// Cuts a record into views at "|" as splitFields does, without copying.
void splitViews(std::string_view text, std::vector<std::string_view>& out) {
    out.clear();
    const std::string_view s = trimBlanks(text);
    std::size_t pos = 0;
    for (;;) {
        const std::size_t p = s.find('|', pos);
        if (p == std::string_view::npos) break;
        out.push_back(s.substr(pos, p - pos));
        pos = p + 1;
    }
    if (pos < s.size()) out.push_back(s.substr(pos));
    if (out.empty()) out.push_back({});
}

// Values of the blank-separated words of a field, as many as wanted (missing ones are 0).
template <std::size_t N>
void wordValues(std::string_view field, std::array<float, N>& values, std::size_t& count) {
    values.fill(0.0f);
    count = 0;
    std::size_t pos = 0;
    while (pos < field.size() && count < N) {
        while (pos < field.size() && field[pos] == ' ')
            ++pos;
        std::size_t end = field.find(' ', pos);
        if (end == std::string_view::npos) end = field.size();
        if (end > pos) values[count++] = numericValue(field.substr(pos, end - pos));
        pos = end;
    }
}

class FormMatcher {
  public:
    explicit FormMatcher(const FormCriteria& criteria) : m_c(criteria) {}

    int hits(std::string& record) {
        upperCaseCp1252(record);
        splitViews(record, m_fields);
        auto field = [this](int k) {
            return static_cast<std::size_t>(k) < m_fields.size()
                       ? m_fields[static_cast<std::size_t>(k)]
                       : std::string_view();
        };
        int hits = 0;
        for (const TextTie& t : kTextTies) {
            const WordCriterion& words = m_c.words[static_cast<std::size_t>(t.tf)];
            if (words.empty()) continue;
            std::string_view value = field(t.field);
            if (t.field == 2) {
                m_formula.clear();
                for (char ch : value) {
                    if (ch != ' ') m_formula.push_back(ch);
                }
                value = m_formula;
            }
            if (words.matches(value)) ++hits;
        }
        for (const NumberTie& t : kNumberTies) {
            const float c = m_c.values[static_cast<std::size_t>(t.tf)];
            if (!(c > 0.0f) || m_c.texts[static_cast<std::size_t>(t.tf)].empty()) continue;
            if (std::fabs(numericValue(field(t.field)) - c) <= t.tolerance) ++hits;
        }
        std::size_t count = 0;
        std::array<float, 6> cell{};
        wordValues(field(kCellField), cell, count);
        for (std::size_t i = 0; i < cell.size(); ++i) {
            const float c = m_c.values[kFirstCellTf + i];
            if (c > 0.0f && std::fabs(cell[i] - c) <= kCellTolerance) ++hits;
        }
        std::array<float, 64> lines{};
        wordValues(field(kDSpacingField), lines, count);
        for (std::size_t m = 0; m < 8; ++m) {
            const float c = m_c.values[kFirstDTf + m];
            if (!(c > 0.0f)) continue;
            for (std::size_t i = 0; i < count; ++i) {
                if (lines[i] > 0.0f && std::fabs(lines[i] - c) <= m_c.dTolerance) {
                    ++hits; // one hit per typed value, at its first line in tolerance
                    break;
                }
            }
        }
        return hits;
    }

  private:
    const FormCriteria& m_c;
    std::vector<std::string_view> m_fields;
    std::string m_formula;
};

} // namespace

FormCriteria parseFormCriteria(const FormCriterionTexts& typed) {
    FormCriteria c;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        c.texts[i] = criterionText(typed[i]);
        c.totalLength += c.texts[i].size();
        c.values[i] = parseTypedNumber(c.texts[i]).value;
        if (!c.texts[i].empty()) ++c.nonEmptyFields;
    }
    const float d = numericValue(typed[kDToleranceField]);
    c.dTolerance = d == 0.0f ? kDefaultDTolerance : d;
    // tf(33) holds the tolerance: it matches nothing itself.
    c.values[kDToleranceField] = 0.0f;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        if (i == kDToleranceField) continue;
        std::string text = c.texts[i];
        if (i == 2) text = replaceAll(text, " ", ""); // a formula is compared without blanks
        c.words[i] = makeWordCriterion(text);
    }
    return c;
}

int requiredFormHits(const FormCriteria& criteria, bool orCombination) {
    int required = orCombination ? 1 : criteria.nonEmptyFields;
    if (!criteria.texts[kDToleranceField].empty() && required > 1) --required;
    return required;
}

int formHits(const FormCriteria& criteria, std::string record) {
    return FormMatcher(criteria).hits(record);
}

Result<SearchPass> runFormSearchPass(const DataSet& data, const FormCriteria& criteria,
                                     int requiredHits, const std::vector<bool>& scope,
                                     int maxCardNumber, const ProgressFn& progress) {
    Result<RecordBuffer> file = RecordBuffer::load(data.file(DataFiles::kEntries));
    if (!file) return file.error();
    SearchPass pass;
    pass.matchFlags.assign(static_cast<std::size_t>(std::max(data.tables.entryCount, 0)) + 2,
                           false);
    FormMatcher matcher(criteria);
    std::string record;
    for (int c = 1; c <= maxCardNumber; ++c) {
        if (static_cast<std::size_t>(c) >= scope.size() || !scope[static_cast<std::size_t>(c)])
            continue;
        const int entry = data.tables.entryOf(c);
        if (entry == 0) continue;
        const std::string_view body = file.value().bodyAt(data.tables.positionOfEntry(entry));
        if (body.empty()) continue;
        record.assign(body);
        xorWithKey(record, data.recordKey);
        ++pass.entriesTested;
        if (matcher.hits(record) >= requiredHits && entry > 0 &&
            static_cast<std::size_t>(entry) < pass.matchFlags.size()) {
            pass.matchFlags[static_cast<std::size_t>(entry)] = true;
            ++pass.matchCount;
        }
        if (progress && c % 100 == 0) progress(c);
    }
    return pass;
}

} // namespace lithora
