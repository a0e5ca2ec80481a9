// The reference patterns end to end: lithora-pack packs, unpacks and verifies lithora.p, and
// lithora-cli pattern prints a card's lines as its documentation says.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/test_support.h"
#include "support/tool_run.h"

using namespace lithora::test;
using Json = nlohmann::ordered_json;

namespace {

class PatternTools : public ::testing::Test {
  protected:
    void SetUp() override {
        const ToolRun packed = runTool(LITHORA_PACK, {"pack", fixture("mini").string(), index()});
        ASSERT_EQ(packed.exitCode, 0) << packed.err;
    }
    std::string index() const { return (dir.path() / "INDEX").string(); }
    std::filesystem::path file(const char* name) const { return dir.path() / "INDEX" / name; }
    ToolRun pattern(int card) const {
        return runTool(LITHORA_CLI, {"--data", index(), "pattern", std::to_string(card)});
    }
    TempDir dir;
};

} // namespace

TEST_F(PatternTools, PackUnpackAndPackAgainGiveTheSameBytes) {
    ASSERT_TRUE(std::filesystem::exists(file("lithora.p")));
    EXPECT_EQ(runTool(LITHORA_PACK, {"verify", index()}).exitCode, 0);
    const std::filesystem::path src = dir.path() / "src", again = dir.path() / "again";
    ASSERT_EQ(runTool(LITHORA_PACK, {"unpack", index(), src.string()}).exitCode, 0);
    // The fixture is written as the data builder writes: unpacking gives it back to the byte.
    EXPECT_EQ(readFile(src / "patterns.tsv"), readFile(fixture("mini") / "patterns.tsv"));
    ASSERT_EQ(runTool(LITHORA_PACK, {"pack", src.string(), again.string()}).exitCode, 0);
    EXPECT_EQ(readFile(again / "lithora.p"), readFile(file("lithora.p")));

    // A source without patterns packs none, and takes away the one a set packed before left.
    std::filesystem::remove(src / "patterns.tsv");
    ASSERT_EQ(runTool(LITHORA_PACK, {"pack", src.string(), index()}).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(file("lithora.p")));
    EXPECT_EQ(runTool(LITHORA_PACK, {"verify", index()}).exitCode, 0);
    ASSERT_EQ(runTool(LITHORA_PACK, {"unpack", index(), src.string()}).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(src / "patterns.tsv"));
}

TEST_F(PatternTools, VerifyAndUnpackNameTheDamage) {
    std::string bytes = readFile(file("lithora.p"));
    bytes[14 + 4 + 14 + 4 * 18 + 2] = 0x11; // calcite's second intensity, 10000, made 4369
    bytes[14 + 4 + 14 + 4 * 18 + 3] = 0x11;
    writeFile(file("lithora.p"), bytes);
    // Calcite's record starts at byte 14; its intensities at 14 + 4 + 14 + 4 × 18 = 104.
    const ToolRun verify = runTool(LITHORA_PACK, {"verify", index()});
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_NE(verify.err.find("lithora.p: byte 104: card 1: no line has the intensity 100"),
              std::string::npos)
        << verify.err;
    const ToolRun unpack = runTool(LITHORA_PACK, {"unpack", index(), (dir.path() / "s").string()});
    EXPECT_EQ(unpack.exitCode, 1);
    EXPECT_NE(unpack.err.find("lithora.p is damaged at byte 104"), std::string::npos) << unpack.err;
}

TEST_F(PatternTools, PatternPrintsTheWholePatternOrTheCardLines) {
    const ToolRun calcite = pattern(1);
    ASSERT_EQ(calcite.exitCode, 0) << calcite.err;
    EXPECT_EQ(calcite.err, "");
    const Json c = Json::parse(calcite.out);
    // tests/fixtures/mini/patterns.tsv: calcite's 18 lines, I/Ic 3.126, none cut.
    EXPECT_EQ(c["card"], 1);
    EXPECT_EQ(c["name"], "Calcite");
    EXPECT_EQ(c["source"], "pattern");
    EXPECT_EQ(c["iic"], 3.126);
    EXPECT_EQ(c["linesCut"], 0);
    ASSERT_EQ(c["lines"].size(), 18u);
    EXPECT_EQ(c["lines"][1], Json::parse(R"({"d": 3.0355, "intensity": 100.0,
                                             "hkl": [1, 0, 4], "multiplicity": 6})"));
    EXPECT_EQ(c["lines"][17]["d"], 1.4217);
    const Json albite = Json::parse(pattern(5).out);
    EXPECT_EQ(albite["iic"], nullptr);
    EXPECT_EQ(albite["linesCut"], 412);
    EXPECT_EQ(albite["lines"][2]["hkl"], Json::array({1, 1, -1}));

    // Åkermanite has no pattern: its card lines 2.87 3.07 1.76 without intensities, each taken
    // as 50 and so 100 beside the strongest, in decreasing d.
    const ToolRun akermanite = pattern(17);
    ASSERT_EQ(akermanite.exitCode, 0) << akermanite.err;
    const Json line = {{"hkl", nullptr}, {"multiplicity", nullptr}};
    auto cardLine = [&](double d) {
        Json l = {{"d", d}, {"intensity", 100.0}};
        l.update(line);
        return l;
    };
    EXPECT_EQ(Json::parse(akermanite.out),
              (Json{{"card", 17},
                    {"name", "\xC3\x85kermanite"},
                    {"source", "card lines"},
                    {"iic", nullptr},
                    {"linesCut", 0},
                    {"lines", Json::array({cardLine(3.07), cardLine(2.87), cardLine(1.76)})}}));

    const ToolRun none = pattern(4444);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("card 4444 is not in the database"), std::string::npos) << none.err;
    EXPECT_EQ(runTool(LITHORA_CLI, {"--data", index(), "pattern"}).exitCode, 2);
    EXPECT_NE(runTool(LITHORA_CLI, {"pattern", "--help"}).out.find("\"card lines\""),
              std::string::npos);
}

TEST_F(PatternTools, ADamagedPatternFileIsToldOnceAndTheCardsAfterItFallBack) {
    const std::string sound = readFile(file("lithora.p"));
    writeFile(file("lithora.p"), sound.substr(0, 300)); // cut inside albite's record, at 284
    const ToolRun albite = pattern(5);
    ASSERT_EQ(albite.exitCode, 0) << albite.err;
    EXPECT_EQ(Json::parse(albite.out)["source"], "card lines");
    EXPECT_EQ(std::count(albite.err.begin(), albite.err.end(), '\n'), 1) << albite.err;
    EXPECT_NE(albite.err.find("lithora.p is damaged at byte 284"), std::string::npos) << albite.err;
    EXPECT_EQ(Json::parse(pattern(1).out)["source"], "pattern"); // read before the damage

    std::filesystem::remove(file("lithora.p"));
    std::filesystem::create_directory(file("lithora.p"));
    const ToolRun directory = pattern(1);
    EXPECT_EQ(directory.exitCode, 0);
    EXPECT_EQ(Json::parse(directory.out)["source"], "card lines");
    EXPECT_NE(directory.err.find("cannot read " + file("lithora.p").string()), std::string::npos)
        << directory.err;
}
