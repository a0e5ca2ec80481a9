// patterns.tsv is typed by hand too: every text of bad_texts.h in every column of a sound row,
// and as the whole file. Each ends in problems that name patterns.tsv with a line, never in a
// crash or a pattern made of it.
#include <gtest/gtest.h>

#include "bad_texts.h"
#include "source/source_format.h"
#include "support/test_support.h"

using namespace lithora;
using namespace lithora::input_test;
using namespace lithora::test;

namespace {

const std::string kHeader = "card\tiic\tcut\td\tintensity\th\tk\tl\tmultiplicity\n";

class PatternSourceInput : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {kEntriesFile, kReferencesFile, kOpticsFile})
            writeFile(dir.path() / name, readFile(fixture("mini") / name));
    }
    SourceReadResult readWith(const std::string& patterns) {
        writeFile(dir.path() / kPatternsFile, patterns);
        return readSource(dir.path());
    }
    TempDir dir;
};

} // namespace

TEST_F(PatternSourceInput, EveryBadTextInEveryColumnIsAProblemOfItsRow) {
    // Calcite's strongest line alone: a sound pattern of card 1.
    const std::vector<std::string> row = {"1", "3.126", "0", "3.0355", "100.00",
                                          "1", "0",     "4", "6"};
    ASSERT_TRUE(readWith(kHeader + "1\t3.126\t0\t3.0355\t100.00\t1\t0\t4\t6\n").problems.empty());
    for (const BadText& t : badTexts()) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            std::vector<std::string> cells = row;
            cells[column] = t.text;
            std::string line;
            for (const std::string& c : cells)
                line += (line.empty() ? "" : "\t") + c;
            const SourceReadResult read = readWith(kHeader + line + "\n");
            SCOPED_TRACE(t.label + " in column " + std::to_string(column + 1));
            ASSERT_FALSE(read.problems.empty());
            // A line break in the text makes the row two; an empty line is skipped.
            const bool breaks = t.text.find('\n') != std::string::npos;
            bool onItsRow = false;
            for (const SourceProblem& p : read.problems) {
                EXPECT_EQ(p.file, kPatternsFile);
                EXPECT_FALSE(p.why.empty());
                onItsRow = onItsRow || p.line == 2 || (breaks && p.line > 2);
            }
            EXPECT_TRUE(onItsRow) << read.problems[0].text();
        }
    }
}

TEST_F(PatternSourceInput, EveryBadTextAsTheWholeFileIsRefusedAtItsHeader) {
    for (const BadText& t : badTexts()) {
        const SourceReadResult read = readWith(t.text);
        ASSERT_EQ(read.problems.size(), 1u) << t.label;
        EXPECT_EQ(read.problems[0].file, kPatternsFile) << t.label;
        EXPECT_EQ(read.problems[0].line, 1) << t.label;
    }
}
