// lithora-cli --format csv|tsv: the list alone, row for row what the JSON answer lists.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/test_support.h"
#include "support/tool_run.h"

using namespace lithora::test;
using Json = nlohmann::ordered_json;

namespace {

// RFC 4180 records: quoted fields may hold commas, doubled quotes and line breaks.
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back().push_back(std::move(field));
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            records.back().push_back(std::move(field));
            field.clear();
            records.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(records.back().empty() && field.empty()) << "no CRLF after the last record";
    records.pop_back();
    return records;
}

// The rows of a JSON answer's list as records of cells under its keys.
std::vector<std::vector<std::string>> recordsOf(const Json& rows) {
    std::vector<std::vector<std::string>> records;
    for (const Json& row : rows) {
        if (records.empty()) {
            records.emplace_back();
            for (const auto& [key, value] : row.items())
                records[0].push_back(key);
        }
        std::vector<std::string> cells;
        for (const auto& [key, value] : row.items())
            cells.push_back(value.get<std::string>());
        records.push_back(std::move(cells));
    }
    return records;
}

class FormatCli : public ::testing::Test {
  protected:
    void SetUp() override {
        index = (dir.path() / "INDEX").string();
        const ToolRun packed = runTool(LITHORA_PACK, {"pack", fixture("mini").string(), index});
        ASSERT_EQ(packed.exitCode, 0) << packed.err;
    }
    ToolRun cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data", index});
        return runTool(LITHORA_CLI, args);
    }
    TempDir dir;
    std::string index;
};

} // namespace

TEST_F(FormatCli, ListAsCsvHoldsTheJsonRowsCellForCell) {
    const ToolRun json = cli({"list"});
    const ToolRun csv = cli({"list", "--format", "csv"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(csv.out.rfind("#,Name,Formula,Group,Card#,", 0), 0u) << "no byte order mark";
    const std::vector<std::vector<std::string>> expected = recordsOf(Json::parse(json.out)["rows"]);
    ASSERT_EQ(expected.size(), 10u); // the header and the mini fixture's nine entries
    EXPECT_EQ(parseCsv(csv.out), expected);
    EXPECT_NE(csv.out.find(",Akermanite,"), std::string::npos); // Å shows as A in the list
    EXPECT_NE(csv.out.find(",cechite,"), std::string::npos);    // @CK shows as c
    EXPECT_EQ(cli({"list", "--format", "json"}).out, json.out); // the default, unchanged
}

TEST_F(FormatCli, SearchesWriteTheirMatchListAsListGivesIt) {
    const std::vector<std::vector<std::string>> searches = {
        {"search", "form", "name=al"},
        {"search", "optics", "optical_sign=-"},
        {"search", "elements", "--required", "Si", "--preset", "all"},
        {"search", "text", "--category", "1", "Ca"},
    };
    for (const std::vector<std::string>& search : searches) {
        const ToolRun json = cli(search);
        ASSERT_EQ(json.exitCode, 0) << search[1] << json.err;
        std::vector<std::string> args = search;
        args.insert(args.begin() + 2, {"--format", "csv"});
        const ToolRun csv = cli(args);
        ASSERT_EQ(csv.exitCode, 0) << search[1] << csv.err;
        const std::vector<std::vector<std::string>> records = parseCsv(csv.out);
        ASSERT_FALSE(records.empty()) << search[1];
        std::vector<int> cards;
        const auto card = std::find(records[0].begin(), records[0].end(), "Card#");
        ASSERT_NE(card, records[0].end());
        for (std::size_t r = 1; r < records.size(); ++r)
            cards.push_back(
                std::stoi(records[r][static_cast<std::size_t>(card - records[0].begin())]));
        const Json answer = Json::parse(json.out);
        EXPECT_FALSE(answer["cards"].empty()) << search[1] << ": the case needs matches";
        EXPECT_EQ(Json(cards), answer["cards"]) << search[1];
    }
}

TEST_F(FormatCli, TsvIsOneLinePerEntryAndNoMatchesIsTheHeaderAlone) {
    const ToolRun tsv = cli({"search", "form", "--format", "tsv", "name=al"});
    ASSERT_EQ(tsv.exitCode, 0) << tsv.err;
    EXPECT_EQ(tsv.out.substr(0, tsv.out.find('\n')),
              "#\tName\tFormula\tGroup\tCard#\ta\tb\tc\tAlpha\tBeta\tGamma\tCrySys\tZ\tSpaceGr\t"
              "c/a\ta/b\tVolume\tStatus");
    EXPECT_EQ(tsv.out.find('\r'), std::string::npos);
    const ToolRun none = cli({"search", "form", "--format", "CSV", "name=zzzz"});
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(parseCsv(none.out).size(), 1u) << none.out;
}

TEST_F(FormatCli, AnUnknownFormatOrNearMissesWithATableIsAUsageError) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"list", "--format", "xml"},
             {"list", "--format"},
             {"search", "form", "--format", "", "name=al"},
             {"search", "form", "--near-misses", "--format", "csv", "name=al", "mohs=3"}}) {
        const ToolRun r = cli(args);
        EXPECT_EQ(r.exitCode, 2) << args[0] << " " << args.back();
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_NE(r.err.find("lithora-cli"), std::string::npos) << r.err;
    }
}
