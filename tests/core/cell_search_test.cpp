// The any-setting unit-cell search on species of the bundled data set, each typed in another
// setting than the one stored, and its refusals and its cache on the mini fixture.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cell/cell_index.h"
#include "cell/cell_reduction.h"
#include "search/criteria.h"
#include "search/text_search.h"
#include "session/session.h"
#include "support/test_support.h"
#include "text/split.h"

using namespace lithora;
using namespace lithora::test;

namespace {

using Names = std::vector<std::string>;

Session& bundled() {
    static Session* s = [] {
        auto* out = new Session;
        out->data.dir = LITHORA_BUNDLED_DATA;
        EXPECT_TRUE(startUp(*out).ok());
        return out;
    }();
    return *s;
}

Names found(Session& session, const std::string& keywords, bool anySetting,
            const std::string& required = "") {
    const SearchOutcome o =
        runTextSearch(session, keywords, CategoryUnitCell, required, 0, anySetting);
    Names out;
    if (o.end != SearchEnd::Matches) return out;
    for (const ListRow& r : session.rows)
        out.push_back(r[ColName]);
    return out;
}

bool has(const Names& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The six parameters of the basis whose vectors are the columns of m, in the cell's basis.
std::string setting(const UnitCell& c, const std::array<std::array<int, 3>, 3>& m) {
    const Metric g = metricOf(c);
    const double G[3][3] = {
        {g.A, g.zeta / 2, g.eta / 2}, {g.zeta / 2, g.B, g.xi / 2}, {g.eta / 2, g.xi / 2, g.C}};
    double out[3][3] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < 3; ++l)
                    out[i][j] += m[k][i] * G[k][l] * m[l][j];
    const UnitCell t =
        cellOf({out[0][0], out[1][1], out[2][2], 2 * out[1][2], 2 * out[0][2], 2 * out[0][1]});
    char text[128];
    std::snprintf(text, sizeof text, "%.3f %.3f %.3f %.2f %.2f %.2f", t.a, t.b, t.c, t.alpha,
                  t.beta, t.gamma);
    return text;
}

} // namespace

TEST(CellSearchBundled, QuartzAndCalciteInBothAxes) {
    Session& s = bundled();
    // Quartz as stored, and with b and c exchanged (4.914 5.405 4.914 90 120 90).
    EXPECT_TRUE(has(found(s, "4.914 4.914 5.405 90 90 120", true), "Quartz"));
    EXPECT_TRUE(has(found(s, "4.914 5.405 4.914 90 120 90", true), "Quartz"));
    EXPECT_FALSE(has(found(s, "4.914 5.405 4.914 90 120 90", false), "Quartz"));
    // Calcite, stored in hexagonal axes 4.988 4.988 17.068: found from the rounded hexagonal
    // cell and from the rhombohedral one (6.377, 46.05 degrees, see the reduction test), with
    // or without the letter R; the plain search finds only the hexagonal one.
    for (const char* typed : {"4.99 4.99 17.06 90 90 120", "6.37 6.37 6.37 46.1 46.1 46.1",
                              "R 4.99 4.99 17.06 90 90 120", "6.37 6.37 6.37 46.1 46.1 46.1 r"})
        EXPECT_TRUE(has(found(s, typed, true), "Calcite")) << typed;
    EXPECT_FALSE(has(found(s, "6.37 6.37 6.37 46.1 46.1 46.1", false), "Calcite"));
    EXPECT_TRUE(has(found(s, "4.99 4.99 17.06 90 90 120", false), "Calcite"));
    // Read as primitive, the hexagonal cell is three times too large: no calcite.
    EXPECT_FALSE(has(found(s, "P 4.99 4.99 17.06 90 90 120", true), "Calcite"));
    // The required elements still count.
    EXPECT_TRUE(has(found(s, "4.99 4.99 17.06 90 90 120", true, " Ca, "), "Calcite"));
    EXPECT_FALSE(has(found(s, "4.99 4.99 17.06 90 90 120", true, " Fe, "), "Calcite"));
}

TEST(CellSearchBundled, MonoclinicInOtherSettings) {
    Session& s = bundled();
    const UnitCell azurite{5.011, 5.850, 10.353, 90, 92.41, 90}; // P2_1/c as stored
    struct Case {
        const char* what;
        std::array<std::array<int, 3>, 3> m; // columns: the new edges
    };
    const Case cases[] = {
        {"b and c exchanged", {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}}},
        {"P2_1/n: c' = a + c", {{{1, 0, 1}, {0, 1, 0}, {0, 0, 1}}}},
        {"acute beta: a and c turned", {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}}},
        {"a' = a + c, c' = c", {{{1, 0, 0}, {0, 1, 0}, {1, 0, 1}}}},
    };
    for (const Case& k : cases) {
        const std::string typed = setting(azurite, k.m) + " +-0.05";
        EXPECT_TRUE(has(found(s, typed, true), "Azurite")) << k.what << ": " << typed;
        EXPECT_FALSE(has(found(s, typed, false), "Azurite")) << k.what << ": " << typed;
    }
}

TEST(CellSearchBundled, CentredCellAndItsPrimitiveCell) {
    Session& s = bundled();
    // Diopside C2/c 9.746 8.920 5.252 beta 105.86; its primitive cell worked out in the
    // reduction test: 5.252 6.606 6.606 84.93 78.37 78.37.
    const char* primitive = "5.252 6.606 6.606 84.93 78.37 78.37";
    EXPECT_TRUE(has(found(s, primitive, true), "Diopside"));
    EXPECT_TRUE(has(found(s, std::string(primitive) + " P", true), "Diopside"));
    EXPECT_FALSE(has(found(s, primitive, false), "Diopside"));
    EXPECT_TRUE(has(found(s, "9.746 8.920 5.252 90 105.86 90", true), "Diopside"));
    EXPECT_TRUE(has(found(s, "C 9.746 8.920 5.252 90 105.86 90", true), "Diopside"));
    EXPECT_FALSE(has(found(s, "P 9.746 8.920 5.252 90 105.86 90", true), "Diopside"));
}

TEST(CellSearchBundled, TheIndexAndTheRecordsAgree) {
    // The pass over the kept reduced cells and the pass that reduces each record as it reads
    // it flag the same entries.
    Session& s = bundled();
    Result<std::shared_ptr<const ReducedCellIndex>> cells = reducedCellsOf(s.data);
    ASSERT_TRUE(cells);
    for (const char* typed : {"4.99 4.99 17.06 90 90 120 +-0.3", "5 5 5 90 90 90 +-0.5",
                              "9.7 8.9 5.3 90 106 90 +-0.2", "7 7 7 60 60 60 F +-0.4"}) {
        TextSearchRequest request;
        request.category = CategoryUnitCell;
        request.anySetting = true;
        for (std::string& k : splitWords(criterionText(typed)))
            request.keywords.push_back(std::move(k));
        const PreparedTextSearch p = prepareTextSearch(std::move(request));
        ASSERT_TRUE(p.cellRefusal.empty()) << typed;
        const Result<SearchPass> fast = runTextSearchPass(s.data, p, cells.value().get());
        const Result<SearchPass> slow = runTextSearchPass(s.data, p);
        ASSERT_TRUE(fast && slow);
        EXPECT_EQ(fast.value().matchFlags, slow.value().matchFlags) << typed;
        EXPECT_GT(fast.value().matchCount, 0) << typed;
    }
}

class CellSearchMini : public ::testing::Test {
  protected:
    void SetUp() override {
        session.data = packInto(readFixtureSource("mini"), dir.path());
        ASSERT_TRUE(startUp(session).ok());
    }
    TempDir dir;
    Session session;
};

TEST_F(CellSearchMini, RefusesWhatIsNoCell) {
    struct Case {
        const char* typed;
        std::string_view message;
    };
    const Case cases[] = {
        {"4.99 4.99 17.06 0 0 0", kAnySettingValuesMessage}, // zero leaves none out here
        {"4.99 4.99 17.06", kAnySettingValuesMessage},
        {"4.99 4.99 17.06 90 90 120 367.8", kAnySettingValuesMessage},
        {"4.99 4.99 -17.06 90 90 120", kAnySettingValuesMessage},
        {"4.99 4.99 17.06 90 90 120 R C", kAnySettingValuesMessage},
        {"10 10 10 170 170 170", kNoCellMessage},
        {"4.99 4.99 17.06 90 90 190", kNoCellMessage},
        {"4.99 4.99 100000 90 90 120", kNoCellMessage},
    };
    for (const Case& k : cases) {
        const SearchOutcome o = runTextSearch(session, k.typed, CategoryUnitCell, "", 0, true);
        EXPECT_EQ(o.end, SearchEnd::NoCriteria) << k.typed;
        EXPECT_EQ(o.title, kUnitCellTitle) << k.typed;
        EXPECT_EQ(o.message, k.message) << k.typed;
    }
    EXPECT_EQ(session.data.reducedCells, nullptr); // a refused search builds nothing
    // The flag means nothing for another category: the Group search runs as always.
    EXPECT_EQ(runTextSearch(session, "calcite", CategoryGroup, "", 0, true).end,
              runTextSearch(session, "calcite", CategoryGroup, "", 0, false).end);
}

TEST_F(CellSearchMini, ReducedCellsAreMadeOnceAndRemadeForNewData) {
    ASSERT_EQ(session.data.reducedCells, nullptr);
    EXPECT_EQ(
        runTextSearch(session, "4.99 4.99 17.06 90 90 120", CategoryUnitCell, "", 0, true).end,
        SearchEnd::Matches);
    // Held here, so that a new index cannot take the old one's address.
    const std::shared_ptr<const ReducedCellIndex> first = session.data.reducedCells;
    ASSERT_NE(first, nullptr);
    (void)runTextSearch(session, "6.37 6.37 6.37 46.1 46.1 46.1", CategoryUnitCell, "", 0, true);
    EXPECT_EQ(session.data.reducedCells, first);
    // The plain search leaves it alone.
    (void)runTextSearch(session, "4.99 4.99 17.06 0 0 0", CategoryUnitCell, "", 0, false);
    EXPECT_EQ(session.data.reducedCells, first);
    // lithora.a written anew (another time stamp): the next search makes the cells again.
    const std::filesystem::path entries = session.data.file("lithora.a");
    std::filesystem::last_write_time(entries, std::filesystem::last_write_time(entries) +
                                                  std::chrono::seconds(5));
    (void)runTextSearch(session, "6.37 6.37 6.37 46.1 46.1 46.1", CategoryUnitCell, "", 0, true);
    ASSERT_NE(session.data.reducedCells, nullptr);
    EXPECT_NE(session.data.reducedCells, first);
    // A data set loaded anew starts without them.
    session.data = packInto(readFixtureSource("mini"), dir.path());
    EXPECT_EQ(session.data.reducedCells, nullptr);
}
