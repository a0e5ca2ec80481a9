// lithora-cli identify --file with instrument scan files, end to end on the packed mini fixture:
// the file's wavelength used and said so, a contradicting --wavelength kept with a warning, and
// files that are no scans refused with exit code 1 and a message; never a crash.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/test_support.h"
#include "support/tool_run.h"

using namespace lithora::test;
using Json = nlohmann::ordered_json;

namespace {

class ScanCli : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        s_index = (s_dir->path() / "INDEX").string();
        const ToolRun packed = runTool(LITHORA_PACK, {"pack", fixture("mini").string(), s_index});
        ASSERT_EQ(packed.exitCode, 0) << packed.err;
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    static ToolRun identify(const std::string& file, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--data", s_index, "identify", "--file", file};
        args.insert(args.end(), more.begin(), more.end());
        return runTool(LITHORA_CLI, args, std::string(), 60);
    }
    static std::string scan(const char* name) { return (fixture("scans") / name).string(); }

    static TempDir* s_dir;
    static std::string s_index;
};

TempDir* ScanCli::s_dir = nullptr;
std::string ScanCli::s_index;

TEST_F(ScanCli, TheFilesWavelengthIsUsedUnlessAChoiceContradictsIt) {
    // scan.uxd states Co Kα1, 1.78897 Å; its first range is a 5-point alignment scan.
    const struct {
        std::vector<std::string> options;
        double wavelength;
        const char* source;
        std::size_t warnings;
    } cases[] = {
        {{}, 1.78897, "file", 0},
        {{"--wavelength", "Co"}, 1.78897, "file", 0},
        {{"--wavelength", "Cu"}, 1.5406, "chosen", 1},
    };
    for (const auto& c : cases) {
        const ToolRun r = identify(scan("scan.uxd"), c.options);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Json j = Json::parse(r.out);
        const Json& input = j["input"];
        EXPECT_DOUBLE_EQ(input["wavelength"].get<double>(), c.wavelength);
        EXPECT_EQ(input["wavelengthSource"], c.source);
        EXPECT_EQ(input["scan"]["format"], "Bruker/Siemens UXD");
        EXPECT_EQ(input["scan"]["sample"], "Quartz UXD");
        EXPECT_EQ(input["scan"]["points"], 40);
        EXPECT_EQ(input["scan"]["kAlpha2"], 1.79285);
        EXPECT_NE(input["scan"]["note"].get<std::string>().find("Scan 2 of 2"), std::string::npos);
        ASSERT_EQ(j["warnings"].size(), c.warnings);
        if (c.warnings > 0) {
            EXPECT_NE(j["warnings"][0].get<std::string>().find("The file states 1.78897 Å"),
                      std::string::npos);
        }
    }
    // A text file states none: Cu Kα by default.
    const ToolRun text = identify(scan("scan.xy"));
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(Json::parse(text.out)["input"]["wavelengthSource"], "default");
}

TEST_F(ScanCli, FilesThatAreNoScansEndWithExitCodeOneAndAMessage) {
    using namespace std::string_literals;
    writeFile(s_dir->path() / "garbage.xrdml", "<?xml www.xrdml.com \0\x01"s);
    for (const std::string& file : {scan("bruker-v4-header.raw"), s_dir->path().string(),
                                    (s_dir->path() / "garbage.xrdml").string()}) {
        const ToolRun r = identify(file);
        EXPECT_EQ(r.signal, 0) << file;
        EXPECT_EQ(r.exitCode, 1) << file << "\n" << r.out;
        EXPECT_TRUE(r.out.empty()) << file;
        EXPECT_NE(r.err.find("lithora-cli: "), std::string::npos) << r.err;
    }
    const ToolRun help = runTool(LITHORA_CLI, {"identify", "--help"});
    EXPECT_NE(help.out.find(".xrdml"), std::string::npos);
}

} // namespace
