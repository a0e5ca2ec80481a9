// The element search and the text and unit-cell search of the search window, on the packed
// mini fixture. Its element records: Albite Na Al Si O, Akermanite Ca Mg Si O, Calcite Ca C O,
// cechite Pb Fe V O H, Monoclinite K Al Si O H; the group entries, Zeolite-X and Zalum none.
#include <gtest/gtest.h>

#include "search/criteria.h"
#include "search/element_search.h"
#include "search/text_search.h"
#include "source/records.h"
#include "support/test_support.h"
#include "synth.h"
#include "text/split.h"

using namespace lithora;
using namespace lithora::test;

namespace {

using Names = std::vector<std::string>;

class WindowSearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        session.data = packInto(readFixtureSource("mini"), dir.path());
        ASSERT_TRUE(startUp(session).ok());
    }
    Names listed(const SearchOutcome& outcome) {
        last = outcome;
        Names out;
        if (outcome.end != SearchEnd::Matches) return out;
        for (const ListRow& r : session.rows)
            out.push_back(r[ColName]);
        return out;
    }
    Names elements(ElementSelection& selection, int limit = 0) {
        return listed(runElementSearch(session, selection, limit));
    }
    Names text(const std::string& keywords, int category, const std::string& required = "",
               int limit = 0) {
        return listed(runTextSearch(session, keywords, category, required, limit));
    }

    TempDir dir;
    Session session;
    SearchOutcome last;
};

} // namespace

TEST(ElementSelection, ClicksPresetsAndTheRequiredText) {
    ElementSelection s;
    const int ca = atomicNumber("Ca");
    EXPECT_EQ(ca, 20);
    EXPECT_EQ(elementSymbol(103), "Lr");
    EXPECT_EQ(elementSymbol(6), "C");
    EXPECT_EQ(s.state(ca), ElementState::Excluded);
    s.cycle(ca);
    EXPECT_EQ(s.state(ca), ElementState::Possible);
    s.cycle(ca);
    EXPECT_EQ(s.state(ca), ElementState::Required);
    s.cycle(ca);
    EXPECT_EQ(s.state(ca), ElementState::Excluded);
    s.require(8);
    s.require(ca);
    EXPECT_EQ(requiredElementsText(s), " O,  Ca, "); // atomic-number order, each with ", "
    s.require(92);                                   // U
    s.applyPreset(1);                                // light elements
    EXPECT_EQ(s.state(92), ElementState::Required);  // stays required
    EXPECT_EQ(s.state(1), ElementState::Possible);
    EXPECT_EQ(s.state(4), ElementState::Excluded);  // beryllium is not light here
    EXPECT_EQ(s.state(21), ElementState::Excluded); // nor scandium
    s.applyPreset(2);
    EXPECT_EQ(s.state(57), ElementState::Possible); // lanthanides are common
    EXPECT_EQ(s.state(37), ElementState::Excluded); // rubidium is not
    s.toggleLanthanides();                          // La possible: all fifteen become not possible
    for (int z = 57; z <= 71; ++z)
        EXPECT_EQ(s.state(z), ElementState::Excluded) << z;
    s.toggleLanthanides();
    EXPECT_EQ(s.state(71), ElementState::Possible);
    s.applyPreset(0);
    EXPECT_EQ(requiredElementsText(s), "");
    EXPECT_EQ(elementLimit("2.5"), 2); // halves to even
    EXPECT_EQ(elementLimit("3.5"), 4);
    EXPECT_EQ(elementLimit(""), 0);
}

TEST_F(WindowSearchTest, ElementSearchRules) {
    ElementSelection none;
    EXPECT_EQ(elements(none),
              (Names{"Feldspar", "Garnet", "Zeolite-X", "Zalum"})); // empty records only
    EXPECT_EQ(session.status[0], "Search Results");
    EXPECT_EQ(session.status[1], "4 matches");

    ElementSelection all;
    all.applyPreset(3);
    all.require(atomicNumber("Ca"));
    EXPECT_EQ(elements(all), (Names{"Akermanite", "Calcite"}));
    EXPECT_EQ(elements(all, 3), (Names{"Calcite"})); // Akermanite has four elements

    ElementSelection carbon;
    carbon.applyPreset(3);
    carbon.require(6); // " C " is a whole symbol: Ca does not hold it
    EXPECT_EQ(elements(carbon), (Names{"Calcite"}));

    ElementSelection ironOnly;
    ironOnly.require(atomicNumber("Fe"));
    EXPECT_EQ(elements(ironOnly), Names{}); // cechite has Pb V O H too, all excluded
    EXPECT_EQ(last.message, "No Matches found");
    EXPECT_EQ(last.title, "Element Search");
    EXPECT_EQ(ironOnly.state(atomicNumber("Fe")), ElementState::Required);
    EXPECT_TRUE(
        ironOnly
            .possible[static_cast<std::size_t>(atomicNumber("Fe"))]); // required became possible
}

TEST_F(WindowSearchTest, TextCategoriesAndTolerances) {
    EXPECT_EQ(text("garnet", CategoryGroup), (Names{"Garnet", "Monoclinite"}));
    EXPECT_EQ(text("Super GARNET", CategoryGroup),
              (Names{"Monoclinite"}));                                   // every keyword, any order
    EXPECT_EQ(text("3.03 2.29", CategoryDSpacings), (Names{"Calcite"})); // within 0.05
    EXPECT_EQ(text("3.03 2.29 +-0.001", CategoryDSpacings), Names{});    // narrowed
    EXPECT_EQ(text("3", CategoryMohs), (Names{"Calcite"}));
    EXPECT_EQ(text("6", CategoryMohs), (Names{"Albite"})); // "6-6.5" begins with 6
    EXPECT_EQ(text("2.61", CategorySpecGravity), (Names{"Albite"}));
    EXPECT_EQ(text("2", CategorySpgNumber), (Names{"Albite"})); // exactly 2
    EXPECT_EQ(text("4.99 4.99 17.06 0 0 0", CategoryUnitCell), (Names{"Calcite"}));
    EXPECT_EQ(text("garnet +-1", CategoryGroup), Names{}); // numbers compared in a text category
    EXPECT_EQ(text("+-0", CategoryGroup).size(), 8u); // any non-empty group passes: all but cechite
    EXPECT_EQ(last.title, "Text Search");
    EXPECT_EQ(text("nosuch", CategoryGroup), Names{});
    EXPECT_EQ(last.message, "No Matches found");
}

TEST_F(WindowSearchTest, UnitCellNeedsSixValues) {
    EXPECT_EQ(text("4.99 4.99 17.06", CategoryUnitCell), Names{});
    EXPECT_EQ(last.end, SearchEnd::NoCriteria);
    EXPECT_EQ(last.title, "Unit Cell Search");
    EXPECT_EQ(last.message.rfind("Enter all 6 parameters.", 0), 0u);
    EXPECT_EQ(session.rows.size(), 9u); // nothing searched, the list stays
}

TEST_F(WindowSearchTest, KeywordsWithRequiredElements) {
    EXPECT_EQ(text("garnet", CategoryGroup, " Si,  O, "), (Names{"Monoclinite"}));
    EXPECT_EQ(text("garnet", CategoryGroup, " Si,  O, ", 5), (Names{"Monoclinite"}));
    EXPECT_EQ(text("garnet", CategoryGroup, " Si,  O, ", 4), Names{}); // K Al Si O H: five
    EXPECT_EQ(text("vitreous", CategoryAppearance), (Names{"Albite"}));
}

TEST(TextSearch, IcddKeywordsAndCategories) {
    TextSearchRequest r;
    r.category = CategoryIcdd;
    r.keywords = {"123456", "12-3456", "123", "5-0586"};
    const PreparedTextSearch p = prepareTextSearch(r);
    EXPECT_EQ(p.request.keywords,
              (std::vector<std::string>{"12-3456", "12-3456", "123", "5-0586"}));
    EXPECT_EQ(textCategoryIndex("unit cell"), CategoryUnitCell);
    EXPECT_EQ(textCategoryIndex("ICDD#"), CategoryIcdd);
    EXPECT_EQ(textCategoryIndex("13"), 13);
    EXPECT_EQ(textCategoryIndex("14"), -1);
    EXPECT_EQ(textCategoryIndex("Colour"), -1);
    TextSearchRequest spg;
    spg.category = CategorySpgNumber;
    spg.keywords = {"14", "+-3"};
    EXPECT_FLOAT_EQ(prepareTextSearch(spg).tolerance, 0.0001f); // always exact
}

// The pass cuts each record only as far as the fields its category reads; the records it
// matches must be those a whole record matches.
TEST(TextSearchPass, MatchesWhatTheWholeRecordMatchesInEveryCategory) {
    TempDir dir;
    const SourceSet set = synthesize(300, 5);
    Session session;
    session.data = packInto(set, dir.path());
    ASSERT_TRUE(startUp(session).ok());
    const char* keywords[kTextCategoryCount] = {
        "a", "ite", "a", "e", "a", "o", "P", "3", "2", "3.3", "4", "3 +-1", "5 5 5 0 0 0 +-2", "a"};
    RecordDecoder whole(std::string_view(), false);
    std::string scratch;
    int totalMatches = 0;
    for (int category = 0; category < kTextCategoryCount; ++category) {
        for (const char* required : {"", "O"}) {
            TextSearchRequest request;
            request.category = category;
            for (std::string& k : splitWords(criterionText(keywords[category]))) {
                if (!k.empty()) request.keywords.push_back(k);
            }
            if (*required) request.requiredSymbols.push_back(required);
            const PreparedTextSearch prepared = prepareTextSearch(request);
            const Result<SearchPass> pass = runTextSearchPass(session.data, prepared);
            ASSERT_TRUE(pass.ok());
            for (std::size_t e = 0; e < set.entries.size(); ++e) {
                const std::string text = entryRecordText(set.entries[e]);
                whole.decode(text);
                ASSERT_EQ(pass.value().matchFlags[e + 1],
                          textSearchMatches(prepared, whole, scratch))
                    << "category " << category << ", entry " << e + 1;
            }
            totalMatches += pass.value().matchCount;
        }
    }
    EXPECT_GT(totalMatches, 0);
}
