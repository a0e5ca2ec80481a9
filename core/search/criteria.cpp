#include "search/criteria.h"

#include <array>

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

std::string criterionText(std::string_view typedUtf8) {
    std::string bytes;
    (void)utf8ToCp1252(trimBlanks(typedUtf8), bytes);
    upperCaseCp1252(bytes);
    return bytes;
}

} // namespace lithora
