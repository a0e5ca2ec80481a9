#pragma once

// The texts every input test types into the search fields and the name field: what a user may
// paste or mistype, grouped by what a field should make of it.
#include <string>
#include <vector>

namespace lithora::input_test {

enum class TextKind {
    Blank,   // white space only: no criterion at all
    Foreign, // characters no record holds (other scripts, control characters): matches nothing
    Garbled, // numbers and signs with garbage, punctuation: read by the numeric value rule
    Long,    // 100,000 characters
};

struct BadText {
    std::string label; // printable, for failure messages
    std::string text;  // UTF-8
    TextKind kind;
};

inline std::string repeated(const std::string& piece, std::size_t length) {
    std::string out;
    out.reserve(length + piece.size());
    while (out.size() < length)
        out += piece;
    out.resize(length);
    return out;
}

inline std::string allControlCharacters() {
    std::string out;
    for (char c = 1; c < 0x20; ++c)
        out.push_back(c);
    return out;
}

inline const std::vector<BadText>& badTexts() {
    static const std::vector<BadText> texts = {
        {"blanks", "   ", TextKind::Blank},
        {"tab", "\t", TextKind::Blank},
        {"CR LF", "\r\n", TextKind::Blank},
        {"mixed white space", " \t\r\n\v\f ", TextKind::Blank},
        {"no-break space", "\u00A0", TextKind::Blank},
        {"ideographic space", "\u3000\u2003", TextKind::Blank},

        {"Cyrillic", "\u041A\u0432\u0430\u0440\u0446", TextKind::Foreign},
        {"one Greek letter", "\u03B1", TextKind::Foreign},
        {"Greek", "\u03C7\u03B1\u03BB\u03B1\u03B6\u03AF\u03B1\u03C2", TextKind::Foreign},
        {"CJK", "\u77F3\u82F1", TextKind::Foreign},
        {"emoji", "\U0001F48E", TextKind::Foreign},
        {"combining mark", "e\u0301", TextKind::Foreign},
        {"lone combining marks", "\u0301\u0308\u0327", TextKind::Foreign},
        {"Arabic", "\u0643\u0648\u0627\u0631\u062A\u0632", TextKind::Foreign},
        {"Hebrew and Latin", "\u05E7\u05D5\u05D5\u05E8\u05E5 quartz \u200F", TextKind::Foreign},
        {"NUL", std::string(1, '\0'), TextKind::Foreign},
        {"ESC", "\x1B", TextKind::Foreign},
        {"DEL", "\x7F", TextKind::Foreign},
        {"0x01..0x1f", allControlCharacters(), TextKind::Foreign},
        {"controls around a name",
         "\x01"
         "cal\x1B",
         TextKind::Foreign},
        {"malformed UTF-8", "\xFF\xFE\xC3", TextKind::Foreign},

        {"1e39", "1e39", TextKind::Garbled},
        {"-1e39", "-1e39", TextKind::Garbled},
        {"1e-39", "1e-39", TextKind::Garbled},
        {"-", "-", TextKind::Garbled},
        {".", ".", TextKind::Garbled},
        {"NaN", "NaN", TextKind::Garbled},
        {"nan", "nan", TextKind::Garbled},
        {"inf", "inf", TextKind::Garbled},
        {"+-", "+-", TextKind::Garbled},
        {"plus-minus sign", "\u00B1", TextKind::Garbled},
        {"1+-", "1+-", TextKind::Garbled},
        {"+-1", "+-1", TextKind::Garbled},
        {"1-", "1-", TextKind::Garbled},
        {"--", "--", TextKind::Garbled},
        {"1..2", "1..2", TextKind::Garbled},
        {"1,5", "1,5", TextKind::Garbled},
        {"*", "*", TextKind::Garbled},
        {"%", "%", TextKind::Garbled},
        {"double quote", "\"", TextKind::Garbled},
        {"single quote", "'", TextKind::Garbled},

        {"100,000 letters", repeated("quartzfeldspar", 100000), TextKind::Long},
        {"100,000 digits", repeated("1234567890", 100000), TextKind::Long},
        {"100,000 of 1.", repeated("1.", 100000), TextKind::Long},
        {"100,000 in words", repeated("Ab1 ", 100000), TextKind::Long},
        {"100,000 Cyrillic letters", repeated("\u0436", 200000), TextKind::Long},
    };
    return texts;
}

} // namespace lithora::input_test
