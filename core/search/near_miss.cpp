#include "search/near_miss.h"

#include <algorithm>
#include <cmath>

#include "datafiles/record.h"
#include "list/entry_list.h"
#include "search/criterion_names.h"
#include "search/form_ties.h"
#include "text/codepage.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

const TextTie* textTieOf(int tf) {
    for (const TextTie& t : kTextTies) {
        if (t.tf == tf) return &t;
    }
    return nullptr;
}

const NumberTie* numberTieOf(int tf) {
    for (const NumberTie& t : kNumberTies) {
        if (t.tf == tf) return &t;
    }
    return nullptr;
}

std::string shown(float value) {
    return formatNumber(value, 0, 4, '.');
}

// The upper-cased field a text criterion is compared with; a formula without its blanks.
std::string comparedText(std::string_view field, int recordField) {
    std::string upper(field);
    upperCaseCp1252(upper);
    if (recordField == 2) upper.erase(std::remove(upper.begin(), upper.end(), ' '), upper.end());
    return upper;
}

// The blank-separated values of a field, at most max of them (as the search reads them).
std::vector<float> fieldValues(std::string_view field, std::size_t max) {
    std::vector<float> values;
    for (const std::string& word : splitWords(field)) {
        if (values.size() == max) break;
        if (!word.empty()) values.push_back(numericValue(word));
    }
    return values;
}

// Judges every typed criterion of a record. fields are the record's fields as unscrambled.
std::vector<CriterionCheck> checkAll(const FormCriteria& criteria,
                                     const std::vector<int>& criterionFields,
                                     const std::vector<std::string_view>& fields) {
    auto field = [&fields](int k) {
        return static_cast<std::size_t>(k) < fields.size() ? fields[static_cast<std::size_t>(k)]
                                                           : std::string_view();
    };
    std::vector<CriterionCheck> checks;
    checks.reserve(criterionFields.size());
    for (const int tf : criterionFields) {
        CriterionCheck check;
        check.field = tf;
        const auto index = static_cast<std::size_t>(tf);
        const float typed = criteria.values[index];
        if (const TextTie* t = textTieOf(tf); t && !criteria.words[index].empty()) {
            if (criteria.words[index].matches(comparedText(field(t->field), t->field)))
                ++check.hits;
            check.found = cp1252ToUtf8(trimBlanks(field(t->field)));
        }
        if (const NumberTie* t = numberTieOf(tf); t && typed > 0.0f) {
            const float value = numericValue(field(t->field));
            const float off = std::fabs(value - typed);
            if (off <= t->tolerance) ++check.hits;
            // A space group met by its symbol says nothing of its number.
            if (check.hits == 0 || tf != 5) {
                check.measured = true;
                check.typedValue = typed;
                check.offBy = off;
                check.tolerance = t->tolerance;
                check.found = cp1252ToUtf8(trimBlanks(field(t->field)));
            }
        } else if (tf >= kFirstCellTf && tf < kFirstCellTf + 6 && typed > 0.0f) {
            const std::vector<float> cell = fieldValues(field(kCellField), 6);
            const auto i = static_cast<std::size_t>(tf - kFirstCellTf);
            const float value = i < cell.size() ? cell[i] : 0.0f;
            check.measured = true;
            check.typedValue = typed;
            check.offBy = std::fabs(value - typed);
            check.tolerance = kCellTolerance;
            check.hits = check.offBy <= kCellTolerance ? 1 : 0;
            check.found = i < cell.size() ? shown(value) : std::string();
        } else if (tf >= kFirstDTf && tf < kFirstDTf + 8 && typed > 0.0f) {
            const std::vector<float> lines = fieldValues(field(kDSpacingField), kDLinesRead);
            float nearest = 0.0f;
            float off = 0.0f;
            bool any = false;
            for (const float line : lines) {
                if (!(line > 0.0f)) continue;
                const float o = std::fabs(line - typed);
                if (!any || o < off) {
                    nearest = line;
                    off = o;
                    any = true;
                }
            }
            check.typedValue = typed;
            check.tolerance = criteria.dTolerance;
            if (any) {
                check.measured = true;
                check.offBy = off;
                check.found = shown(nearest);
                check.hits = off <= criteria.dTolerance ? 1 : 0;
            }
        }
        checks.push_back(std::move(check));
    }
    return checks;
}

std::vector<std::string_view> fieldsOf(RecordDecoder& decoder) {
    std::vector<std::string_view> fields(decoder.fieldCount());
    for (std::size_t k = 0; k < fields.size(); ++k)
        fields[k] = decoder.field(k);
    return fields;
}

// The criterion's readable name for tools: "mohs", "d2"; "tfN" where it has none.
std::string criterionName(int tf) {
    for (const CriterionName& n : formCriterionNames()) {
        if (n.field == tf) return std::string(n.name);
    }
    return "tf" + std::to_string(tf);
}

std::string trimmedTyped(const std::string& text) {
    return std::string(trimBlanks(text));
}

// The words of a typed text that the field lacks, as typed.
std::string missingWords(const std::string& typed, std::string_view comparedField, int tf) {
    std::string missing;
    for (const std::string& word : splitWords(trimBlanks(typed))) {
        if (word.empty()) continue;
        std::string upper = criterionText(word);
        if (tf == 2) upper = replaceAll(upper, " ", "");
        if (makeWordCriterion(upper).matches(comparedField)) continue;
        if (!missing.empty()) missing += " ";
        missing += word;
    }
    return missing.empty() ? trimmedTyped(typed) : missing;
}

struct Judged {
    int failing = -1; // index into the checks of the one criterion failed, or -1
    int failures = 0;
    int hits = 0;
};

Judged judge(const std::vector<CriterionCheck>& checks) {
    Judged j;
    for (std::size_t i = 0; i < checks.size(); ++i) {
        j.hits += checks[i].hits;
        if (!checks[i].holds()) {
            ++j.failures;
            j.failing = static_cast<int>(i);
        }
    }
    return j;
}

// The near miss of one record, the criteria read once; decoder holds the record.
std::optional<NearMiss> nearMissOfRecord(const FormCriteria& criteria,
                                         const FormCriterionTexts& typed,
                                         const std::vector<int>& criterionFields, int required,
                                         RecordDecoder& decoder) {
    const std::vector<std::string_view> fields = fieldsOf(decoder);
    const std::vector<CriterionCheck> checks = checkAll(criteria, criterionFields, fields);
    const Judged j = judge(checks);
    if (j.failures != 1 || j.hits >= required) return std::nullopt;
    NearMiss miss;
    miss.check = checks[static_cast<std::size_t>(j.failing)];
    const int tf = miss.check.field;
    miss.criterion = criterionName(tf);
    miss.label = formCriterionLabel(tf);
    miss.typed = trimmedTyped(typed[static_cast<std::size_t>(tf)]);
    miss.name =
        fields.size() > 1 ? displayName(cp1252ToUtf8(trimBlanks(fields[1]))) : std::string();
    miss.card = fields.empty() ? 0 : static_cast<int>(numericValue(fields[0]));
    if (const TextTie* t = textTieOf(tf); t && !miss.check.measured) {
        const std::string_view f = static_cast<std::size_t>(t->field) < fields.size()
                                       ? fields[static_cast<std::size_t>(t->field)]
                                       : std::string_view();
        miss.typed = missingWords(miss.typed, comparedText(f, t->field), tf);
    }
    miss.text = nearMissText(miss);
    return miss;
}

} // namespace

std::vector<int> formCriterionFields(const FormCriteria& criteria) {
    std::vector<int> fields;
    for (int tf = 0; tf < kFormCriterionCount; ++tf) {
        if (tf != kDToleranceField && !criteria.texts[static_cast<std::size_t>(tf)].empty())
            fields.push_back(tf);
    }
    return fields;
}

bool nearMissesApply(const FormCriteria& criteria, bool orCombination) {
    return !orCombination && formCriterionFields(criteria).size() >= 2;
}

std::vector<CriterionCheck> checkFormCriteria(const FormCriteria& criteria,
                                              std::string_view record) {
    RecordDecoder decoder(std::string_view(), false);
    decoder.decode(record);
    return checkAll(criteria, formCriterionFields(criteria), fieldsOf(decoder));
}

std::optional<NearMiss> nearMissOf(const FormCriterionTexts& typed, bool orCombination,
                                   std::string_view record) {
    const FormCriteria criteria = parseFormCriteria(typed);
    if (!nearMissesApply(criteria, orCombination)) return std::nullopt;
    RecordDecoder decoder(std::string_view(), false);
    decoder.decode(record);
    return nearMissOfRecord(criteria, typed, formCriterionFields(criteria),
                            requiredFormHits(criteria, false), decoder);
}

std::string nearMissText(const NearMiss& miss) {
    const CriterionCheck& c = miss.check;
    const int tf = c.field;
    const bool cellAngle = tf >= kFirstCellTf + 3 && tf < kFirstCellTf + 6;
    const bool length =
        (tf >= kFirstCellTf && tf < kFirstCellTf + 3) || (tf >= kFirstDTf && tf < kFirstDTf + 8);
    const std::string unit = cellAngle ? "\u00B0" : length ? " \u00C5" : "";
    if (tf >= kFirstDTf && tf < kFirstDTf + 8) {
        if (!c.measured) return miss.label + ": the entry has no diffraction line";
        return miss.label + ": nearest line " + c.found + " against " + shown(c.typedValue) +
               " \u00B1 " + shown(c.tolerance) + unit + ", off by " + shown(c.offBy) + unit;
    }
    if (c.measured) {
        const std::string value = c.found.empty() ? std::string("none") : c.found;
        if (c.found.empty() || numericValue(c.found) == 0.0f) {
            return miss.label + ": the entry gives no value where " + shown(c.typedValue) + unit +
                   " is wanted";
        }
        return miss.label + " " + value + " against " + shown(c.typedValue) + " \u00B1 " +
               shown(c.tolerance) + unit + ", off by " + shown(c.offBy) + unit;
    }
    if (textTieOf(tf) != nullptr) {
        if (c.found.empty())
            return miss.label + ": the entry has none where \"" + miss.typed + "\" is wanted";
        return miss.label + " \"" + c.found + "\" lacks \"" + miss.typed + "\"";
    }
    if (numberTieOf(tf) != nullptr || (tf >= kFirstCellTf && tf < kFirstCellTf + 6))
        return miss.label + ": \"" + miss.typed + "\" is no number the search can compare";
    return miss.label + ": \"" + miss.typed + "\" is compared with nothing, so no entry meets it";
}

bool nearMissBefore(const NearMiss& a, const NearMiss& b) {
    if (a.check.measured != b.check.measured) return a.check.measured;
    if (a.check.measured) {
        const float ra =
            a.check.tolerance > 0.0f ? a.check.offBy / a.check.tolerance : a.check.offBy;
        const float rb =
            b.check.tolerance > 0.0f ? b.check.offBy / b.check.tolerance : b.check.offBy;
        if (ra != rb) return ra < rb;
    }
    return a.card < b.card;
}

Result<NearMissList> findNearMisses(const DataSet& data, const FormCriterionTexts& typed,
                                    bool orCombination, const std::vector<bool>& scope,
                                    int maxCardNumber, std::size_t cap) {
    NearMissList list;
    const FormCriteria criteria = parseFormCriteria(typed);
    if (!nearMissesApply(criteria, orCombination)) return list;
    Result<RecordBuffer> file = RecordBuffer::load(data.file(DataFiles::kEntries));
    if (!file) return file.error();
    const std::vector<int> criterionFields = formCriterionFields(criteria);
    const int required = requiredFormHits(criteria, false);
    RecordDecoder decoder(data.recordKey, false);
    std::vector<NearMiss> found;
    for (int c = 1; c <= maxCardNumber && static_cast<std::size_t>(c) < scope.size(); ++c) {
        if (!scope[static_cast<std::size_t>(c)]) continue;
        const int entry = data.tables.entryOf(c);
        if (entry <= 0 || entry > data.tables.entryCount) continue;
        const std::string_view body = file.value().bodyAt(data.tables.positionOfEntry(entry));
        if (body.empty()) continue;
        decoder.decode(body);
        std::optional<NearMiss> miss =
            nearMissOfRecord(criteria, typed, criterionFields, required, decoder);
        if (!miss) continue;
        miss->card = c;
        miss->entry = entry;
        found.push_back(std::move(*miss));
    }
    list.total = static_cast<int>(found.size());
    std::sort(found.begin(), found.end(), nearMissBefore);
    if (found.size() > cap) found.resize(cap);
    list.misses = std::move(found);
    return list;
}

Result<NearMissList> findCardFormNearMisses(const Session& session, const FormCriterionTexts& typed,
                                            bool orCombination, bool fullScope) {
    return findNearMisses(session.data, typed, orCombination, searchScope(session, fullScope),
                          session.maxCardNumber);
}

std::string nearMissSummary(const NearMissList& list) {
    if (list.total == 0) return "No entry fails just one criterion";
    std::string text = list.total == 1 ? std::string("1 entry fails one criterion")
                                       : std::to_string(list.total) + " entries fail one criterion";
    if (list.more() > 0)
        text += "; the closest " + std::to_string(list.misses.size()) + " are listed";
    return text;
}

Status listNearMisses(Session& session, const NearMissList& list) {
    std::vector<int> entries;
    entries.reserve(list.misses.size());
    for (const NearMiss& m : list.misses)
        entries.push_back(m.entry);
    return getOrderedList(session, entries, "Near Misses", "near misses");
}

} // namespace lithora
