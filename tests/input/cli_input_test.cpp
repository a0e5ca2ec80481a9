// lithora-cli's searches with every text of bad_texts.h as an argument, run as separate
// processes on the packed mini fixture: exit 0 with valid JSON, or a usage error (2) with its
// message on standard error; never a crash.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bad_texts.h"
#include "support/test_support.h"
#include "support/tool_run.h"

using namespace lithora::test;
using namespace lithora::input_test;
using Json = nlohmann::ordered_json;

namespace {

ToolRun run(const std::string& program, const std::vector<std::string>& args) {
    return runTool(program, args);
}

class CliInput : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        s_index = (s_dir->path() / "INDEX").string();
        const ToolRun packed = run(LITHORA_PACK, {"pack", fixture("mini").string(), s_index});
        ASSERT_EQ(packed.exitCode, 0) << packed.err;
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    // A search command: its exit status and, when it succeeded, its JSON answer.
    static ToolRun search(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data", s_index, "search"});
        return run(LITHORA_CLI, args);
    }

    static TempDir* s_dir;
    static std::string s_index;
};

TempDir* CliInput::s_dir = nullptr;
std::string CliInput::s_index;

// Checks what every run must give and answers the JSON of a successful one (null otherwise).
Json checked(const ToolRun& r, const BadText& t, const std::string& command) {
    SCOPED_TRACE("text \"" + t.label + "\" in " + command);
    EXPECT_EQ(r.signal, 0) << "killed by signal " << r.signal << "\n" << r.err;
    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 2) << r.exitCode << "\n" << r.err;
    if (r.exitCode == 2) {
        // A usage error: its message on standard error (the text it quotes may hold line
        // breaks), nothing on standard output.
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(r.err.rfind("lithora-cli: ", 0), 0u) << r.err;
        EXPECT_TRUE(!r.err.empty() && r.err.back() == '\n') << r.err;
        return nullptr;
    }
    EXPECT_TRUE(r.err.empty()) << r.err;
    const Json j = Json::parse(r.out, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << r.out.substr(0, 200);
    if (j.is_discarded()) return nullptr;
    EXPECT_TRUE(j.contains("count") && j["count"].is_number_integer());
    EXPECT_TRUE(j.contains("cards") && j["cards"].is_array());
    EXPECT_TRUE(j.contains("message") && j["message"].is_string());
    if (j.contains("cards") && j.contains("count")) {
        EXPECT_EQ(j["cards"].size(), j["count"].get<std::size_t>());
    }
    return j;
}

// What the message of a successful search must be for a text that is the only criterion.
void expectMessage(const Json& j, const BadText& t, const std::string& command) {
    if (j.is_null()) return;
    SCOPED_TRACE("text \"" + t.label + "\" in " + command);
    const std::string message = j.value("message", "");
    if (t.kind == TextKind::Blank) {
        EXPECT_EQ(message, "No criteria entered!");
        EXPECT_EQ(j.value("count", -1), 0);
    } else if (t.kind == TextKind::Foreign || t.kind == TextKind::Long) {
        EXPECT_TRUE(message == "No Matches found" ||
                    message.rfind("Enter all 6 parameters.", 0) == 0)
            << message;
        EXPECT_EQ(j.value("count", -1), 0);
    }
}

const BadText kSound{"a sound one", "", TextKind::Garbled};

// Texts a command line can carry: no NUL, and within the length the system allows one argument.
bool passable(const BadText& t) {
    return t.text.find('\0') == std::string::npos && t.text.size() <= 120000;
}

} // namespace

TEST_F(CliInput, CardFormAndOpticsSearches) {
    int runs = 0;
    for (const BadText& t : badTexts()) {
        if (!passable(t)) continue;
        const Json form =
            checked(search({"form", "name=" + t.text, "formula=" + t.text, "mohs=" + t.text,
                            "tf7=" + t.text, "d1=" + t.text, "tf33=" + t.text, "tf23=" + t.text}),
                    t, "search form");
        EXPECT_FALSE(form.is_null()) << t.label; // FIELD=TEXT always parses
        expectMessage(form, t, "search form");
        const Json optics =
            checked(search({"optics", "--or", "n_avg=" + t.text, "optical_sign=" + t.text,
                            "color=" + t.text, "of33=" + t.text}),
                    t, "search optics");
        EXPECT_FALSE(optics.is_null()) << t.label;
        expectMessage(optics, t, "search optics");
        runs += 2;
    }
    EXPECT_GT(runs, 80);
    // A sound search afterwards, and a number with garbage read as the number it begins with.
    const Json calcite = checked(search({"form", "mohs=3e39"}), kSound, "mohs=3e39");
    ASSERT_FALSE(calcite.is_null());
    EXPECT_EQ(calcite["cards"], Json::array({1}));
}

TEST_F(CliInput, TextSearchesInTheirCategories) {
    const std::vector<std::string> categories = {
        "Synonym",      "Group",        "Appearance", "Locality", "Nameref",
        "Strunz Class", "SPG Symbol",   "SPG Number", "XI Class", "d-Spacings",
        "Mohs",         "Spec.Gravity", "Unit Cell",  "ICDD#"};
    std::size_t i = 0;
    for (const BadText& t : badTexts()) {
        if (!passable(t)) continue;
        // Every text in a text category; the categories in turn besides.
        for (const std::string& category :
             {std::string("Group"), categories[i++ % categories.size()]}) {
            const std::string where = "search text --category " + category;
            const ToolRun r = search({"text", "--category", category, t.text});
            const Json j = checked(r, t, where);
            if (r.exitCode == 2) {
                // Only "--" is taken by the parser itself: it ends the options, no keyword left.
                EXPECT_EQ(t.text, "--") << r.err;
                continue;
            }
            expectMessage(j, t, where);
        }
    }
    const Json garnet =
        checked(search({"text", "--category", "Group", "garnet"}), kSound, "garnet");
    ASSERT_FALSE(garnet.is_null());
    EXPECT_EQ(garnet["cards"], Json::array({230, 300}));
}

TEST_F(CliInput, CellsInAnySetting) {
    for (const BadText& t : badTexts()) {
        if (!passable(t)) continue;
        std::vector<std::string> args = {"text", "--category", "Unit Cell", "--any-setting"};
        const std::size_t copies = t.kind == TextKind::Long ? 1 : 6;
        for (std::size_t i = 0; i < copies; ++i)
            args.push_back(t.text);
        const ToolRun r = search(args);
        const Json j = checked(r, t, "search text --any-setting");
        if (r.exitCode == 2) {
            EXPECT_EQ(t.text, "--") << r.err; // the parser's own: it ends the options
            continue;
        }
        ASSERT_FALSE(j.is_null());
        const std::string message = j.value("message", "");
        if (j.value("count", -1) == 0) {
            EXPECT_TRUE(message == "No Matches found" || message == "No criteria entered!" ||
                        message.rfind("Enter all 6 parameters.", 0) == 0 ||
                        message.rfind("A search in any setting needs", 0) == 0 ||
                        message.rfind("These 6 values make no unit cell.", 0) == 0)
                << message;
        }
        if (t.kind != TextKind::Garbled) {
            EXPECT_EQ(j.value("count", -1), 0) << message;
        }
    }
    // Calcite on its rhombohedral axes, and the flag refused in another category.
    const Json calcite = checked(search({"text", "--category", "Unit Cell", "--any-setting", "6.37",
                                         "6.37", "6.37", "46.1", "46.1", "46.1"}),
                                 kSound, "rhombohedral calcite");
    ASSERT_FALSE(calcite.is_null());
    EXPECT_EQ(calcite["cards"], Json::array({1}));
    EXPECT_EQ(calcite["anySetting"], true);
    const ToolRun group = search({"text", "--category", "Group", "--any-setting", "garnet"});
    EXPECT_EQ(group.exitCode, 2);
    EXPECT_NE(group.err.find("--any-setting is for --category"), std::string::npos) << group.err;
}

TEST_F(CliInput, TheElementLimitTakesWholeNumbersOnly) {
    // Calcium required, every element possible: Akermanite (card 17) has four elements, Calcite
    // (card 1) three. --max is an integer option: none of the texts is one.
    for (const BadText& t : badTexts()) {
        if (!passable(t)) continue;
        const ToolRun r =
            search({"elements", "--preset", "all", "--required", "Ca", "--max", t.text});
        checked(r, t, "search elements --max");
        EXPECT_EQ(r.exitCode, 2) << t.label;
    }
    const std::pair<const char*, Json> limits[] = {
        {"3", Json::array({1})}, {"-1", Json::array({17, 1})}, {"0", Json::array({17, 1})}};
    for (const auto& [limit, cards] : limits) {
        const Json j =
            checked(search({"elements", "--preset", "all", "--required", "Ca", "--max", limit}),
                    kSound, std::string("--max ") + limit);
        ASSERT_FALSE(j.is_null());
        EXPECT_EQ(j["cards"], cards) << limit;
    }
}

TEST_F(CliInput, OptionValuesTakeTheTextsToo) {
    for (const BadText& t : badTexts()) {
        if (!passable(t) || t.kind == TextKind::Long) continue;
        // --within reads card numbers by the numeric value rule; a text that names no card of
        // the database is an input fault (1) with its message, "1e39" is card 1.
        const ToolRun within = search({"form", "--within", t.text, "name=cal"});
        EXPECT_EQ(within.signal, 0) << t.label;
        if (within.exitCode == 1) {
            EXPECT_NE(within.err.find("is not in the database"), std::string::npos) << within.err;
            EXPECT_TRUE(within.out.empty());
        } else {
            checked(within, t, "--within");
        }
        // A category or element symbol that is none is a usage error.
        const ToolRun category = search({"text", "--category", t.text, "garnet"});
        checked(category, t, "--category");
        EXPECT_EQ(category.exitCode, 2) << t.label;
        const ToolRun required = search({"elements", "--required", t.text});
        checked(required, t, "--required");
        EXPECT_EQ(required.exitCode, 2) << t.label;
    }
    const Json one = checked(search({"form", "--within", "1e39", "name=cal"}), kSound, "1e39");
    ASSERT_FALSE(one.is_null());
    EXPECT_EQ(one["cards"], Json::array({1}));
}
