// The printed card's layout, measured with a fixed-width font: every character 1 unit wide
// (bold and large alike), every line 1 unit high (2 for the double-size name).
#include <gtest/gtest.h>

#include "print/card_print.h"

using namespace lithora;

namespace {

class FixedWidth : public TextMeasurer {
  public:
    double width(std::string_view text, const PrintFont&) const override {
        return static_cast<double>(text.size());
    }
    double lineHeight(const PrintFont& font) const override { return font.points > 10 ? 2.0 : 1.0; }
};

double measure(std::string_view text) {
    return static_cast<double>(text.size());
}

// Page width 200: margin 10, value column at 10 + 20 = 30, value width 200 - 30 - 20 = 150.
constexpr double kWidth = 200;

const PrintItem* find(const PrintPage& page, std::string_view text) {
    for (const PrintItem& item : page.items) {
        if (item.text == text) return &item;
    }
    return nullptr;
}

} // namespace

TEST(WrapText, BreaksBetweenWordsOnly) {
    EXPECT_EQ(wrapText("short text", 20, measure), (std::vector<std::string>{"short text"}));
    // "aaa bbb " + " " + "ccc" is 12 > 10: the line breaks after bbb (keeping its blank).
    EXPECT_EQ(wrapText("aaa bbb ccc ddd", 10, measure),
              (std::vector<std::string>{"aaa bbb ", "ccc ddd"}));
    EXPECT_EQ(wrapText("a verylongwordindeed b", 10, measure),
              (std::vector<std::string>{"a ", "verylongwordindeed ", "b"})); // runs past the column
    EXPECT_EQ(wrapText("  x   y  ", 1, measure), (std::vector<std::string>{"x ", "y"}));
}

TEST(PrintTexts, AxialRatioSynonymReferencesMarkup) {
    EXPECT_EQ(axialRatioText("5 5 10 90 90 90", '.'), "a/b = 1.0,   c/a = 2.0");
    EXPECT_EQ(axialRatioText("4.913 4.913 5.405 90 90 120", '.'), "a/b = 1.0,   c/a = 1.1001");
    EXPECT_EQ(axialRatioText("5.64 5.64 5.64 90 90 90", '.'), ""); // cubic
    EXPECT_EQ(axialRatioText("5 0 3", '.'), "");
    EXPECT_EQ(axialRatioText("5 6", '.'), "");
    EXPECT_EQ(axialRatioText("8 10 4", ','), "a/b = 0,8,   c/a = 0,5");
    EXPECT_EQ(printedSynonym("?-quartz, low alpha"), "a-quartz, low alpha");
    EXPECT_EQ(printedSynonym("quartz?"), "quartz?");
    EXPECT_EQ(printedReferences({"A <i>[J 1]</i>", "  ", "C"}),
              (std::vector<std::string>{"1. A [J 1]", "3. C"}));
    EXPECT_EQ(withoutMarkup("<A HREF=\"x\">Link</A> and <b>bold</b>"), "Link and bold");
    EXPECT_EQ(withoutMarkup("a < b and c"), "a < b and c"); // no ">" after the "<": it stays
    EXPECT_EQ(withoutMarkup("x<y>z<y>w<q"), "xzw<q");       // every copy of a tag goes at once
}

// A damaged reference may hold a great many distinct tags; taking them out one tag at a time
// would pass over the text once per tag (minutes for a few megabytes). The markup still goes,
// and a few tags still go one at a time, from the first "<" to the next ">".
TEST(PrintTexts, ManyDistinctTagsAreTakenOutWithoutAPassPerTag) {
    std::string text;
    std::string plain;
    for (int i = 0; i < 200000; ++i) {
        text += "w" + std::to_string(i) + "<t" + std::to_string(i) + ">";
        plain += "w" + std::to_string(i);
    }
    EXPECT_EQ(withoutMarkup(text), plain);
    EXPECT_EQ(withoutMarkup("a<<b>c>d<b>e"), "ac>de"); // "<<b>" goes, then "<b>"
}

TEST(CardPage, HeaderPropertiesAndRules) {
    CardState s;
    s.currentName = "Quartz";
    s.currentCardNumber = 1;
    s.currentStatus = "A";
    s.currentLastUpdated = "2026-12-06";
    s.currentFormula = "SiO2";
    s.currentCell = "4.913 4.913 5.405 90 90 120";
    s.currentNotes = std::string(60, 'n') + " " + std::string(60, 'o') + " " + std::string(60, 'p');
    s.currentReferences = {"First <i>[J 1]</i>", "", "Third"};
    const PrintPage page = layoutCardPage(s, kWidth, FixedWidth{}, '.');

    // Rules at the margin, from x = 10 to 200 - 20 = 180.
    ASSERT_EQ(page.items.front().kind, PrintItem::Kind::Rule);
    EXPECT_EQ(page.items.front().y, 10);
    EXPECT_EQ(page.items.front().x2, 180);
    EXPECT_EQ(page.items.back().kind, PrintItem::Kind::Rule);

    const PrintItem* product = find(page, "ZTK-Lithora");
    ASSERT_TRUE(product);
    EXPECT_TRUE(product->font.bold);
    EXPECT_EQ(product->y, 11); // below the blank line that follows the rule
    const PrintItem* card = find(page, "Card 1, Status A, 2026-12-06");
    ASSERT_TRUE(card);
    EXPECT_EQ(card->x, 30);
    EXPECT_EQ(card->y, product->y);
    const PrintItem* name = find(page, "Quartz");
    ASSERT_TRUE(name);
    EXPECT_TRUE(name->font.bold);
    EXPECT_DOUBLE_EQ(name->font.points, 16.32);

    // Every caption is printed, in italics, in order, even with an empty value.
    double previous = 0;
    for (std::string_view caption : kPrintCaptions) {
        const PrintItem* item = find(page, caption);
        ASSERT_TRUE(item) << caption;
        EXPECT_TRUE(item->font.italic) << caption;
        EXPECT_EQ(item->x, 10) << caption;
        EXPECT_GT(item->y, previous) << caption;
        previous = item->y;
    }
    const PrintItem* ratio = find(page, "a/b = 1.0,   c/a = 1.1001");
    ASSERT_TRUE(ratio);
    EXPECT_EQ(ratio->y, find(page, "Axial Ratio")->y);

    // The notes (182 characters) wrap between words at the value column, 150 wide: "n... o... "
    // is 122 wide, adding " p..." would make 183.
    const PrintItem* notes = find(page, "Notes");
    const PrintItem* first = find(page, std::string(60, 'n') + " " + std::string(60, 'o') + " ");
    const PrintItem* second = find(page, std::string(60, 'p'));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->x, 30);
    EXPECT_EQ(second->x, 30);
    EXPECT_EQ(first->y, notes->y);
    EXPECT_EQ(second->y, notes->y + 1);
    ASSERT_TRUE(find(page, "1. First [J 1]"));
    ASSERT_TRUE(find(page, "3. Third"));
    EXPECT_GT(find(page, "1. First [J 1]")->y, find(page, "References")->y);
}
