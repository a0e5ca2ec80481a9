#include "search/criteria.h"

#include <algorithm>
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

void RecordDecoder::decode(std::string_view body) {
    m_body = body;
    if (m_text.size() < body.size()) m_text.resize(body.size());
    m_done = 0;
    m_begin = 0;
    m_beginKnown = false;
    m_end = 0;
    m_bars.clear();
}

void RecordDecoder::unscrambleUntil(std::size_t bars) {
    const std::size_t n = m_body.size();
    const char* in = m_body.data();
    char* out = m_text.data();
    std::size_t p = m_done;
    if (m_key.empty() || (m_blockKey && p % 64 == 0)) {
        // Whole 64-byte blocks; an empty key leaves the bytes as they are.
        std::array<char, 64> block{};
        if (m_blockKey) block = m_block;
        auto noteSeparators = [this](std::uint64_t mask, std::size_t at) {
            for (; mask != 0; mask &= mask - 1)
                m_bars.push_back(at + static_cast<std::size_t>(std::countr_zero(mask)));
        };
        while (p + 64 <= n && m_bars.size() < bars) {
            const std::uint64_t mask = unscrambleBlock(in + p, out + p, block);
            if (m_upper) upperCaseCp1252(out + p, 64); // no byte becomes or stops being "|"
            noteSeparators(mask, p);
            p += 64;
        }
        if (p < n && m_bars.size() < bars) {
            // The last bytes, as a block padded with blanks.
            const std::size_t rest = n - p;
            std::array<char, 64> last;
            last.fill(' ');
            std::memcpy(last.data(), in + p, rest);
            const std::uint64_t mask = unscrambleBlock(last.data(), last.data(), block);
            std::memcpy(out + p, last.data(), rest);
            if (m_upper) upperCaseCp1252(out + p, rest);
            noteSeparators(mask & ((std::uint64_t{1} << rest) - 1), p);
            p = n;
        }
    } else if (m_bars.size() < bars) {
        // A key that does not fit a block: byte by byte.
        const std::size_t from = p;
        const std::size_t k = m_key.size();
        for (; p < n; ++p) {
            out[p] = static_cast<char>(in[p] ^ m_key[p % k]);
            if (out[p] == '|') m_bars.push_back(p);
        }
        if (m_upper) upperCaseCp1252(out + from, p - from);
    }
    m_done = p;
    // Blanks before the record's first field are not part of it. A separator is no blank, so
    // once one is found the first field's start is known.
    if (!m_beginKnown) {
        while (m_begin < m_done && m_text[m_begin] == ' ')
            ++m_begin;
        m_beginKnown = m_begin < m_done || finished();
    }
    if (finished()) {
        m_end = n;
        while (m_end > m_begin && m_text[m_end - 1] == ' ')
            --m_end;
    }
}

std::string_view RecordDecoder::fieldAfterUnscrambling(std::size_t k) {
    if (m_bars.size() <= k && !finished()) unscrambleUntil(k + 1);
    if (!m_beginKnown) { // an empty body
        m_beginKnown = true;
        m_begin = m_end = 0;
    }
    if (k < m_bars.size()) {
        const std::size_t start = k == 0 ? m_begin : m_bars[k - 1] + 1;
        return std::string_view(m_text.data() + start, m_bars[k] - start);
    }
    // The last field ends where the record's blanks at the end begin.
    if (k == m_bars.size()) {
        const std::size_t start = k == 0 ? m_begin : m_bars[k - 1] + 1;
        if (start < m_end) return std::string_view(m_text.data() + start, m_end - start);
    }
    return std::string_view();
}

std::size_t RecordDecoder::fieldCount() {
    if (!finished()) unscrambleUntil(static_cast<std::size_t>(-1));
    if (!m_beginKnown) m_beginKnown = true;
    const std::size_t start = m_bars.empty() ? m_begin : m_bars.back() + 1;
    const std::size_t count = m_bars.size() + (start < m_end ? 1 : 0);
    return std::max<std::size_t>(count, 1);
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
