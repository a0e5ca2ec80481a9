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

// White space a typed criterion may begin or end with: blanks, tabs, line breaks and the other
// separators a pasted text may bring along.
bool isTypedWhiteSpace(char32_t c) {
    return c == U' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

std::string_view trimTypedWhiteSpace(std::string_view utf8) {
    std::size_t begin = std::string_view::npos;
    std::size_t end = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        if (!isTypedWhiteSpace(nextCodePoint(utf8, pos))) {
            if (begin == std::string_view::npos) begin = start;
            end = pos;
        }
    }
    return begin == std::string_view::npos ? std::string_view() : utf8.substr(begin, end - begin);
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
    const std::string_view typed = trimTypedWhiteSpace(typedUtf8);
    std::string bytes;
    bytes.reserve(typed.size());
    std::size_t pos = 0;
    while (pos < typed.size()) {
        const int byte = codePointToCp1252(nextCodePoint(typed, pos));
        // A character the code page lacks cannot occur in a record. As "?" it would find every
        // field with a question mark; as the field separator, which no field holds, the word
        // that has it matches nothing.
        bytes.push_back(byte < 0 ? '|' : static_cast<char>(byte));
    }
    upperCaseCp1252(bytes);
    return bytes;
}

} // namespace lithora
