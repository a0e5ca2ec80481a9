// Damage met while reading: where the list stopped short and what the user is told of it, and a
// card whose record cannot be read. The list keeps what was read before the damage.
#include <gtest/gtest.h>

#include "card/card_texts.h"
#include "datafiles/datadir.h"
#include "datafiles/record.h"
#include "datafiles/tables.h"
#include "session/data_damage.h"
#include "session/session.h"
#include "support/test_support.h"
#include "text/split.h"

using namespace lithora;
using namespace lithora::test;

namespace {

// The mini fixture packed; its lithora.a is damaged by hand and the session started anew.
class ListDamageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Session sound;
        sound.data = packInto(readFixtureSource("mini"), dir.path());
        ASSERT_TRUE(startUp(sound).ok());
        tables = sound.data.tables;
        ASSERT_EQ(static_cast<int>(sound.rows.size()), tables.entryCount);
        bytes = readFile(dir.path() / DataFiles::kEntries);
    }

    // The 0-based byte offset of an entry's record (its length field).
    std::size_t offsetOf(int entry) const {
        return static_cast<std::size_t>(tables.positionOfEntry(entry) - 1);
    }

    Session restart(const std::string& entries) {
        writeFile(dir.path() / DataFiles::kEntries, entries);
        Session s;
        s.data.dir = dir.path();
        EXPECT_TRUE(startUp(s).ok());
        return s;
    }

    std::string withLength(std::size_t offset, std::int32_t length) const {
        std::string out = bytes;
        std::string field;
        appendInt32LE(field, length);
        out.replace(offset, 4, field);
        return out;
    }

    TempDir dir;
    LookupTables tables; // of the sound set
    std::string bytes;
};

} // namespace

TEST_F(ListDamageTest, ASoundSetHasNone) {
    Session s = restart(bytes);
    EXPECT_FALSE(s.listDamage.has_value());
    EXPECT_TRUE(s.card.unreadableMessage.empty());
#ifdef LITHORA_BUNDLED_DATA
    Session bundled;
    bundled.data.dir = LITHORA_BUNDLED_DATA;
    ASSERT_TRUE(startUp(bundled).ok());
    EXPECT_FALSE(bundled.listDamage.has_value());
    EXPECT_EQ(static_cast<int>(bundled.rows.size()), bundled.data.tables.entryCount);
#endif
}

TEST_F(ListDamageTest, EachKindOfStopIsPlacedAndCounted) {
    const std::size_t fourth = offsetOf(4);
    const std::size_t first = offsetOf(1);
    struct Case {
        const char* what;
        std::string entries;
        std::size_t byte;
        int read;
        const char* reason;
    };
    const Case cases[] = {
        {"a length above 2023", withLength(fourth, 99999), fourth, 3,
         "length 99999 is outside 1..2023"},
        {"a negative length", withLength(fourth, -7), fourth, 3, "length -7 is outside 1..2023"},
        {"damage at the first record", withLength(first, 0), first, 0,
         "length 0 is outside 1..2023"},
        {"a length past the end", withLength(fourth, 2000).substr(0, fourth + 600), fourth, 3,
         "runs past the end of the file"},
        {"cut inside a length", bytes.substr(0, fourth + 2), fourth, 3,
         "the file ends inside a record's length"},
        {"cut at a record's end", bytes.substr(0, fourth), fourth, 3,
         "the file ends after 3 of the"},
        {"the header's length damaged", withLength(0, 1 << 30), 0, 0, "length 1073741824"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Session s = restart(c.entries);
        ASSERT_TRUE(s.listDamage.has_value());
        EXPECT_EQ(s.listDamage->byte, static_cast<std::int64_t>(c.byte));
        EXPECT_EQ(s.listDamage->entriesRead, c.read);
        EXPECT_NE(s.listDamage->reason.find(c.reason), std::string::npos) << s.listDamage->reason;
        // The list keeps what came before the damage.
        EXPECT_EQ(static_cast<int>(s.rows.size()), c.read);
    }
}

TEST_F(ListDamageTest, TheMessageNamesFilePlaceCountAndTheCheck) {
    const std::size_t fourth = offsetOf(4);
    const Session s = restart(withLength(fourth, 99999));
    ASSERT_TRUE(s.listDamage.has_value());
    const std::string message = listDamageMessage(*s.listDamage, dir.path());
    EXPECT_NE(message.find("lithora.a is damaged at byte " + std::to_string(fourth) +
                           ": length 99999 is outside 1..2023."),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("The list holds the 3 entries read before it"), std::string::npos);
    EXPECT_NE(message.find(verifyCommand(dir.path())), std::string::npos);
    EXPECT_EQ(listDamageStatus(*s.listDamage),
              "lithora.a damaged at byte " + std::to_string(fourth) + "; 3 entries read");
    const Session none = restart(withLength(offsetOf(1), 0));
    ASSERT_TRUE(none.listDamage.has_value());
    EXPECT_NE(listDamageMessage(*none.listDamage, dir.path()).find("The list holds no entries"),
              std::string::npos);
    // A directory name with a blank is quoted in the command.
    EXPECT_EQ(verifyCommand("/data/my INDEX"), "lithora-pack verify \"/data/my INDEX\"");
}

TEST_F(ListDamageTest, AnUnreadableCardIsBlankAndSaysWhy) {
    Session s = restart(bytes);
    ASSERT_GE(s.rows.size(), 3u);
    // Row 1 is current and sound; row 2's record is then damaged behind the session's back.
    ASSERT_TRUE(s.card.unreadableMessage.empty());
    ASSERT_FALSE(s.card.currentRawName.empty());
    const int entry = s.data.tables.entryOf(std::atoi(s.rows[1][ColCard].c_str()));
    ASSERT_GT(entry, 0);
    const auto offset = static_cast<std::size_t>(s.data.tables.positionOfEntry(entry) - 1);
    writeFile(dir.path() / DataFiles::kEntries, withLength(offset, 99999));

    s.selectedRow = 2;
    EXPECT_FALSE(loadSelectedCard(s));
    const CardState& card = s.card;
    EXPECT_EQ(card.currentCardNumber, std::atoi(s.rows[1][ColCard].c_str()));
    EXPECT_NE(card.unreadableMessage.find("Card " + std::to_string(card.currentCardNumber) +
                                          " cannot be read: "),
              std::string::npos)
        << card.unreadableMessage;
    EXPECT_NE(card.unreadableMessage.find("holds no readable record"), std::string::npos);
    EXPECT_NE(card.unreadableMessage.find("lithora-pack verify"), std::string::npos);
    // Nothing of the first card is left to show.
    EXPECT_EQ(card.currentRawName, "");
    EXPECT_EQ(card.currentFormula, "");
    EXPECT_EQ(card.currentCell, "");
    EXPECT_EQ(card.currentReferenceCount, 0);
    EXPECT_EQ(card.currentOpticalRecord, "");
    for (const std::string& text : mainFieldTexts(card))
        EXPECT_EQ(std::string(trimBlanks(text)), "");

    // A sound card read next is shown as always, without the note.
    s.selectedRow = 1;
    EXPECT_TRUE(loadSelectedCard(s));
    EXPECT_TRUE(s.card.unreadableMessage.empty());
    EXPECT_FALSE(s.card.currentRawName.empty());
    // cardStateOf, for windows that show several cards, still gives nothing for it.
    EXPECT_FALSE(cardStateOf(s, std::atoi(s.rows[1][ColCard].c_str())).has_value());
}

TEST_F(ListDamageTest, AMissingEntryFileIsNamedOnTheCard) {
    Session s = restart(bytes);
    std::filesystem::remove(dir.path() / DataFiles::kEntries);
    s.selectedRow = 2;
    EXPECT_FALSE(loadSelectedCard(s));
    EXPECT_NE(s.card.unreadableMessage.find("lithora.a"), std::string::npos)
        << s.card.unreadableMessage;
    EXPECT_EQ(s.card.currentRawName, "");
}
