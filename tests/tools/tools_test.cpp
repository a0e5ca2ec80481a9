// lithora-pack and lithora-cli run end to end, as a user runs them, against their documented
// output, exit codes and messages.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "source/packer.h"
#include "support/not_a_file.h"
#include "support/test_support.h"
#include "support/tool_run.h"
#include "text/split.h"

using namespace lithora;
using namespace lithora::test;
using Json = nlohmann::ordered_json;

namespace {

// A run and its answer as JSON.
struct ToolAnswer : ToolRun {
    Json json() const { return Json::parse(out); }
};

ToolAnswer run(const std::string& tool, const std::vector<std::string>& args) {
    return ToolAnswer{runTool(tool, args)};
}

ToolAnswer pack(const std::vector<std::string>& args) {
    return run(LITHORA_PACK, args);
}
ToolAnswer cli(const std::vector<std::string>& args) {
    return run(LITHORA_CLI, args);
}

class Tools : public ::testing::Test {
  protected:
    void SetUp() override {
        index = (dir.path() / "INDEX").string();
        const ToolAnswer packed = pack({"pack", fixture("mini").string(), index});
        ASSERT_EQ(packed.exitCode, 0) << packed.err;
    }
    TempDir dir;
    std::string index;
};

} // namespace

TEST_F(Tools, PackVerifyUnpackRoundTrip) {
    EXPECT_EQ(pack({"verify", index}).exitCode, 0);
    const std::string src = (dir.path() / "src").string();
    const ToolAnswer unpacked = pack({"unpack", index, src});
    ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
    const std::string again = (dir.path() / "again").string();
    ASSERT_EQ(pack({"pack", src, again}).exitCode, 0);
    for (const char* name : {"lithora.a", "lithora.b", "lithora.c", "lithora.d", "lithora.e",
                             "lithora.g", "lithora.h", "lithora.i"}) {
        EXPECT_EQ(readFile(std::filesystem::path(again) / name),
                  readFile(std::filesystem::path(index) / name))
            << name;
    }
}

TEST_F(Tools, UnpackNeverWritesIntoTheDataDirectory) {
    const ToolAnswer r = pack({"unpack", index, index + "/."});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("is the data directory itself"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(index) / "entries.tsv"));
}

TEST_F(Tools, PackRefusesAnInvalidSourceAndWritesNothing) {
    const std::filesystem::path src = dir.path() / "bad";
    std::filesystem::create_directories(src);
    for (const char* name : {"entries.tsv", "references.tsv", "optics.tsv"}) {
        std::filesystem::copy_file(fixture("mini") / name, src / name);
    }
    std::string entries = readFile(src / "entries.tsv");
    entries.replace(entries.find("\n5\tAlbite"), 9, "\n5\tAl|bite");
    writeFile(src / "entries.tsv", entries + "broken line\n");
    const std::string target = (dir.path() / "never").string();
    const ToolAnswer r = pack({"pack", src.string(), target});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("entries.tsv:2:2: column name: a cell may not contain |"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("entries.tsv:11: has 1 columns, expected 28"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(target));
}

namespace {

// The lines of a tool's standard error, without the program's name before each.
std::vector<std::string> errorLines(const std::string& err) {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
        const std::string prefix = "lithora-pack: ";
        lines.push_back(line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line);
    }
    return lines;
}

// Every file below dir with its bytes.
std::map<std::string, std::string> snapshot(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        files[entry.path().string()] = entry.is_regular_file() ? readFile(entry.path()) : "";
    return files;
}

} // namespace

TEST_F(Tools, PackNamesEveryFaultInFileOrderAndLeavesTheTargetAlone) {
    const std::filesystem::path src = dir.path() / "faulty";
    std::filesystem::create_directories(src);
    for (const char* name : {"entries.tsv", "references.tsv", "optics.tsv"})
        std::filesystem::copy_file(fixture("mini") / name, src / name);
    // Faults in all three files, written so that the reader meets them out of line order: the
    // rules across rows (lines 3 and 6) are judged after every cell was read (lines 2 and 10).
    std::string entries = readFile(src / "entries.tsv");
    entries.replace(entries.find("\n5\tAlbite"), 9, "\n5\tAl\\qbite");
    entries.replace(entries.find("\n17\t"), 4, "\n1\t");
    entries.replace(entries.find("\n108\tFeldspar"), 13, "\n108\t");
    entries += "short\tline\n";
    writeFile(src / "entries.tsv", entries);
    std::string references = readFile(src / "references.tsv");
    references.replace(references.find("\n9999\t"), 6, "\n4321\t");
    writeFile(src / "references.tsv", references);
    writeFile(src / "optics.tsv",
              readFile(src / "optics.tsv") + "x" + std::string(42, '\t') + "\n");

    // A target that holds a packed set keeps every byte and gains no file.
    const std::map<std::string, std::string> before = snapshot(index);
    const ToolAnswer r = pack({"pack", src.string(), index});
    EXPECT_EQ(r.exitCode, 1);
    // Line numbers count the header as line 1: Albite is line 2, Åkermanite (now card 1, which
    // Calcite on line 4 also uses) line 3, Feldspar line 6. The mini references of card 17, now
    // gone, are on line 16 and those of card 9999 start on line 17; its optics end on line 3.
    const std::vector<std::string> expected = {
        "entries.tsv:2:2: column name: unknown escape \\q",
        "entries.tsv:4:1: column card: card 1 is already used on line 3",
        "entries.tsv:6:2: column name: an entry needs a name",
        "entries.tsv:11: has 2 columns, expected 28",
        "references.tsv:16:1: column card: no entry has this card number",
        "references.tsv:17:1: column card: no entry has this card number",
        "optics.tsv:4:1: column card: must be a whole number from 1 to 10000",
        "7 problem(s) in " + src.string() + "; nothing was written",
    };
    EXPECT_EQ(errorLines(r.err), expected) << r.err;
    EXPECT_EQ(snapshot(index), before);

    const std::filesystem::path never = dir.path() / "never";
    EXPECT_EQ(pack({"pack", src.string(), never.string()}).exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(never));
}

TEST_F(Tools, PackListsFiftyFaultsThenCountsTheRest) {
    const std::filesystem::path src = dir.path() / "many";
    std::filesystem::create_directories(src);
    std::filesystem::copy_file(fixture("mini") / "references.tsv", src / "references.tsv");
    std::filesystem::copy_file(fixture("mini") / "optics.tsv", src / "optics.tsv");
    // The mini entries, then 60 lines of two columns each: 60 faults, on lines 11 to 70.
    std::string entries = readFile(fixture("mini") / "entries.tsv");
    for (int i = 0; i < 60; ++i)
        entries += std::to_string(2000 + i) + "\tcut short\n";
    writeFile(src / "entries.tsv", entries);
    const ToolAnswer r = pack({"pack", src.string(), (dir.path() / "out").string()});
    EXPECT_EQ(r.exitCode, 1);
    const std::vector<std::string> lines = errorLines(r.err);
    ASSERT_EQ(lines.size(), 52u) << r.err; // 50 faults, "and 10 more", the summing-up line
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(lines[static_cast<std::size_t>(i)],
                  "entries.tsv:" + std::to_string(11 + i) + ": has 2 columns, expected 28");
    }
    EXPECT_EQ(lines[50], "and 10 more");
    EXPECT_NE(lines[51].find("60 problem(s)"), std::string::npos) << lines[51];
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out"));
}

TEST_F(Tools, VerifyListsProblemsWithExitCodeOne) {
    std::filesystem::resize_file(std::filesystem::path(index) / "lithora.d", 100);
    const ToolAnswer r = pack({"verify", index});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("lithora.d: is 100 bytes long, expected 20002"), std::string::npos)
        << r.err;
}

TEST_F(Tools, SynthWritesASoundSetThatListsFully) {
    const std::string synth = (dir.path() / "synth").string();
    const ToolAnswer made = pack({"synth", "300", synth, "--seed", "7"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(pack({"verify", synth}).exitCode, 0);
    const ToolAnswer list = cli({"--data", synth, "list"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const Json j = list.json();
    EXPECT_EQ(j["rows"].size(), 300u);
    EXPECT_EQ(j["status"][0], "300 entries");
    const std::string again = (dir.path() / "synth2").string();
    ASSERT_EQ(pack({"synth", "300", again, "--seed", "7"}).exitCode, 0);
    EXPECT_EQ(readFile(std::filesystem::path(again) / "lithora.a"),
              readFile(std::filesystem::path(synth) / "lithora.a"));
}

TEST(ToolUsage, HelpAndUsageErrors) {
    for (const char* tool : {LITHORA_PACK, LITHORA_CLI}) {
        const ToolAnswer help = run(tool, {"--help"});
        EXPECT_EQ(help.exitCode, 0) << tool;
        EXPECT_NE(help.out.find("Usage"), std::string::npos) << tool;
        const ToolAnswer none = run(tool, {});
        EXPECT_EQ(none.exitCode, 2) << tool;
        EXPECT_EQ(std::count(none.err.begin(), none.err.end(), '\n'), 1) << none.err; // one line
        EXPECT_EQ(run(tool, {"--no-such-option"}).exitCode, 2) << tool;
    }
    EXPECT_EQ(pack({"synth", "0", "/tmp/x"}).exitCode, 2);
    EXPECT_EQ(pack({"synth", "10001", "/tmp/x"}).exitCode, 2);
    EXPECT_EQ(pack({"pack", "only-one-dir"}).exitCode, 2);
    EXPECT_EQ(cli({"card", "abc"}).exitCode, 2);
}

TEST_F(Tools, ListMatchesItsDocumentedOutput) {
    const ToolAnswer r = cli({"--data", index, "list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.json(), Json::parse(readFile(fixture("expected/mini-list.json"))));
}

TEST_F(Tools, ListFilters) {
    const Json ima = cli({"--data", index, "list", "--ima"}).json();
    EXPECT_EQ(ima["status"], Json::array({"5 entries", "IMA entries listed"}));
    EXPECT_EQ(ima["groups"],
              Json::array({"1 - Feldspar", "2 - Garnet"})); // those of the start-up load
    const Json group = cli({"--data", index, "list", "--group", "Garnet"}).json();
    EXPECT_EQ(group["status"], Json::array({"2 entries", " Group: Garnet "}));
    EXPECT_EQ(group["rows"][1]["Name"], "Monoclinite");
    EXPECT_EQ(group["maxCardNumber"], 9999);
}

TEST_F(Tools, CardMatchesItsDocumentedOutput) {
    const ToolAnswer r = cli({"--data", index, "card", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.json(), Json::parse(readFile(fixture("expected/mini-card-1.json"))));
}

TEST_F(Tools, CardWithEscapedNameAndReferencePages) {
    const Json j = cli({"--data", index, "card", "42"}).json();
    EXPECT_EQ(j["tf"][0], " cechite");
    EXPECT_EQ(j["state"]["currentRawName"], "@CKechite");
    EXPECT_EQ(j["state"]["lastSelection"], "ALBITE"); // row 1 was current before
    EXPECT_EQ(j["status"], Json::array({"9 entries", "All entries listed"}));
    const Json five = cli({"--data", index, "card", "5"}).json();
    EXPECT_EQ(five["lbr"], Json::array({"1", "2", "3"}));
    EXPECT_EQ(five["of"][15], "weak");
    EXPECT_EQ(five["tf"].size(), 49u);
    EXPECT_EQ(five["of"].size(), 50u);
}

TEST_F(Tools, DataFaultsAreExitCodeOneWithAMessage) {
    const ToolAnswer missingDir = cli({"--data", (dir.path() / "nowhere").string(), "list"});
    EXPECT_EQ(missingDir.exitCode, 1);
    EXPECT_NE(missingDir.err.find("nowhere"), std::string::npos);

    const ToolAnswer noCard = cli({"--data", index, "card", "12345"});
    EXPECT_EQ(noCard.exitCode, 1);
    EXPECT_NE(noCard.err.find("card 12345 is not in the database"), std::string::npos)
        << noCard.err;

    std::filesystem::remove(std::filesystem::path(index) / "lithora.i");
    const ToolAnswer noOptics = cli({"--data", index, "card", "1"});
    EXPECT_EQ(noOptics.exitCode, 0); // the table loader reports and the command goes on
    EXPECT_NE(noOptics.err.find("getLineNumbers: Error: "), std::string::npos) << noOptics.err;
    EXPECT_EQ(noOptics.json()["state"]["currentOpticalRecord"], "");

    std::filesystem::remove(std::filesystem::path(index) / "lithora.a");
    const ToolAnswer noEntries = cli({"--data", index, "list"});
    EXPECT_EQ(noEntries.exitCode, 1);
    EXPECT_NE(noEntries.err.find("lithora.a"), std::string::npos) << noEntries.err;
    EXPECT_EQ(noEntries.out, "");
}

TEST(ToolDefaults, TheBundledDataSetLiesBesideTheTools) {
    const ToolAnswer r = cli({"list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GE(r.json()["rows"].size(), 10u);
    EXPECT_EQ(
        pack({"verify", (std::filesystem::path(LITHORA_CLI).parent_path() / "INDEX").string()})
            .exitCode,
        0);
}

TEST_F(Tools, SearchFormAndOpticsAnswerWithCardsInListOrder) {
    const Json byName = cli({"--data", index, "search", "form", "name=al"}).json();
    EXPECT_EQ(byName["count"], 3);
    EXPECT_EQ(byName["cards"], Json::array({5, 1, 77})); // Albite, Calcite, Zalum in entry order
    EXPECT_EQ(byName["status"], Json::array({"9 entries", "3 matches"}));
    EXPECT_EQ(byName["message"], "");
    EXPECT_EQ(cli({"--data", index, "search", "form", "tf13=3", "tf0=cal"}).json()["cards"],
              Json::array({1}));
    EXPECT_EQ(
        cli({"--data", index, "search", "form", "--or", "mohs=abc", "name=cal"}).json()["count"],
        1);
    EXPECT_EQ(cli({"--data", index, "search", "optics", "optical_sign=-"}).json()["cards"],
              Json::array({1}));
    EXPECT_EQ(cli({"--data", index, "search", "optics", "of47=1.59 0.01"}).json()["cards"],
              Json::array({1}));
    const Json none = cli({"--data", index, "search", "optics", "of47=2"}).json();
    EXPECT_EQ(none["count"], 0);
    EXPECT_EQ(none["cards"], Json::array());
    EXPECT_EQ(none["message"], "No Matches found");
    EXPECT_EQ(cli({"--data", index, "search", "form", "d_tolerance=0.02"}).json()["message"],
              "No Matches found");
    EXPECT_EQ(cli({"--data", index, "search", "form", "name="}).json()["message"],
              "No criteria entered!");
}

TEST_F(Tools, SearchWithinCardsAsksBeforeTheWholeDatabase) {
    const Json asked =
        cli({"--data", index, "search", "form", "--within", "230,300", "name=al"}).json();
    EXPECT_EQ(asked["count"], 0);
    EXPECT_EQ(asked["message"],
              "No Matches found in current list.\r\nDo you want to search the full database?");
    const Json widened =
        cli({"--data", index, "search", "form", "--within", "230,300", "--widen", "name=al"})
            .json();
    EXPECT_EQ(widened["count"], 3);
    EXPECT_EQ(cli({"--data", index, "search", "form", "--within", "230,300", "name=mono"})
                  .json()["cards"],
              Json::array({300}));
    const ToolAnswer unknown =
        cli({"--data", index, "search", "form", "--within", "230,4444", "name=al"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("card 4444 is not in the database"), std::string::npos)
        << unknown.err;
    EXPECT_EQ(cli({"--data", index, "search", "form", "bogus=1"}).exitCode, 2);
    EXPECT_EQ(cli({"--data", index, "search", "form", "tf44=1"}).exitCode, 2);
    EXPECT_EQ(cli({"--data", index, "search", "optics", "of50=1"}).exitCode, 2);
    EXPECT_EQ(cli({"--data", index, "search", "form", "--widen", "name=a"}).exitCode,
              2); // needs --within
    std::filesystem::remove(std::filesystem::path(index) / "lithora.h");
    const ToolAnswer missing = cli({"--data", index, "search", "optics", "n_avg=1.6"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("lithora.h"), std::string::npos) << missing.err;
}

TEST_F(Tools, SearchFormListsNearMissesWhenAsked) {
    // Five names hold "ite" and Calcite alone has Mohs 3: the other four fail only the Mohs.
    const Json j =
        cli({"--data", index, "search", "form", "--near-misses", "name=ite", "mohs=3.05"}).json();
    EXPECT_EQ(j["cards"], Json::array({1}));
    const Json& misses = j["nearMisses"];
    EXPECT_TRUE(misses["applies"].get<bool>());
    EXPECT_EQ(misses["total"], 5);
    ASSERT_EQ(misses["entries"].size(), 5u);
    const Json& albite = misses["entries"][0];
    EXPECT_EQ(albite["card"], 5);
    EXPECT_EQ(albite["criterion"], "mohs");
    EXPECT_EQ(albite["found"], "6-6.5");
    EXPECT_EQ(albite["offBy"], 2.95);
    EXPECT_EQ(albite["tolerance"], 0.1);
    EXPECT_EQ(albite["text"], "Mohs 6-6.5 against 3.05 \u00B1 0.1, off by 2.95");
    // Within cards, only theirs; a widened search has the whole database as its scope.
    EXPECT_EQ(cli({"--data", index, "search", "form", "--near-misses", "--within", "5,17",
                   "name=ite", "mohs=3.05"})
                  .json()["nearMisses"]["total"],
              2);
    EXPECT_EQ(cli({"--data", index, "search", "form", "--near-misses", "--within", "5,17",
                   "--widen", "name=ite", "mohs=3.05"})
                  .json()["nearMisses"]["total"],
              5);
    // OR, or a single criterion, has none; without the flag there is no such key.
    const Json orSearch =
        cli({"--data", index, "search", "form", "--near-misses", "--or", "name=ite", "mohs=3"})
            .json();
    EXPECT_FALSE(orSearch["nearMisses"]["applies"].get<bool>());
    EXPECT_EQ(orSearch["nearMisses"]["entries"].size(), 0u);
    EXPECT_FALSE(cli({"--data", index, "search", "form", "name=ite", "mohs=3"})
                     .json()
                     .contains("nearMisses"));
}

TEST_F(Tools, SearchElementsAndText) {
    const Json calcium = cli({"--data", index, "search", "elements", "--preset", "all",
                              "--required", "Ca", "--max", "3"})
                             .json();
    EXPECT_EQ(calcium["cards"], Json::array({1})); // Calcite: Ca C O; Akermanite has four elements
    EXPECT_EQ(calcium["status"], Json::array({"Search Results", "1 matches"}));
    EXPECT_EQ(cli({"--data", index, "search", "elements", "--required", "Ca", "--possible", "C,O"})
                  .json()["cards"],
              Json::array({1}));
    const Json nothing = cli({"--data", index, "search", "elements", "--required", "Fe"}).json();
    EXPECT_EQ(nothing["message"], "No Matches found");
    EXPECT_EQ(
        cli({"--data", index, "search", "text", "--category", "Group", "garnet"}).json()["cards"],
        Json::array({230, 300}));
    EXPECT_EQ(
        cli({"--data", index, "search", "text", "--category", "9", "3.03", "2.29"}).json()["cards"],
        Json::array({1}));
    EXPECT_EQ(cli({"--data", index, "search", "text", "--category", "group", "--required", "Si,O",
                   "--max", "4", "garnet"})
                  .json()["count"],
              0);
    const Json cell =
        cli({"--data", index, "search", "text", "--category", "unit cell", "4.99", "4.99", "17.06"})
            .json();
    EXPECT_EQ(cell["count"], 0);
    EXPECT_EQ(cell["message"].get<std::string>().rfind("Enter all 6 parameters.", 0), 0u);
    EXPECT_EQ(cli({"--data", index, "search", "elements", "--required", "Xx"}).exitCode, 2);
    EXPECT_EQ(
        cli({"--data", index, "search", "elements", "--possible", "O", "--preset", "all"}).exitCode,
        2);
    EXPECT_EQ(cli({"--data", index, "search", "text", "--category", "Colour", "red"}).exitCode, 2);
    EXPECT_EQ(cli({"--data", index, "search", "text", "--category", "Group"}).exitCode, 2);
    std::filesystem::remove(std::filesystem::path(index) / "lithora.e");
    EXPECT_EQ(cli({"--data", index, "search", "elements", "--required", "O"}).exitCode, 1);
}

TEST_F(Tools, PrintWritesTheCardAsAPdf) {
    const std::string pdf = (dir.path() / "calcite.pdf").string();
    const ToolAnswer printed = cli({"--data", index, "print", "1", "--pdf", pdf});
    ASSERT_EQ(printed.exitCode, 0) << printed.err;
    EXPECT_EQ(printed.json(), (Json{{"pages", 1}, {"file", pdf}}));
    EXPECT_EQ(printed.err, ""); // nothing but the JSON: no notes from the toolkit
    // The page's text as poppler reads it back.
    const ToolAnswer text = run("/usr/bin/pdftotext", {"-layout", pdf, "-"});
    ASSERT_EQ(text.exitCode, 0) << "pdftotext (poppler-utils) is needed: " << text.err;
    for (const char* expected :
         {"ZTK-Lithora", "Card 1, Status a,", "Calcite", "Axial Ratio", "a/b = 1.0,",
          "c/a = 3.4188", "Hexagonal (rhombohedral)", "3.035/100", "References",
          "1. Author A (1990) Calcite structure. [Am. Mineral. 75, 1-10]",
          "2. Author B (1991) Calcite again [with notes]"}) {
        EXPECT_NE(text.out.find(expected), std::string::npos) << expected << " in\n" << text.out;
    }
    EXPECT_EQ(text.out.find("<i>"), std::string::npos);
    EXPECT_EQ(cli({"--data", index, "print", "4444", "--pdf", pdf}).exitCode, 1);
    const ToolAnswer unwritable =
        cli({"--data", index, "print", "1", "--pdf", (dir.path() / "no/such/dir/x.pdf").string()});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("cannot write the PDF file"), std::string::npos)
        << unwritable.err;
    EXPECT_EQ(cli({"--data", index, "print", "1"}).exitCode, 2); // --pdf is required
}

TEST_F(Tools, SearchTextAnySetting) {
    const auto cell = [&](std::vector<std::string> args) {
        std::vector<std::string> all = {"--data", index,        "search",
                                        "text",   "--category", "Unit Cell"};
        all.insert(all.end(), args.begin(), args.end());
        return cli(all);
    };
    // Calcite (card 1) is stored in hexagonal axes; its rhombohedral cell finds it only in any
    // setting, and the answer says so.
    const ToolAnswer rho = cell({"--any-setting", "6.37", "6.37", "6.37", "46.1", "46.1", "46.1"});
    ASSERT_EQ(rho.exitCode, 0) << rho.err;
    const Json j = rho.json();
    EXPECT_EQ(j["cards"], Json::array({1}));
    EXPECT_EQ(j["anySetting"], true);
    const Json plain = cell({"6.37", "6.37", "6.37", "46.1", "46.1", "46.1"}).json();
    EXPECT_EQ(plain["count"], 0);
    EXPECT_FALSE(plain.contains("anySetting"));
    // Monoclinite C2/c 5.1 9.2 7.3 beta 103.5 with a and c exchanged (7.3 9.2 5.1), an A cell
    // then: found with the letter A, and without a letter; not as P.
    EXPECT_EQ(
        cell({"--any-setting", "A", "7.3", "9.2", "5.1", "90", "103.5", "90"}).json()["cards"],
        Json::array({300}));
    EXPECT_EQ(cell({"--any-setting", "7.3", "9.2", "5.1", "90", "103.5", "90"}).json()["cards"],
              Json::array({300}));
    EXPECT_EQ(
        cell({"--any-setting", "P", "7.3", "9.2", "5.1", "90", "103.5", "90"}).json()["count"], 0);
    // Refusals come as the message, as for the plain search.
    const Json zero = cell({"--any-setting", "4.99", "4.99", "17.06", "0", "0", "0"}).json();
    EXPECT_EQ(zero["count"], 0);
    EXPECT_EQ(zero["message"].get<std::string>().rfind("A search in any setting needs all 6", 0),
              0u);
    const Json flat = cell({"--any-setting", "10", "10", "10", "170", "170", "170"}).json();
    EXPECT_EQ(flat["message"].get<std::string>().rfind("These 6 values make no unit cell.", 0), 0u);
    // Another category: a usage error that names the flag.
    const ToolAnswer other =
        cli({"--data", index, "search", "text", "--category", "Group", "--any-setting", "garnet"});
    EXPECT_EQ(other.exitCode, 2);
    EXPECT_NE(other.err.find("--any-setting"), std::string::npos) << other.err;
    const ToolAnswer help = cli({"search", "text", "--help"});
    EXPECT_NE(help.out.find("--any-setting"), std::string::npos);
}

// A named pipe, a directory or a device in place of a data file: every command of both tools
// answers at once as it answers without the file, the message saying "cannot read" and the path
// where it said "file not found". A tool that waited on the pipe would be killed at the time
// limit and fail here.
namespace {

constexpr int kToolTimeLimit = 20; // seconds; the whole set of commands takes well under one

struct ToolCommand {
    const char* label;
    bool pack; // lithora-pack, else lithora-cli
    std::vector<std::string> args;
};

// INDEX and unpacked stand for the data directory and unpack's target below a run's root.
const std::vector<ToolCommand>& everyCommand() {
    static const std::vector<ToolCommand> commands = {
        {"list", false, {"--data", "INDEX", "list"}},
        {"card", false, {"--data", "INDEX", "card", "5"}},
        {"search form", false, {"--data", "INDEX", "search", "form", "name=cal"}},
        {"search optics", false, {"--data", "INDEX", "search", "optics", "optical_sign=-"}},
        {"search elements",
         false,
         {"--data", "INDEX", "search", "elements", "--required", "Ca,O", "--preset", "all"}},
        {"search text",
         false,
         {"--data", "INDEX", "search", "text", "--category", "Group", "garnet"}},
        {"verify", true, {"verify", "INDEX"}},
        {"unpack", true, {"unpack", "INDEX", "unpacked"}},
    };
    return commands;
}

ToolRun runIn(const std::filesystem::path& root, const ToolCommand& command) {
    std::vector<std::string> args;
    for (const std::string& a : command.args) {
        args.push_back(a == "INDEX"      ? (root / "INDEX").string()
                       : a == "unpacked" ? (root / "unpacked").string()
                                         : a);
    }
    return runTool(command.pack ? LITHORA_PACK : LITHORA_CLI, args, std::string(), kToolTimeLimit);
}

class NotARegularFileInTools : public ::testing::TestWithParam<const char*> {};

std::string fileTestName(const ::testing::TestParamInfo<const char*>& param) {
    return replaceAll(param.param, ".", "_");
}

} // namespace

TEST_P(NotARegularFileInTools, EveryCommandAnswersAsWithoutTheFile) {
    const char* file = GetParam();
    const SourceSet set = readFixtureSource("mini");
    TempDir missing;
    packInto(set, missing.path() / "INDEX");
    std::filesystem::remove(missing.path() / "INDEX" / file);
    std::map<std::string, ToolRun> withoutFile;
    for (const ToolCommand& command : everyCommand()) {
        ToolRun r = runIn(missing.path(), command);
        ASSERT_FALSE(r.timedOut) << command.label;
        r.out = replaceAll(r.out, missing.path().string(), "ROOT");
        r.err = replaceAll(replaceAll(r.err, missing.path().string(), "ROOT"),
                           "file not found: ", "cannot read ");
        withoutFile[command.label] = r;
    }
    // Every file is read by some command, and the message names it.
    const std::string named = "cannot read ROOT/INDEX/" + std::string(file);
    EXPECT_NE(withoutFile["verify"].err.find(named), std::string::npos)
        << withoutFile["verify"].err;

    for (NotAFile kind : kNotAFileKinds) {
        SCOPED_TRACE(std::string(file) + " as a " + describe(kind));
        TempDir damaged;
        packInto(set, damaged.path() / "INDEX");
        std::string why;
        ASSERT_TRUE(putInPlace(damaged.path() / "INDEX" / file, kind, &why)) << why;
        PipeWatch watch(damaged.path() / "INDEX" / file);
        for (const ToolCommand& command : everyCommand()) {
            SCOPED_TRACE(command.label);
            const ToolRun r = runIn(damaged.path(), command);
            ASSERT_FALSE(r.timedOut) << "still running after " << kToolTimeLimit << " s";
            const ToolRun& expected = withoutFile[command.label];
            EXPECT_EQ(r.exitCode, expected.exitCode) << r.err;
            EXPECT_EQ(replaceAll(r.out, damaged.path().string(), "ROOT"), expected.out);
            EXPECT_EQ(replaceAll(r.err, damaged.path().string(), "ROOT"), expected.err);
        }
        EXPECT_FALSE(watch.opened()) << "a tool opened the pipe for reading";
    }
    // Without lithora.a nothing of the database can be shown: every command ends with 1.
    if (std::string(file) == "lithora.a") {
        for (const ToolCommand& command : everyCommand()) {
            EXPECT_EQ(withoutFile[command.label].exitCode, 1) << command.label;
            EXPECT_NE(withoutFile[command.label].err.find(named), std::string::npos)
                << command.label << ": " << withoutFile[command.label].err;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EachDataFile, NotARegularFileInTools,
                         ::testing::ValuesIn(PackedSet::kNames), fileTestName);
