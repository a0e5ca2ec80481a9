#include "text/escapes.h"

#include <array>

#include "text/codepage.h"
#include "text/split.h"

namespace lithora {

namespace {

struct EscapeCode {
    std::string_view code;
    char32_t letter;        // the letter meant
    std::string_view plain; // what the program shows, UTF-8
};

constexpr std::array<EscapeCode, 10> kCodes = {{
    {"!CK", U'\u010C', "C"},
    {"!SK", U'\u0160', "S"},
    {"@CK", U'\u010D', "c"},
    {"@CA", U'\u0107', "c"},
    {"@NK", U'\u0148', "n"},
    {"@NA", U'\u0144', "n"},
    {"@EK", U'\u011B', "e"},
    {"@OD", U'\u0151', "\xC3\xB6"}, // ö
    {"@AT", U'\u00E3', "\xC3\xA3"}, // ã
    {"@RK", U'\u0159', "r"},
}};

} // namespace

void toPlainLetters(std::string& text) {
    std::size_t p = text.find('@');
    if (p == std::string::npos) p = text.find('!');
    if (p == std::string::npos) return;
    const std::string_view code = std::string_view(text).substr(p, 3);
    for (const EscapeCode& e : kCodes) {
        if (e.code == code) {
            text = replaceAll(text, e.code, e.plain);
            return;
        }
    }
}

std::string_view escapeCodeForLetter(char32_t letter) {
    // ã and Š are in Windows-1252 itself and are stored as themselves.
    if (letter == U'\u00E3' || letter == U'\u0160') return {};
    for (const EscapeCode& e : kCodes) {
        if (e.letter == letter) return e.code;
    }
    return {};
}

std::string lettersForEscapeCodes(std::string_view name) {
    std::string text(name);
    for (const EscapeCode& e : kCodes) {
        if (!escapeCodeForLetter(e.letter).empty()) {
            std::string letter;
            appendUtf8(letter, e.letter);
            text = replaceAll(text, e.code, letter);
        }
    }
    return text;
}

} // namespace lithora
