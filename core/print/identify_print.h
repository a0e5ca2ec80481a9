#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "datafiles/dataset.h"
#include "identify/identify_texts.h"
#include "identify/instrument_file.h"
#include "identify/mixture.h"
#include "identify/profile_identify.h"
#include "print/card_print.h"

// The printed identification report: what was measured and how, the phases of the mixture with
// their amounts, the measured profile against the calculated one, the ranked candidates and each
// phase's lines against the measured peaks. Laid out in the device's units on pages of the given
// size; a table row is never cut by a page break.
namespace lithora {

inline constexpr std::string_view kIdentificationReportTitle = "Identification Report";
inline constexpr std::string_view kIdentificationReportFooter =
    "Amounts are semi-quantitative (reference intensity ratios): texture, amorphous content and "
    "microabsorption bias them.";
// How many of the ranked candidates the report lists.
inline constexpr std::size_t kReportCandidates = 10;
// The plot draws at most this many points of a curve: a long scan would otherwise fill the page
// description with hundreds of thousands of segments no printer can resolve.
inline constexpr std::size_t kPlotPoints = 1500;

// One line of a phase's card against the measured peaks.
struct ReportLine {
    LineKind kind = LineKind::Matched; // Matched, Missed or BelowDetection
    double cardD = 0.0;                // Å, as calculated
    double cardIntensity = 0.0;        // relative to the card's strongest line in range, 100
    // The matched peak (Matched only): d and 2θ for Kα1, intensity relative to the strongest
    // peak (100), and measured d − calculated d before the fit.
    double measuredD = 0.0;
    double measuredTwoTheta = 0.0;
    double measuredIntensity = 0.0;
    double deltaD = 0.0;
};

struct ReportPhase {
    std::string name;
    int card = 0;
    double weightPercent = -1.0; // −1 when the card has no I/Ic
    double weightSigma = 0.0;
    double certainty = -1.0; // probability that it is the phase; −1 for a phase the user added
    InstrumentFit fit;
    std::vector<std::string> alternatives; // "Name (card)": the data cannot tell them from it
    std::vector<double> calculated;        // net counts, a point of the profile
    std::vector<ReportLine> lines;         // by d falling
};

struct ReportCandidate {
    int rank = 0;
    std::string name; // "≈ Name" for a member of the group of the row above
    int card = 0;
    double score = 0.0;     // 0 .. 100
    std::string lines;      // "6 / 6"
    double profileR = -1.0; // −1 when not compared with the profile
    double probability = 0.0;
};

struct IdentificationReport {
    std::string title{kIdentificationReportTitle};
    std::string fileName;
    std::string sample;
    std::string dateTime; // as the caller words it

    double wavelength = 0.0;      // Kα1, Å
    std::string wavelengthSource; // "from the file", "chosen", "default"
    double kAlpha2Ratio = 0.0;    // Kα2 / Kα1 stripped; 0 for Kα1 only
    double rangeMin = 0.0, rangeMax = 0.0;
    double toleranceTwoTheta = 0.0; // degrees, as the lines were matched
    std::string elementFilter;      // "none" when every entry was ranked
    std::string note;               // what the ranking warned of, or empty

    // The measured profile, and beneath the calculated counts the level they stand on (the
    // background as the fit took it), a point each.
    std::vector<double> twoTheta;
    std::vector<double> counts;
    std::vector<double> background;
    std::vector<double> calculated; // the phases' sum, net; empty without a mixture

    std::vector<ReportPhase> phases;
    double profileR = -1.0; // weighted profile R of the mixture; −1 without one
    double noiseR = 0.0;    // what the counting noise alone would leave
    bool amountsComplete = true;

    std::vector<ReportCandidate> candidates; // best first
};

// One list of pages; each page's items lie within pageWidth × pageHeight, y from the page's top.
std::vector<PrintPage> layoutIdentificationReport(const IdentificationReport& report,
                                                  double pageWidth, double pageHeight,
                                                  const TextMeasurer& measurer);

// What the caller knows of the run beyond the core's results.
struct ReportSource {
    std::string fileName;
    std::string sample;
    std::string dateTime;
    WavelengthSource wavelengthSource = WavelengthSource::Default;
};

// The report of an identification of a measured profile. mixture may be null (none was sought).
// A phase found in what the phases before it left was matched against those peaks; its lines
// are matched again against the whole pattern here, as the window lists them. An error only
// when a data file cannot be read.
Result<IdentificationReport> reportOf(DataSet& data, const ReportSource& source,
                                      const Profile& profile, const ProfileAnalysis& analysis,
                                      const Identification& identification, const Mixture* mixture,
                                      const IdentifyOptions& options);

// The element filter and scope of a ranking in words: "none", or "required O, Fe; excluded Cl;
// at most 3 elements; the current list only".
std::string elementFilterText(const IdentifyOptions& options);

// The indexes of the points of a curve that the plot keeps: all of them up to maxPoints, else
// the first, the last and, in each of (maxPoints − 2) / 2 bins, the lowest and the highest point
// in their order, so that no peak (nor a dip of a difference curve) is lost.
std::vector<std::size_t> plotIndexes(std::span<const double> y, std::size_t maxPoints);

} // namespace lithora
