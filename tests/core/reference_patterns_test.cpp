// lithora.p: the reader of the reference patterns, where it stops on damage, and the lines the
// identification takes from it or, without it, from the card.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "datafiles/record.h"
#include "datafiles/reference_patterns.h"
#include "patterns/identification_lines.h"
#include "source/packer.h"
#include "support/not_a_file.h"
#include "support/test_support.h"

using namespace lithora;
using namespace lithora::test;

namespace {

// The mini fixture's patterns as packed: calcite (card 1, 18 lines) then albite (card 5, 10).
std::string miniPatterns() {
    return packPatterns(*readFixtureSource("mini").patterns);
}

// Where the fields lie, from the format: the header record takes 4 + 10 bytes; a record of n
// lines is its length field, then card, I/Ic, cut, n (14 bytes), d (4 n), intensity (2 n),
// hkl (6 n), multiplicity (2 n).
constexpr std::int64_t kCalcite = 14, kCalciteLines = 18;
constexpr std::int64_t kCalciteD = kCalcite + 4 + 14;
constexpr std::int64_t kCalciteIntensity = kCalciteD + 4 * kCalciteLines;
constexpr std::int64_t kCalciteHkl = kCalciteD + 6 * kCalciteLines;
constexpr std::int64_t kCalciteMultiplicity = kCalciteD + 12 * kCalciteLines;
constexpr std::int64_t kAlbite = kCalcite + 4 + 14 + 14 * kCalciteLines; // 284

std::string put32(std::string bytes, std::int64_t at, std::int32_t v) {
    std::string field;
    appendInt32LE(field, v);
    return bytes.replace(static_cast<std::size_t>(at), 4, field);
}
std::string put16(std::string bytes, std::int64_t at, std::int16_t v) {
    std::string field;
    appendInt16LE(field, v);
    return bytes.replace(static_cast<std::size_t>(at), 2, field);
}

} // namespace

TEST(ReferencePatterns, AGoodFileReadsBackExactly) {
    const ReferencePatterns p = readReferencePatterns(miniPatterns(), "lithora.p");
    ASSERT_EQ(p.state(), PatternFileState::Read) << p.message();
    EXPECT_EQ(p.message(), "");
    ASSERT_EQ(p.cardCount(), 2u);
    EXPECT_EQ(p.lineCount(), 28u);
    // Values as tests/fixtures/mini/patterns.tsv writes them.
    const std::optional<PatternView> calcite = p.find(1);
    ASSERT_TRUE(calcite);
    ASSERT_EQ(calcite->size(), 18u);
    EXPECT_FLOAT_EQ(calcite->d[1], 3.0355f);
    EXPECT_FLOAT_EQ(calcite->intensity[1], 100.0);
    EXPECT_EQ(calcite->hkl[1], (Miller{1, 0, 4}));
    EXPECT_EQ(calcite->multiplicity[1], 6);
    EXPECT_FLOAT_EQ(calcite->d[17], 1.4217f);
    EXPECT_FLOAT_EQ(calcite->intensity[17], 2.6f);
    EXPECT_EQ(calcite->hkl[11], (Miller{1, 0, 10}));
    EXPECT_DOUBLE_EQ(*calcite->iic(), 3.126);
    EXPECT_EQ(calcite->cut, 0u);
    const std::optional<PatternView> albite = p.find(5);
    ASSERT_TRUE(albite);
    EXPECT_EQ(albite->card, 5);
    EXPECT_FALSE(albite->iic());
    EXPECT_EQ(albite->cut, 412u);
    EXPECT_EQ(albite->hkl[2], (Miller{1, 1, -1}));
    EXPECT_FALSE(p.find(17));
    EXPECT_FALSE(p.find(0));
    EXPECT_FALSE(p.find(10001));
    // The strongest lines, once worked out, strongest first and of equal ones the larger d
    // first: all ten of albite's, sixteen of calcite's eighteen.
    EXPECT_TRUE(calcite->strongest.empty());
    p.prepareStrongest();
    for (const PatternView& v : {*p.find(1), *p.find(5)}) {
        std::vector<std::pair<float, float>> expected;
        for (std::size_t i = 0; i < v.size(); ++i)
            expected.emplace_back(v.intensity[i], v.d[i]);
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        expected.resize(std::min<std::size_t>(expected.size(), kStrongestKept));
        EXPECT_EQ(std::vector(v.strongest.begin(), v.strongest.end()), expected) << v.card;
    }
}

TEST(ReferencePatterns, DamageStopsAtTheRecordAndNamesTheByte) {
    const std::string good = miniPatterns();
    struct Case {
        const char* label;
        std::string bytes;
        std::int64_t byte;
        std::size_t kept; // cards read before the damage
        const char* why;
    };
    const Case cases[] = {
        {"header", std::string(good).replace(13, 1, "2"), 0, 0, "header \"PATTERNS 1\""},
        {"empty", std::string(), 0, 0, "header"},
        {"length", put32(good, kAlbite, 15), kAlbite, 1, "length 15 does not fit"},
        {"cut in a length", good.substr(0, kAlbite + 2), kAlbite, 1, "inside a length field"},
        {"cut in a body", good.substr(0, kAlbite + 40), kAlbite, 1, "runs past the end"},
        {"card order", put32(good, kAlbite + 4, 1), kAlbite + 4, 1, "cards must ascend"},
        {"card range", put32(good, kCalcite + 4, 10001), kCalcite + 4, 0, "outside 1..10000"},
        {"line count", put16(good, kCalcite + 4 + 12, 17), kCalcite + 16, 0, "disagrees"},
        {"lines cut", put32(good, kAlbite + 12, 1000001), kAlbite + 12, 1, "above 1000000"},
        {"d order", put32(good, kCalciteD + 4, 38550), kCalciteD + 4, 0, "is not below"},
        {"d zero", put32(good, kCalciteD + 8, 0), kCalciteD + 8, 0, "outside 1..1000000"},
        {"intensity", put16(good, kCalciteIntensity + 2 * 3, 10001), kCalciteIntensity + 6, 0,
         "outside 1..10000"},
        {"no line at 100", put16(good, kCalciteIntensity + 2, 9999), kCalciteIntensity, 0,
         "intensity 100"},
        {"index", put16(good, kCalciteHkl + 6 * 2 + 4, 1000), kCalciteHkl + 12, 0, "-999..999"},
        {"no indices", put16(good, kCalciteHkl + 6 * 2 + 4, 0), kCalciteHkl + 12, 0,
         "names no reflection"}, // 0 0 6 made 0 0 0
        {"multiplicity", put16(good, kCalciteMultiplicity + 2 * 17, 193), kCalciteMultiplicity + 34,
         0, "outside 1..192"},
    };
    for (const Case& c : cases) {
        const ReferencePatterns p = readReferencePatterns(c.bytes, "INDEX/lithora.p");
        EXPECT_EQ(p.state(), PatternFileState::Damaged) << c.label;
        EXPECT_EQ(p.cardCount(), c.kept) << c.label;
        EXPECT_EQ(p.lineCount(), c.kept == 1 ? 18u : 0u) << c.label;
        const std::string at = "INDEX/lithora.p is damaged at byte " + std::to_string(c.byte) + ":";
        EXPECT_EQ(p.message().rfind(at, 0), 0u) << c.label << ": " << p.message();
        EXPECT_NE(p.message().find(c.why), std::string::npos) << c.label << ": " << p.message();
    }
}

TEST(ReferencePatterns, MissingIsQuietAndFallsBackToTheCardLines) {
    TempDir dir;
    int told = 0;
    const ErrorSink sink = [&](std::string_view, std::string_view) { ++told; };
    DataSet data;
    data.dir = dir.path();
    const auto none = referencePatternsOf(data, sink);
    EXPECT_EQ(none->state(), PatternFileState::Missing);
    EXPECT_EQ(told, 0);
    // Card lines come strongest first from the record; here in decreasing d, as a pattern runs.
    // A line without an intensity counts as 50, and the strongest is 100: 50 -> 100.
    const IdentificationLines lines =
        identificationLines(none.get(), 1, "3.035 2.285 3.86", "100 18 12");
    EXPECT_EQ(lines.source(), LineSource::CardLines);
    EXPECT_EQ(std::vector<float>(lines.d().begin(), lines.d().end()),
              (std::vector<float>{3.86f, 3.035f, 2.285f}));
    EXPECT_EQ(std::vector<float>(lines.intensity().begin(), lines.intensity().end()),
              (std::vector<float>{12, 100, 18}));
    EXPECT_EQ(identificationLines(nullptr, 1, "2.87 3.07", "").intensity()[0], 100.0);
    EXPECT_EQ(identificationLines(nullptr, 1, "", "").source(), LineSource::None);

    writeFile(dir.path() / "lithora.p", miniPatterns());
    const auto read = referencePatternsOf(data, sink);
    const IdentificationLines whole = identificationLines(read.get(), 1, "3.035", "100");
    EXPECT_EQ(whole.source(), LineSource::Pattern);
    EXPECT_EQ(whole.size(), 18u);
    EXPECT_EQ(identificationLines(read.get(), 17, "2.87", "").source(), LineSource::CardLines);
    EXPECT_EQ(told, 0);
}

TEST(ReferencePatterns, DamageIsToldOnceUntilTheFileChanges) {
    TempDir dir;
    std::vector<std::string> told;
    const ErrorSink sink = [&](std::string_view operation, std::string_view message) {
        told.push_back(std::string(operation) + ": " + std::string(message));
    };
    DataSet data;
    data.dir = dir.path();
    writeFile(dir.path() / "lithora.p", miniPatterns().substr(0, kAlbite + 40));
    const auto first = referencePatternsOf(data, sink);
    EXPECT_EQ(referencePatternsOf(data, sink), first); // kept, and not told again
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("loadReferencePatterns: Error: " + (dir.path() / "lithora.p").string() +
                                " is damaged at byte 284",
                            0),
              0u)
        << told[0];
    EXPECT_EQ(first->cardCount(), 1u);
    writeFile(dir.path() / "lithora.p", miniPatterns());
    EXPECT_EQ(referencePatternsOf(data, sink)->state(), PatternFileState::Read);
    EXPECT_EQ(told.size(), 1u);
}

TEST(ReferencePatterns, NotARegularFileIsUnreadableAndToldOnce) {
    for (const NotAFile kind : kNotAFileKinds) {
        TempDir dir;
        std::string why;
        ASSERT_TRUE(putInPlace(dir.path() / "lithora.p", kind, &why)) << why;
        int told = 0;
        DataSet data;
        data.dir = dir.path();
        const ErrorSink sink = [&](std::string_view, std::string_view) { ++told; };
        EXPECT_EQ(referencePatternsOf(data, sink)->state(), PatternFileState::Unreadable)
            << describe(kind);
        EXPECT_EQ(referencePatternsOf(data, sink)->message(),
                  "cannot read " + (dir.path() / "lithora.p").string());
        EXPECT_EQ(told, 1) << describe(kind);
    }
}
