#include "search/form_search.h"

#include <algorithm>
#include <cmath>

#include "datafiles/record.h"
#include "search/form_ties.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

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
    explicit FormMatcher(const FormCriteria& criteria) : m_c(criteria) {
        // Cell and d values are read only when the user typed one.
        for (int i = 0; i < 6; ++i)
            m_cellTyped = m_cellTyped || criteria.values[kFirstCellTf + i] > 0.0f;
        for (int m = 0; m < 8; ++m)
            m_dTyped = m_dTyped || criteria.values[kFirstDTf + m] > 0.0f;
        // Every criterion gives at most one hit.
        for (const TextTie& t : kTextTies)
            m_possibleHits += m_c.words[static_cast<std::size_t>(t.tf)].empty() ? 0 : 1;
        for (const NumberTie& t : kNumberTies)
            m_possibleHits += numberTyped(t) ? 1 : 0;
        for (int i = 0; i < 6; ++i)
            m_possibleHits += criteria.values[kFirstCellTf + i] > 0.0f ? 1 : 0;
        for (int m = 0; m < 8; ++m)
            m_possibleHits += criteria.values[kFirstDTf + m] > 0.0f ? 1 : 0;
    }

    // The hits of a record; counting stops, with fewer hits than wanted, once the criteria left
    // cannot bring the count up to wanted.
    int hits(RecordDecoder& record, int wanted = 0) {
        auto field = [&record](int k) { return record.field(static_cast<std::size_t>(k)); };
        int hits = 0;
        int left = m_possibleHits;
        for (const TextTie& t : kTextTies) {
            const WordCriterion& words = m_c.words[static_cast<std::size_t>(t.tf)];
            if (words.empty()) continue;
            if (hits + left-- < wanted) return hits;
            // The record comes upper-cased; a formula is compared without its blanks.
            if (t.field == 2) {
                m_scratch.assign(field(t.field));
                m_scratch.erase(std::remove(m_scratch.begin(), m_scratch.end(), ' '),
                                m_scratch.end());
                if (words.matches(m_scratch)) ++hits;
            } else if (words.matches(field(t.field))) {
                ++hits;
            }
        }
        for (const NumberTie& t : kNumberTies) {
            if (!numberTyped(t)) continue;
            if (hits + left-- < wanted) return hits;
            const float c = m_c.values[static_cast<std::size_t>(t.tf)];
            if (std::fabs(numericValue(field(t.field)) - c) <= t.tolerance) ++hits;
        }
        std::size_t count = 0;
        if (m_cellTyped) {
            if (hits + left < wanted) return hits;
            std::array<float, 6> cell{};
            wordValues(field(kCellField), cell, count);
            for (std::size_t i = 0; i < cell.size(); ++i) {
                const float c = m_c.values[kFirstCellTf + i];
                if (!(c > 0.0f)) continue;
                --left;
                if (std::fabs(cell[i] - c) <= kCellTolerance) ++hits;
            }
        }
        if (!m_dTyped || hits + left < wanted) return hits;
        std::array<float, kDLinesRead> lines{};
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
    bool numberTyped(const NumberTie& t) const {
        return m_c.values[static_cast<std::size_t>(t.tf)] > 0.0f &&
               !m_c.texts[static_cast<std::size_t>(t.tf)].empty();
    }

    const FormCriteria& m_c;
    int m_possibleHits = 0;
    bool m_cellTyped = false;
    bool m_dTyped = false;
    std::string m_scratch;
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
    RecordDecoder decoder(std::string_view(), true); // a plain record: nothing to unscramble
    decoder.decode(record);
    return FormMatcher(criteria).hits(decoder);
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
    // Records are upper-cased as they are unscrambled when a text criterion is typed (upper case
    // changes no number); a search for numbers alone leaves them as they are.
    bool anyText = false;
    for (const TextTie& t : kTextTies)
        anyText = anyText || !criteria.words[static_cast<std::size_t>(t.tf)].empty();
    RecordDecoder record(data.recordKey, anyText);
    // The cards in scope, visited in the order their records lie in the file: the same entries
    // as card by card, each read once, front to back.
    std::vector<int> cardOfEntry(pass.matchFlags.size(), 0);
    for (int c = 1; c <= maxCardNumber && static_cast<std::size_t>(c) < scope.size(); ++c) {
        const int entry = data.tables.entryOf(c);
        if (scope[static_cast<std::size_t>(c)] && entry > 0 &&
            static_cast<std::size_t>(entry) < cardOfEntry.size()) {
            cardOfEntry[static_cast<std::size_t>(entry)] = c;
        }
    }
    for (std::size_t entry = 1; entry < cardOfEntry.size(); ++entry) {
        const int c = cardOfEntry[entry];
        if (c == 0) continue;
        const std::string_view body =
            file.value().bodyAt(data.tables.positionOfEntry(static_cast<int>(entry)));
        if (body.empty()) continue;
        record.decode(body);
        ++pass.entriesTested;
        if (matcher.hits(record, requiredHits) >= requiredHits) {
            pass.matchFlags[entry] = true;
            ++pass.matchCount;
        }
        if (progress && pass.entriesTested % 100 == 0) progress(c);
    }
    return pass;
}

} // namespace lithora
