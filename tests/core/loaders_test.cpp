// The list loader, the card loader and the references loader against the packed mini fixture
// (tests/fixtures/mini: nine hand-made entries, each there for one of the cases below).
#include <gtest/gtest.h>

#include "card/card_loader.h"
#include "datafiles/element_index.h"
#include "list/entry_list.h"
#include "list/match_list.h"
#include "session/session.h"
#include "support/test_support.h"
#include "synth.h"
#include "text/numeric.h"

using namespace lithora;
using namespace lithora::test;

namespace {

class MiniDataSet : public ::testing::Test {
  protected:
    void SetUp() override {
        session.data = packInto(readFixtureSource("mini"), dir.path());
        ASSERT_TRUE(startUp(session).ok());
    }
    const ListRow& row(const std::string& name) {
        for (const ListRow& r : session.rows) {
            if (r[ColName] == name) return r;
        }
        ADD_FAILURE() << "no row " << name;
        static const ListRow none{};
        return none;
    }
    const CardState& show(int card) {
        session.selectedRow = rowOfCard(session, card);
        EXPECT_NE(session.selectedRow, 0) << card;
        EXPECT_TRUE(loadSelectedCard(session)) << card;
        return session.card;
    }

    TempDir dir;
    Session session;
};

} // namespace

TEST_F(MiniDataSet, StartUpListsEveryEntryAndShowsRowOne) {
    ASSERT_EQ(session.rows.size(), 9u);
    EXPECT_EQ(session.status[0], "9 entries");
    EXPECT_EQ(session.status[1], "All entries listed");
    EXPECT_EQ(session.status[3], "Card 5");
    EXPECT_EQ(session.selectedRow, 1);
    EXPECT_EQ(session.card.currentName, "Albite");
    EXPECT_EQ(session.maxCardNumber, 9999);
    for (std::size_t i = 0; i < session.rows.size(); ++i)
        EXPECT_EQ(session.rows[i][ColNumber], std::to_string(i + 1));
}

TEST_F(MiniDataSet, RowsShowTheCellByCrystalSystem) {
    // Monoclinic (code m, upper-cased): only the angle that is not 90 shows.
    // c/a = 7.3 / 5.1 = 1.431; a/b = 5.1 / 9.2 = 0.554.
    const ListRow& m = row("Monoclinite");
    EXPECT_EQ(m[ColCrySys], "M");
    EXPECT_EQ(m[ColA], "5.1");
    EXPECT_EQ(m[ColB], "9.2");
    EXPECT_EQ(m[ColC], "7.3");
    EXPECT_EQ(m[ColAlpha], "");
    EXPECT_EQ(m[ColBeta], "103.5");
    EXPECT_EQ(m[ColGamma], "");
    EXPECT_EQ(m[ColCOverA], "1.431");
    EXPECT_EQ(m[ColAOverB], "0.554");
    EXPECT_EQ(m[ColVolume], "410");
    EXPECT_EQ(m[ColFormula], "KAl2(AlSi3O10)(OH)2");

    // Triclinic shows all three angles.
    const ListRow& a = row("Albite");
    EXPECT_EQ(a[ColAlpha], "94.33");
    EXPECT_EQ(a[ColBeta], "116.57");
    EXPECT_EQ(a[ColGamma], "87.65");

    // Rhombohedral (h/r -> H/R) and tetragonal show no angles; 17.06 / 4.99 = 3.4188 -> 3.419.
    const ListRow& h = row("Calcite");
    EXPECT_EQ(h[ColCrySys], "H/R");
    EXPECT_EQ(h[ColAlpha] + h[ColBeta] + h[ColGamma], "");
    EXPECT_EQ(h[ColCOverA], "3.419");
    EXPECT_EQ(h[ColAOverB], "1.0");
    EXPECT_EQ(row("Akermanite")[ColGamma], "");

    // No cell: the cell columns stay empty.
    const ListRow& none = row("Zeolite-X");
    EXPECT_EQ(none[ColA] + none[ColCOverA] + none[ColVolume], "");
    EXPECT_EQ(none[ColCard], "9999");
}

TEST_F(MiniDataSet, NamesShowTheirPlainLetters) {
    EXPECT_EQ(session.rows[1][ColName], "Akermanite"); // Å becomes A so it is found under A
    EXPECT_EQ(session.rows[3][ColName], "cechite");    // @CK becomes c
}

TEST_F(MiniDataSet, ApprovalFilterComparesStatusExactly) {
    session.imaOnly = true;
    ASSERT_TRUE(getFullList(session, "").ok());
    std::vector<std::string> names;
    for (const ListRow& r : session.rows)
        names.push_back(r[ColName]);
    // Calcite's status is the lower-case a, Zeolite-X's Q, the groups GROUP: none is listed.
    EXPECT_EQ(names, (std::vector<std::string>{"Albite", "Akermanite", "cechite", "Monoclinite",
                                               "Zalum"}));
    EXPECT_EQ(session.status[1], "IMA entries listed");
    EXPECT_EQ(session.rows[4][ColNumber], "5"); // numbered without gaps
}

TEST_F(MiniDataSet, GroupFilterIsAPrefixTestExceptForAlum) {
    auto names = [&](const std::string& group) {
        EXPECT_TRUE(getFullList(session, group).ok());
        std::vector<std::string> out;
        for (const ListRow& r : session.rows)
            out.push_back(r[ColName]);
        return out;
    };
    EXPECT_EQ(names("GARNET"),
              (std::vector<std::string>{"Garnet", "Monoclinite"}));    // "Garnet Supergroup"
    EXPECT_EQ(names("ALUM"), (std::vector<std::string>{"Zeolite-X"})); // not ALUMITE
    EXPECT_EQ(names("NOSUCH"), std::vector<std::string>{});
}

TEST_F(MiniDataSet, GroupMenuIsBuiltOnceFromTheGroupEntries) {
    EXPECT_EQ(session.groupCaptions, (std::vector<std::string>{"1 - Feldspar", "2 - Garnet"}));
    ASSERT_TRUE(loadGroup(session, "Feldspar").ok());
    EXPECT_EQ(session.status[1], " Group: Feldspar ");
    EXPECT_EQ(session.rows.size(), 2u);
    EXPECT_EQ(session.card.currentName, "Albite");
    EXPECT_EQ(session.groupCaptions.size(), 2u);
}

TEST(GroupMenu, SortsByCharacterCodesAndReadsNamesBack) {
    EXPECT_EQ(
        groupMenuCaptions({"Spinel", "Garnet", "Amphibole", "apatite"}),
        (std::vector<std::string>{"1 - Amphibole", "2 - Garnet", "3 - Spinel", "4 - apatite"}));
    EXPECT_EQ(groupNameOfCaption("12 - Ferro-pargasite root"), "Ferro-pargasite root");
    EXPECT_EQ(loadGroupMembersCaption("Garnet"), "Load Group Members (Garnet)");
    EXPECT_EQ(loadGroupMembersCaption(""), "Load Group Members ()");
}

TEST_F(MiniDataSet, CardLoaderFillsTheState) {
    const CardState& s = show(5);
    EXPECT_EQ(s.currentEntryIndex, 1);
    EXPECT_EQ(s.currentSpaceGroup, "C-1  (2)");
    EXPECT_EQ(s.currentCrystalSystem, "Triclinic (anorthic)");
    EXPECT_EQ(s.currentCell, "8.14 12.79 7.16 94.33 116.57 87.65");
    EXPECT_EQ(s.currentCellVolume, "664.2");
    EXPECT_EQ(s.currentDIPairs, "3.19/100  4.03/20  3.78/25");
    EXPECT_EQ(s.currentDSpacings[1], "4.03    ");
    EXPECT_EQ(s.currentIntensities[2], "25      ");
    EXPECT_EQ(s.currentDSpacings[3], "        ");
    EXPECT_EQ(s.currentMohs, "6-6.5");
    EXPECT_EQ(s.currentDensityCalculated, "2.62");
    EXPECT_EQ(s.currentDensityMeasured, "2.61");
    EXPECT_EQ(s.currentStrunzClass, "9.FA.35");
    EXPECT_EQ(s.currentSynonym, "Cleavelandite");
    EXPECT_EQ(s.currentElements, "Na Al Si O");
    EXPECT_EQ(s.currentGroup, "Feldspar");
}

TEST_F(MiniDataSet, CardLoaderRulesForSpaceGroupSystemAndLines) {
    const CardState& calcite = show(1);
    EXPECT_EQ(calcite.currentCrystalSystemCode, "h/r");
    EXPECT_EQ(calcite.currentCrystalSystem, "Hexagonal (rhombohedral)");
    EXPECT_EQ(calcite.currentDSpacings[7], "1.604   "); // nine pairs: eight kept
    EXPECT_EQ(calcite.lastSelection, "ALBITE");

    const CardState& akermanite = show(17);
    EXPECT_EQ(akermanite.currentDIPairs, "2.87/?  3.07/?  1.76/?"); // no intensities: "?"
    EXPECT_EQ(akermanite.currentName,
              "\xC3\x85kermanite"); // the card keeps the Å the list replaced
    EXPECT_EQ(akermanite.currentRawName, "\xC3\x85kermanite");

    const CardState& cechite = show(42); // a lone "0" builds no pairs; no cell
    EXPECT_EQ(cechite.currentDIPairs, "");
    EXPECT_EQ(cechite.currentDSpacings[0], "        "); // not the previous card's lines
    EXPECT_EQ(cechite.currentSpaceGroup, "Pnma  ()");
    EXPECT_EQ(cechite.currentCell, "");
    EXPECT_EQ(cechite.currentName, "cechite");
    EXPECT_EQ(cechite.currentRawName, "@CKechite");

    const CardState& mono = show(300);
    EXPECT_EQ(mono.currentDSpacings[0], "12.34567"); // cut to eight characters
    EXPECT_EQ(mono.currentCellVolume, "410.0");

    const CardState& zeolite =
        show(9999); // 0 and blanks: no space group; fewer intensities: no pairs
    EXPECT_EQ(zeolite.currentSpaceGroup, "");
    EXPECT_EQ(zeolite.currentDIPairs, "");
    EXPECT_EQ(zeolite.currentCrystalSystem, "Cubic");
}

TEST_F(MiniDataSet, ReferencesOfACardAreReadInOrderAndFormatted) {
    const CardState& calcite = show(1); // card 1: the first records of the file
    ASSERT_EQ(calcite.currentReferenceCount, 2);
    EXPECT_EQ(calcite.currentReferences[0],
              "Author A (1990) Calcite structure. <i>[Am. Mineral. 75, 1-10]</i>");
    EXPECT_EQ(calcite.currentReferences[1],
              "Author B (1991) Calcite again <i>[with notes]</i>"); // "[, " -> "["
    EXPECT_EQ(calcite.currentReferences.size(), 11u);

    // Twelve references: the slots (0..10 at first) grow by one whenever the count reaches the
    // highest index, at counts 10, 11 and 12, so they end as 0..13.
    const CardState& albite = show(5);
    EXPECT_EQ(albite.currentReferenceCount, 12);
    EXPECT_EQ(albite.currentReferences.size(), 14u);
    EXPECT_EQ(albite.currentReferences[11].rfind("Writer 12 ", 0), 0u);

    const CardState& none = show(42);
    EXPECT_EQ(none.currentReferenceCount, 0);
    EXPECT_EQ(none.currentReferences, std::vector<std::string>(11));

    EXPECT_EQ(show(9999).currentReferenceCount, 7); // the last card of the file ends at its end
}

TEST_F(MiniDataSet, OpticalRecordIsReadForCardsThatHaveOne) {
    EXPECT_EQ(show(5).currentOpticalRecord, "x|weak");
    EXPECT_EQ(show(42).currentOpticalRecord, ""); // not the previous card's record
    EXPECT_NE(show(1).currentOpticalRecord.find("Uniaxial"), std::string::npos);
}

TEST(CrystalSystemName, KnowsTheEightCodes) {
    EXPECT_EQ(crystalSystemName("h/t"), "Hexagonal (trigonal)");
    EXPECT_EQ(crystalSystemName("Q"), "Tetragonal");
    EXPECT_EQ(crystalSystemName("X"), "");
}

TEST_F(MiniDataSet, ElementIndexGivesEachEntryItsSymbols) {
    std::vector<std::string> seen;
    ASSERT_TRUE(readElementIndex(session.data, [&](int r, std::string_view symbols) {
                    EXPECT_EQ(r, static_cast<int>(seen.size()) + 1);
                    seen.emplace_back(symbols);
                }).ok());
    ASSERT_EQ(seen.size(), 9u);
    EXPECT_EQ(seen[0], "Na Al Si O");
    EXPECT_EQ(seen[1], "Ca Mg Si O"); // written with runs of blanks, packed with single ones
    EXPECT_EQ(seen[4], "");           // a group entry without formula

    session.data.tables.entryCount = 3; // records beyond the entry count are ignored
    int count = 0;
    ASSERT_TRUE(readElementIndex(session.data, [&](int, std::string_view) { ++count; }).ok());
    EXPECT_EQ(count, 3);

    std::filesystem::remove(dir.path() / "lithora.e");
    EXPECT_FALSE(readElementIndex(session.data, [](int, std::string_view) {}).ok());
}

TEST(MatchFlags, NextMatchLooksAfterTheGivenIndex) {
    const std::vector<bool> flags = {true, false, true, false, true};
    EXPECT_EQ(getNextMatch(flags, 0), 2); // index 0 is never reached from the start
    EXPECT_EQ(getNextMatch(flags, 2), 4);
    EXPECT_EQ(getNextMatch(flags, 4), -1); // at the upper bound
    EXPECT_EQ(getNextMatch(flags, 9), -1);
    EXPECT_EQ(getNextMatch({}, 0), -1);
}

TEST_F(MiniDataSet, MatchListFollowsEntryIndexOrder) {
    session.status[0] = "3 matches";
    session.status[1] = "kept";
    session.matchFlags.assign(static_cast<std::size_t>(session.data.tables.entryCount) + 2, false);
    for (int i : {9, 2, 7, 0})
        session.matchFlags[static_cast<std::size_t>(i)] = true; // set out of order
    ASSERT_TRUE(getMatchList(session).ok());
    ASSERT_EQ(session.rows.size(), 3u);
    EXPECT_EQ(session.rows[0][ColName], "Akermanite"); // entry 2
    EXPECT_EQ(session.rows[1][ColName], "Monoclinite");
    EXPECT_EQ(session.rows[2][ColName], "Zalum");
    EXPECT_EQ(session.rows[2][ColNumber], "3");
    EXPECT_EQ(session.card.currentCardNumber, 17); // the first match is current
    EXPECT_EQ(session.status[0], "3 matches");     // the search's own count stays
    EXPECT_EQ(session.status[1], "kept");

    session.matchFlags.assign(session.matchFlags.size(), false);
    session.matchFlags[1] = true;
    session.matchFlags[10] = true; // above entryCount (9): the listing ends there
    ASSERT_TRUE(getMatchList(session).ok());
    EXPECT_EQ(session.rows.size(), 1u);
}

// A few matches are read by position, many from the file read whole: either way a match's row is
// its full-list row with its place in the match list.
TEST(MatchList, RowsAreTheFullListRowsWhicheverWayTheFileIsRead) {
    TempDir dir;
    Session session;
    session.data = packInto(synthesize(300, 3), dir.path());
    ASSERT_TRUE(startUp(session).ok());
    const std::vector<ListRow> full = session.rows;
    ASSERT_EQ(full.size(), 300u);
    for (const int step : {2, 41}) { // 150 matches, then 8
        session.matchFlags.assign(full.size() + 1, false);
        std::vector<std::size_t> entries;
        for (std::size_t e = 1; e <= full.size(); e += static_cast<std::size_t>(step)) {
            session.matchFlags[e] = true;
            entries.push_back(e);
        }
        ASSERT_TRUE(getMatchList(session).ok());
        ASSERT_EQ(session.rows.size(), entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            ListRow expected = full[entries[i] - 1];
            expected[ColNumber] = std::to_string(i + 1);
            ASSERT_EQ(session.rows[i], expected) << "step " << step << ", match " << i;
        }
    }
}
