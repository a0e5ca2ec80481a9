#include "search/criteria.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    upperCaseCp1252(bytes.data(), bytes.size());
}

void upperCaseCp1252(char* p, std::size_t n) {
    const auto& table = upperTable();
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time while they are plain ASCII: a..z lose 0x20. A run with a byte of
    // 0x80 or more goes through the table.
    const __m128i beforeA = _mm_set1_epi8('a' - 1);
    const __m128i afterZ = _mm_set1_epi8('z' + 1);
    const __m128i caseBit = _mm_set1_epi8(0x20);
    for (; i + 16 <= n; i += 16) {
        auto* at = reinterpret_cast<__m128i*>(p + i);
        const __m128i v = _mm_loadu_si128(at);
        if (_mm_movemask_epi8(v) != 0) {
            for (std::size_t j = i; j < i + 16; ++j)
                p[j] = static_cast<char>(table[static_cast<unsigned char>(p[j])]);
            continue;
        }
        const __m128i lower = _mm_and_si128(_mm_cmpgt_epi8(v, beforeA), _mm_cmplt_epi8(v, afterZ));
        _mm_storeu_si128(at, _mm_sub_epi8(v, _mm_and_si128(lower, caseBit)));
    }
#endif
    for (; i < n; ++i)
        p[i] = static_cast<char>(table[static_cast<unsigned char>(p[i])]);
}

RecordDecoder::RecordDecoder(std::string_view key, bool upper) : m_key(key), m_upper(upper) {
    m_blockKey = !key.empty() && 64 % key.size() == 0;
    if (m_blockKey) {
        for (std::size_t j = 0; j < m_block.size(); ++j)
            m_block[j] = key[j % key.size()];
    }
}

namespace {

// Unscrambles the 64 bytes at in into out with a key block; bit j of the answer is set when
// byte j of the result is a field separator.
std::uint64_t unscrambleBlock(const char* in, char* out, const std::array<char, 64>& key) {
#if defined(__SSE2__)
    const __m128i bar = _mm_set1_epi8('|');
    std::uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key.data() + 16 * i));
        const __m128i v =
            _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * i)), k);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), v);
        const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, bar)));
        mask |= static_cast<std::uint64_t>(bits) << (16 * i);
    }
    return mask;
#else
    std::uint64_t mask = 0;
    for (std::size_t j = 0; j < 64; ++j) {
        out[j] = static_cast<char>(in[j] ^ key[j]);
        mask |= static_cast<std::uint64_t>(out[j] == '|') << j;
    }
    return mask;
#endif
}

} // namespace

std::size_t RecordDecoder::unscrambleUntil(std::string_view body, std::size_t bars) {
    const std::size_t n = body.size();
    if (m_text.size() < n) m_text.resize(n);
    char* out = m_text.data();
    const char* in = body.data();
    m_bars.clear();
    std::size_t p = 0;
    if (m_blockKey || m_key.empty()) {
        // An empty key leaves the bytes as they are.
        std::array<char, 64> block{};
        if (m_blockKey) block = m_block;
        // Whole 64-byte blocks, then the separators of the block.
        for (; p + 64 <= n; p += 64) {
            for (std::uint64_t mask = unscrambleBlock(in + p, out + p, block); mask != 0;
                 mask &= mask - 1)
                m_bars.push_back(p + static_cast<std::size_t>(std::countr_zero(mask)));
            if (m_bars.size() >= bars) return p + 64;
        }
        for (; p < n; ++p) {
            out[p] = static_cast<char>(in[p] ^ block[p % 64]);
            if (out[p] == '|') {
                m_bars.push_back(p);
                if (m_bars.size() >= bars) return p + 1;
            }
        }
        return n;
    }
    const std::size_t k = m_key.size();
    for (; p < n; ++p) {
        out[p] = static_cast<char>(in[p] ^ m_key[p % k]);
        if (out[p] == '|') {
            m_bars.push_back(p);
            if (m_bars.size() >= bars) return p + 1;
        }
    }
    return n;
}

void RecordDecoder::decode(std::string_view body, std::size_t lastField) {
    // Fields 0..lastField end at the first lastField + 1 separators (or at the record's end).
    const std::size_t wanted =
        lastField >= body.size() ? static_cast<std::size_t>(-1) : lastField + 1;
    const std::size_t length = unscrambleUntil(body, wanted);
    if (m_upper) upperCaseCp1252(m_text.data(), length);
    // Blanks around the whole record are not part of its first or last field. A separator is
    // not a blank, so every separator lies between the two.
    const std::string_view text(m_text.data(), length);
    std::size_t begin = 0;
    while (begin < length && text[begin] == ' ')
        ++begin;
    std::size_t end = length;
    if (length == body.size()) {
        while (end > begin && text[end - 1] == ' ')
            --end;
    }
    m_fields.clear();
    std::size_t pos = begin;
    for (const std::size_t bar : m_bars) {
        if (m_fields.size() > lastField) return;
        m_fields.emplace_back(pos, bar - pos);
        pos = bar + 1;
    }
    if (m_fields.size() > lastField) return;
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
