// The card-form and optics searches on the packed mini fixture (tests/fixtures/mini), and on
// single records where one rule needs a record of its own.
#include <gtest/gtest.h>

#include "datafiles/record.h"
#include "search/criteria.h"
#include "search/optics_search.h"
#include "search/search_run.h"
#include "source/records.h"
#include "support/test_support.h"
#include "synth.h"
#include "text/codepage.h"
#include "text/split.h"

using namespace lithora;
using namespace lithora::test;

namespace {

class SearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        session.data = packInto(readFixtureSource("mini"), dir.path());
        ASSERT_TRUE(startUp(session).ok());
    }

    // Names listed after a search over the whole database; empty when nothing matched.
    std::vector<std::string> form(const std::vector<std::pair<int, std::string>>& typed,
                                  bool orCombination = false) {
        FormCriterionTexts texts;
        for (const auto& [i, text] : typed)
            texts[static_cast<std::size_t>(i)] = text;
        last = runCardFormSearch(session, texts, {orCombination, true}, nullptr);
        return names();
    }
    std::vector<std::string> optics(const std::vector<std::pair<int, std::string>>& typed,
                                    bool orCombination = false) {
        OpticsCriterionTexts texts;
        for (const auto& [i, text] : typed)
            texts[static_cast<std::size_t>(i)] = text;
        last = runOpticsSearch(session, texts, {orCombination, true}, nullptr);
        return names();
    }
    std::vector<std::string> names() const {
        if (last.end != SearchEnd::Matches) return {};
        std::vector<std::string> out;
        for (const ListRow& r : session.rows)
            out.push_back(r[ColName]);
        return out;
    }

    TempDir dir;
    Session session;
    SearchOutcome last;
};

using Names = std::vector<std::string>;

} // namespace

TEST_F(SearchTest, TextCriteriaAreWordsThatMustAllOccur) {
    EXPECT_EQ(form({{0, "al"}}), (Names{"Albite", "Calcite", "Zalum"}));
    EXPECT_EQ(form({{0, "  cal  ite "}}), (Names{"Calcite"})); // both words, anywhere
    EXPECT_EQ(form({{2, "Ca C O3"}}), (Names{"Calcite"}));     // blanks out of the formula
    EXPECT_EQ(form({{18, "garnet"}}), (Names{"Garnet", "Monoclinite"}));
    EXPECT_EQ(last.matchCount, 2);
    EXPECT_EQ(session.status[1], "2 matches");
    EXPECT_EQ(form({{0, "\xE4\xB8\xAD"}}), Names{}); // a character the records cannot hold
    EXPECT_EQ(last.message, "No Matches found");
}

TEST_F(SearchTest, NumbersWithTheirToleranceForms) {
    EXPECT_EQ(form({{13, "3"}}), (Names{"Calcite"}));     // Mohs within 0.1
    EXPECT_EQ(form({{13, "2 4"}}), (Names{"Calcite"}));   // a range: its middle, 3, within 0.1
    EXPECT_EQ(form({{13, "3 0.5"}}), (Names{"Calcite"})); // value and tolerance: 3 within 0.1
    EXPECT_EQ(form({{13, "6.1"}}), (Names{"Albite"}));    // "6-6.5" reads 6
    EXPECT_EQ(form({{13, "6.2"}}), Names{});
    EXPECT_EQ(form({{16, "2.66"}}), (Names{"Albite"})); // SGc 2.62 within 0.05
    EXPECT_EQ(form({{14, "6.4"}}), (Names{"Calcite"})); // Z within 0.5
}

TEST_F(SearchTest, TheSpaceGroupFieldIsTestedAsNumberAndAsSymbol) {
    // "2": Albite by its number 2, Akermanite (P-421m) and Monoclinite (C2/c) by their symbols.
    EXPECT_EQ(form({{5, "2"}}), (Names{"Albite", "Akermanite", "Monoclinite"}));
    FormCriterionTexts texts;
    texts[5] = "2";
    const FormCriteria criteria = parseFormCriteria(texts);
    EXPECT_EQ(formHits(criteria, "99|X||2|P2"), 2); // fields 3 and 4: one typed value, two hits
}

TEST_F(SearchTest, CellParametersEachGiveTheirHit) {
    EXPECT_EQ(form({{7, "4.99"}, {9, "17.06"}}), (Names{"Calcite"}));
    EXPECT_EQ(form({{7, "4.99"}, {9, "5.0"}}), Names{});
    EXPECT_EQ(form({{7, "4.99"}, {9, "5.0"}}, true), (Names{"Akermanite", "Calcite"}));
    EXPECT_EQ(form({{11, "116.6"}}), (Names{"Albite"})); // beta within 0.05
}

TEST_F(SearchTest, DSpacingsUseTheTypedToleranceAndHitOncePerValue) {
    EXPECT_EQ(form({{25, "3.1"}}), (Names{"Akermanite"}));             // 3.07, default 0.05
    EXPECT_EQ(form({{25, "3.1"}, {33, "0.02"}}), Names{});             // narrowed to 0.02
    EXPECT_EQ(form({{25, "3.03"}, {33, "0.02"}}), (Names{"Calcite"})); // 3.035
    // One line of the entry may satisfy two typed values: 3.035 gives both their hit.
    EXPECT_EQ(form({{25, "3.03"}, {26, "3.04"}, {0, "calc"}}), (Names{"Calcite"}));
    FormCriterionTexts texts;
    texts[25] = "3.03";
    texts[26] = "3.04";
    const FormCriteria criteria = parseFormCriteria(texts);
    EXPECT_EQ(formHits(criteria, "1|C|||||3.035 3.035 3.035"), 2); // one hit per typed value
}

TEST_F(SearchTest, CountingRules) {
    // A number criterion that is no positive number never hits but still counts under AND.
    EXPECT_EQ(form({{0, "cal"}, {13, "abc"}}), Names{});
    EXPECT_EQ(form({{0, "cal"}, {13, "abc"}}, true), (Names{"Calcite"}));
    // Only a d tolerance: criteria were entered, yet one hit is needed and none can come.
    EXPECT_EQ(form({{33, "0.02"}}), Names{});
    EXPECT_EQ(last.end, SearchEnd::NoMatches);
    // The tolerance does not count among the hits when others are typed.
    EXPECT_EQ(form({{0, "cal"}, {25, "3.03"}, {33, "0.02"}}), (Names{"Calcite"}));
    EXPECT_EQ(form({}), Names{});
    EXPECT_EQ(last.end, SearchEnd::NoCriteria);
    EXPECT_EQ(last.message, "No criteria entered!");
}

TEST_F(SearchTest, CurrentListScopeAndTheQuestion) {
    ASSERT_TRUE(loadGroup(session, "Garnet").ok()); // Garnet and Monoclinite
    FormCriterionTexts texts;
    texts[0] = "al";
    std::vector<std::string> asked;
    const SearchOutcome declined =
        runCardFormSearch(session, texts, {false, false}, [&](std::string_view q) {
            asked.emplace_back(q);
            return false;
        });
    EXPECT_EQ(declined.end, SearchEnd::Declined);
    EXPECT_EQ(
        asked,
        (std::vector<std::string>{
            "No Matches found in current list.\r\nDo you want to search the full database?"}));
    EXPECT_EQ(session.rows.size(), 2u); // the list stays
    EXPECT_EQ(session.status[1], "0 matches");

    const SearchOutcome widened =
        runCardFormSearch(session, texts, {false, false}, [](std::string_view) { return true; });
    EXPECT_EQ(widened.end, SearchEnd::Matches);
    EXPECT_EQ(widened.matchCount, 3);

    ASSERT_TRUE(getFullList(session, "").ok()); // the list holds every entry: no question
    texts[0] = "nothing";
    int questions = 0;
    const SearchOutcome none =
        runCardFormSearch(session, texts, {false, false}, [&](std::string_view) {
            ++questions;
            return true;
        });
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(none.message, "No Matches found");

    ASSERT_TRUE(loadGroup(session, "Garnet").ok());
    texts[0] = "monocl";
    EXPECT_EQ(runCardFormSearch(session, texts, {false, false}, nullptr).end, SearchEnd::Matches);
}

TEST_F(SearchTest, OpticsNumbersWithTheirToleranceForms) {
    EXPECT_EQ(optics({{47, "1.59"}}), (Names{"Calcite"}));      // 1.6 within 1 % of 1.59
    EXPECT_EQ(optics({{47, "1.59 0.01"}}), (Names{"Calcite"})); // within 0.01
    EXPECT_EQ(optics({{47, "1.59 1.595"}}), Names{});           // 1.5925 +- 0.005 misses 1.6
    EXPECT_EQ(optics({{47, "1.59 1.61"}}), (Names{"Calcite"})); // 1.60 +- 0.02
    EXPECT_EQ(optics({{48, "2.5"}}), (Names{"Calcite"}));       // "2.5 (calc)" reads 2.5
    EXPECT_EQ(optics({{46, "0.172"}}), (Names{"Calcite"}));
    EXPECT_EQ(optics({{46, "0.17"}}), Names{}); // 0.172 is more than 1 % from 0.17
}

TEST_F(SearchTest, OpticsTwoValuesAndNormalisedTexts) {
    EXPECT_EQ(optics({{16, "1.6601 0.0002"}}), (Names{"Calcite"})); // the second value 1.660 hits
    EXPECT_EQ(optics({{16, "1.6581 0.0002"}}), (Names{"Calcite"})); // the first value 1.658 hits
    EXPECT_EQ(optics({{16, "1.70 0.0002"}}), Names{});
    EXPECT_EQ(optics({{8, "-"}}), (Names{"Calcite"})); // NEG in "Negative"
    EXPECT_EQ(optics({{8, "+"}}), Names{});
    EXPECT_EQ(optics({{49, "-"}}), (Names{"Calcite"})); // "<neg"
    EXPECT_EQ(optics({{6, "uniaxial"}}), (Names{"Calcite"}));
    EXPECT_EQ(optics({{6, "biaxial"}}), Names{});
    EXPECT_EQ(optics({{15, "weak"}}), (Names{"Albite"}));
    EXPECT_EQ(optics({{15, "0"}}), Names{});   // a field stored as "0" is empty
    EXPECT_EQ(optics({{33, "0.0"}}), Names{}); // so is "0.0", even for a criterion of 0
    EXPECT_EQ(optics({{33, "8.5 1"}}), (Names{"Calcite"})); // the 470 pair 8.1 / 9.3
}

TEST(OpticsHits, OneReflectivityGivesTwoHits) {
    OpticsCriterionTexts texts;
    texts[36] = "10"; // 546 nm: the average (field 5) and the low/high pair (field 34)
    const OpticsCriteria criteria = parseOpticsCriteria(texts);
    std::array<std::string, 42> f;
    f[5] = "10.0";
    f[34] = "9.9\x1d"
            "10.05";
    std::string record;
    for (std::size_t i = 0; i < f.size(); ++i)
        record += (i ? "|" : "") + f[i];
    EXPECT_EQ(opticsHits(criteria, record), 2);
    EXPECT_EQ(requiredOpticsHits(criteria, false), 1);
    texts[47] = "1.5";
    EXPECT_EQ(requiredOpticsHits(parseOpticsCriteria(texts), false), 2);
    EXPECT_EQ(requiredOpticsHits(parseOpticsCriteria(texts), true), 1);
}

TEST_F(SearchTest, AMissingDataFileEndsTheSearchWithAMessage) {
    std::filesystem::remove(dir.path() / "lithora.h");
    OpticsCriterionTexts texts;
    texts[47] = "1.6";
    const SearchOutcome outcome = runOpticsSearch(session, texts, {false, true}, nullptr);
    EXPECT_EQ(outcome.end, SearchEnd::Failed);
    EXPECT_NE(outcome.message.find("lithora.h"), std::string::npos) << outcome.message;
    std::filesystem::remove(dir.path() / "lithora.a");
    FormCriterionTexts form;
    form[0] = "a";
    EXPECT_EQ(runCardFormSearch(session, form, {false, true}, nullptr).end, SearchEnd::Failed);
}

namespace {

// Records of every shape the decoder meets: blanks around the record and its fields, "|" at
// either end, separators inside and across 64-byte blocks, records shorter and longer than a
// block, and no separator at all.
std::vector<std::string> decoderRecords() {
    std::vector<std::string> records = {"",     " ",     "|",   "||",   "  |a|  ", "a|b|",
                                        "|a|b", "   x ", "a  ", "  a|", "a| b |c "};
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    const std::string alphabet = "ab cD|\xe9 |||  xyz";
    for (int r = 0; r < 300; ++r) {
        std::string s(next() % 400, ' ');
        for (char& c : s)
            c = alphabet[next() % alphabet.size()];
        records.push_back(s);
    }
    return records;
}

} // namespace

TEST(RecordDecoder, FindsTheFieldsSplitFieldsFindsInWhateverOrderTheyAreAskedFor) {
    // The program's key, and one whose length does not divide a 64-byte block.
    for (const std::string& key : {buildRecordKey(), std::string("Qz7")}) {
        for (const bool upper : {false, true}) {
            RecordDecoder decoder(key, upper);
            RecordDecoder plain(std::string_view(), upper);
            for (const std::string& record : decoderRecords()) {
                std::string text = record;
                if (upper) upperCaseCp1252(text);
                const std::vector<std::string> fields = splitFields(text);
                const std::string scrambled = scrambleRecord(record, key);
                // Fields are unscrambled as far as the one asked for: ask near, far, beyond the
                // last, and back, and the count last or first.
                const std::vector<std::vector<std::size_t>> orders = {
                    {0, 1, 2, 3, 30}, {5, 0, 40, 1}, {30, 2}, {1000}, {}};
                for (const auto& order : orders) {
                    for (const bool countFirst : {false, true}) {
                        decoder.decode(scrambled);
                        plain.decode(record);
                        if (countFirst) {
                            ASSERT_EQ(decoder.fieldCount(), fields.size()) << '"' << record << '"';
                        }
                        for (const std::size_t k : order) {
                            const std::string_view expected = k < fields.size()
                                                                  ? std::string_view(fields[k])
                                                                  : std::string_view();
                            ASSERT_EQ(decoder.field(k), expected)
                                << '"' << record << "\" field " << k;
                            ASSERT_EQ(plain.field(k), expected)
                                << '"' << record << "\" field " << k;
                        }
                        ASSERT_EQ(decoder.fieldCount(), fields.size()) << '"' << record << '"';
                        ASSERT_EQ(plain.fieldCount(), fields.size()) << '"' << record << '"';
                        for (std::size_t k = 0; k <= fields.size(); ++k) {
                            const std::string_view expected = k < fields.size()
                                                                  ? std::string_view(fields[k])
                                                                  : std::string_view();
                            ASSERT_EQ(decoder.field(k), expected)
                                << '"' << record << "\" field " << k;
                        }
                    }
                }
            }
        }
    }
}

TEST(UpperCase, EveryByteAtEveryPlaceOfARunAsTheCodePageSays) {
    // Runs of plain ASCII take a faster way than runs with a byte of 0x80 or more; both must
    // give the code page's upper case for every byte, wherever it stands.
    for (int b = 0; b < 256; ++b) {
        const auto expected = static_cast<char>(upperCp1252(static_cast<unsigned char>(b)));
        for (const std::size_t length : {1u, 15u, 16u, 17u, 40u}) {
            for (std::size_t at = 0; at < length; ++at) {
                std::string ascii(length, 'q');
                ascii[at] = static_cast<char>(b);
                upperCaseCp1252(ascii);
                ASSERT_EQ(ascii[at], expected) << "byte " << b << " at " << at << " of " << length;
                for (std::size_t j = 0; j < length; ++j) {
                    if (j != at) {
                        ASSERT_EQ(ascii[j], 'Q') << "byte " << b << " at " << at;
                    }
                }
            }
        }
    }
    // The decoder finds field separators before it upper-cases.
    for (int b = 0; b < 256; ++b)
        ASSERT_EQ(upperCp1252(static_cast<unsigned char>(b)) == '|', b == '|') << b;
    std::string all;
    for (int b = 255; b >= 0; --b)
        all += static_cast<char>(b);
    std::string upper = all + all;
    upperCaseCp1252(upper);
    for (std::size_t i = 0; i < upper.size(); ++i)
        ASSERT_EQ(upper[i],
                  static_cast<char>(upperCp1252(static_cast<unsigned char>(all[i % 256]))));
}

// The pass stops counting a record's hits once the criteria left cannot reach the number
// wanted; which records match must not change. Every record is counted in full here and
// compared with the pass.
TEST(FormSearchPass, MatchesWhatAFullCountOfEveryRecordGives) {
    TempDir dir;
    const SourceSet set = synthesize(400, 11);
    Session session;
    session.data = packInto(set, dir.path());
    ASSERT_TRUE(startUp(session).ok());
    const std::vector<std::vector<std::pair<int, std::string>>> criteria = {
        {{0, "ite"}, {24, "a"}},
        {{13, "5 7"}, {7, "10 2"}, {14, "4"}},
        {{13, "6"}, {0, "o"}, {8, "8 4"}, {25, "3.3"}},
        {{25, "3.34"}, {26, "4.26"}, {33, "0.05"}},
        {{2, "si o"}, {16, "3"}, {15, "3"}, {12, "4"}, {11, "90"}},
    };
    const std::vector<bool> scope(static_cast<std::size_t>(session.maxCardNumber) + 1, true);
    for (const auto& typed : criteria) {
        FormCriterionTexts texts;
        for (const auto& [i, text] : typed)
            texts[static_cast<std::size_t>(i)] = text;
        const FormCriteria parsed = parseFormCriteria(texts);
        for (const bool orCombination : {false, true}) {
            const int required = requiredFormHits(parsed, orCombination);
            const Result<SearchPass> pass =
                runFormSearchPass(session.data, parsed, required, scope, session.maxCardNumber, {});
            ASSERT_TRUE(pass.ok());
            int expectedCount = 0;
            for (std::size_t e = 0; e < set.entries.size(); ++e) {
                const bool expected = formHits(parsed, entryRecordText(set.entries[e])) >= required;
                expectedCount += expected ? 1 : 0;
                ASSERT_EQ(pass.value().matchFlags[e + 1], expected)
                    << "entry " << e + 1 << ", criteria " << typed[0].second;
            }
            EXPECT_EQ(pass.value().matchCount, expectedCount);
            if (orCombination) {
                EXPECT_GT(expectedCount, 0) << typed[0].second;
            }
        }
    }
}

// The optics pass reads only the fields a typed criterion is tied to; which entries match must
// be what a full count of each optical record gives.
TEST(OpticsSearchPass, MatchesWhatAFullCountOfEveryRecordGives) {
    TempDir dir;
    const SourceSet set = synthesize(400, 13);
    Session session;
    session.data = packInto(set, dir.path());
    ASSERT_TRUE(startUp(session).ok());
    ASSERT_FALSE(set.optics.empty());
    const std::vector<std::vector<std::pair<int, std::string>>> criteria = {
        {{6, "biaxial"}, {47, "1.55 1.65"}, {8, "+"}},
        {{6, "uni"}, {0, "1.6"}},
        {{1, "1.5 1.7"}, {2, "1.6"}, {8, "-"}, {12, "a"}},
    };
    const std::vector<bool> scope(static_cast<std::size_t>(session.maxCardNumber) + 1, true);
    for (const auto& typed : criteria) {
        OpticsCriterionTexts texts;
        for (const auto& [i, text] : typed)
            texts[static_cast<std::size_t>(i)] = text;
        const OpticsCriteria parsed = parseOpticsCriteria(texts);
        for (const bool orCombination : {false, true}) {
            const int required = requiredOpticsHits(parsed, orCombination);
            const Result<SearchPass> pass = runOpticsSearchPass(session.data, parsed, required,
                                                                scope, session.maxCardNumber, {});
            ASSERT_TRUE(pass.ok());
            std::vector<bool> expected(pass.value().matchFlags.size(), false);
            for (const SourceOptics& o : set.optics) {
                const int entry = session.data.tables.entryOf(o.card);
                if (entry > 0 && opticsHits(parsed, opticsRecordText(o)) >= required)
                    expected[static_cast<std::size_t>(entry)] = true;
            }
            EXPECT_EQ(pass.value().matchFlags, expected) << typed[0].second << " " << orCombination;
            if (orCombination) {
                EXPECT_GT(std::count(expected.begin(), expected.end(), true), 0);
            }
        }
    }
}
