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
// The searches run it for every record they read.
class RecordDecoder {
  public:
    RecordDecoder(std::string_view key, bool upper);
    // Fields beyond lastField are not looked for, and the record is unscrambled only as far as
    // they reach; field() answers empty for them.
    void decode(std::string_view body, std::size_t lastField = static_cast<std::size_t>(-1));
    std::size_t fieldCount() const { return m_fields.size(); }
    std::string_view field(std::size_t k) const {
        return k < m_fields.size()
                   ? std::string_view(m_text.data() + m_fields[k].first, m_fields[k].second)
                   : std::string_view();
    }

  private:
    // Unscrambles body into m_text from its start until `bars` field separators are found or
    // the body ends; answers how many bytes were unscrambled. Their positions go to m_bars.
    std::size_t unscrambleUntil(std::string_view body, std::size_t bars);

    std::string m_key;
    bool m_upper;
    bool m_blockKey = false;        // the key repeats exactly in a 64-byte block
    std::array<char, 64> m_block{}; // the key, repeated
    std::string m_text;             // capacity only grows; the decoded bytes are its prefix
    std::vector<std::size_t> m_bars;
    std::vector<std::pair<std::size_t, std::size_t>> m_fields; // offset, length
};

} // namespace lithora
