// lithora-cli compare end to end on the bundled database: the rows and their flags, the lines
// the cards share, the PDF, and the card lists it refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/test_support.h"
#include "support/tool_run.h"

using namespace lithora::test;
using Json = nlohmann::ordered_json;

namespace {

ToolRun compare(std::vector<std::string> args) {
    args.insert(args.begin(), "compare");
    return runTool(LITHORA_CLI, args);
}

const Json* findRow(const Json& j, const std::string& field) {
    for (const Json& row : j["rows"]) {
        if (row["field"] == field) return &row;
    }
    return nullptr;
}

} // namespace

TEST(CompareCli, GivesEveryFieldWithAFlagWhereTheCardsDiffer) {
    const ToolRun r = compare({"814", "244", "4550"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json j = Json::parse(r.out);
    ASSERT_EQ(j["cards"].size(), 3u);
    EXPECT_EQ(j["cards"][0]["card"], 814);
    EXPECT_EQ(j["cards"][0]["name"], "Calcite");
    EXPECT_EQ(j["cards"][2]["name"], "Quartz");
    EXPECT_EQ(j["cards"][2]["lines"][0]["d"], 3.343);
    EXPECT_EQ(j["cards"][2]["lines"][0]["intensity"], 100.0);

    const Json* formula = findRow(j, "Formula");
    ASSERT_NE(formula, nullptr);
    EXPECT_EQ((*formula)["values"], Json::array({"Ca(CO3)", "Ca(CO3)", "SiO2"}));
    EXPECT_EQ((*formula)["differ"], true);
    EXPECT_EQ((*formula)["section"], "Chemistry");
    // Calcite and aragonite share their formula, so the two alone agree on it.
    const ToolRun pair = compare({"814", "244"});
    ASSERT_EQ(pair.exitCode, 0) << pair.err;
    const Json p = Json::parse(pair.out);
    EXPECT_EQ((*findRow(p, "Formula"))["differ"], false);
    EXPECT_EQ((*findRow(p, "Elements"))["differ"], false);
    EXPECT_EQ((*findRow(p, "Crystal System"))["differ"], true);

    int differing = 0;
    for (const Json& row : j["rows"]) {
        ASSERT_EQ(row["values"].size(), 3u) << row["field"];
        differing += row["differ"].get<bool>() ? 1 : 0;
    }
    EXPECT_EQ(j["differingRows"], differing);
    // Calcite 2.494 and aragonite 2.484 lie 0.4 % apart: a shared line.
    bool shared = false;
    for (const Json& s : j["sharedLines"])
        shared = shared || (s["cards"] == Json::array({814, 244}) && s["d"] > 2.48 && s["d"] < 2.5);
    EXPECT_TRUE(shared) << j["sharedLines"].dump();
}

TEST(CompareCli, WritesThePrintedComparisonAsPdf) {
    const TempDir dir;
    const std::filesystem::path pdf = dir.path() / "compare.pdf";
    const ToolRun r = compare({"814", "244", "5692", "--pdf", pdf.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json j = Json::parse(r.out);
    EXPECT_GE(j["pdf"]["pages"].get<int>(), 1);
    EXPECT_EQ(readFile(pdf).substr(0, 5), "%PDF-");

    const ToolRun bad = compare({"814", "244", "--pdf", (dir.path() / "no/such/dir.pdf").string()});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("cannot write the PDF file"), std::string::npos) << bad.err;
}

TEST(CompareCli, RefusesCardListsThatCannotBeCompared) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{"814"}, 2, "At least 2"},
        {{"1", "2", "3", "4", "5", "6", "7"}, 2, "At Most 6"},
        {{"814", "244", "814"}, 2, "card 814 is given twice"},
        {{"814", "9999"}, 1, "card 9999 is not in the database"},
        {{"814", "abc"}, 2, "abc"},
    };
    for (const auto& c : cases) {
        const ToolRun r = compare(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.says << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}
