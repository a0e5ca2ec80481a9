// Near misses of the card-form search: which criterion an entry fails, by how much, and that the
// entries listed are exactly those the search itself would match but for one criterion.
#include <gtest/gtest.h>

#include <map>

#include "search/near_miss.h"
#include "search/search_run.h"
#include "source/records.h"
#include "support/test_support.h"
#include "synth.h"

using namespace lithora;
using namespace lithora::test;

namespace {

FormCriterionTexts typedAs(const std::vector<std::pair<int, std::string>>& typed) {
    FormCriterionTexts texts;
    for (const auto& [i, text] : typed)
        texts[static_cast<std::size_t>(i)] = text;
    return texts;
}

// An entry record with the given fields (by record field index), the others empty.
std::string record(const std::vector<std::pair<int, std::string>>& fields) {
    std::vector<std::string> all(28);
    for (const auto& [k, text] : fields)
        all[static_cast<std::size_t>(k)] = text;
    std::string out;
    for (std::size_t k = 0; k < all.size(); ++k)
        out += (k ? "|" : "") + all[k];
    return out;
}

std::string missText(const std::vector<std::pair<int, std::string>>& typed,
                     const std::vector<std::pair<int, std::string>>& fields) {
    const std::optional<NearMiss> miss = nearMissOf(typedAs(typed), false, record(fields));
    return miss ? miss->text : std::string("(no near miss)");
}

} // namespace

TEST(NearMiss, SaysWhichCriterionFailsAndByHowMuch) {
    // Mohs is field 16, the d-spacings field 6, the cell field 26, the space group 3 and 4.
    const std::vector<std::pair<int, std::string>> quartz = {
        {0, "7"},     {1, "Quartz"},
        {2, "SiO2"},  {3, "154"},
        {4, "P3221"}, {6, "3.343 4.257 1.818"},
        {16, "7"},    {26, "4.913 4.913 5.405 90 90 120"}};
    EXPECT_EQ(missText({{0, "quartz"}, {13, "6.5"}}, quartz),
              "Mohs 7 against 6.5 \u00B1 0.1, off by 0.5");
    EXPECT_EQ(missText({{0, "quartz"}, {26, "4.32"}}, quartz),
              "d2: nearest line 4.257 against 4.32 \u00B1 0.05 \u00C5, off by 0.063 \u00C5");
    // The typed d tolerance is the one the search used.
    EXPECT_EQ(missText({{0, "quartz"}, {25, "3.36"}, {33, "0.01"}}, quartz),
              "d1: nearest line 3.343 against 3.36 \u00B1 0.01 \u00C5, off by 0.017 \u00C5");
    EXPECT_EQ(missText({{2, "si o2"}, {7, "5"}}, quartz),
              "a 4.913 against 5 \u00B1 0.05 \u00C5, off by 0.087 \u00C5");
    EXPECT_EQ(missText({{2, "si o2"}, {12, "118"}}, quartz),
              "\u03B3 120 against 118 \u00B1 0.05\u00B0, off by 2\u00B0");
    // Only the words the field lacks are named.
    EXPECT_EQ(missText({{0, "qua calx"}, {13, "7"}}, quartz), "Name \"Quartz\" lacks \"calx\"");
    EXPECT_EQ(missText({{22, "glassy"}, {13, "7"}}, quartz),
              "Appearance: the entry has none where \"glassy\" is wanted");
    EXPECT_EQ(missText({{13, "hard"}, {0, "quartz"}}, quartz),
              "Mohs: \"hard\" is no number the search can compare");
    // A space group met by neither its number nor its symbol.
    EXPECT_EQ(missText({{5, "152"}, {0, "quartz"}}, quartz),
              "Space group 154 against 152 \u00B1 0.1, off by 2");
    // A field the search compares with nothing fails for every entry.
    EXPECT_EQ(missText({{3, "x"}, {0, "quartz"}}, quartz),
              "tf3: \"x\" is compared with nothing, so no entry meets it");
    EXPECT_EQ(missText({{0, "quartz"}, {27, "2.5"}}, {{1, "Quartz"}}),
              "d3: the entry has no diffraction line");
    EXPECT_EQ(missText({{0, "quartz"}, {14, "3"}}, {{1, "Quartz"}}),
              "Z: the entry gives no value where 3 is wanted");
}

TEST(NearMiss, OnlyAnAndSearchOfTwoCriteriaOrMoreHasThem) {
    const std::string rec = record({{1, "Quartz"}, {16, "7"}});
    // Two failures, a match, OR, a single criterion, a typed d tolerance that is no criterion.
    EXPECT_FALSE(nearMissOf(typedAs({{0, "calcite"}, {13, "3"}}), false, rec));
    EXPECT_FALSE(nearMissOf(typedAs({{0, "quartz"}, {13, "7"}}), false, rec));
    EXPECT_FALSE(nearMissOf(typedAs({{0, "quartz"}, {13, "3"}}), true, rec));
    EXPECT_FALSE(nearMissOf(typedAs({{13, "3"}}), false, rec));
    EXPECT_FALSE(nearMissOf(typedAs({{13, "3"}, {33, "0.1"}}), false, rec));
    // A space group met as number and symbol makes up for a failed criterion: the search
    // matches the entry, so it is no near miss.
    const std::string withGroup = record({{1, "Quartz"}, {3, "154"}, {4, "154"}, {16, "7"}});
    EXPECT_FALSE(nearMissOf(typedAs({{5, "154"}, {13, "3"}}), false, withGroup));
    EXPECT_TRUE(nearMissOf(typedAs({{5, "154"}, {13, "3"}}), false,
                           record({{1, "Quartz"}, {3, "154"}, {4, "P3221"}, {16, "7"}})));
}

// Every near miss is an entry the search would match with its failing criterion taken away,
// and every entry the search misses that one criterion fewer would match is listed.
TEST(NearMiss, AreTheEntriesTheSearchMissesByOneCriterion) {
    TempDir dir;
    const SourceSet set = synthesize(400, 21);
    Session session;
    session.data = packInto(set, dir.path());
    ASSERT_TRUE(startUp(session).ok());
    const std::vector<bool> scope(static_cast<std::size_t>(session.maxCardNumber) + 1, true);
    const std::vector<std::vector<std::pair<int, std::string>>> searches = {
        {{0, "ite"}, {13, "5"}, {24, "a"}},
        {{13, "6"}, {0, "o"}, {8, "8 4"}, {25, "3.3"}},
        {{25, "3.34"}, {26, "4.26"}, {33, "0.05"}},
        {{2, "si o"}, {16, "3"}, {15, "3"}, {12, "90"}},
    };
    int listedOverall = 0;
    for (const auto& typed : searches) {
        const FormCriterionTexts texts = typedAs(typed);
        const Result<NearMissList> found =
            findNearMisses(session.data, texts, false, scope, session.maxCardNumber, 100000);
        ASSERT_TRUE(found.ok());
        std::map<int, int> missedField; // entry -> failing tf
        for (const NearMiss& m : found.value().misses)
            missedField[m.entry] = m.check.field;
        EXPECT_EQ(found.value().total, static_cast<int>(missedField.size()));
        listedOverall += found.value().total;

        const FormCriteria all = parseFormCriteria(texts);
        const int required = requiredFormHits(all, false);
        for (std::size_t e = 0; e < set.entries.size(); ++e) {
            const std::string rec = entryRecordText(set.entries[e]);
            const bool matched = formHits(all, rec) >= required;
            std::vector<int> rescuing; // criteria whose removal lets the search match
            for (const auto& [tf, text] : typed) {
                if (tf == kDToleranceField) continue;
                FormCriterionTexts fewer = texts;
                fewer[static_cast<std::size_t>(tf)].clear();
                const FormCriteria parsed = parseFormCriteria(fewer);
                if (formHits(parsed, rec) >= requiredFormHits(parsed, false))
                    rescuing.push_back(tf);
            }
            const int entry = static_cast<int>(e) + 1;
            if (!matched && rescuing.size() == 1) {
                ASSERT_TRUE(missedField.count(entry)) << "entry " << entry;
                EXPECT_EQ(missedField[entry], rescuing[0]) << "entry " << entry;
            } else {
                EXPECT_FALSE(missedField.count(entry)) << "entry " << entry;
            }
        }
        // Closest first.
        for (std::size_t i = 1; i < found.value().misses.size(); ++i)
            EXPECT_FALSE(nearMissBefore(found.value().misses[i], found.value().misses[i - 1]));
    }
    EXPECT_GT(listedOverall, 20); // the searches above do leave near misses
}

TEST(NearMiss, TheListIsCappedAndBecomesTheMainList) {
    TempDir dir;
    Session session;
    session.data = packInto(readFixtureSource("mini"), dir.path());
    ASSERT_TRUE(startUp(session).ok());
    // Six names hold "ite"; Calcite alone has Mohs 3 and matches. Albite's 6 is nearer than
    // the empty Mohs of the others, which follow by card number.
    const FormCriterionTexts typed = typedAs({{0, "ite"}, {13, "3.05"}});
    Result<NearMissList> all = findCardFormNearMisses(session, typed, false, true);
    ASSERT_TRUE(all.ok());
    ASSERT_EQ(all.value().total, 5);
    std::vector<int> cards;
    for (const NearMiss& m : all.value().misses)
        cards.push_back(m.card);
    EXPECT_EQ(cards, (std::vector<int>{5, 17, 42, 300, 9999}));
    EXPECT_EQ(all.value().misses[0].text, "Mohs 6-6.5 against 3.05 \u00B1 0.1, off by 2.95");
    Result<NearMissList> capped = findNearMisses(
        session.data, typed, false, searchScope(session, true), session.maxCardNumber, 1);
    ASSERT_TRUE(capped.ok());
    EXPECT_EQ(capped.value().misses.size(), 1u);
    EXPECT_EQ(capped.value().more(), all.value().total - 1);
    EXPECT_EQ(capped.value().misses[0].card, all.value().misses[0].card);
    EXPECT_NE(nearMissSummary(capped.value()).find("; the closest 1 are listed"),
              std::string::npos);
    EXPECT_EQ(nearMissSummary(NearMissList{}), "No entry fails just one criterion");

    ASSERT_TRUE(listNearMisses(session, all.value()).ok());
    ASSERT_EQ(session.rows.size(), all.value().misses.size());
    for (std::size_t i = 0; i < session.rows.size(); ++i)
        EXPECT_EQ(session.rows[i][ColName], all.value().misses[i].name);
    EXPECT_EQ(session.status[0], "Near Misses");
    EXPECT_EQ(session.status[1], std::to_string(session.rows.size()) + " near misses");
    EXPECT_EQ(session.selectedRow, 1);

    // Within the current list: only its cards.
    Result<NearMissList> within = findCardFormNearMisses(session, typed, false, false);
    ASSERT_TRUE(within.ok());
    EXPECT_EQ(within.value().total, static_cast<int>(all.value().misses.size()));
}
