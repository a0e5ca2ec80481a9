// A typed or pasted peak list read as d or as 2θ for a wavelength, scored against a card's line
// fields as the ranking scores them (2θ on the 2θ axis, with the zero and displacement fitted),
// and the residual of that card taken away.
//
// Input: a control part, the peak list, a card's d-spacing field and its intensity field.
// Control lines: "angles" (the list is 2θ), "wavelength=TEXT" (as typed), "tolerance=N"
// (1..1000: hundredths of a percent for d, of a degree for 2θ), "nofit" (no instrument fit).
#include <cmath>

#include "fuzz_support.h"
#include "identify/peak_list.h"
#include "identify/ranking.h"
#include "patterns/identification_lines.h"

using namespace lithora;
using namespace lithora::fuzz;

namespace {

void checkPattern(const MeasuredPattern& p) {
    FUZZ_CHECK(!p.peaks.empty() && p.peaks.size() <= kMaxPeaks);
    double strongest = 0.0;
    for (std::size_t i = 0; i < p.peaks.size(); ++i) {
        const Peak& peak = p.peaks[i];
        FUZZ_CHECK(peak.d > 0.0 && peak.d <= kMaxD);
        FUZZ_CHECK(peak.intensity >= 0.0 && peak.intensity <= 100.0);
        if (i > 0) FUZZ_CHECK(p.peaks[i - 1].d >= peak.d);
        strongest = std::max(strongest, peak.intensity);
    }
    FUZZ_CHECK(std::fabs(strongest - 100.0) < 1e-9);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        splitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<Setting> settings = settingsOf(parts[0]);
    PeakPosition position = PeakPosition::D;
    double wavelength = kDefaultWavelength;
    double tolerance = kDefaultTolerancePercent;
    bool fit = true;
    for (const Setting& s : settings) {
        if (s.key == "angles") position = PeakPosition::TwoTheta;
        if (s.key == "nofit") fit = false;
        if (s.key == "tolerance") tolerance = settingNumber(s.value, 1, 1000, 60) / 100.0;
        if (s.key == "wavelength") {
            const Result<double> w = parseWavelength(s.value);
            if (w) {
                FUZZ_CHECK(w.value() >= 0.1 && w.value() <= 5.0);
                wavelength = w.value();
            }
        }
    }
    const std::string_view text = parts.size() > 1 ? parts[1] : std::string_view();
    const Result<MeasuredPattern> pattern = parsePeakList(text, position, wavelength);
    if (!pattern) {
        FUZZ_CHECK(!pattern.error().message.empty());
        return 0;
    }
    checkPattern(pattern.value());

    const std::string_view dField = parts.size() > 2 ? parts[2] : std::string_view();
    const std::string_view intensityField = parts.size() > 3 ? parts[3] : std::string_view();
    const CardLines card = cardLinesOf(dField, intensityField);
    FUZZ_CHECK(card.count >= 0 && card.count <= kMaxCardLines);
    const IdentificationLines lines = identificationLines(nullptr, 0, dField, intensityField);
    FUZZ_CHECK(lines.size() == static_cast<std::size_t>(card.count));
    for (std::size_t j = 1; j < lines.size(); ++j)
        FUZZ_CHECK(lines.d()[j - 1] >= lines.d()[j]);

    const MeasuredAxis axis{position == PeakPosition::TwoTheta, wavelength};
    MatchSettings match;
    match.tolerancePercent = tolerance;
    match.toleranceTwoTheta = tolerance;
    match.fitInstrument = fit;
    const Score score =
        matchPattern(preparePeaks(pattern.value(), axis), lines.d(), lines.intensity(), match);
    FUZZ_CHECK(score.figureOfMerit >= 0.0 && score.figureOfMerit <= 100.0 + 1e-9);
    FUZZ_CHECK(score.linesMatched <= score.linesCounted &&
               score.linesCounted <= score.linesInRange && score.linesInRange <= card.count);
    FUZZ_CHECK(score.lines.size() == static_cast<std::size_t>(score.linesCounted));
    for (double share : {score.explained, score.unexplained, score.agreement, score.plausibility})
        FUZZ_CHECK(share >= 0.0 && share <= 1.0 + 1e-9);
    if (!fit) {
        FUZZ_CHECK(score.fit.zero == 0.0 && score.fit.displacement == 0.0 &&
                   score.fit.lattice == 0.0);
    }
    if (!axis.twoTheta) FUZZ_CHECK(score.fit.zero == 0.0 && score.fit.displacement == 0.0);
    // Lines by d falling; each matched one within the tolerance of where the fit puts it, its
    // residual that of the peak it names.
    const double window = axis.twoTheta ? tolerance : tolerance / 100.0;
    int matched = 0;
    for (std::size_t j = 0; j < score.lines.size(); ++j) {
        const LineMatch& line = score.lines[j];
        FUZZ_CHECK(line.line >= 0 && static_cast<std::size_t>(line.line) < lines.size());
        FUZZ_CHECK(line.cardD == lines.d()[static_cast<std::size_t>(line.line)]);
        if (j > 0) FUZZ_CHECK(score.lines[j - 1].cardD >= line.cardD);
        FUZZ_CHECK(!line.belowDetection);
        if (line.peak < 0) continue;
        ++matched;
        FUZZ_CHECK(static_cast<std::size_t>(line.peak) < pattern.value().peaks.size());
        const double peakD = pattern.value().peaks[static_cast<std::size_t>(line.peak)].d;
        FUZZ_CHECK(std::fabs(line.deltaD - (peakD - line.cardD)) <= 1e-9 * peakD);
        FUZZ_CHECK(std::fabs(line.residual) <= window * (1 + 1e-9));
        const double peakX = axis.twoTheta ? twoThetaFromD(peakD, wavelength) : -std::log(peakD);
        FUZZ_CHECK(std::fabs(peakX - expectedPosition(axis, line.cardD, score.fit) -
                             line.residual) <= 1e-9);
    }
    FUZZ_CHECK(matched == score.linesMatched);
    const MeasuredPattern rest = residualPattern(pattern.value(), score);
    FUZZ_CHECK(rest.peaks.size() <= pattern.value().peaks.size());
    if (!rest.peaks.empty()) checkPattern(rest);
    return 0;
}
