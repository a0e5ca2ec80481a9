// Data that break what a packed set promises: short records, odd lengths, many groups. The
// readers must give what they can and never crash or read beyond a file.
#include <gtest/gtest.h>

#include <optional>

#include "card/card_loader.h"
#include "datafiles/record.h"
#include "session/session.h"
#include "source/records.h"
#include "support/test_support.h"

using namespace lithora;
using namespace lithora::test;

namespace {

// Writes lithora.a from plain record texts (lengths as given, or the text's length), and the
// tables that point at them; card numbers are read from each record's first field.
class HandMadeSet {
  public:
    explicit HandMadeSet(const std::filesystem::path& dir) : m_dir(dir) {}

    void add(const std::string& text, std::optional<std::int32_t> length = std::nullopt) {
        m_records.emplace_back(text, length.value_or(static_cast<std::int32_t>(text.size())));
    }

    Session open() {
        const std::string key = buildRecordKey();
        std::string a, d(2 * kCardTableSize, '\0'), g;
        appendInt32LE(a, 0); // an empty header
        appendInt32LE(g, 1);
        int entry = 0;
        for (const auto& [text, length] : m_records) {
            appendInt32LE(g, static_cast<std::int32_t>(a.size()) + 1);
            appendInt32LE(a, length);
            a += scrambleRecord(text, key);
            ++entry;
            const int card = std::atoi(text.c_str());
            if (card > 0 && card <= kMaxCardNumber) {
                std::string v;
                appendInt16LE(v, static_cast<std::int16_t>(entry));
                d.replace(2 * static_cast<std::size_t>(card), 2, v);
            }
        }
        std::string count;
        appendInt16LE(count, static_cast<std::int16_t>(entry));
        d.replace(0, 2, count);
        writeFile(m_dir / "lithora.a", a);
        writeFile(m_dir / "lithora.d", d);
        writeFile(m_dir / "lithora.g", g);
        writeFile(m_dir / "lithora.c", std::string(4 * kCardTableSize, '\0'));
        writeFile(m_dir / "lithora.i", std::string(4 * kCardTableSize, '\0'));
        Session session;
        session.data.dir = m_dir;
        EXPECT_TRUE(startUp(session).ok());
        return session;
    }

  private:
    std::filesystem::path m_dir;
    std::vector<std::pair<std::string, std::int32_t>> m_records;
};

std::string fullRecord(int card, const std::string& name) {
    SourceEntry e;
    e.cells[FieldCard] = std::to_string(card);
    e.cells[FieldName] = name;
    e.cells[FieldFormula] = "SiO2";
    e.cells[FieldSgNumber] = "154";
    e.cells[FieldSgSymbol] = "P3221";
    e.cells[FieldDSpacings] = "3.34 4.26";
    e.cells[FieldIntensities] = "100 35";
    e.cells[FieldStatus] = "A";
    e.cells[FieldCrystalSystem] = "H/T";
    e.cells[FieldGroup] = "Quartz";
    e.cells[FieldNotes] = "notes";
    e.cells[FieldZ] = "3";
    e.cells[FieldCell] = "4.913 4.913 5.405 90 90 120 113.01";
    e.cells[FieldElements] = "Si O";
    return entryRecordText(e);
}

bool selectCard(Session& session, int card) {
    session.selectedRow = rowOfCard(session, card);
    return session.selectedRow != 0 && loadSelectedCard(session);
}

} // namespace

TEST(ShortRecords, TheListTakesThemAndTheCardReadsMissingFieldsAsEmpty) {
    TempDir dir;
    HandMadeSet set(dir.path());
    set.add(fullRecord(9, "Full"));
    set.add("7|Shorty");     // two fields: no formula
    set.add("8|Tiny|Fm|12"); // four fields
    SourceEntry cell;
    cell.cells[FieldCard] = "11";
    cell.cells[FieldName] = "Cell";
    cell.cells[FieldCrystalSystem] = "M";
    cell.cells[FieldCell] = "5 0 3"; // b = 0 and too few values
    set.add(entryRecordText(cell));
    Session session = set.open();
    ASSERT_EQ(session.rows.size(), 4u);
    EXPECT_EQ(session.rows[1][ColName], "Shorty");
    EXPECT_EQ(session.rows[1][ColFormula], "");
    EXPECT_EQ(session.rows[2][ColFormula], "Fm");
    EXPECT_EQ(session.rows[3][ColA], "5");
    EXPECT_EQ(session.rows[3][ColAOverB], ""); // a / 0 shows nothing
    EXPECT_EQ(session.rows[3][ColVolume], "");

    ASSERT_TRUE(selectCard(session, 9));
    EXPECT_EQ(session.card.currentNotes, "notes");
    ASSERT_TRUE(selectCard(session, 7));
    const CardState& s = session.card;
    EXPECT_EQ(s.currentName, "Shorty");
    // Nothing of the full card before it stays behind.
    for (const std::string* member :
         {&s.currentSpaceGroup, &s.currentDIPairs, &s.currentStatus, &s.currentNotes,
          &s.currentGroup, &s.currentZ, &s.currentCell, &s.currentCellVolume, &s.currentElements,
          &s.currentCrystalSystem}) {
        EXPECT_EQ(*member, "");
    }
    EXPECT_EQ(s.currentDSpacings[0], "        ");

    ASSERT_TRUE(selectCard(session, 11));
    EXPECT_EQ(session.card.currentCell, "5 0 3");
    EXPECT_EQ(session.card.currentCellVolume, "");
}

TEST(ShortRecords, TheListEndsAtABadLengthOrARecordWithoutFields) {
    struct Case {
        const char* what;
        std::string text;
        std::optional<std::int32_t> length;
        std::size_t rows;
    };
    const Case cases[] = {
        {"2023 bytes is an entry", "5|Max|" + std::string(2017, 'x'), std::nullopt, 3},
        {"2024 ends the list", "5|Big|" + std::string(2018, 'x'), std::nullopt, 1},
        {"0 ends the list", "", 0, 1},
        {"a negative length ends the list", "", -9, 1},
        {"a record without | ends the list", "5", std::nullopt, 1},
        {"a length past the end ends the list", "5|Cut", 5000, 1},
    };
    for (const Case& c : cases) {
        TempDir dir;
        HandMadeSet set(dir.path());
        set.add(fullRecord(1, "First"));
        set.add(c.text, c.length);
        set.add(fullRecord(2, "Last"));
        const Session session = set.open();
        EXPECT_EQ(session.rows.size(), c.rows) << c.what;
    }
}

TEST(Groups, HaveNoFixedLimit) {
    SourceSet set;
    for (int i = 1; i <= 60; ++i) {
        SourceEntry e;
        e.cells[FieldCard] = std::to_string(i);
        e.cells[FieldName] = "Group " + std::to_string(100 + i);
        e.cells[FieldStatus] = "GROUP";
        e.cells[FieldGroup] = "G" + std::to_string(100 + i);
        set.entries.push_back(e);
    }
    TempDir dir;
    Session session;
    session.data = packInto(set, dir.path());
    ASSERT_TRUE(startUp(session).ok());
    ASSERT_EQ(session.groupCaptions.size(), 60u);
    EXPECT_EQ(session.groupCaptions[59], "60 - G160");
}

TEST(ShortRecords, ACardNumberOutsideTheTablesLoadsNothing) {
    TempDir dir;
    HandMadeSet set(dir.path());
    set.add(fullRecord(1, "First"));
    set.add("20000|Huge|X");
    set.add("0|Zero|Y");
    Session session = set.open();
    EXPECT_EQ(session.maxCardNumber, 10000); // never above the tables' bounds
    session.selectedRow = 2;
    EXPECT_FALSE(loadSelectedCard(session));
    EXPECT_EQ(session.card.currentName, "Huge");
    session.selectedRow = 3; // card 0: element 0 of the table is the entry count, not an entry
    EXPECT_TRUE(loadSelectedCard(session));
    EXPECT_EQ(session.card.currentEntryIndex, 0);
    EXPECT_EQ(session.card.currentRawName, "");
}
