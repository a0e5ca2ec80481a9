// Text rules: splitting records, reading numbers, number pictures, code page, escape codes.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "text/escapes.h"
#include "text/numeric.h"
#include "text/split.h"

using namespace lithora;
using Strings = std::vector<std::string>;

TEST(SplitFields, CutsAtTheDelimiterAfterTrimmingBlanks) {
    struct Case {
        std::string text;
        Strings fields;
    };
    const std::vector<Case> cases = {
        {"a|b|c", {"a", "b", "c"}},
        {"a||c", {"a", "", "c"}},
        {"a|b|", {"a", "b"}}, // a delimiter at the end adds no empty field
        {"|a", {"", "a"}},    // one at the start gives an empty first field
        {"abc", {"abc"}},
        {"", {""}},
        {"   ", {""}},
        {" a | b ", {"a ", " b"}},   // only the whole text is trimmed
        {"\ta|b\t", {"\ta", "b\t"}}, // tabs are not blanks
        {"||", {"", ""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitFields(c.text), c.fields) << '"' << c.text << '"';
}

TEST(SplitFields, HasNoLengthLimit) {
    // 40,000 fields of one character: far beyond a 16-bit position.
    std::string text;
    for (int i = 0; i < 40000; ++i)
        text += "x|";
    text += std::string(70000, 'y');
    const Strings fields = splitFields(text);
    ASSERT_EQ(fields.size(), 40001u);
    EXPECT_EQ(fields.back().size(), 70000u);
}

TEST(SplitWords, RunsOfBlanksSeparateLikeOne) {
    EXPECT_EQ(splitWords("  a   b "), (Strings{"a", "b"}));
    EXPECT_EQ(splitWords(""), (Strings{""}));
    EXPECT_EQ(splitWords("a"), (Strings{"a"}));
    EXPECT_EQ(splitWords("a\tb c"), (Strings{"a\tb", "c"}));
}

TEST(FormulaSymbols, ListsEachSymbolOnceInOrder) {
    struct Case {
        const char* formula;
        const char* symbols;
    };
    const Case cases[] = {
        {"CaMg(CO3)2", "Ca Mg C O"},
        {"(Fe,Mg)2SiO4", "Fe Mg Si O"},
        {"(H2O)n", "H On"}, // a lower-case letter joins the letters before it
        {"Fe2+Fe3+2O4", "Fe O"},
        {"NaxCa1-xAl", "Na Ca Al"}, // x is a count, never part of a symbol
        {"", ""},
        {"123", ""},
        {"KAl2(AlSi3O10)(OH)2", "K Al Si O H"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formulaSymbols(c.formula), c.symbols) << c.formula;
}

TEST(NumericValue, ReadsTheLeadingNumberSkippingBlanks) {
    struct Case {
        const char* text;
        float value;
    };
    const Case cases[] = {
        {"7", 7.0f},    {"  -2.5 kg", -2.5f}, {"6 7", 67.0f},  {"1.59 1.595", 1.591f},
        {"+3", 3.0f},   {"abc", 0.0f},        {"", 0.0f},      {".5", 0.5f},
        {"-", 0.0f},    {".", 0.0f},          {"1.2.3", 1.2f}, {"3-4", 3.0f},
        {"1e39", 1.0f}, {"\t4\n2", 42.0f},    {"<1.5", 0.0f},  {"2.5 (calc)", 2.5f},
        {"0.0", 0.0f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(numericValue(c.text), c.value) << '"' << c.text << '"';
}

TEST(NumericValue, ANumberTooLargeForSinglePrecisionReadsAsZero) {
    EXPECT_EQ(numericValue(std::string(100000, '9')), 0.0f);
    EXPECT_EQ(numericValue("340282350000000000000000000000000000000000"), 0.0f);
}

// Short numbers are read without the general conversion; the value must be the same float,
// bit for bit, that the correctly rounded conversion of the digits gives.
TEST(NumericValue, ShortNumbersReadExactlyAsTheFullConversion) {
    std::uint32_t seed = 7;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFFFF;
    };
    for (int i = 0; i < 200000; ++i) {
        std::string digits(1 + next() % 16, '0');
        for (char& c : digits)
            c = static_cast<char>('0' + next() % 10);
        if (next() % 4 != 0) digits.insert(next() % (digits.size() + 1), ".");
        double reference = 0.0;
        std::from_chars(digits.data(), digits.data() + digits.size(), reference);
        const float expected = static_cast<float>(reference);
        ASSERT_EQ(numericValue(digits), expected) << digits;
        ASSERT_EQ(numericValue("-" + digits), -expected) << digits;
    }
}

TEST(FormatNumber, RoundsTheWrittenNumberHalfAwayFromZero) {
    struct Case {
        float value;
        int minDecimals, maxDecimals;
        const char* text;
    };
    const Case cases[] = {
        {1.6f, 3, 3, "1.600"},
        {12.5f, 1, 2, "12.5"},
        {12.25f, 1, 2, "12.25"},
        {12.0f, 1, 2, "12.0"},
        {113.0f, 1, 2, "113.0"},
        {113.01f, 1, 2, "113.01"},
        // 7.3 / 5.1 = 1.43137... -> 1.431; 5.405 / 4.913 = 1.10014... -> 1.1
        {7.3f / 5.1f, 1, 3, "1.431"},
        {5.405f / 4.913f, 1, 3, "1.1"},
        {2.675f, 1, 2, "2.68"}, // as written, not as the nearest binary value 2.67499995
        {0.9996f, 1, 3, "1.0"},
        {9.95f, 1, 1, "10.0"},
        {-0.04f, 1, 1, "0.0"},
        {-1.25f, 1, 1, "-1.3"},
        {0.0f, 3, 3, "0.000"},
        {1234567.0f, 1, 1, "1234567.0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatNumber(c.value, c.minDecimals, c.maxDecimals, '.'), c.text) << c.value;
    }
    EXPECT_EQ(formatNumber(12.25f, 1, 2, ','), "12,25");
    EXPECT_EQ(formatNumber(1.23456f, 1, 4, '.'), "1.2346"); // "0.0###"
    EXPECT_EQ(formatNumber(2.0f, 3, 3, ','), "2,000");      // "0.000"
}

TEST(CodePage, EveryByteRoundTripsThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    std::string back;
    EXPECT_TRUE(utf8ToCp1252(cp1252ToUtf8(all), back));
    EXPECT_EQ(back, all);
}

TEST(CodePage, MapsTheWindowsSpecificCharacters) {
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\xE2\x82\xAC"); // €
    EXPECT_EQ(cp1252ToUtf8("\xC5"), "\xC3\x85");     // Å
    EXPECT_EQ(cp1252ToUtf8("\x9A"), "\xC5\xA1");     // š
    std::string out;
    EXPECT_FALSE(utf8ToCp1252("\xC4\x8D", out)); // č is not in the code page
    EXPECT_EQ(out, "?");
    EXPECT_FALSE(utf8ToCp1252("a\xFF"
                              "b",
                              out)); // malformed UTF-8
    EXPECT_EQ(out, "a?b");
}

TEST(CodePage, UpperCaseCoversTheAccentedLetters) {
    EXPECT_EQ(upperCase("quartz"), "QUARTZ");
    EXPECT_EQ(upperCase("\xC3\xA5kermanite"), "\xC3\x85KERMANITE"); // åkermanite
    EXPECT_EQ(upperCase("\xC5\xA1"
                        "a\xC3\x9F"),
              "\xC5\xA0"
              "A\xC3\x9F");             // š -> Š, ß stays
    EXPECT_EQ(upperCp1252(0xE9), 0xC9); // é -> É
    EXPECT_EQ(upperCp1252(0xF7), 0xF7); // ÷ stays
}

TEST(ToPlainLetters, ConvertsOneKindOfCodePerCall) {
    struct Case {
        std::string text;
        std::string plain;
    };
    const std::vector<Case> cases = {
        {"@CKe@CKite", "cecite"},   // every occurrence of the code
        {"!SKa@RKite", "!SKarite"}, // the first "@" wins over an earlier "!"
        {"@XYa!CKb", "@XYa!CKb"},   // no code at the first "@": unchanged
        {"ab@C", "ab@C"},           // too short after the trigger
        {"@CKa@RK", "ca@RK"},       // only the first kind
        {"!CKech", "Cech"},         {"Gr@ODite", "Gr\xC3\xB6ite"}, // @OD shows as ö
        {"plain", "plain"},
    };
    for (Case c : cases) {
        std::string text = c.text;
        toPlainLetters(text);
        EXPECT_EQ(text, c.plain) << c.text;
    }
}
