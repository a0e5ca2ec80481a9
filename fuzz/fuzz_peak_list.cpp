// A typed or pasted peak list read as d or as 2θ for a wavelength, scored against a card's line
// fields, and the residual of that card taken away.
//
// Input: a control part, the peak list, a card's d-spacing field and its intensity field.
// Control lines: "angles" (the list is 2θ), "wavelength=TEXT" (as typed), "tolerance=N"
// (hundredths of a percent, 1..1000).
#include <cmath>

#include "fuzz_support.h"
#include "identify/peak_list.h"
#include "identify/ranking.h"

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
    for (const Setting& s : settings) {
        if (s.key == "angles") position = PeakPosition::TwoTheta;
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

    const CardLines card = cardLinesOf(parts.size() > 2 ? parts[2] : std::string_view(),
                                       parts.size() > 3 ? parts[3] : std::string_view());
    FUZZ_CHECK(card.count >= 0 && card.count <= kMaxCardLines);
    const Score score = scoreCard(pattern.value(), card, tolerance);
    FUZZ_CHECK(score.figureOfMerit >= 0.0 && score.figureOfMerit <= 100.0 + 1e-9);
    FUZZ_CHECK(score.linesMatched <= score.linesCounted && score.linesCounted <= card.count);
    // Each measured peak serves one line at most, and lies within the tolerance of it.
    std::vector<int> served(pattern.value().peaks.size(), 0);
    for (int j = 0; j < score.lineCount; ++j) {
        const LineMatch& line = score.lines[static_cast<std::size_t>(j)];
        if (line.peak < 0) continue;
        FUZZ_CHECK(static_cast<std::size_t>(line.peak) < served.size());
        FUZZ_CHECK(++served[static_cast<std::size_t>(line.peak)] == 1);
        FUZZ_CHECK(std::fabs(line.deltaD) <= line.cardD * tolerance / 100.0 * (1 + 1e-9));
    }
    const MeasuredPattern rest = residualPattern(pattern.value(), score);
    FUZZ_CHECK(rest.peaks.size() <= pattern.value().peaks.size());
    if (!rest.peaks.empty()) checkPattern(rest);
    return 0;
}
