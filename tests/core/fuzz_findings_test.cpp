// Faults the fuzz targets (fuzz/) found, each on the smallest data that shows it. The inputs
// that found them are kept in fuzz/corpus as well and replay under ctest.
#include <gtest/gtest.h>

#include "datafiles/record.h"
#include "search/search_run.h"
#include "session/session.h"
#include "support/test_support.h"

using namespace lithora;
using namespace lithora::test;

namespace {

// Sets element `index` of a little-endian table file to the value of element `from`.
void copyTableElement(const std::filesystem::path& file, std::size_t width, std::size_t index,
                      std::size_t from) {
    std::string bytes = readFile(file);
    ASSERT_GE(bytes.size(), width * (std::max(index, from) + 1));
    bytes.replace(width * index, width, bytes.substr(width * from, width));
    writeFile(file, bytes);
}

} // namespace

// lithora.d and lithora.i of a damaged set lead card 17 to the entry and the optical record of
// card 1: a search that finds that record finds one entry, and says one match.
TEST(FuzzFindings, OpticsSearchCountsAnEntryReachedByTwoCardsOnce) {
    TempDir dir;
    (void)packInto(readFixtureSource("mini"), dir.path());
    copyTableElement(dir.path() / "lithora.d", 2, 17, 1);
    copyTableElement(dir.path() / "lithora.i", 4, 17, 1);
    Session session;
    session.data.dir = dir.path();
    ASSERT_TRUE(startUp(session).ok());
    ASSERT_EQ(session.data.tables.entryOf(17), session.data.tables.entryOf(1));

    OpticsCriterionTexts typed;
    typed[47] = "1.6"; // n_avg of card 1
    const SearchOutcome outcome = runOpticsSearch(session, typed, {false, true}, nullptr);
    ASSERT_EQ(outcome.end, SearchEnd::Matches);
    EXPECT_EQ(outcome.matchCount, 1);
    EXPECT_EQ(session.matchCount, 1);
    EXPECT_EQ(session.status[1], "1 matches");
    ASSERT_EQ(session.rows.size(), 1u);
    EXPECT_EQ(session.rows[0][ColCard], "1");
}
