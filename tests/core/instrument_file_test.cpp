// Diffractometer scan files read back with their points, format and wavelengths, the wavelength
// decision, and numbers read the same under a locale with a decimal comma.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "identify/instrument_file.h"
#include "support/test_support.h"

using namespace lithora;

namespace {

// Every fixture of tests/fixtures/scans holds the same 40 points (make_binary_scans.py): 2θ =
// 25 + 0.0625 i, counts 100 + i plus a peak of 900 at point 20, so point 0 is (25, 100), point 20
// (26.25, 1020) and point 39 (27.4375, 139).
struct ScanCase {
    const char* file;
    const char* formatId;
    const char* format;
    std::optional<double> kAlpha1, kAlpha2, ratio;
    const char* sample;
    const char* anode; // the anode a wavelength was taken from
};

// Expected lines as the fixtures state them. xylib passes the numbers of binary headers on with
// six significant digits (1.540598 comes as 1.5406), hence the tolerance below.
const ScanCase kScans[] = {
    {"bruker-v1.raw", "bruker_raw", "Bruker RAW version 1", 1.5406, 1.54439, {}, "Quartz v1", ""},
    {"bruker-v2.raw", "bruker_raw", "Bruker RAW version 2", 1.78897, 1.79285, 0.5, "", ""},
    {"bruker-v3.raw", "bruker_raw", "Bruker RAW version 3", 1.540598, 1.544426, 0.5, "Quartz v3",
     ""},
    // Philips RD names only its anode: Fe, whose Kα1 is 1.93604 Å.
    {"philips.rd", "philips_rd", "Philips RD", 1.93604, {}, {}, "Quartz RD", "Fe"},
    {"scan.uxd", "uxd", "Bruker/Siemens UXD", 1.78897, 1.79285, 0.5, "Quartz UXD", ""},
    {"scan.udf", "philips_udf", "Philips UDF", 1.5406, 1.54439, 0.5, "Quartz UDF", ""},
    {"scan.dat", "rigaku_dat", "Rigaku DAT", 0.7093, 0.71359, {}, "Quartz DAT", ""},
    {"scan.xrdml", "xrdml", "PANalytical XRDML", 2.2897, 2.29361, 0.5, "Quartz & XRDML", ""},
    {"scan.cif", "pdcif", "Powder diffraction CIF", 0.55941, {}, {}, "Quartz CIF", ""},
    {"scan.xy", "text", "Text columns (2θ, counts)", {}, {}, {}, "", ""},
};

void expectNear(std::optional<double> actual, std::optional<double> expected, const char* what,
                const char* file) {
    ASSERT_EQ(actual.has_value(), expected.has_value()) << file << ": " << what;
    if (expected) {
        EXPECT_NEAR(*actual, *expected, 1e-5) << file << ": " << what;
    }
}

TEST(InstrumentFile, EachFormatReadsBackItsPointsAndWavelengths) {
    for (const ScanCase& c : kScans) {
        const Result<MeasuredScan> read = readScanFile(test::fixture("scans") / c.file);
        ASSERT_TRUE(read.ok()) << c.file << ": " << read.error().message;
        const MeasuredScan& scan = read.value();
        EXPECT_EQ(scan.formatId, c.formatId) << c.file;
        EXPECT_EQ(scan.format, c.format) << c.file;
        expectNear(scan.wavelengths.kAlpha1, c.kAlpha1, "Kα1", c.file);
        expectNear(scan.wavelengths.kAlpha2, c.kAlpha2, "Kα2", c.file);
        expectNear(scan.wavelengths.ratio, c.ratio, "ratio", c.file);
        EXPECT_EQ(scan.wavelengths.anode, c.anode) << c.file;
        EXPECT_EQ(scan.sampleName, c.sample) << c.file;

        const Profile& p = scan.profile;
        ASSERT_EQ(p.twoTheta.size(), 40u) << c.file;
        ASSERT_EQ(p.counts.size(), 40u) << c.file;
        // Philips RD keeps √(100·counts) rounded: the counts come back within 0.1·√counts.
        const bool packed = std::string(c.formatId) == "philips_rd";
        const struct {
            std::size_t i;
            double twoTheta, counts;
        } points[] = {{0, 25.0, 100.0}, {20, 26.25, 1020.0}, {39, 27.4375, 139.0}};
        for (const auto& point : points) {
            EXPECT_NEAR(p.twoTheta[point.i], point.twoTheta, 1e-9) << c.file << " " << point.i;
            EXPECT_NEAR(p.counts[point.i], point.counts,
                        packed ? 0.1 * std::sqrt(point.counts) + 0.01 : 1e-9)
                << c.file << " point " << point.i;
        }
    }
}

TEST(InstrumentFile, TheFirstRangeOfTenPointsIsReadAndSaidSo) {
    // scan.uxd opens with an alignment range of 5 points before its 40-point scan.
    const Result<MeasuredScan> uxd = readScanFile(test::fixture("scans") / "scan.uxd");
    ASSERT_TRUE(uxd.ok());
    EXPECT_EQ(uxd.value().scanNote,
              "Scan 2 of 2 read (40 points): the ones before it have fewer than 10 points");
    EXPECT_EQ(readScanFile(test::fixture("scans") / "scan.udf").value().scanNote, "");
}

TEST(InstrumentFile, TheWavelengthComesFromTheFileUnlessAChoiceContradictsIt) {
    const ScanWavelengths cu{1.540598, 1.544426, 0.5, ""};
    const ScanWavelengths fe{1.93604, {}, {}, "Fe"};
    const ScanWavelengths none{};
    const struct {
        std::optional<double> chosen;
        const ScanWavelengths& file;
        double used;
        WavelengthSource source;
        const char* note;
        bool warned;
    } cases[] = {
        {{},
         cu,
         1.540598,
         WavelengthSource::File,
         "Wavelength 1.54060 Å (Kα1) from the file",
         false},
        // Cu Kα (1.5406) lies 0.000002 Å from the file's line: it agrees, the file's value is used.
        {1.5406, cu, 1.540598, WavelengthSource::File, "Wavelength 1.54060 Å (Kα1) from the file",
         false},
        // 0.0009 Å apart agrees, 0.0011 Å apart contradicts.
        {1.541498, cu, 1.540598, WavelengthSource::File, "Wavelength 1.54060 Å (Kα1) from the file",
         false},
        {1.541698, cu, 1.541698, WavelengthSource::Chosen, "Wavelength 1.54170 Å as chosen", true},
        {1.78897, cu, 1.78897, WavelengthSource::Chosen, "Wavelength 1.78897 Å as chosen", true},
        {{},
         fe,
         1.93604,
         WavelengthSource::File,
         "Wavelength 1.93604 Å (Fe Kα1) from the file's anode",
         false},
        {1.78897, none, 1.78897, WavelengthSource::Chosen, "Wavelength 1.78897 Å as chosen", false},
        {{},
         none,
         1.5406,
         WavelengthSource::Default,
         "Wavelength 1.54060 Å (Cu Kα1): the file states none",
         false},
    };
    for (const auto& c : cases) {
        const WavelengthDecision d = decideWavelength(c.chosen, c.file);
        const std::string label = c.note;
        EXPECT_DOUBLE_EQ(d.angstrom, c.used) << label;
        EXPECT_EQ(d.source, c.source) << label;
        EXPECT_EQ(d.note, c.note);
        EXPECT_EQ(!d.warning.empty(), c.warned) << label << ": " << d.warning;
    }
    // The warning names both wavelengths.
    EXPECT_EQ(decideWavelength(1.78897, cu).warning,
              "The file states 1.54060 Å (Kα1), but 1.78897 Å was chosen: the peaks are placed "
              "with the wavelength chosen");
}

// The desktop program runs under the user's locale; under a decimal comma xylib's strtod read
// "0.062500" as 0 and gave every point of a UXD scan the first angle.
TEST(InstrumentFile, NumbersReadTheSameUnderADecimalCommaLocale) {
#ifdef LITHORA_TEST_LOCALES_DIR
    setenv("LOCPATH", LITHORA_TEST_LOCALES_DIR, 1);
#endif
    const char* comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    unsetenv("LOCPATH");
    if (!comma) GTEST_SKIP() << "no de_DE.UTF-8 locale to test under";
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    for (const char* file : {"scan.uxd", "scan.xrdml", "scan.udf", "scan.dat"}) {
        const Result<MeasuredScan> read = readScanFile(test::fixture("scans") / file);
        ASSERT_TRUE(read.ok()) << file << ": " << read.error().message;
        EXPECT_EQ(read.value().profile.twoTheta.size(), 40u) << file;
        EXPECT_DOUBLE_EQ(read.value().profile.twoTheta.back(), 27.4375) << file;
    }
    // The reader left the locale as it found it.
    EXPECT_EQ(std::string(std::localeconv()->decimal_point), ",");
    std::setlocale(LC_NUMERIC, "C");
}

} // namespace
