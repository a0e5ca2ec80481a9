#include "search/optics_search.h"

#include <cmath>

#include "datafiles/record.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

constexpr int kRecordFields = 42;

enum class Kind { None, Text, Number, TwoValues };

struct Tie {
    int of = -1;
    Kind kind = Kind::None;
};

// Record field -> the panel field whose criterion it is tested against, and how.
constexpr std::array<Tie, kRecordFields> kTies = [] {
    std::array<Tie, kRecordFields> t{};
    auto set = [&t](int field, int of, Kind kind) {
        t[static_cast<std::size_t>(field)] = Tie{of, kind};
    };
    set(1, 15, Kind::Text);
    set(3, 47, Kind::Number);
    set(4, 33, Kind::TwoValues);
    set(5, 36, Kind::TwoValues);
    set(6, 39, Kind::TwoValues);
    set(7, 42, Kind::TwoValues);
    set(8, 46, Kind::Number);
    set(11, 3, Kind::Text);
    set(12, 4, Kind::Text);
    set(13, 28, Kind::TwoValues);
    set(14, 30, Kind::TwoValues);
    set(15, 25, Kind::TwoValues);
    set(16, 27, Kind::TwoValues);
    set(17, 12, Kind::Text);
    set(18, 16, Kind::TwoValues);
    set(19, 18, Kind::TwoValues);
    set(20, 19, Kind::TwoValues);
    set(21, 21, Kind::TwoValues);
    set(22, 2, Kind::Text);
    set(23, 6, Kind::Text);
    set(24, 11, Kind::Text);
    set(25, 22, Kind::TwoValues);
    set(26, 24, Kind::TwoValues);
    set(27, 10, Kind::Text);
    set(28, 8, Kind::Text);
    set(29, 48, Kind::Number);
    set(30, 49, Kind::Text);
    set(31, 45, Kind::Number);
    set(32, 13, Kind::Text);
    set(33, 33, Kind::TwoValues);
    set(34, 36, Kind::TwoValues);
    set(35, 39, Kind::TwoValues);
    set(36, 42, Kind::TwoValues);
    return t;
}();

std::string signWord(const std::string& text) {
    if (text.find('+') != std::string::npos) return "POS";
    if (text.find('-') != std::string::npos) return "NEG";
    return text;
}

class OpticsMatcher {
  public:
    explicit OpticsMatcher(const OpticsCriteria& criteria) : m_c(criteria) {
        // Only the fields a typed criterion is tied to can hit.
        for (std::size_t k = 0; k < kTies.size(); ++k) {
            const Tie& tie = kTies[k];
            if (tie.kind == Kind::None) continue;
            const auto of = static_cast<std::size_t>(tie.of);
            const bool typed =
                tie.kind == Kind::Text ? !m_c.words[of].empty() : m_c.values[of] > 0.0f;
            if (typed) m_fields.push_back(k);
        }
    }

    int hits(RecordDecoder& record) {
        int hits = 0;
        for (const std::size_t k : m_fields) {
            const std::string_view f = record.field(k); // empty beyond the record's last field
            const Tie& tie = kTies[k];
            // A field that is "0" or "0.0" holds no value.
            if (f.empty() || f == "0" || f == "0.0" || tie.kind == Kind::None) continue;
            const auto of = static_cast<std::size_t>(tie.of);
            if (tie.kind == Kind::Text) {
                if (m_c.words[of].matches(f)) ++hits;
                continue;
            }
            const float c = m_c.values[of];
            if (!(c > 0.0f)) continue;
            // "<" and ">" before a value do not hide it from the search.
            m_copy.clear();
            for (char ch : f) {
                if (ch != '<' && ch != '>') m_copy.push_back(ch);
            }
            const std::string_view copy = m_copy;
            float first = 0;
            float second = 0;
            if (const std::size_t sep = copy.find('\x1d'); sep != std::string_view::npos) {
                first = numericValue(copy.substr(0, sep));
                second = numericValue(copy.substr(sep + 1));
            } else {
                first = numericValue(copy);
            }
            const float t = m_c.tolerances[of];
            const bool hit = std::fabs(first - c) <= t ||
                             (tie.kind == Kind::TwoValues && std::fabs(second - c) <= t);
            if (hit) ++hits;
        }
        return hits;
    }

  private:
    const OpticsCriteria& m_c;
    std::vector<std::size_t> m_fields;
    std::string m_copy;
};

} // namespace

OpticsCriteria parseOpticsCriteria(const OpticsCriterionTexts& typed) {
    OpticsCriteria c;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        c.texts[i] = criterionText(typed[i]);
        c.totalLength += c.texts[i].size();
        if (!c.texts[i].empty()) ++c.nonEmptyFields;
        const TypedNumber n = parseTypedNumber(c.texts[i]);
        c.values[i] = n.value;
        if (!n.two) {
            c.tolerances[i] = n.value * 0.01f;
        } else {
            // A range is matched with its whole width on either side of its middle.
            c.tolerances[i] = n.range ? n.secondValue - n.firstValue : n.secondValue;
        }
    }
    std::string& opticalClass = c.texts[6];
    if (contains(opticalClass, "BI")) {
        opticalClass = "BI";
    } else if (contains(opticalClass, "UNI")) {
        opticalClass = "UNI";
    }
    c.texts[8] = signWord(c.texts[8]);
    c.texts[49] = signWord(c.texts[49]);
    for (std::size_t i = 0; i < typed.size(); ++i)
        c.words[i] = makeWordCriterion(c.texts[i]);
    return c;
}

int requiredOpticsHits(const OpticsCriteria& criteria, bool orCombination) {
    return orCombination ? 1 : criteria.nonEmptyFields;
}

int opticsHits(const OpticsCriteria& criteria, std::string record) {
    RecordDecoder decoder(std::string_view(), true); // a plain record: nothing to unscramble
    decoder.decode(record);
    return OpticsMatcher(criteria).hits(decoder);
}

Result<SearchPass> runOpticsSearchPass(const DataSet& data, const OpticsCriteria& criteria,
                                       int requiredHits, const std::vector<bool>& scope,
                                       int maxCardNumber, const ProgressFn& progress) {
    Result<RecordBuffer> file = RecordBuffer::load(data.file(DataFiles::kOptics));
    if (!file) return file.error();
    SearchPass pass;
    pass.matchFlags.assign(static_cast<std::size_t>(std::max(data.tables.entryCount, 0)) + 2,
                           false);
    OpticsMatcher matcher(criteria);
    RecordDecoder record(data.recordKey, true);
    for (int c = 1; c <= maxCardNumber; ++c) {
        if (static_cast<std::size_t>(c) >= scope.size() || !scope[static_cast<std::size_t>(c)])
            continue;
        const std::int32_t position = data.tables.opticalPositionOf(c);
        if (position == 0) continue;
        const std::string_view body = file.value().bodyAt(position);
        if (body.empty()) continue;
        record.decode(body);
        ++pass.entriesTested;
        const int entry = data.tables.entryOf(c);
        // Damaged tables may lead two cards to one entry: it is one match, counted once.
        if (matcher.hits(record) >= requiredHits && entry > 0 &&
            static_cast<std::size_t>(entry) < pass.matchFlags.size() &&
            !pass.matchFlags[static_cast<std::size_t>(entry)]) {
            pass.matchFlags[static_cast<std::size_t>(entry)] = true;
            ++pass.matchCount;
        }
        if (progress && c % 100 == 0) progress(c);
    }
    return pass;
}

} // namespace lithora
