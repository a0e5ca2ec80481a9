// Rules behind the main window: the name field, the alphabetical jump, the command line,
// previous/next, the view modes.
#include <gtest/gtest.h>

#include "list/list_view.h"
#include "list/name_search.h"
#include "search/criterion_names.h"
#include "session/session.h"

using namespace lithora;

namespace {

std::vector<ListRow>
rowsNamed(const std::vector<std::pair<std::string, std::string>>& nameAndCard) {
    std::vector<ListRow> rows;
    for (const auto& [name, card] : nameAndCard) {
        ListRow r{};
        r[ColName] = name;
        r[ColCard] = card;
        rows.push_back(r);
    }
    return rows;
}

} // namespace

TEST(NameField, NumbersSelectCardsAndTwoLettersAName) {
    using Kind = NameFieldRequest::Kind;
    struct Case {
        const char* text;
        Kind kind;
        int card;
        const char* prefix;
    };
    const Case cases[] = {
        {"1", Kind::CardNumber, 1, ""},      {"12", Kind::CardNumber, 12, ""},
        {"12b", Kind::CardNumber, 12, ""},   {" 99 ", Kind::CardNumber, 99, ""},
        {"5001", Kind::Nothing, 0, ""}, // above the highest card number
        {"Q", Kind::Nothing, 0, ""},         {"", Kind::Nothing, 0, ""},
        {"qu", Kind::NamePrefix, 0, "QU"},   {"0x", Kind::NamePrefix, 0, "0X"},
        {"0.5", Kind::NamePrefix, 0, "0.5"}, // rounds to 0 (halves to even): no card
        {"1.5", Kind::CardNumber, 2, ""},
    };
    for (const Case& c : cases) {
        const NameFieldRequest r = parseNameField(c.text, 5000);
        EXPECT_EQ(r.kind, c.kind) << c.text;
        EXPECT_EQ(r.cardNumber, c.card) << c.text;
        EXPECT_EQ(r.prefix, c.prefix) << c.text;
    }
}

TEST(NameField, FindsByPrefixInTwoPasses) {
    // Row 2 folds to "EMERALDITE" (é -> e), row 3 begins with a capital É, which is not folded.
    const auto rows = rowsNamed({{"Quartz", "1"},
                                 {"\xC3\xA9meraldite", "2"},
                                 {"\xC3\x89mile", "3"},
                                 {"Orthoclase", "4"},
                                 {"Ema", "5"},
                                 {"\xC3\xB6rnite", "6"}});
    EXPECT_EQ(findNameRow(rows, "QU"), 1);
    EXPECT_EQ(findNameRow(rows, "EM"), 5);  // pass 1 wins over pass 2
    EXPECT_EQ(findNameRow(rows, "EME"), 2); // found only in pass 2
    EXPECT_EQ(findNameRow(rows, "\xC3\x89MI"), 3);
    EXPECT_EQ(findNameRow(rows, "EMI"), 0); // the capital É is not folded
    EXPECT_EQ(findNameRow(rows, "ORN"), 6); // ö folds to o
    EXPECT_EQ(findNameRow(rows, ""), 1);
    EXPECT_EQ(findNameRow(rows, "ZZ"), 0);
    EXPECT_EQ(findCardRow(rows, 4), 4);
    EXPECT_EQ(findCardRow(rows, 7), 0);
    EXPECT_EQ(foldedUpperName("Stra\xC3\x9F"
                              "e"),
              "STRABE"); // ß folds to b
}

TEST(NameField, AlphabeticalJumpTakesKeyCodes65To122) {
    EXPECT_EQ(alphabeticalJumpPrefix(65), "A");
    EXPECT_EQ(alphabeticalJumpPrefix(112), "P"); // F1
    EXPECT_EQ(alphabeticalJumpPrefix(97), "A");  // numeric keypad 1
    EXPECT_EQ(alphabeticalJumpPrefix(122), "Z");
    EXPECT_FALSE(alphabeticalJumpPrefix(64).has_value());
    EXPECT_FALSE(alphabeticalJumpPrefix(123).has_value());
    EXPECT_FALSE(alphabeticalJumpPrefix(40).has_value()); // an arrow key
}

TEST(CommandLine, NamesTheEntryToSelect) {
    EXPECT_EQ(commandLineArgument("  /i Quartz  "), "Quartz");
    EXPECT_EQ(commandLineArgument("/i"), "/i");
    EXPECT_EQ(commandLineArgument(""), "");
    EXPECT_EQ(nameFromCommandLineArgument("/i"), "");
    EXPECT_EQ(nameFromCommandLineArgument("Rose quartz"), "ROSE");
    EXPECT_EQ(nameFromCommandLineArgument("/home/me/cards/calcite.v2.txt"), "CALCITE");
    EXPECT_EQ(nameFromCommandLineArgument("C:\\Min\\pyrite.card"), "PYRITE");
    // A path with a blank in a directory name: the line is cut at its first blank, the rest
    // still ends in the file name.
    EXPECT_EQ(nameFromCommandLineArgument(commandLineArgument("/home/my files/halite.txt")),
              "HALITE");
}

TEST(Navigation, StepsStayWithinTheList) {
    EXPECT_EQ(steppedRow(1, -1, 9), 1);
    EXPECT_EQ(steppedRow(9, 1, 9), 9);
    EXPECT_EQ(steppedRow(4, 1, 9), 5);
    EXPECT_EQ(itemMessage(1, 9), "Item  1 / 9");

    Session session;
    session.rows = rowsNamed({{"A", "5"}, {"B", "17"}, {"C", "17"}, {"D", "20000"}});
    std::vector<bool> flags(30, false);
    flags[2] = true; // nothing is cleared
    getCurrentCardNumbers(session, flags);
    std::vector<bool> expected(30, false);
    expected[2] = expected[5] = expected[17] = true;
    EXPECT_EQ(flags, expected);
}

TEST(ListView, ModesSetWidthsCaptionAndCardWindow) {
    const ListViewLayout card = listViewLayout(0, kListWidthBesideCard, 0);
    EXPECT_EQ(card.frameCaption, "List View");
    EXPECT_TRUE(card.cardWindowShown);
    EXPECT_EQ(card.widths[ColName], 3000);
    EXPECT_EQ(card.widths[ColFormula], kWidthFitContents);
    EXPECT_EQ(card.widths[ColStatus], 800);
    EXPECT_EQ(card.widths[ColCard], 0);
    EXPECT_EQ(card.widths[ColNumber], kWidthUnchanged);

    const ListViewLayout xl = listViewLayout(1, 19200, 0);
    EXPECT_FALSE(xl.cardWindowShown);
    EXPECT_EQ(xl.widths[ColName], kWidthUnchanged);
    EXPECT_EQ(xl.widths[ColA], 1200);
    EXPECT_EQ(xl.widths[ColSpaceGr], 1200);
    EXPECT_EQ(xl.widths[ColCOverA], 0);

    // (19200 - 400) / 16 = 1175
    const ListViewLayout all = listViewLayout(3, 19200, 400);
    EXPECT_EQ(all.widths[ColName], 1175);
    EXPECT_EQ(all.widths[ColVolume], 1175);
    EXPECT_EQ(all.widths[ColCard], 1175);
    EXPECT_EQ(all.widths[ColStatus], 450);

    EXPECT_EQ(listViewLayout(7, 100, 0).frameCaption, "");
    int mode = 0;
    for (int i = 0; i < 5; ++i)
        mode = nextViewMode(mode);
    EXPECT_EQ(mode, 0);
}

TEST(CriterionNames, NameFieldsByIndexOrByName) {
    EXPECT_EQ(criterionField("tf5", "tf", formCriterionNames(), 44), 5);
    EXPECT_EQ(criterionField("space_group", "tf", formCriterionNames(), 44), 5);
    EXPECT_EQ(criterionField("d_tolerance", "tf", formCriterionNames(), 44), 33);
    EXPECT_EQ(criterionField("of47", "of", opticsCriterionNames(), 50), 47);
    EXPECT_EQ(criterionField("n_avg", "of", opticsCriterionNames(), 50), 47);
    EXPECT_FALSE(criterionField("tf44", "tf", formCriterionNames(), 44).has_value());
    EXPECT_FALSE(criterionField("tf-1", "tf", formCriterionNames(), 44).has_value());
    EXPECT_FALSE(criterionField("tf", "tf", formCriterionNames(), 44).has_value());
    EXPECT_FALSE(criterionField("n_avg", "tf", formCriterionNames(), 44).has_value());
}
