// Bad typed input against the core: every text of bad_texts.h in every criterion field of the
// card-form and optics searches, in the text search under each category, as the element limit
// and in the name field, on the packed mini fixture. Its entries (tests/fixtures/mini):
// Albite, Akermanite, Calcite, cechite, Feldspar, Garnet, Monoclinite, Zeolite-X, Zalum.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "bad_texts.h"
#include "list/name_search.h"
#include "search/element_search.h"
#include "search/search_run.h"
#include "search/text_search.h"
#include "support/test_support.h"
#include "text/numeric.h"

using namespace lithora;
using namespace lithora::test;
using namespace lithora::input_test;

namespace {

using Names = std::vector<std::string>;

const Names kAllNames = {"Albite", "Akermanite",  "Calcite",   "cechite", "Feldspar",
                         "Garnet", "Monoclinite", "Zeolite-X", "Zalum"};

class InputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        session.data = packInto(readFixtureSource("mini"), dir.path());
        ASSERT_TRUE(startUp(session).ok());
        ASSERT_EQ(listed(), kAllNames);
    }

    Names listed() const {
        Names out;
        for (const ListRow& r : session.rows)
            out.push_back(r[ColName]);
        return out;
    }
    Names names(const SearchOutcome& outcome) {
        last = outcome;
        return outcome.end == SearchEnd::Matches ? listed() : Names{};
    }
    // A search over the whole database; the list is put back to every entry afterwards.
    Names form(const std::vector<std::pair<int, std::string>>& typed, bool orCombination = false) {
        FormCriterionTexts texts;
        for (const auto& [i, text] : typed)
            texts[static_cast<std::size_t>(i)] = text;
        return restoring(runCardFormSearch(session, texts, {orCombination, true}, nullptr));
    }
    Names optics(const std::vector<std::pair<int, std::string>>& typed) {
        OpticsCriterionTexts texts;
        for (const auto& [i, text] : typed)
            texts[static_cast<std::size_t>(i)] = text;
        return restoring(runOpticsSearch(session, texts, {false, true}, nullptr));
    }
    Names text(const std::string& keywords, int category, int limit = 0) {
        return restoring(runTextSearch(session, keywords, category, "", limit));
    }
    Names restoring(const SearchOutcome& outcome) {
        Names found = names(outcome);
        if (outcome.end == SearchEnd::Matches) {
            EXPECT_TRUE(getFullList(session, "").ok());
        }
        return found;
    }

    TempDir dir;
    Session session;
    SearchOutcome last;
};

std::string describe(const BadText& t) {
    return "text \"" + t.label + "\"";
}

// The end every search should come to for a text, in a field that takes it as the only
// criterion: blanks are no criterion, and nothing a record cannot hold finds anything.
void expectEnd(const SearchOutcome& outcome, const BadText& t, const std::string& where) {
    SCOPED_TRACE(describe(t) + " in " + where);
    EXPECT_NE(outcome.end, SearchEnd::Failed) << outcome.message;
    switch (t.kind) {
    case TextKind::Blank:
        EXPECT_EQ(outcome.end, SearchEnd::NoCriteria);
        EXPECT_EQ(outcome.message, "No criteria entered!");
        break;
    case TextKind::Foreign:
    case TextKind::Long:
        EXPECT_EQ(outcome.end, SearchEnd::NoMatches);
        EXPECT_EQ(outcome.message, "No Matches found");
        break;
    case TextKind::Garbled:
        EXPECT_TRUE(outcome.end == SearchEnd::Matches || outcome.end == SearchEnd::NoMatches);
        break;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The card-form search

TEST_F(InputTest, EveryTextInEveryCardFieldEndsSensibly) {
    const auto start = std::chrono::steady_clock::now();
    for (const BadText& t : badTexts()) {
        if (t.kind == TextKind::Blank || t.kind == TextKind::Foreign) {
            // Blanks and foreign texts come to the same end in each field alone: typed into all
            // of them at once, OR finds no field they hit, AND no entry they all hit.
            FormCriterionTexts texts;
            texts.fill(t.text);
            texts[kDToleranceField].clear(); // a tolerance of 1.1 widens the d fields: alone below
            for (const bool orCombination : {true, false}) {
                const SearchOutcome outcome =
                    runCardFormSearch(session, texts, {orCombination, true}, nullptr);
                expectEnd(outcome, t, orCombination ? "every field, OR" : "every field, AND");
                EXPECT_EQ(listed(), kAllNames); // the list stays as it was
            }
            continue;
        }
        if (t.kind == TextKind::Long) continue; // below
        for (int field = 0; field < kFormCriterionCount; ++field) {
            FormCriterionTexts texts;
            texts[static_cast<std::size_t>(field)] = t.text;
            const SearchOutcome outcome = runCardFormSearch(session, texts, {false, true}, nullptr);
            expectEnd(outcome, t, "tf(" + std::to_string(field) + ")");
            if (outcome.end == SearchEnd::Matches) {
                ASSERT_TRUE(getFullList(session, "").ok());
            } else {
                EXPECT_EQ(listed(), kAllNames);
            }
        }
    }
    for (const BadText& t : badTexts()) {
        if (t.kind == TextKind::Garbled) continue;
        // Alone, in a field of every kind: text, formula, number and symbol, cell, number,
        // multi-line text, d-spacing, d tolerance. (A long text takes its time to convert under
        // the sanitizers in each field it is typed into.)
        for (const int field : {0, 2, 5, 7, 13, 23, 25, 33}) {
            FormCriterionTexts texts;
            texts[static_cast<std::size_t>(field)] = t.text;
            expectEnd(runCardFormSearch(session, texts, {false, true}, nullptr), t,
                      "tf(" + std::to_string(field) + ") alone");
        }
    }
    // No text may make a search crawl: some 1,100 searches of nine entries, 100,000-character
    // texts among them, finish well within this even under the sanitizers.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(form({{0, "cal"}}), Names{"Calcite"}); // a sound search afterwards
}

TEST_F(InputTest, BlankFieldsBesideACriterionAreNoCriteria) {
    // A stray tab or line break in one field must not make an AND search fail.
    EXPECT_EQ(form({{0, "cal"}, {23, "\t"}, {24, "\r\n"}, {13, " \u00A0 "}}), Names{"Calcite"});
    EXPECT_EQ(form({{0, "\tcal\n"}}), Names{"Calcite"});             // trimmed like blanks
    EXPECT_EQ(form({{25, "3.1"}, {33, "\t"}}), Names{"Akermanite"}); // a blank d tolerance: 0.05
}

TEST_F(InputTest, CharactersTheRecordsCannotHoldFindNothing) {
    // Records hold Windows-1252 only. A character outside it used to become "?" and then found
    // every field with a question mark in it: formulas such as "Na4Mn14O27·21H2O (?)".
    SourceSet set = readFixtureSource("mini");
    set.entries[0].cells[FieldFormula] = "NaAlSi3O8 (?)"; // Albite's
    set.entries[0].cells[FieldTypeLocality] = "Sweden ?";
    TempDir other;
    Session s;
    s.data = packInto(set, other.path());
    ASSERT_TRUE(startUp(s).ok());
    for (const std::string& foreign : {std::string("\u03B1"), std::string("\u77F3"),
                                       std::string("\U0001F48E"), std::string("\xFF")}) {
        SCOPED_TRACE(foreign);
        FormCriterionTexts texts;
        texts[2] = foreign; // Formula
        EXPECT_EQ(runCardFormSearch(s, texts, {false, true}, nullptr).end, SearchEnd::NoMatches);
        texts[2].clear();
        texts[23] = "Sweden " + foreign; // Type locality
        EXPECT_EQ(runCardFormSearch(s, texts, {false, true}, nullptr).end, SearchEnd::NoMatches);
        EXPECT_EQ(runTextSearch(s, foreign, CategoryLocality, "", 0).end, SearchEnd::NoMatches);
    }
    // A question mark typed as such still finds them.
    FormCriterionTexts texts;
    texts[2] = "(?)";
    const SearchOutcome typed = runCardFormSearch(s, texts, {false, true}, nullptr);
    ASSERT_EQ(typed.end, SearchEnd::Matches);
    EXPECT_EQ(s.rows.size(), 1u);
    EXPECT_EQ(s.rows[0][ColName], "Albite");
    EXPECT_EQ(runTextSearch(s, "?", CategoryLocality, "", 0).matchCount, 1);
    // And a character Windows-1252 has keeps matching (é is 0xE9 there, Å 0xC5).
    EXPECT_EQ(form({{0, "\u00C5KERM"}}), Names{"Akermanite"});
}

TEST_F(InputTest, NumbersWithGarbageReadAsTheNumberTheyBeginWith) {
    // The numeric value rule: an optional sign, digits and one point; reading stops at the
    // first other character, a second sign or point included; no number reads 0.
    struct Case {
        int field;
        std::string garbled;
        std::string clean;
    };
    const Case cases[] = {
        {13, "3e39", "3"},    {13, "3e-39", "3"},     {13, "3,5", "3"},
        {13, "3..5", "3"},    {13, "3-", "3"},        {13, "3+-", "3"},
        {13, "6NaN", "6"},    {7, "4.99e39", "4.99"}, {7, "7.835.5", "7.835"},
        {25, "3.1e5", "3.1"}, {25, "3.1,5", "3.1"},   {16, "2.66inf", "2.66"},
        {14, "6\u00B1", "6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("tf(" + std::to_string(c.field) + ") = " + c.garbled);
        const Names clean = form({{c.field, c.clean}});
        EXPECT_FALSE(clean.empty()); // else the comparison proves nothing
        EXPECT_EQ(form({{c.field, c.garbled}}), clean);
    }
    // What reads as no positive number hits nothing, and under AND still counts as typed.
    for (const char* none : {"1e39", "-3", "+-3", "--3", "-", ".", "NaN", "inf", "\u00B1", "+-"}) {
        SCOPED_TRACE(none);
        EXPECT_EQ(form({{13, none}}), Names{});             // Mohs
        EXPECT_EQ(form({{7, none}}), Names{});              // cell edge a: 1e39 reads 1 Å
        EXPECT_EQ(form({{0, "cal"}, {13, none}}), Names{}); // counted, never hit
        EXPECT_EQ(form({{0, "cal"}, {13, none}}, true), Names{"Calcite"});
    }
    // The d tolerance: no number gives the default 0.05; a number with garbage is that number.
    EXPECT_EQ(form({{25, "3.1"}, {33, "NaN"}}), Names{"Akermanite"});
    EXPECT_EQ(form({{25, "3.1"}, {33, "0.02e39"}}), Names{});
    EXPECT_EQ(form({{25, "3.03"}, {33, "0.02,9"}}), Names{"Calcite"});
    // Beyond single precision reads 0 as well; a hundred thousand digits are no trouble.
    EXPECT_EQ(numericValue(repeated("9", 100000)), 0.0f);
    EXPECT_FLOAT_EQ(numericValue(repeated("1.", 100000)), 1.1f);
    EXPECT_EQ(form({{13, repeated("3", 100000)}}), Names{});
}

TEST_F(InputTest, TheSearchStaysUsableWithinTheCurrentList) {
    ASSERT_TRUE(loadGroup(session, "Garnet").ok());
    const std::size_t rows = session.rows.size();
    int asked = 0;
    for (const BadText& t : badTexts()) {
        FormCriterionTexts texts;
        texts[0] = t.text;
        const SearchOutcome outcome =
            runCardFormSearch(session, texts, {false, false}, [&](std::string_view) {
                ++asked;
                return false;
            });
        SCOPED_TRACE(describe(t));
        EXPECT_NE(outcome.end, SearchEnd::Failed);
        if (outcome.end != SearchEnd::Matches) {
            EXPECT_EQ(session.rows.size(), rows);
        }
        if (outcome.end == SearchEnd::Matches) {
            ASSERT_TRUE(loadGroup(session, "Garnet").ok());
        }
    }
    EXPECT_GT(asked, 0); // texts that found nothing in the group asked to widen
    FormCriterionTexts texts;
    texts[0] = "mono";
    EXPECT_EQ(runCardFormSearch(session, texts, {false, false}, nullptr).end, SearchEnd::Matches);
    EXPECT_EQ(listed(), Names{"Monoclinite"});
}

// ---------------------------------------------------------------------------------------------
// The optics search

TEST_F(InputTest, EveryTextInEveryOpticsFieldEndsSensibly) {
    for (const BadText& t : badTexts()) {
        if (t.kind == TextKind::Long) {
            for (const int field : {2, 8, 15, 33, 47}) { // text, sign, text, two values, number
                OpticsCriterionTexts texts;
                texts[static_cast<std::size_t>(field)] = t.text;
                expectEnd(runOpticsSearch(session, texts, {false, true}, nullptr), t,
                          "of(" + std::to_string(field) + ")");
            }
            continue;
        }
        if (t.kind != TextKind::Garbled) {
            OpticsCriterionTexts texts;
            texts.fill(t.text);
            for (const bool orCombination : {true, false}) {
                expectEnd(runOpticsSearch(session, texts, {orCombination, true}, nullptr), t,
                          orCombination ? "every optics field, OR" : "every optics field, AND");
            }
            texts = {};
            texts[47] = t.text; // n average alone
            expectEnd(runOpticsSearch(session, texts, {false, true}, nullptr), t, "of(47)");
            continue;
        }
        for (int field = 0; field < kOpticsCriterionCount; ++field) {
            OpticsCriterionTexts texts;
            texts[static_cast<std::size_t>(field)] = t.text;
            const SearchOutcome outcome = runOpticsSearch(session, texts, {false, true}, nullptr);
            expectEnd(outcome, t, "of(" + std::to_string(field) + ")");
            if (outcome.end == SearchEnd::Matches) {
                ASSERT_TRUE(getFullList(session, "").ok());
            }
        }
    }
    EXPECT_EQ(optics({{47, "1.6"}}), Names{"Calcite"});
}

TEST_F(InputTest, OpticsSignsAndNumbersWithGarbage) {
    // A sign field reads "+" as positive and "-" as negative wherever they stand.
    EXPECT_EQ(optics({{8, "1-"}}), Names{"Calcite"}); // Calcite is optically negative
    EXPECT_EQ(optics({{8, "--"}}), Names{"Calcite"});
    EXPECT_EQ(optics({{8, "+-"}}), Names{});               // "+" comes first: positive
    EXPECT_EQ(optics({{8, "\u00B1"}}), Names{});           // ± is neither sign
    EXPECT_EQ(optics({{8, "\u2212"}}), Names{});           // nor is the minus sign U+2212
    EXPECT_EQ(optics({{47, "1.6e39"}}), Names{"Calcite"}); // n 1.6 within 1 %
    EXPECT_EQ(optics({{47, "1.6.5"}}), Names{"Calcite"});
    EXPECT_EQ(optics({{47, "1,6"}}), Names{});   // reads 1
    EXPECT_EQ(optics({{47, "+-1.6"}}), Names{}); // reads 0
}

// ---------------------------------------------------------------------------------------------
// The text and unit-cell search

TEST_F(InputTest, EveryTextInEveryTextCategoryEndsSensibly) {
    for (const BadText& t : badTexts()) {
        for (int category = 0; category < kTextCategoryCount; ++category) {
            const std::string where =
                std::string(kTextCategories[static_cast<std::size_t>(category)]);
            // A unit cell needs six values: a short text stands for each of them.
            std::string keywords = t.text;
            if (category == CategoryUnitCell && t.kind != TextKind::Blank &&
                t.kind != TextKind::Long) {
                for (int i = 0; i < 5; ++i)
                    keywords += " " + t.text;
            }
            const SearchOutcome outcome = runTextSearch(session, keywords, category, "", 0);
            if (outcome.title == kUnitCellTitle) {
                // Tolerance keywords alone ("+-", "1+-") leave no cell value at all; a long
                // text of one word is a single value.
                EXPECT_TRUE(t.text.find("+-") != std::string::npos ||
                            (t.kind == TextKind::Long && t.text.find(' ') == std::string::npos))
                    << describe(t);
                EXPECT_EQ(outcome.end, SearchEnd::NoCriteria);
            } else {
                expectEnd(outcome, t, where);
            }
            if (outcome.end == SearchEnd::Matches) {
                ASSERT_TRUE(getFullList(session, "").ok());
            } else {
                EXPECT_EQ(listed(), kAllNames);
            }
        }
    }
    EXPECT_EQ(text("garnet", CategoryGroup), (Names{"Garnet", "Monoclinite"}));
}

TEST_F(InputTest, AOneWordUnitCellIsRefusedWithItsMessage) {
    for (const char* word : {"1e39", "\u03B1", "NaN", "+-", "1..2"}) {
        SCOPED_TRACE(word);
        EXPECT_EQ(text(word, CategoryUnitCell), Names{});
        EXPECT_EQ(last.end, SearchEnd::NoCriteria);
        EXPECT_EQ(last.title, "Unit Cell Search");
    }
    EXPECT_EQ(text(repeated("1.", 100000), CategoryUnitCell), Names{}); // one long word
    EXPECT_EQ(last.title, "Unit Cell Search");
}

TEST_F(InputTest, BlankKeywordsAreNoCriterionInTheTextSearch) {
    // Without a keyword every entry whose field is not empty used to pass.
    for (const char* blank : {"", "   ", "\t", "\r\n", "\u3000"}) {
        SCOPED_TRACE(blank);
        EXPECT_EQ(text(blank, CategoryGroup), Names{});
        EXPECT_EQ(last.end, SearchEnd::NoCriteria);
        EXPECT_EQ(last.message, "No criteria entered!");
        EXPECT_EQ(last.title, "Text Search");
        EXPECT_EQ(listed(), kAllNames);
    }
    // A tolerance alone is a keyword as typed: every entry with a group passes.
    EXPECT_EQ(text("+-", CategoryGroup).size(), 8u);
}

TEST_F(InputTest, AToleranceKeywordAnywhereLeavesTheCellValuesInPlace) {
    const Names calcite{"Calcite"};
    EXPECT_EQ(text("4.99 4.99 17.06 90 90 120 +-0.1", CategoryUnitCell), calcite);
    // Typed first, the tolerance used to push every value one place on.
    EXPECT_EQ(text("+-0.1 4.99 4.99 17.06 90 90 120", CategoryUnitCell), calcite);
    EXPECT_EQ(text("4.99 4.99 +-0.1 17.06 0 0 0", CategoryUnitCell), calcite);
    // The tolerance is no cell value: five values and a tolerance are five values.
    EXPECT_EQ(text("4.99 4.99 17.06 0 0 +-0.1", CategoryUnitCell), Names{});
    EXPECT_EQ(last.title, "Unit Cell Search");
    // The rule of numbers holds for the tolerance and the values alike.
    EXPECT_EQ(text("4.99e39 4.99 17.06 0 0 0 +-0.1,5", CategoryUnitCell), calcite);
    EXPECT_EQ(text("3.03 2.29 0.01+-", CategoryDSpacings), calcite); // tolerance 0.01
    EXPECT_EQ(text("3.03 2.29 1+-", CategoryDSpacings).size(), 3u);  // tolerance 1: three
    EXPECT_EQ(text("3e39", CategoryMohs), calcite);
    EXPECT_EQ(text("2.61,0", CategorySpecGravity), Names{"Albite"});
    EXPECT_EQ(text("1e39", CategorySpgNumber), Names{});
    EXPECT_EQ(text("-3", CategoryMohs), Names{});
    // A negative or absent tolerance: "+--1" reads -1, nothing lies within it.
    EXPECT_EQ(text("3 +--1", CategoryMohs), Names{});
    EXPECT_EQ(text("3 +-", CategoryMohs), calcite); // no number: the category's default
}

TEST_F(InputTest, EveryTextAsACellInAnySettingEndsSensibly) {
    // Each text as all six values, and in place of one value of calcite's cell.
    const std::vector<std::string_view> refusals = {kNoCriteriaMessage, kUnitCellMessage,
                                                    kAnySettingValuesMessage, kNoCellMessage};
    for (const BadText& t : badTexts()) {
        std::string six = t.text;
        if (t.kind != TextKind::Long) {
            for (int i = 0; i < 5; ++i)
                six += " " + t.text;
        }
        for (const std::string& typed :
             {six, "4.99 4.99 " + t.text + " 90 90 120", "4.99 4.99 17.06 90 90 120 " + t.text}) {
            const SearchOutcome o = runTextSearch(session, typed, CategoryUnitCell, "", 0, true);
            SCOPED_TRACE(describe(t) + " in \"" + typed.substr(0, 60) + "\"");
            if (o.end == SearchEnd::NoCriteria) {
                EXPECT_NE(std::find(refusals.begin(), refusals.end(), o.message), refusals.end())
                    << o.message;
            } else {
                EXPECT_TRUE(o.end == SearchEnd::Matches || o.end == SearchEnd::NoMatches)
                    << static_cast<int>(o.end);
            }
            // Characters no cell holds can only leave calcite's five sound values to match.
            if (o.end == SearchEnd::Matches) {
                EXPECT_NE(t.kind, TextKind::Foreign);
                ASSERT_TRUE(getFullList(session, "").ok());
            } else {
                EXPECT_EQ(listed(), kAllNames);
            }
        }
    }
}

TEST_F(InputTest, CellsAtTheEdgeOfTheLimitsInAnySettingEnd) {
    // Nearly flat, nearly a needle, at the smallest and largest edges: each is reduced and
    // searched, or refused with the cell message, and none may hang or find by accident.
    const char* cells[] = {
        "5 5 5 60 60 119.999",
        "5 5 5 179.99 90 90",
        "5 5 5 0.001 90 90",
        "0.1 0.1 10000 90 90 90",
        "10000 10000 10000 1 1 1",
        "0.1 0.1 0.1 120 120 119.99",
        "1e-30 5 5 90 90 90",
        "5 5 5 90 90 90 +-1e39",
        "5 5 5 90 90 90 +--1",
        "nan nan nan nan nan nan",
        "inf inf inf 90 90 90",
        "5 5 5 90 90 90 +-nan",
        "4.99 4.99 17.06 90 90 120 F F",
        "4.99 4.99 17.06 90 90 120 Q",
    };
    for (const char* typed : cells) {
        SCOPED_TRACE(typed);
        const SearchOutcome o = runTextSearch(session, typed, CategoryUnitCell, "", 0, true);
        EXPECT_NE(o.end, SearchEnd::Failed);
        EXPECT_EQ(o.title, o.end == SearchEnd::NoCriteria ? kUnitCellTitle : kTextSearchTitle);
        if (o.end == SearchEnd::Matches) {
            ASSERT_TRUE(getFullList(session, "").ok());
        }
    }
    // The hexagonal cell of calcite and its rhombohedral primitive cell still find it.
    EXPECT_EQ(restoring(runTextSearch(session, "6.37 6.37 6.37 46.1 46.1 46.1", CategoryUnitCell,
                                      "", 0, true)),
              Names{"Calcite"});
    EXPECT_EQ(restoring(runTextSearch(session, "R 4.99 4.99 17.06 90 90 120", CategoryUnitCell, "",
                                      0, true)),
              Names{"Calcite"});
}

// ---------------------------------------------------------------------------------------------
// The element limit

TEST_F(InputTest, TheElementLimitReadsTheNumericValueRule) {
    // Calcium required, every element possible: Akermanite has four elements, Calcite three.
    auto search = [&](std::string_view typed) {
        ElementSelection s;
        s.applyPreset(3);
        s.require(atomicNumber("Ca"));
        return restoring(runElementSearch(session, s, elementLimit(typed)));
    };
    const Names both{"Akermanite", "Calcite"};
    const Names calcite{"Calcite"};
    EXPECT_EQ(search("0"), both);
    EXPECT_EQ(search("3"), calcite);
    for (const char* three : {"3e39", "3,5", "3..5", "3-", "3+-", "3.4", "3 "})
        EXPECT_EQ(search(three), calcite) << three;
    for (const char* none : {"", "NaN", "inf", "-", ".", "+-", "\u00B1", "\u03B1", "*", "   "})
        EXPECT_EQ(search(none), both) << none; // no number: no limit
    for (const char* negative : {"-1e39", "-3", "-0.6"})
        EXPECT_EQ(search(negative), both) << negative; // a negative limit limits nothing
    EXPECT_EQ(search("1e39"), Names{});                // one element: none has so few
    EXPECT_EQ(last.message, "No Matches found");
    EXPECT_EQ(search(repeated("9", 100000)), both); // beyond every limit: read as no number
    EXPECT_EQ(search("99999"), both);
    EXPECT_EQ(elementLimit("32767"), 32767);
    EXPECT_EQ(elementLimit("40000"), 0); // beyond what the field took: no limit
}

// ---------------------------------------------------------------------------------------------
// The name field, the card-number lookup and the alphabetical jump

TEST_F(InputTest, TheNameFieldFindsNothingForTextsNoNameBeginsWith) {
    const int max = session.maxCardNumber;
    ASSERT_EQ(max, 9999);
    for (const BadText& t : badTexts()) {
        SCOPED_TRACE(describe(t));
        const NameFieldRequest r = parseNameField(t.text, max);
        if (r.kind == NameFieldRequest::Kind::CardNumber) {
            // Only texts that begin with a number from 1 to 9999 name a card.
            EXPECT_TRUE(t.kind == TextKind::Garbled || t.kind == TextKind::Long);
            EXPECT_EQ(r.cardNumber, 1);
        } else if (r.kind == NameFieldRequest::Kind::NamePrefix) {
            EXPECT_EQ(findNameRow(session.rows, r.prefix), 0) << r.prefix.size();
        }
        if (t.kind == TextKind::Blank && t.text.find_first_not_of(' ') == std::string::npos) {
            EXPECT_EQ(r.kind, NameFieldRequest::Kind::Nothing);
        }
    }
}

TEST_F(InputTest, TheNameFieldReadsCardNumbersByTheNumericValueRule) {
    struct Case {
        std::string typed;
        NameFieldRequest::Kind kind;
        int card;
    };
    using K = NameFieldRequest::Kind;
    const Case cases[] = {
        {"1e39", K::CardNumber, 1},
        {"1e-39", K::CardNumber, 1},
        {"1+-", K::CardNumber, 1},
        {"1-", K::CardNumber, 1},
        {"1..2", K::CardNumber, 1},
        {"1,5", K::CardNumber, 1},
        {"108e39", K::CardNumber, 108},
        {"300..5", K::CardNumber, 300},
        {repeated("1.", 100000), K::CardNumber, 1}, // reads 1.1
        {"-1e39", K::NamePrefix, 0},
        {"+-1", K::NamePrefix, 0},
        {"NaN", K::NamePrefix, 0},
        {"inf", K::NamePrefix, 0},
        {"--", K::NamePrefix, 0},
        {"+-", K::NamePrefix, 0},
        {"10000", K::Nothing, 0},
        {"1e39e39", K::CardNumber, 1},
        {repeated("1234567890", 100000), K::NamePrefix, 0}, // too large: no number
        {"-", K::Nothing, 0},
        {".", K::Nothing, 0},
        {"*", K::Nothing, 0},
        {"%", K::Nothing, 0},
        {"'", K::Nothing, 0},
        {"\"", K::Nothing, 0},
        {"\u00B1", K::Nothing, 0},
        {"\U0001F48E", K::Nothing, 0},
        {"   ", K::Nothing, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.substr(0, 20));
        const NameFieldRequest r = parseNameField(c.typed, session.maxCardNumber);
        EXPECT_EQ(r.kind, c.kind);
        if (c.kind == K::CardNumber) {
            EXPECT_EQ(r.cardNumber, c.card);
            EXPECT_GT(findCardRow(session.rows, c.card), 0);
        }
        if (c.kind == K::NamePrefix) {
            EXPECT_EQ(findNameRow(session.rows, r.prefix), 0);
        }
    }
    // A sound lookup after all of them.
    EXPECT_EQ(findNameRow(session.rows, parseNameField("zal", session.maxCardNumber).prefix), 9);
}

TEST_F(InputTest, TheAlphabeticalJumpTakesLettersOnly) {
    for (int code : {-1, 0, 9, 13, 27, 32, 64, 123, 127, 255, 256, 1046, 0x1F48E, 1 << 30}) {
        SCOPED_TRACE(code);
        EXPECT_FALSE(alphabeticalJumpPrefix(code).has_value());
    }
    EXPECT_EQ(alphabeticalJumpPrefix('z'), "Z");
    EXPECT_EQ(findNameRow(session.rows, *alphabeticalJumpPrefix('z')), 8); // Zeolite-X
    EXPECT_EQ(findNameRow(session.rows, *alphabeticalJumpPrefix('`')), 0); // 96: no name
}

TEST_F(InputTest, TheCommandLineNameTakesAnyText) {
    for (const BadText& t : badTexts()) {
        SCOPED_TRACE(describe(t));
        const std::string name = nameFromCommandLineArgument(commandLineArgument("/i " + t.text));
        EXPECT_LE(name.size(), t.text.size() + 2);
        if (!name.empty()) {
            EXPECT_EQ(findNameRow(session.rows, name), 0);
        }
    }
}
