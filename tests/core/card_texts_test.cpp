// What the card window's fields show: pure functions of the current-card state.
#include <gtest/gtest.h>

#include "card/card_texts.h"

using namespace lithora;

namespace {

CardState withReferences(int count) {
    CardState s;
    s.currentReferences.assign(static_cast<std::size_t>(std::max(11, count + 2)), "");
    for (int i = 0; i < count; ++i) {
        s.currentReferences[static_cast<std::size_t>(i)] = "Author " + std::to_string(i + 1) +
                                                           " Title <i>[Journal " +
                                                           std::to_string(i + 1) + "]</i>";
    }
    s.currentReferenceCount = count;
    return s;
}

} // namespace

TEST(MainFieldTexts, ShowTheStateWithTheirLeadingBlanks) {
    CardState s;
    s.currentRawName = "Quartz";
    s.currentName = "Something else";
    s.currentSynonym = "Rock crystal";
    s.currentFormula = "SiO2";
    s.currentElements = "Si O";
    s.currentCrystalSystemCode = "H/T";
    s.currentSpaceGroup = "P3221  (154)";
    s.currentCell = "4.913  4.913 5.405 90 90 120";
    s.currentMohs = "7";
    s.currentZ = "3";
    s.currentGroup = "Quartz";
    s.currentStatus = "A";
    s.currentLastUpdated = "2026-12-06";
    const MainFieldTexts tf = mainFieldTexts(s);
    EXPECT_EQ(tf[0], " Quartz"); // no escape code in the stored name: the stored name shows
    EXPECT_EQ(tf[1], " Rock crystal");
    EXPECT_EQ(tf[2], " SiO2");
    EXPECT_EQ(tf[3], " Si      O"); // symbols six blanks apart
    EXPECT_EQ(tf[4], " H/T");
    EXPECT_EQ(tf[5], " P3221  (154)");
    EXPECT_EQ(tf[7], " 4.913");
    EXPECT_EQ(tf[8], "4.913");
    EXPECT_EQ(tf[9], "5.405");
    EXPECT_EQ(tf[10], " 90");
    EXPECT_EQ(tf[12], "120");
    EXPECT_EQ(tf[13], "7");
    EXPECT_EQ(tf[14], "3");
    EXPECT_EQ(tf[18], "Quartz");
    EXPECT_EQ(tf[41], " A");
    EXPECT_EQ(tf[42], " 2026-12-06");
    for (int i = 25; i <= 40; ++i)
        EXPECT_EQ(tf[static_cast<std::size_t>(i)], "") << i; // no d/I pairs
    EXPECT_EQ(tf[43], "");
}

TEST(MainFieldTexts, EscapedNamesShowTheConvertedName) {
    CardState s;
    s.currentRawName = "@CKechite";
    s.currentName = "cechite";
    EXPECT_EQ(mainFieldTexts(s)[0], " cechite");
    s.currentRawName = "Ab!x";
    s.currentName = "other";
    EXPECT_EQ(mainFieldTexts(s)[0], " other"); // any "!" or "@" picks the converted name
}

TEST(MainFieldTexts, ShortCellAndLinesLeaveFieldsEmpty) {
    CardState s;
    s.currentCell = "5.1 9.2";
    s.currentDIPairs = "3.34/100  4.26/35";
    s.currentDSpacings = {"3.34    ", "4.26    ", "        ", "        ",
                          "        ", "        ", "        ", "        "};
    s.currentIntensities = {"100     ", "35      ", "        ", "        ",
                            "        ", "        ", "        ", "        "};
    const MainFieldTexts tf = mainFieldTexts(s);
    EXPECT_EQ(tf[7], " 5.1");
    EXPECT_EQ(tf[8], "9.2");
    EXPECT_EQ(tf[9], "");
    EXPECT_EQ(tf[25], "3.34");
    EXPECT_EQ(tf[34], "35");
    EXPECT_EQ(tf[27], "");
}

TEST(ReferencePaging, ScrollBarFollowsTheCount) {
    struct Case {
        int count, extra, maximum;
        bool enabled;
    };
    const Case cases[] = {{0, 0, 1, false}, {3, 0, 1, false}, {4, 0, 2, true},
                          {7, 0, 5, true},  {7, 2, 7, true},  {1, 2, 3, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(referenceScrollMaximum(c.count, c.extra), c.maximum) << c.count << "+" << c.extra;
        EXPECT_EQ(referenceScrollEnabled(c.count), c.enabled) << c.count;
    }
}

TEST(ReferencePaging, PagesShowThreeReferencesInTwoLinesEach) {
    const CardState s = withReferences(7);
    const ReferencePage first = referencePage(s, 1);
    EXPECT_EQ(first.numbers, (std::array<std::string, 3>{"1", "2", "3"}));
    EXPECT_EQ(first.lines[0], " Author 1 Title ");
    EXPECT_EQ(first.lines[1], " Journal 1");
    const ReferencePage last = referencePage(s, 5);
    EXPECT_EQ(last.numbers, (std::array<std::string, 3>{"5", "6", "7"}));
    const ReferencePage lone = referencePage(s, 7); // with the compact layout's extra steps
    EXPECT_EQ(lone.numbers, (std::array<std::string, 3>{"7", "", ""}));
    EXPECT_EQ(lone.lines[2], "");

    const CardState two = withReferences(2);
    const ReferencePage page = referencePage(two, 1);
    EXPECT_EQ(page.numbers, (std::array<std::string, 3>{"1", "2", ""}));
    EXPECT_EQ(page.lines[4] + page.lines[5], "");
}

TEST(ReferencePaging, AReferenceWithoutMarkupShowsWholeInBothLines) {
    CardState s = withReferences(1);
    s.currentReferences[0] = "Plain text";
    const ReferencePage page = referencePage(s, 1);
    EXPECT_EQ(page.lines[0], " Plain text");
    EXPECT_EQ(page.lines[1], " Plain text");
}

TEST(OpticsFieldTexts, LaysOutTheRecord) {
    // Fields: 1 anisotropism "0" (blanked), 3 "1.6", 4 "0.0" (blanked), 8 "0.172", 18 two values,
    // 22 optical character, 23 class, 25 one value, 29 "2.5 (calc)", 31 "12.25", 33 two values.
    std::string record;
    std::array<std::string, 42> f;
    f[1] = "0";
    f[3] = "1.6";
    f[4] = "0.0";
    f[8] = "0.172";
    f[11] = "colourless";
    f[13] = "30\x1d"
            "40";
    f[18] = "1.658\x1d"
            "1.660";
    f[19] = "w";
    f[22] = "anisotropic";
    f[23] = "Uniaxial";
    f[25] = "1.486";
    f[28] = "Negative";
    f[29] = "2.5 (calc)";
    f[30] = "a\x1d"
            "b";
    f[31] = "12.25";
    f[33] = "8.1\x1d"
            "9.3";
    f[7] = "<5";
    for (std::size_t i = 0; i < f.size(); ++i)
        record += (i ? "|" : "") + f[i];
    const OpticsFieldTexts of = opticsFieldTexts(record, '.');
    EXPECT_EQ(of[15], "");
    EXPECT_EQ(of[47], "1.600");
    EXPECT_EQ(of[35], "");
    EXPECT_EQ(of[44], ""); // "<5" reads as 0 in a number field
    EXPECT_EQ(of[46], "0.172");
    EXPECT_EQ(of[3], "colourless");
    EXPECT_EQ(of[28], "30");
    EXPECT_EQ(of[29], "40");
    EXPECT_EQ(of[16], "1.658");
    EXPECT_EQ(of[17], "1.660");
    EXPECT_EQ(of[18], "w");
    EXPECT_EQ(of[2], "anisotropic");
    EXPECT_EQ(of[6], "Uniaxial");
    EXPECT_EQ(of[22], "1.486");
    EXPECT_EQ(of[23], "");
    EXPECT_EQ(of[8], "Negative");
    EXPECT_EQ(of[48], "2.5");
    EXPECT_EQ(of[49], "a\x1d"
                      "b"); // a single-value field keeps the separator
    EXPECT_EQ(of[45], "12.25");
    EXPECT_EQ(of[33], "8.1");
    EXPECT_EQ(of[34], "9.3");
    EXPECT_EQ(opticsFieldTexts(record, ',')[47], "1,600");
}

TEST(OpticsFieldTexts, ShortAndOverlongRecords) {
    const OpticsFieldTexts two = opticsFieldTexts("x|weak", '.');
    for (std::size_t i = 0; i < two.size(); ++i)
        EXPECT_EQ(two[i], i == 15 ? "weak" : "") << i;
    EXPECT_EQ(opticsFieldTexts("x|0.00", '.')[15], "0.00"); // only "0" and "0.0" are blanked
    std::string many = "x|y";
    for (int i = 0; i < 60; ++i)
        many += "|9";
    EXPECT_EQ(opticsFieldTexts(many, '.')[45], "9.0"); // field 31 of an overlong record
    EXPECT_EQ(opticsFieldTexts("", '.')[15], "");
}
