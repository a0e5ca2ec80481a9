#include "search/criteria.h"

#include <array>

#include "datafiles/record.h"
#include "text/codepage.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

const std::array<unsigned char, 256>& upperTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[static_cast<std::size_t>(b)] = upperCp1252(static_cast<unsigned char>(b));
        return t;
    }();
    return table;
}

} // namespace

TypedNumber parseTypedNumber(std::string_view text) {
    TypedNumber n;
    n.value = numericValue(text);
    n.firstValue = n.value;
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return n;
    const float a = numericValue(text.substr(0, blank));
    const float b = numericValue(text.substr(blank + 1));
    n.two = true;
    n.firstValue = a;
    n.secondValue = b;
    n.range = !(b < a);
    n.value = n.range ? (a + b) / 2 : a;
    return n;
}

bool WordCriterion::matches(std::string_view upperField) const {
    if (words.empty()) return false;
    for (const std::string& w : words) {
        if (upperField.find(w) == std::string_view::npos) return false;
    }
    return true;
}

WordCriterion makeWordCriterion(std::string_view upperText) {
    WordCriterion c;
    for (std::string& w : splitWords(upperText)) {
        if (!w.empty()) c.words.push_back(std::move(w));
    }
    return c;
}

void upperCaseCp1252(std::string& bytes) {
    const auto& table = upperTable();
    for (char& c : bytes)
        c = static_cast<char>(table[static_cast<unsigned char>(c)]);
}

RecordDecoder::RecordDecoder(std::string_view key, bool upper) : m_key(key), m_upper(upper) {}

void RecordDecoder::decode(std::string_view body, std::size_t lastField) {
    m_text.assign(body);
    xorWithKey(m_text, m_key);
    if (m_upper) upperCaseCp1252(m_text);
    const std::string_view text = m_text;
    const std::string_view trimmed = trimBlanks(text);
    const auto begin = static_cast<std::size_t>(trimmed.data() - text.data());
    const std::size_t end = begin + trimmed.size();
    m_fields.clear();
    std::size_t pos = begin;
    for (;;) {
        if (m_fields.size() > lastField) return;
        const std::size_t bar = text.find('|', pos);
        if (bar == std::string_view::npos || bar >= end) break;
        m_fields.emplace_back(pos, bar - pos);
        pos = bar + 1;
    }
    if (pos < end) m_fields.emplace_back(pos, end - pos);
    if (m_fields.empty()) m_fields.emplace_back(begin, 0);
}

std::string criterionText(std::string_view typedUtf8) {
    std::string bytes;
    (void)utf8ToCp1252(trimBlanks(typedUtf8), bytes);
    upperCaseCp1252(bytes);
    return bytes;
}

} // namespace lithora
