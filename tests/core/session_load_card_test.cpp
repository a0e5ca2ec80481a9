// A card made current without its row: a candidate of an identification that the list does not
// hold. On the mini fixture: Albite is card 5, Calcite card 1; no card 9998.
#include <gtest/gtest.h>

#include "session/session.h"
#include "support/test_support.h"

using namespace lithora;
using namespace lithora::test;

TEST(SessionLoadCard, ACardOutsideTheListBecomesCurrentAndTheListStays) {
    TempDir dir;
    Session session;
    session.data = packInto(readFixtureSource("mini"), dir.path());
    ASSERT_TRUE(startUp(session).ok());
    ASSERT_TRUE(
        getOrderedList(session, {session.data.tables.entryOf(5)}, "Identification", "candidates")
            .ok());
    ASSERT_EQ(session.rows.size(), 1u);
    const int maxCard = session.maxCardNumber;

    ASSERT_TRUE(loadCard(session, 1));
    EXPECT_EQ(session.card.currentCardNumber, 1);
    EXPECT_EQ(session.card.currentName, "Calcite");
    EXPECT_EQ(session.card.currentFormula, "CaCO3");
    EXPECT_EQ(session.card.currentEntryIndex, session.data.tables.entryOf(1));
    EXPECT_EQ(session.status[3], "Card 1");
    EXPECT_EQ(session.selectedRow, 0); // no row stands for it
    EXPECT_EQ(session.rows.size(), 1u);
    EXPECT_EQ(session.maxCardNumber, maxCard);
    EXPECT_EQ(session.card.lastSelection, "ALBITE"); // where the user came from

    // Unknown cards leave the current card as it was.
    for (int card : {0, -3, 9998, 20000}) {
        EXPECT_FALSE(loadCard(session, card)) << card;
        EXPECT_EQ(session.card.currentCardNumber, 1) << card;
    }
}
