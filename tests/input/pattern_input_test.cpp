// What a user may paste into the peak box or open as a pattern file: every text of bad_texts.h,
// binary files, a million lines, and files that are no files. Each ends in a pattern or a clear
// message, never in a crash or a hang.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "bad_texts.h"
#include "identify/peak_list.h"
#include "identify/profile.h"
#include "identify/ranking.h"
#include "support/test_support.h"

using namespace lithora;
using namespace lithora::input_test;

namespace {

// A message a window can show: not empty, one line or a few, no control characters.
void expectShowable(const std::string& message, const std::string& label) {
    EXPECT_FALSE(message.empty()) << label;
    for (char c : message) {
        const auto u = static_cast<unsigned char>(c);
        EXPECT_FALSE(u < 0x20 || u == 0x7F) << label << ": " << message;
    }
    EXPECT_LT(message.size(), 400u) << label;
}

void expectSound(const MeasuredPattern& p, const std::string& label) {
    ASSERT_FALSE(p.peaks.empty()) << label;
    for (const Peak& peak : p.peaks) {
        EXPECT_TRUE(peak.d > 0.0 && peak.d <= kMaxD) << label;
        EXPECT_TRUE(peak.intensity >= 0.0 && peak.intensity <= 100.0) << label;
    }
}

TEST(PatternInput, EveryBadTextInThePeakBoxEndsInAPatternOrAMessage) {
    for (const BadText& t : badTexts()) {
        for (const PeakPosition position : {PeakPosition::D, PeakPosition::TwoTheta}) {
            const Result<MeasuredPattern> p = parsePeakList(t.text, position);
            if (p.ok()) {
                expectSound(p.value(), t.label);
                // Only texts holding numbers can be patterns.
                EXPECT_NE(t.kind, TextKind::Blank) << t.label;
                EXPECT_NE(t.kind, TextKind::Foreign) << t.label;
            } else {
                expectShowable(p.error().message, t.label);
            }
        }
        // The same texts as a wavelength or an element list.
        const Result<double> w = parseWavelength(t.text);
        if (w.ok()) {
            EXPECT_TRUE(w.value() >= 0.1 && w.value() <= 5.0) << t.label;
        } else {
            expectShowable(w.error().message, t.label);
        }
        const Result<std::vector<int>> symbols = parseElementSymbols(t.text);
        if (!symbols.ok()) expectShowable(symbols.error().message, t.label);
    }
}

TEST(PatternInput, EveryBadTextAsAProfileEndsInAProfileOrAMessage) {
    for (const BadText& t : badTexts()) {
        const Result<Profile> p = parseProfile(t.text);
        if (p.ok()) {
            EXPECT_GE(p.value().twoTheta.size(), 10u) << t.label;
            EXPECT_LE(findPeaks(p.value()).size(), kMaxPeaks) << t.label;
        } else {
            expectShowable(p.error().message, t.label);
        }
    }
}

TEST(PatternInput, AMillionLinesAreRefusedWithTheirCount) {
    std::string peaks;
    peaks.reserve(6'000'000);
    for (int i = 0; i < 1'000'000; ++i)
        peaks += "3.34\n";
    const Result<MeasuredPattern> list = parsePeakList(peaks, PeakPosition::D);
    ASSERT_FALSE(list.ok());
    EXPECT_NE(list.error().message.find("more than 500 peaks"), std::string::npos);

    std::string profile;
    profile.reserve(11'000'000);
    for (int i = 0; i < 1'000'000; ++i)
        profile += "20.00 100\n";
    const Result<Profile> p = parseProfile(profile);
    ASSERT_FALSE(p.ok());
    EXPECT_NE(p.error().message.find("more than 200000 points"), std::string::npos);
    // A million comment lines are no data at all.
    std::string comments;
    for (int i = 0; i < 1'000'000; ++i)
        comments += "# x\n";
    EXPECT_FALSE(parsePeakList(comments, PeakPosition::D).ok());
    EXPECT_FALSE(parseProfile(comments).ok());
}

TEST(PatternInput, FilesThatAreNoPatternFilesAreRefused) {
    test::TempDir dir;
    std::string binary;
    for (int i = 0; i < 70000; ++i)
        binary.push_back(static_cast<char>((i * 2654435761u) >> 24));
    test::writeFile(dir.path() / "image.xy", binary);
    test::writeFile(dir.path() / "empty.xy", "");
    test::writeFile(dir.path() / "peaks.txt", "3.343 100\n4.255 20\n");
    for (const char* name : {"image.xy", "empty.xy", "peaks.txt", "missing.xy"}) {
        const Result<Profile> p = readProfileFile(dir.path() / name);
        ASSERT_FALSE(p.ok()) << name;
        expectShowable(p.error().message, name);
    }
    EXPECT_NE(readProfileFile(dir.path() / "image.xy").error().message.find("binary"),
              std::string::npos);
    EXPECT_NE(readProfileFile(dir.path() / "peaks.txt").error().message.find("Too few points"),
              std::string::npos);
    // A folder, a pipe without a writer and an endless device end at once.
    EXPECT_FALSE(readProfileFile(dir.path()).ok());
    const auto fifo = dir.path() / "pipe.xy";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const Result<Profile> piped = readProfileFile(fifo);
    ASSERT_FALSE(piped.ok());
    EXPECT_NE(piped.error().message.find("not an ordinary file"), std::string::npos);
    EXPECT_FALSE(readProfileFile("/dev/zero").ok());
}

} // namespace
