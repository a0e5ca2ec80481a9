// Cards side by side: which rows differ, the lines they share, the reading of the cards from
// the bundled database, and the printed page.
#include <gtest/gtest.h>

#include <cmath>

#include "compare/card_compare.h"
#include "print/compare_print.h"

using namespace lithora;

namespace {

CardState card(int number, const std::string& name) {
    CardState s;
    s.currentCardNumber = number;
    s.currentName = name;
    s.currentRawName = name;
    s.currentDSpacings.fill(std::string(8, ' '));
    s.currentIntensities.fill(std::string(8, ' '));
    return s;
}

void setLines(CardState& s, const std::vector<std::pair<std::string, std::string>>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        s.currentDSpacings[i] = lines[i].first;
        s.currentIntensities[i] = lines[i].second;
    }
    s.currentDIPairs = "x"; // the card window shows lines only with pairs
}

const ComparisonRow& row(const CardComparison& c, std::string_view field) {
    for (const ComparisonRow& r : c.rows) {
        if (r.field == field) return r;
    }
    static const ComparisonRow none;
    ADD_FAILURE() << "no row " << field;
    return none;
}

bool hasRow(const CardComparison& c, std::string_view field) {
    for (const ComparisonRow& r : c.rows) {
        if (r.field == field) return true;
    }
    return false;
}

Session bundledSession() {
    Session session;
    session.data.dir = LITHORA_BUNDLED_DATA;
    EXPECT_TRUE(startUp(session).ok());
    return session;
}

} // namespace

TEST(CompareCardStates, ValuesAreComparedAsAReaderWould) {
    CardState a = card(1, "First");
    CardState b = card(2, "Second");
    a.currentDensityMeasured = "2.65";
    b.currentDensityMeasured = "2.650"; // the same number written longer
    a.currentElements = "Si O";
    b.currentElements = "O Si"; // the same elements in another order
    a.currentFormula = "SiO2";
    b.currentFormula = "SiO2 "; // blanks around do not count
    a.currentMohs = "7";
    b.currentMohs = "6.5";
    a.currentZ = "3"; // one card gives a value, the other none
    a.currentCell = "4.914 4.914 5.405 90 90 120";
    b.currentCell = "4.914  4.914 5.405 90 90 120"; // a run of blanks closed up
    a.currentSpaceGroup = "P3221";
    b.currentSpaceGroup = "p3221"; // letter case matters in a symbol

    const CardComparison c = compareCardStates({a, b}, '.');
    ASSERT_EQ(c.cards.size(), 2u);
    EXPECT_EQ(c.cards[0].card, 1);
    EXPECT_EQ(c.cards[1].name, "Second");
    EXPECT_FALSE(row(c, "SGm").differ);
    EXPECT_FALSE(row(c, "Elements").differ);
    EXPECT_FALSE(row(c, "Formula").differ);
    EXPECT_FALSE(row(c, "Unit Cell").differ);
    EXPECT_TRUE(row(c, "Mohs").differ);
    EXPECT_TRUE(row(c, "Z").differ);
    EXPECT_TRUE(row(c, "Space Group").differ);
    EXPECT_FALSE(row(c, "SGc").differ); // empty for both
    EXPECT_EQ(row(c, "Mohs").values, (std::vector<std::string>{"7", "6.5"}));
    for (const ComparisonRow& r : c.rows)
        EXPECT_EQ(r.values.size(), 2u) << r.field;
}

TEST(CompareCardStates, ElementListsAreSetsButOtherWordsKeepTheirOrder) {
    CardState a = card(1, "A");
    CardState b = card(2, "B");
    a.currentElements = "Ca C O";
    b.currentElements = "Ca C";
    a.currentCell = "5 6 7 90 90 90";
    b.currentCell = "6 5 7 90 90 90"; // a and b exchanged is another cell as typed
    const CardComparison c = compareCardStates({a, b}, '.');
    EXPECT_TRUE(row(c, "Elements").differ);
    EXPECT_TRUE(row(c, "Unit Cell").differ);
}

TEST(CompareCardStates, DecimalCommaAndNumbersAgainstWords) {
    CardState a = card(1, "A");
    CardState b = card(2, "B");
    CardState c3 = card(3, "C");
    a.currentDensityMeasured = "2,71";
    b.currentDensityMeasured = "2.710";
    c3.currentDensityMeasured = "2.71";
    a.currentMohs = "3.5-4";
    b.currentMohs = "3.5-4";
    c3.currentMohs = "3.5-4.0"; // a range is a word, compared as written
    const CardComparison c = compareCardStates({a, b, c3}, ',');
    EXPECT_FALSE(row(c, "SGm").differ);
    EXPECT_TRUE(row(c, "Mohs").differ);
}

TEST(CompareCardStates, DiffractionRowsFollowTheLongestListAndOpticsOnlyWhenGiven) {
    CardState a = card(1, "A");
    CardState b = card(2, "B");
    setLines(a, {{"3.343   ", "100     "}, {"4.255   ", "20      "}, {"1.818   ", "13      "}});
    setLines(b, {{"3.343", "100"}});
    CardComparison c = compareCardStates({a, b}, '.');
    EXPECT_TRUE(hasRow(c, "d / I 3"));
    EXPECT_FALSE(hasRow(c, "d / I 4"));
    EXPECT_FALSE(row(c, "d / I 1").differ);
    EXPECT_EQ(row(c, "d / I 1").values[0], "3.343 / 100");
    EXPECT_TRUE(row(c, "d / I 2").differ); // one card has no second line
    EXPECT_EQ(row(c, "d / I 2").values[1], "");
    EXPECT_FALSE(hasRow(c, "Optical Class"));

    b.currentOpticalRecord = "x";
    c = compareCardStates({a, b}, '.');
    EXPECT_TRUE(hasRow(c, "Optical Class"));
    EXPECT_TRUE(hasRow(c, "Birefringence"));
}

TEST(DiffractionLines, KeepOnlyPositiveNumbers) {
    CardState s = card(1, "A");
    setLines(s, {{"3.343", "100"},
                 {"        ", "50"},
                 {"junk", "10"},
                 {"-1.2", "5"},
                 {"2.5", ""},
                 {"1e999", "3"},
                 {"1,876", "7x"}});
    const std::vector<DiffractionLine> lines = diffractionLines(s);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_DOUBLE_EQ(lines[0].d, 3.343);
    EXPECT_DOUBLE_EQ(lines[0].intensity, 100);
    EXPECT_DOUBLE_EQ(lines[1].d, 2.5);
    EXPECT_DOUBLE_EQ(lines[1].intensity, 0); // no intensity given
    EXPECT_DOUBLE_EQ(lines[2].d, 1.876);     // a decimal comma reads as a point
    EXPECT_DOUBLE_EQ(lines[2].intensity, 0); // "7x" is no number
}

TEST(OverlappingLines, GroupsLinesOfDifferentCardsWithinTheTolerance) {
    CardComparison c;
    c.cards.resize(3);
    c.cards[0].lines = {{3.036, 100}, {2.500, 10}, {2.495, 5}};
    c.cards[1].lines = {{3.040, 80}, {1.877, 20}};
    c.cards[2].lines = {{3.050, 50}, {1.875, 30}, {4.000, 10}};
    const std::vector<LineOverlap> overlaps = overlappingLines(c, 0.005);
    // 2.495 and 2.500 are one card's own lines: no overlap. 1.875/1.877 are shared by cards 1
    // and 2; 3.036, 3.040 and 3.050 all lie within 0.5 % of 3.036.
    ASSERT_EQ(overlaps.size(), 2u);
    EXPECT_NEAR(overlaps[0].d, 1.876, 1e-9);
    EXPECT_EQ(overlaps[0].cards, (std::vector<int>{1, 2}));
    EXPECT_NEAR(overlaps[1].d, (3.036 + 3.040 + 3.050) / 3, 1e-9);
    EXPECT_EQ(overlaps[1].cards, (std::vector<int>{0, 1, 2}));

    // A tighter tolerance keeps 3.050 out: 3.036 and 3.040 remain.
    const std::vector<LineOverlap> tight = overlappingLines(c, 0.002);
    ASSERT_EQ(tight.size(), 2u);
    EXPECT_EQ(tight[1].cards, (std::vector<int>{0, 1}));

    EXPECT_TRUE(overlappingLines(CardComparison{}).empty());
    const auto [low, high] = comparisonDRange(c);
    EXPECT_LT(low, 1.875);
    EXPECT_GT(high, 4.0);
    EXPECT_EQ(comparisonDRange(CardComparison{}), std::make_pair(0.0, 0.0));
}

TEST(CompareCards, ReadsTheCardsWithoutTouchingTheCurrentOne) {
    Session session = bundledSession();
    ASSERT_TRUE(loadCard(session, 4550)); // quartz is current
    const std::vector<ListRow> rowsBefore = session.rows;
    const std::array<std::string, 4> statusBefore = session.status;

    // Calcite, aragonite and vaterite: three forms of CaCO3.
    const Result<CardComparison> result = compareCards(session, {814, 244, 5692});
    ASSERT_TRUE(result.ok()) << result.error().message;
    const CardComparison& c = result.value();
    ASSERT_EQ(c.cards.size(), 3u);
    EXPECT_EQ(c.cards[0].name, "Calcite");
    EXPECT_EQ(c.cards[1].name, "Aragonite");
    EXPECT_EQ(c.cards[2].name, "Vaterite");
    EXPECT_FALSE(row(c, "Formula").differ);
    EXPECT_EQ(row(c, "Formula").values[0], "Ca(CO3)");
    EXPECT_FALSE(row(c, "Elements").differ);
    EXPECT_TRUE(row(c, "Crystal System").differ);
    EXPECT_TRUE(row(c, "Space Group").differ);
    EXPECT_EQ(row(c, "Unit Cell").values[0], "4.988 4.988 17.068 90 90 120");
    EXPECT_EQ(c.cards[0].lines.size(), 8u);
    EXPECT_DOUBLE_EQ(c.cards[0].lines[0].d, 3.036);

    EXPECT_EQ(session.card.currentCardNumber, 4550);
    EXPECT_EQ(session.card.currentName, "Quartz");
    EXPECT_EQ(session.rows, rowsBefore);
    EXPECT_EQ(session.status, statusBefore);
}

TEST(CompareCards, ReadsEachCardAsMakingItCurrentWould) {
    Session session = bundledSession();
    for (const int number : {4550, 814, 1}) {
        const std::optional<CardState> read = cardStateOf(session, number);
        ASSERT_TRUE(read.has_value()) << number;
        ASSERT_TRUE(loadCard(session, number));
        EXPECT_EQ(read->currentName, session.card.currentName);
        EXPECT_EQ(read->currentFormula, session.card.currentFormula);
        EXPECT_EQ(read->currentCell, session.card.currentCell);
        EXPECT_EQ(read->currentDIPairs, session.card.currentDIPairs);
        EXPECT_EQ(read->currentReferences, session.card.currentReferences);
        EXPECT_EQ(read->currentOpticalRecord, session.card.currentOpticalRecord);
    }
    EXPECT_FALSE(cardStateOf(session, 0).has_value());
    EXPECT_FALSE(cardStateOf(session, 9999).has_value());
    EXPECT_FALSE(cardStateOf(session, -5).has_value());
}

TEST(CompareCards, RefusesWhatCannotBeCompared) {
    Session session = bundledSession();
    auto message = [&](const std::vector<int>& cards) {
        const Result<CardComparison> r = compareCards(session, cards);
        return r.ok() ? std::string("ok") : r.error().message;
    };
    EXPECT_EQ(message({814}), "a comparison takes 2 to 6 cards, not 1");
    EXPECT_EQ(message({1, 2, 3, 4, 5, 6, 7}), "a comparison takes 2 to 6 cards, not 7");
    EXPECT_EQ(message({814, 244, 814}), "card 814 is given twice");
    EXPECT_NE(message({814, 9999}).find("card 9999 is not in the database"), std::string::npos);
    EXPECT_NE(message({0, 814}).find("card 0 is not in the database"), std::string::npos);
    EXPECT_EQ(message({1, 2, 3, 4, 5, 6}), "ok");
}

namespace {

// Every character one unit wide, every line one unit high (the title two).
class FixedWidth : public TextMeasurer {
  public:
    double width(std::string_view text, const PrintFont&) const override {
        return static_cast<double>(text.size());
    }
    double lineHeight(const PrintFont& font) const override { return font.points > 10 ? 2.0 : 1.0; }
};

} // namespace

TEST(ComparisonPage, BoldMarksTheDifferencesAndNothingCrossesAPageBreak) {
    Session session = bundledSession();
    const Result<CardComparison> result = compareCards(session, {814, 244, 5692, 4550});
    ASSERT_TRUE(result.ok());
    const CardComparison& c = result.value();
    const double width = 400;
    const double height = 40; // short pages, so that the table runs over several
    const PrintPage page = layoutComparisonPage(c, width, height, FixedWidth{});

    // Every card's name and every value is printed somewhere, bold where the row differs.
    auto printed = [&](const std::string& text, bool bold) {
        for (const PrintItem& item : page.items) {
            if (item.kind == PrintItem::Kind::Text && item.text == text && item.font.bold == bold)
                return true;
        }
        return false;
    };
    for (const ComparedCard& card : c.cards)
        EXPECT_TRUE(printed(card.name, true)) << card.name;
    EXPECT_TRUE(printed("Ca(CO3)", true)); // the formula differs once quartz is there
    EXPECT_TRUE(printed("Crystallography", true));
    EXPECT_TRUE(printed(std::string(kComparisonTitle), true));

    int lines = 0;
    for (const PrintItem& item : page.items) {
        EXPECT_GE(item.x, 0);
        if (item.kind == PrintItem::Kind::Text) {
            // Within the page's width, and the whole line on one page.
            EXPECT_LE(item.x + static_cast<double>(item.text.size()), width) << item.text;
            const double lh = item.font.points > 10 ? 2.0 : 1.0;
            EXPECT_EQ(std::floor(item.y / height), std::floor((item.y + lh - 1e-9) / height))
                << item.text << " at " << item.y;
        } else {
            EXPECT_LE(std::max(item.x, item.x2), width);
            if (item.kind == PrintItem::Kind::Line) {
                ++lines;
                EXPECT_EQ(std::floor(item.y / height), std::floor(item.y2 / height));
            }
        }
    }
    // Four lanes of eight lines each at least, plus axes and ticks.
    EXPECT_GT(lines, 32);
    EXPECT_GT(page.bottom, height); // more than one page
}

TEST(AxisTicks, StepsOfOneTwoOrFive) {
    EXPECT_EQ(axisTicks(1.2, 4.3, 4), (std::vector<double>{2, 3, 4}));
    EXPECT_EQ(axisTicks(0, 10, 5), (std::vector<double>{0, 2, 4, 6, 8, 10}));
    const std::vector<double> fine = axisTicks(1.5, 1.9, 4);
    ASSERT_FALSE(fine.empty());
    EXPECT_NEAR(fine.front(), 1.5, 1e-9);
    EXPECT_NEAR(fine[1] - fine[0], 0.1, 1e-9);
    EXPECT_TRUE(axisTicks(3, 3, 5).empty());
    EXPECT_TRUE(axisTicks(3, 1, 5).empty());
    EXPECT_TRUE(axisTicks(0, std::nan(""), 5).empty());
    EXPECT_LE(axisTicks(0, 1e300, 1000000).size(), 101u);
}
