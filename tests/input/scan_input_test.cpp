// Scan files a user may open that are damaged or no scans at all: every fixture cut short or
// followed by garbage, headers that declare huge counts, NaN where numbers belong, an empty file,
// a folder, names that lie about the format, every text of bad_texts.h. Each ends in a sound scan
// or a message naming the file, never in a crash or a hang.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "bad_texts.h"
#include "identify/instrument_file.h"
#include "support/test_support.h"

using namespace lithora;
using namespace lithora::input_test;

namespace {

const char* const kFixtures[] = {"bruker-v1.raw", "bruker-v2.raw", "bruker-v3.raw",
                                 "philips.rd",    "scan.uxd",      "scan.udf",
                                 "scan.dat",      "scan.xrdml",    "scan.cif"};

std::string fixtureBytes(const char* name) {
    return test::readFile(test::fixture("scans") / name);
}

// A scan as the identification takes it, or a message a window can show that names the file.
void expectScanOrMessage(const Result<MeasuredScan>& read, const std::string& file,
                         const std::string& label) {
    if (read.ok()) {
        const Profile& p = read.value().profile;
        ASSERT_EQ(p.twoTheta.size(), p.counts.size()) << label;
        EXPECT_GE(p.twoTheta.size(), 10u) << label;
        EXPECT_LE(p.twoTheta.size(), kMaxProfilePoints) << label;
        for (std::size_t i = 0; i < p.twoTheta.size(); ++i) {
            EXPECT_TRUE(p.twoTheta[i] > 0.0 && p.twoTheta[i] < 180.0) << label;
            EXPECT_TRUE(std::isfinite(p.counts[i])) << label;
            if (i > 0) {
                EXPECT_GT(p.twoTheta[i], p.twoTheta[i - 1]) << label;
            }
        }
        return;
    }
    const std::string& message = read.error().message;
    EXPECT_EQ(message.rfind(file + ": ", 0), 0u) << label << ": " << message;
    EXPECT_LT(message.size(), 400u) << label;
    for (char c : message)
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20) << label << ": " << message;
}

std::string patched(std::string bytes, std::size_t offset, const void* value, std::size_t size) {
    std::memcpy(bytes.data() + offset, value, size);
    return bytes;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(ScanInput, EveryFixtureCutShortOrFollowedByGarbage) {
    for (const char* name : kFixtures) {
        const std::string bytes = fixtureBytes(name);
        ASSERT_FALSE(bytes.empty()) << name;
        for (const std::size_t cut : {std::size_t{4}, std::size_t{16}, bytes.size() / 4,
                                      bytes.size() / 2, bytes.size() * 3 / 4, bytes.size() - 1}) {
            expectScanOrMessage(parseScan(bytes.substr(0, cut), name), name,
                                std::string(name) + " cut at " + std::to_string(cut));
        }
        // The signature, then bytes of a linear congruential generator; and the whole file with
        // every seventh byte changed.
        std::string garbage = bytes.substr(0, 16);
        std::uint32_t state = 12345;
        for (int i = 0; i < 4000; ++i) {
            state = state * 1103515245u + 12345u;
            garbage.push_back(static_cast<char>(state >> 24));
        }
        expectScanOrMessage(parseScan(garbage, name), name, std::string(name) + " + garbage");
        std::string flipped = bytes;
        for (std::size_t i = 3; i < flipped.size(); i += 7)
            flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
        expectScanOrMessage(parseScan(flipped, name), name, std::string(name) + " flipped");
    }
}

TEST(ScanInput, HugeDeclaredCountsAndNaNAreRefused) {
    const std::uint32_t huge = 0xFFFFFFFFu, big = 0x7FFFFFFFu;
    const std::uint16_t ranges = 0xFFFF;
    const double tiny = 1e-300, nan = std::nan("");
    // Offsets as make_binary_scans.py writes them.
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"bruker-v1.raw", patched(fixtureBytes("bruker-v1.raw"), 4, &huge, 4)},   // steps
        {"bruker-v2.raw", patched(fixtureBytes("bruker-v2.raw"), 4, &ranges, 2)}, // ranges
        {"bruker-v3.raw", patched(fixtureBytes("bruker-v3.raw"), 12, &big, 4)},   // ranges
        {"bruker-v3.raw", patched(fixtureBytes("bruker-v3.raw"), 716, &big, 4)},  // steps
        {"philips.rd", patched(fixtureBytes("philips.rd"), 214, &tiny, 8)},       // step
        {"philips.rd", patched(fixtureBytes("philips.rd"), 222, &nan, 8)},        // first 2θ
        {"bruker-v3.raw", patched(fixtureBytes("bruker-v3.raw"), 728, &nan, 8)},  // first 2θ
        {"scan.dat", replaced(fixtureBytes("scan.dat"), "=  40", "=  999999999")},
        {"scan.uxd", replaced(fixtureBytes("scan.uxd"), "_START=25.000000", "_START=nan")},
        {"scan.uxd", replaced(fixtureBytes("scan.uxd"), "1020", "nan")},
        {"scan.xrdml", replaced(fixtureBytes("scan.xrdml"), "25.0000<", "NaN<")},
        {"scan.xrdml", replaced(fixtureBytes("scan.xrdml"), " 1020 ", " NaN ")},
        {"scan.cif", replaced(fixtureBytes("scan.cif"), "25.0000", "1e999")},
    };
    for (const auto& c : cases) {
        const Result<MeasuredScan> read = parseScan(c.bytes, c.name);
        EXPECT_FALSE(read.ok()) << c.name << " was read: " << read.value().profile.counts.size();
        expectScanOrMessage(read, c.name, c.name);
    }
}

TEST(ScanInput, FilesThatAreNoScansAndNamesThatLie) {
    test::TempDir dir;
    test::writeFile(dir.path() / "empty.xrdml", "");
    test::writeFile(dir.path() / "uxd-named.raw", fixtureBytes("scan.uxd"));
    test::writeFile(dir.path() / "bruker-named.xy", fixtureBytes("bruker-v3.raw"));
    for (const char* name : {"empty.xrdml", "missing.raw"})
        EXPECT_FALSE(readScanFile(dir.path() / name).ok()) << name;
    EXPECT_NE(readScanFile(dir.path()).error().message.find("is a folder"), std::string::npos);
    // The content tells the format, not the name.
    EXPECT_EQ(readScanFile(dir.path() / "uxd-named.raw").value().formatId, "uxd");
    EXPECT_EQ(readScanFile(dir.path() / "bruker-named.xy").value().formatId, "bruker_raw");
    // xylib 1.6 reads no Bruker RAW version 4: said so, not "binary data".
    const Result<MeasuredScan> v4 = readScanFile(test::fixture("scans") / "bruker-v4-header.raw");
    ASSERT_FALSE(v4.ok());
    EXPECT_NE(v4.error().message.find("version 4"), std::string::npos) << v4.error().message;
}

// Regression: xylib's XML parser recurses per element; 200,000 nested elements overflowed the
// stack (a segmentation fault). The reader refuses nesting deeper than any XRDML file has.
TEST(ScanInput, DeeplyNestedXmlIsRefusedBeforeXylibReadsIt) {
    std::string nested;
    for (int i = 0; i < 200000; ++i)
        nested += "<a>";
    const std::string xml = replaced(fixtureBytes("scan.xrdml"), "<sample", nested + "<sample");
    const Result<MeasuredScan> read = parseScan(xml, "deep.xrdml");
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.error().message.find("nests deeper"), std::string::npos);
}

// Regression: a Rigaku file of 500,000 one-point ranges cost xylib 6 s and 260 MB; files with
// more ranges than any measurement has are refused first.
TEST(ScanInput, TensOfThousandsOfRangesAreRefusedBeforeXylibReadsThem) {
    std::string dat = "*TYPE = Raw\n*GROUP_COUNT = 20000\n";
    for (int i = 0; i < 20000; ++i)
        dat += "*BEGIN\n*COUNT = 1\n1\n*END\n";
    const Result<MeasuredScan> read = parseScan(dat, "ranges.dat");
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.error().message.find("more than 1000 scans"), std::string::npos);
}

// Regression (fuzzing): two _COUNTS under one _DRIVE made xylib put the same range into the file
// twice and free it twice, a crash. Such a file is refused before xylib reads it.
TEST(ScanInput, AUxdRangeWithTwoBlocksOfCountsIsRefusedBeforeXylibReadsIt) {
    const std::string uxd = fixtureBytes("scan.uxd");
    const std::string twice = replaced(uxd, "; range 2\n_DRIVE='COUPLED'\n", "");
    const Result<MeasuredScan> read = parseScan(twice, "twice.uxd");
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().message, "twice.uxd: a range of this UXD file has two blocks of counts");
}

// Regression (fuzzing): a text file of ten or more lines at fewer than ten angles was read as a
// pattern of fewer than 10 points, the repeated angles being dropped after the count.
TEST(ScanInput, RepeatedAnglesLeavingFewerThanTenPointsAreRefused) {
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += std::to_string(20 + i % 3) + " 100\n";
    const Result<MeasuredScan> read = parseScan(text, "repeated.xy");
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().message,
              "repeated.xy: Too few points: 3 different angles 2θ, a pattern has at least 10");
}

TEST(ScanInput, EveryBadTextAsAScanFileEndsInAScanOrAMessage) {
    for (const BadText& t : badTexts())
        expectScanOrMessage(parseScan(t.text, "typed.xy"), "typed.xy", t.label);
}

} // namespace
