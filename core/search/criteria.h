#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// What the searches of the card window share: how a typed number becomes a value and a
// tolerance, and how a typed text matches a field.
namespace lithora {

// A typed number: one number, or two separated by a blank. Two numbers a b with b < a mean
// "a, give or take b"; otherwise they are the range from a to b.
struct TypedNumber {
    float value = 0;       // the number, or the middle of the range
    float firstValue = 0;  // a, the number before the blank
    float secondValue = 0; // b when two numbers were typed
    bool two = false;
    bool range = false; // b >= a
};
TypedNumber parseTypedNumber(std::string_view text);

// A criterion text in the records' code page, upper-cased, cut into its words; it matches a
// field when every word occurs in it.
struct WordCriterion {
    std::vector<std::string> words; // Windows-1252 bytes, upper case
    bool empty() const { return words.empty(); }
    bool matches(std::string_view upperField) const;
};
WordCriterion makeWordCriterion(std::string_view upperText);

// Trimmed of white space (blanks, tabs, line breaks, ...) and upper-cased, in Windows-1252 (the
// records' code page): how a typed criterion is compared with an upper-cased record. A character
// the code page lacks becomes "|", which no field holds, so the word with it matches nothing.
std::string criterionText(std::string_view typedUtf8);

// Upper-cases Windows-1252 bytes in place.
void upperCaseCp1252(std::string& bytes);
void upperCaseCp1252(char* bytes, std::size_t count);

// Unscrambles a record body (and upper-cases it, when asked) and finds its fields as splitFields
// cuts them: the whole record trimmed of blanks, a "|" at its very end giving no empty last field.
// The searches run it for every record they read. A record is unscrambled only as far as the
// fields asked for reach, so a record that fails on an early field costs little.
class RecordDecoder {
  public:
    RecordDecoder(std::string_view key, bool upper);
    // Takes the next record; the body must stay valid while its fields are read.
    void decode(std::string_view body);
    // Field k, or empty when the record has no such field.
    std::string_view field(std::size_t k) {
        if (k < m_bars.size() && m_beginKnown) {
            const std::size_t start = k == 0 ? m_begin : m_bars[k - 1] + 1;
            return std::string_view(m_text.data() + start, m_bars[k] - start);
        }
        return fieldAfterUnscrambling(k);
    }
    // The number of fields, at least one (the whole record is unscrambled).
    std::size_t fieldCount();

  private:
    std::string_view fieldAfterUnscrambling(std::size_t k);
    // Unscrambles on until `bars` separators are known or the body ends, noting them.
    void unscrambleUntil(std::size_t bars);
    bool finished() const { return m_done == m_body.size(); }

    std::string m_key;
    bool m_upper;
    bool m_blockKey = false;        // the key repeats exactly in a 64-byte block
    std::array<char, 64> m_block{}; // the key, repeated
    std::string m_text;             // capacity only grows; the unscrambled bytes are its prefix
    std::string_view m_body;
    std::size_t m_done = 0;  // bytes unscrambled so far
    std::size_t m_begin = 0; // the first byte that is no blank, once known
    bool m_beginKnown = false;
    std::size_t m_end = 0;           // after the last byte that is no blank, once finished
    std::vector<std::size_t> m_bars; // positions of the separators unscrambled so far
};

} // namespace lithora
