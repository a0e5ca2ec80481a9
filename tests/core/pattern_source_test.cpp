// patterns.tsv: its rules as pack checks them, and lithora.p as pack writes and verify checks it.
#include <gtest/gtest.h>

#include "datafiles/record.h"
#include "source/packer.h"
#include "source/source_format.h"
#include "source/verify.h"
#include "support/test_support.h"

using namespace lithora;
using namespace lithora::test;

namespace {

const std::string kHeader = "card\tiic\tcut\td\tintensity\th\tk\tl\tmultiplicity\n";

std::vector<std::string> problemsWith(const std::string& patterns) {
    TempDir dir;
    for (const char* name : {kEntriesFile, kReferencesFile, kOpticsFile})
        writeFile(dir.path() / name, readFile(fixture("mini") / name));
    writeFile(dir.path() / kPatternsFile, patterns);
    std::vector<std::string> out;
    for (const SourceProblem& p : readSource(dir.path()).problems)
        out.push_back(p.text());
    return out;
}

} // namespace

TEST(PatternSource, ListsEveryFaultWithLineAndColumn) {
    // Cards 1, 5, 17 and 9999 are in the mini entries; 4321 is not.
    const std::string text = kHeader +
                             "1\t3.1265\t0\t3.8550\t12.00\t0\t1\t2\t6\n"   // 2: iic of 4 decimals
                             "1\t\t5\t3.0355\t100.00\t1\t0\t4\t6\n"        // 3: a cut here
                             "1\t\t\t3.0355\t14.00\t1\t1\t0\t6\n"          // 4: d not below
                             "1\t\t\t2.2848\t100.001\t0\t0\t0\t193\n"      // 5: three faults
                             "5\t0.000\t\t4.0283\t20.00\t2\t0\t-1000\t2\n" // 6: four faults
                             "17\t \t0\t2.87\t100\t1\t1\t1\t2\n"           // 7: a blank iic
                             "1\t\t0\t1.5\t100.00\t1\t0\t0\t2\n"           // 8: card 1 again
                             "4321\t\t0\t1.0\t100.00\t1\t0\t0\t2\n"        // 9: no such entry
                             "x\t\t0\t1.0\t100.00\t1\t0\t0\t2\n"           // 10: no card
                             "9999\t\t0\t101.0000\t100.00\t1\t0\t0\t2\n";  // 11: d above 100
    const std::string iic =
        "column iic: must be empty or a number more than 0 with at most 3 decimals, such as 3.412";
    const std::vector<std::string> expected = {
        "patterns.tsv:2:2: " + iic,
        "patterns.tsv:3:3: column cut: is given on the first row of card 1 only; leave it empty "
        "here",
        "patterns.tsv:4:4: column d: must be below the d of the line before, 3.0355",
        "patterns.tsv:5:5: column intensity: must be a number with at most 2 decimals, such as "
        "12.50",
        "patterns.tsv:5:6: column h: h, k and l may not all be 0",
        "patterns.tsv:5:9: column multiplicity: must be a whole number from 1 to 192",
        "patterns.tsv:6:2: " + iic,
        "patterns.tsv:6:3: column cut: the first row of a card gives its cut: a whole number from "
        "0 to 1000000",
        "patterns.tsv:6:5: column intensity: no line of card 5 has the intensity of the "
        "strongest, 100.00",
        "patterns.tsv:6:8: column l: must be a whole number from -999 to 999",
        "patterns.tsv:7:2: " + iic,
        "patterns.tsv:8:1: column card: card 1 follows card 17: the cards must ascend and the rows "
        "of a card be consecutive",
        "patterns.tsv:9:1: column card: no entry has this card number",
        "patterns.tsv:10:1: column card: must be a whole number from 1 to 10000",
        "patterns.tsv:11:4: column d: must be more than 0 and at most 100",
    };
    EXPECT_EQ(problemsWith(text), expected);
}

TEST(PatternSource, LineCountHeaderAndFileFaults) {
    std::string many = kHeader + "1\t\t0\t90.0000\t100.00\t1\t0\t0\t2\n";
    for (int i = 1; i <= 500; ++i) // d 89.9999, 89.9998, ...: 501 lines in all
        many += "1\t\t\t89." + std::to_string(10000 - i) + "\t1.00\t1\t0\t0\t2\n";
    EXPECT_EQ(problemsWith(many),
              std::vector<std::string>{"patterns.tsv:502: card 1 has more than 500 lines"});
    const std::vector<std::string> header = problemsWith("card\tiic\td\n");
    ASSERT_EQ(header.size(), 1u);
    EXPECT_EQ(header[0].rfind("patterns.tsv:1:3: column cut: header must be the columns: card iic "
                              "cut d intensity h k l multiplicity",
                              0),
              0u)
        << header[0];
    TempDir dir;
    for (const char* name : {kEntriesFile, kReferencesFile, kOpticsFile})
        writeFile(dir.path() / name, readFile(fixture("mini") / name));
    EXPECT_TRUE(readSource(dir.path()).problems.empty()); // patterns.tsv is optional
    std::filesystem::create_directory(dir.path() / kPatternsFile);
    const SourceReadResult read = readSource(dir.path());
    ASSERT_EQ(read.problems.size(), 1u);
    EXPECT_EQ(read.problems[0].text(),
              "patterns.tsv: cannot read " + (dir.path() / kPatternsFile).string());
}

TEST(PatternSource, PackedPatternsMatchTheCommittedFixture) {
    // tests/fixtures/mini-index/lithora.p holds the mini patterns as packed when the format was
    // fixed: 14 bytes of header, 4 + 14 + 14 × 18 for calcite, 4 + 14 + 14 × 10 for albite.
    const PackedSet packed = packSourceSet(readFixtureSource("mini"), buildRecordKey());
    ASSERT_TRUE(packed.patterns);
    EXPECT_EQ(packed.patterns->size(), 14u + 4 + 266 + 4 + 154);
    EXPECT_EQ(*packed.patterns, readFile(fixture("mini-index") / "lithora.p"));
}

TEST(PatternSource, VerifyNamesEachFaultOfLithoraP) {
    TempDir dir;
    ASSERT_TRUE(
        writePackedSet(packSourceSet(readFixtureSource("mini"), buildRecordKey()), dir.path())
            .ok());
    const std::string sound = readFile(dir.path() / "lithora.p");
    auto problems = [&](const std::string& bytes) {
        writeFile(dir.path() / "lithora.p", bytes);
        std::string out;
        for (const std::string& p : verifyDataSet(dir.path(), buildRecordKey()))
            out += p + "\n";
        return out;
    };
    EXPECT_EQ(problems(sound), "");
    std::string d = sound, card = sound;
    d.replace(36, 4, std::string("\x96\x96\x00\x00", 4)); // calcite's second d: 38550, as the first
    card.replace(288, 4, std::string("\x06\x00\x00\x00", 4)); // albite's card 5 made 6
    // Calcite's record is at byte 14, its d start at 14 + 4 + 14 = 32; albite's at 284.
    EXPECT_EQ(problems(d),
              "lithora.p: byte 36: card 1: line 2: d 3.8550 Å is not below the line before's "
              "3.8550 Å\n");
    EXPECT_EQ(problems(card), "lithora.p: byte 284: card 6 has a pattern but no entry\n");
    EXPECT_EQ(problems(sound.substr(0, 300)), "lithora.p: byte 284: the record of 154 bytes runs "
                                              "past the end of the file (12 bytes left)\n");
    EXPECT_EQ(problems("PATTERNS 1"), "lithora.p: the first record must be the header "
                                      "\"PATTERNS 1\"\n");
    std::filesystem::remove(dir.path() / "lithora.p");
    EXPECT_TRUE(verifyDataSet(dir.path(), buildRecordKey()).empty()); // optional
}
