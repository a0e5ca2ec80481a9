// lithora-cli identify end to end on the bundled database: the answer's shape, the inputs it
// takes, its filters and the residual search, a folder of scans, the phases as CSV, and every
// bad text of bad_texts.h as its values.
#include <gtest/gtest.h>

#include <cmath>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "input/bad_texts.h"
#include "support/test_support.h"
#include "support/tool_run.h"

using namespace lithora::test;
using Json = nlohmann::ordered_json;

namespace {

const std::string kQuartz = "3.343 100, 4.255 20, 1.818 13, 1.374 11, 1.542 9, 2.281 7";

// 70 % quartz (card 4550) and 30 % calcite (card 814), calculated for Cu Kα.
std::filesystem::path sampleScan() {
    const std::filesystem::path path =
        std::filesystem::path(LITHORA_SOURCE_DIR) / "help/samples/quartz-calcite.xy";
    EXPECT_TRUE(std::filesystem::exists(path)) << "missing sample " << path;
    return path;
}

ToolRun identify(std::vector<std::string> args, const std::string& input = std::string()) {
    args.insert(args.begin(), "identify");
    return runTool(LITHORA_CLI, args, input);
}

Json answer(const ToolRun& r) {
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const Json j = Json::parse(r.out, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << r.out.substr(0, 300);
    return j.is_discarded() ? Json() : j;
}

std::vector<int> cards(const Json& j) {
    std::vector<int> out;
    for (const Json& c : j["candidates"])
        out.push_back(c["card"].get<int>());
    return out;
}

TEST(IdentifyCli, RanksQuartzFirstAndExplainsIt) {
    const Json j = answer(identify({"--d", kQuartz, "--top", "5"}));
    ASSERT_EQ(j["candidates"].size(), 5u);
    const Json& first = j["candidates"][0];
    EXPECT_EQ(first["card"], 4550);
    EXPECT_EQ(first["name"], "Quartz");
    EXPECT_EQ(first["rank"], 1);
    // Each typed peak takes a line of quartz's whole pattern, within the rounding of the card's
    // values (lines within 0.005 Å merged, three decimals), and no peak is left unexplained.
    EXPECT_EQ(first["linesMatched"], first["matched"].size());
    EXPECT_GE(first["linesMatched"].get<int>(), 6);
    for (const Json& m : first["matched"]) {
        EXPECT_LT(std::abs(m["deltaD"].get<double>()), 0.003) << m.dump();
        EXPECT_NEAR(m["cardD"].get<double>(), m["measured"]["d"].get<double>(), 0.003);
    }
    EXPECT_EQ(first["unexplainedPeaks"].size(), 0u);
    // The strong line at 2.457 Å was not typed: missed, and seen as something that should show.
    bool missed2457 = false;
    for (const Json& m : first["missed"]) {
        if (std::abs(m["cardD"].get<double>() - 2.457) < 0.002)
            missed2457 = !m["belowDetection"].get<bool>();
    }
    EXPECT_TRUE(missed2457) << first["missed"].dump();
    EXPECT_LT(std::abs(first["fit"]["latticePercent"].get<double>()), 0.1);
    EXPECT_GT(first["score"].get<double>(), j["candidates"][1]["score"].get<double>());
    EXPECT_EQ(j["input"]["kind"], "d");
    EXPECT_EQ(j["input"]["peaks"].size(), 6u);
    EXPECT_EQ(j["message"], "");
}

TEST(IdentifyCli, TwoThetaStandardInputAndTheSampleProfileFindTheSame) {
    // Quartz's lines as Co Kα 2θ, read from standard input.
    const Json angles =
        answer(identify({"--two-theta", "-", "--wavelength", "Co", "--top", "1"},
                        "31.039 100\n24.270 20\n58.946 13\n81.235 11\n70.912 9\n46.176 7\n"));
    EXPECT_EQ(cards(angles), std::vector<int>{4550});
    EXPECT_EQ(angles["input"]["wavelengthName"], "Co Kα");
    const std::string sample = sampleScan().string();
    const Json profile = answer(identify({"--file", sample, "--top", "3"}));
    ASSERT_FALSE(profile["candidates"].empty());
    EXPECT_EQ(profile["candidates"][0]["card"], 4550);
    EXPECT_GE(profile["input"]["peaks"].size(), 10u);
    // Quartz taken away, calcite comes first.
    const Json rest = answer(identify({"--file", sample, "--residual-of", "4550", "--top", "3"}));
    EXPECT_EQ(rest["residualOf"]["card"], 4550);
    EXPECT_LT(rest["residualPeaks"].size(), profile["input"]["peaks"].size());
    ASSERT_FALSE(rest["candidates"].empty());
    EXPECT_EQ(rest["candidates"][0]["card"], 814);
    for (int card : cards(rest))
        EXPECT_NE(card, 4550);
}

TEST(IdentifyCli, FiltersNarrowTheCandidates) {
    for (int card : cards(answer(identify({"--d", kQuartz, "--required", "Ca", "--top", "20"}))))
        EXPECT_NE(card, 4550);
    for (int card : cards(answer(identify({"--d", kQuartz, "--excluded", "Si", "--top", "20"}))))
        EXPECT_NE(card, 4550);
    const Json two = answer(identify({"--d", kQuartz, "--max-elements", "2", "--top", "3"}));
    EXPECT_EQ(two["candidates"][0]["card"], 4550);
    const Json within = answer(identify({"--d", kQuartz, "--within", "814,2205"}));
    EXPECT_LE(within["entriesScored"].get<int>(), 2);
    for (int card : cards(within))
        EXPECT_TRUE(card == 814 || card == 2205) << card;
}

TEST(IdentifyCli, BadInputIsAUsageOrDataErrorWithAMessage) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, 2, "give the pattern with --d, --two-theta, --file or --batch"},
        {{"--d", "3.3 abc"}, 2, "\"abc\" is not a number"},
        {{"--d", "-3.3"}, 2, "is not a d-spacing"},
        {{"--two-theta", "200"}, 2, "cannot be a diffraction angle"},
        {{"--d", "3.3", "--wavelength", "W"}, 2, "Unknown wavelength"},
        {{"--d", "3.3", "--required", "Xx"}, 2, "no element symbol"},
        {{"--d", "3.3", "--within", "99999"}, 1, "is not in the database"},
        {{"--d", "3.3", "--residual-of", "99999"}, 1, "is not in the database"},
        {{"--file", "/nonexistent.xy"}, 1, "no such file"},
        {{"--file", "/dev/null"}, 1, "not an ordinary file"},
        {{"--d", "3.3", "--file", "x.xy"}, 2, "excludes"},
        {{"--d", "3.3", "--tolerance", "0"}, 2, "--tolerance"},
        {{"--batch", "/nonexistent-folder"}, 2, "no folder at /nonexistent-folder"},
        {{"--batch", "/tmp", "--file", "x.xy"}, 2, "excludes"},
        {{"--batch", "/tmp", "--d", "3.3"}, 2, "excludes"},
        {{"--batch", "/tmp", "--residual-of", "4550"}, 2, "excludes"},
    };
    for (const Case& c : cases) {
        const ToolRun r = identify(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

// RFC 4180 records: a quoted field may hold commas and doubled quotes.
std::vector<std::vector<std::string>> csvRecords(const std::string& text) {
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            records.back().back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            records.back().emplace_back();
        } else if (!quoted && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            records.emplace_back(1);
            ++i;
        } else {
            records.back().back() += c;
        }
    }
    EXPECT_EQ(records.back(), std::vector<std::string>(1)) << "no CRLF after the last record";
    records.pop_back();
    return records;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(IdentifyCli, BatchAnswersEachPatternFileOnALineAndGoesOnPastAFailure) {
    TempDir dir;
    const std::string scan = readFile(sampleScan());
    writeFile(dir.path() / "1-first.xy", scan);
    writeFile(dir.path() / "2-garbage.xy", std::string("\x01\xff\x00garbage\x7f", 11));
    writeFile(dir.path() / "3-second.XY", scan); // instruments write capital extensions
    writeFile(dir.path() / "notes.md", "not a pattern\n");
    // Neither a folder named like a scan nor what it holds is read.
    std::filesystem::create_directory(dir.path() / "archive.xy");
    writeFile(dir.path() / "archive.xy" / "4-older.xy", scan);

    const ToolRun r = identify({"--batch", dir.path().string(), "--top", "2"});
    EXPECT_EQ(r.exitCode, 1) << "a file failed: the data-fault code";
    const std::vector<std::string> lines = linesOf(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out.substr(0, 300);
    struct Expected {
        std::string file;
        bool identified;
    };
    const std::vector<Expected> expected = {
        {"1-first.xy", true}, {"2-garbage.xy", false}, {"3-second.XY", true}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].file);
        const Json line = Json::parse(lines[i], nullptr, false);
        ASSERT_FALSE(line.is_discarded()) << "not a JSON line: " << lines[i].substr(0, 200);
        ASSERT_TRUE(line.is_object());
        EXPECT_EQ(line.begin().key(), "file");
        EXPECT_EQ(line["file"], expected[i].file);
        if (expected[i].identified) {
            EXPECT_FALSE(line.contains("error"));
            EXPECT_FALSE(line["mixture"]["phases"].empty());
            EXPECT_EQ(line["candidates"].size(), 2u) << "--top applies to every file";
        } else {
            EXPECT_EQ(line.size(), 2u) << lines[i];
            EXPECT_NE(line["error"].get<std::string>().find("2-garbage.xy"), std::string::npos);
            EXPECT_NE(r.err.find(line["error"].get<std::string>()), std::string::npos);
        }
    }
    // Not a terminal: one progress line per file, numbered against the three pattern files.
    EXPECT_NE(r.err.find("identify: 1 of 3, 1-first.xy\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("identify: 3 of 3, 3-second.XY\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos);

    // A line holds what --file answers for that file, after its name.
    Json single = answer(identify({"--file", (dir.path() / "1-first.xy").string(), "--top", "2"}));
    Json first = Json::parse(lines[0]);
    first.erase("file");
    EXPECT_EQ(first, single);

    // As CSV: one header for the batch, then the phases of each file it could identify.
    const ToolRun csv = identify({"--batch", dir.path().string(), "--format", "csv"});
    EXPECT_EQ(csv.exitCode, 1);
    const std::vector<std::vector<std::string>> records = csvRecords(csv.out);
    ASSERT_GE(records.size(), 3u) << csv.out;
    EXPECT_EQ(records[0][0], "file");
    std::set<std::string> files;
    for (std::size_t i = 1; i < records.size(); ++i)
        files.insert(records[i][0]);
    EXPECT_EQ(files, (std::set<std::string>{"1-first.xy", "3-second.XY"}));
    EXPECT_NE(csv.err.find("2-garbage.xy"), std::string::npos) << csv.err;

    // A folder with no pattern file is a usage error, and nothing is written.
    TempDir empty;
    writeFile(empty.path() / "notes.md", "not a pattern\n");
    const ToolRun none = identify({"--batch", empty.path().string()});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("holds no pattern file"), std::string::npos) << none.err;
}

TEST(IdentifyCli, CsvListsThePhasesOfTheMixtureOneARow) {
    TempDir dir;
    // A comma in the name: the file column must be quoted to stay one field.
    const std::filesystem::path path = dir.path() / "quartz, calcite.xy";
    writeFile(path, readFile(sampleScan()));
    const ToolRun r = identify({"--file", path.string(), "--format", "csv"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"" + path.string() + "\","), std::string::npos);
    const std::vector<std::vector<std::string>> records = csvRecords(r.out);
    ASSERT_GE(records.size(), 3u) << r.out;
    EXPECT_EQ(records[0],
              (std::vector<std::string>{"file", "phase", "card", "name", "formula", "weightPercent",
                                        "weightSigma", "probability", "zeroDegrees",
                                        "displacementMm", "latticePercent", "profileR"}));
    double weights = 0.0;
    std::set<std::string> cards;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const std::vector<std::string>& row = records[i];
        ASSERT_EQ(row.size(), 12u) << r.out;
        EXPECT_EQ(row[0], path.string());
        EXPECT_EQ(row[1], std::to_string(i));
        cards.insert(row[2]);
        weights += std::stod(row[5]);
        EXPECT_GT(std::stod(row[6]), 0.0) << "every phase of the sample has an I/Ic";
        EXPECT_EQ(row[11], records[1][11]) << "the mixture's profile R on every row";
    }
    EXPECT_TRUE(cards.count("4550") && cards.count("814")) << r.out;
    // Each weight is rounded to 0.1: the sum may miss 100 by 0.05 a phase.
    EXPECT_NEAR(weights, 100.0, 0.05 * static_cast<double>(records.size() - 1) + 1e-9);
}

TEST(IdentifyCli, EveryBadTextAsAValueEndsInJsonOrAMessage) {
    using lithora::input_test::badTexts;
    TempDir dir;
    for (const auto& t : badTexts()) {
        if (t.text.find('\0') != std::string::npos || t.text.size() > 120000) continue;
        writeFile(dir.path() / "pattern.xy", t.text);
        const std::vector<std::vector<std::string>> runs = {
            {"--d", t.text},
            {"--two-theta", t.text},
            {"--d", "3.343", "--wavelength", t.text},
            {"--d", "3.343", "--required", t.text},
            {"--file", (dir.path() / "pattern.xy").string()},
        };
        for (const auto& args : runs) {
            const ToolRun r = identify(args);
            SCOPED_TRACE(t.label + " as " + args[0]);
            EXPECT_EQ(r.signal, 0) << r.err;
            ASSERT_TRUE(r.exitCode >= 0 && r.exitCode <= 2) << r.err;
            if (r.exitCode == 0) {
                const Json j = Json::parse(r.out, nullptr, false);
                ASSERT_FALSE(j.is_discarded());
                EXPECT_TRUE(j["candidates"].is_array());
            } else {
                EXPECT_EQ(r.err.rfind("lithora-cli: ", 0), 0u) << r.err;
            }
        }
    }
}

} // namespace
