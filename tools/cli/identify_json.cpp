#include <cmath>

#include "identify/pattern_match.h"
#include "identify_internal.h"

namespace lithora::cli::identify {

namespace {

Json optionalJson(const std::optional<double>& value) {
    return value ? Json(*value) : Json();
}

} // namespace

double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale + 0.0;
}

Json peakJson(const Peak& p, double wavelength, bool withAngle) {
    Json j{{"d", rounded(p.d, 4)}};
    if (withAngle) j["twoTheta"] = rounded(twoThetaFromD(p.d, wavelength), 3);
    j["intensity"] = rounded(p.intensity, 1);
    return j;
}

Json candidateJson(const Candidate& c, const MeasuredPattern& pattern, double wavelength,
                   bool withAngle) {
    const Score& s = c.score;
    Json matched = Json::array(), missed = Json::array(), unexplained = Json::array();
    std::vector<bool> explained(pattern.peaks.size(), false);
    for (const LineMatch& line : s.lines) {
        if (line.peak >= 0 && static_cast<std::size_t>(line.peak) < pattern.peaks.size()) {
            const Peak& peak = pattern.peaks[static_cast<std::size_t>(line.peak)];
            explained[static_cast<std::size_t>(line.peak)] = true;
            matched.push_back(Json{{"cardD", rounded(line.cardD, 4)},
                                   {"cardIntensity", rounded(line.cardIntensity, 1)},
                                   {"measured", peakJson(peak, wavelength, withAngle)},
                                   {"deltaD", rounded(line.deltaD, 4)}});
        } else {
            missed.push_back(Json{{"cardD", rounded(line.cardD, 4)},
                                  {"cardIntensity", rounded(line.cardIntensity, 1)},
                                  {"belowDetection", line.belowDetection}});
        }
    }
    for (std::size_t i = 0; i < pattern.peaks.size(); ++i) {
        if (!explained[i]) unexplained.push_back(peakJson(pattern.peaks[i], wavelength, withAngle));
    }
    return Json{
        {"rank", c.rank},
        {"card", c.card},
        {"name", c.name},
        {"formula", c.formula},
        {"figureOfMerit", rounded(s.figureOfMerit, 1)},
        {"linesMatched", s.linesMatched},
        {"linesCounted", s.linesCounted},
        {"explained", rounded(s.explained, 3)},
        {"unexplained", rounded(s.unexplained, 3)},
        {"agreement", rounded(s.agreement, 3)},
        {"shiftPercent", rounded(100.0 * s.fit.lattice, 3)},
        {"fit", Json{{"zeroDegrees", rounded(s.fit.zero, 4)},
                     {"displacementMm", rounded(displacementMillimetres(s.fit.displacement), 3)},
                     {"latticePercent", rounded(100.0 * s.fit.lattice, 3)},
                     {"plausibility", rounded(s.plausibility, 3)}}},
        {"profileR", c.profileR < 0.0 ? Json() : Json(rounded(c.profileR, 3))},
        {"score", rounded(c.finalScore, 1)},
        {"probability", rounded(c.probability, 3)},
        {"group", c.group},
        {"differs", c.differs},
        {"wholePattern", c.wholePattern},
        {"matched", std::move(matched)},
        {"missed", std::move(missed)},
        {"unexplainedPeaks", std::move(unexplained)}};
}

Json mixtureJson(const Mixture& m) {
    Json phases = Json::array();
    for (const MixturePhase& p : m.phases) {
        const Candidate& c = p.candidate;
        const bool amount = p.weightPercent >= 0.0;
        Json alternatives = Json::array();
        for (const Candidate& a : p.alternatives)
            alternatives.push_back(a.name);
        phases.push_back(Json{
            {"card", c.card},
            {"name", c.name},
            {"formula", c.formula},
            {"probability", rounded(c.probability, 3)},
            {"weightPercent", amount ? Json(rounded(p.weightPercent, 1)) : Json()},
            {"weightSigma", amount ? Json(rounded(p.weightSigma, 1)) : Json()},
            {"iic", optionalJson(p.iic)},
            {"alternatives", std::move(alternatives)},
            {"fit",
             Json{{"zeroDegrees", rounded(c.score.fit.zero, 4)},
                  {"displacementMm", rounded(displacementMillimetres(c.score.fit.displacement), 3)},
                  {"latticePercent", rounded(100.0 * c.score.fit.lattice, 3)}}}});
    }
    return Json{{"phases", std::move(phases)},
                {"profileR", rounded(m.rwp, 3)},
                {"noiseR", rounded(m.noiseR, 3)},
                {"amountsComplete", m.amountsComplete}};
}

Json scanAsJson(const MeasuredScan& scan, const WavelengthDecision& used) {
    return Json{{"format", scan.format},
                {"formatId", scan.formatId},
                {"sample", scan.sampleName},
                {"points", scan.profile.twoTheta.size()},
                {"note", scan.scanNote},
                {"kAlpha1", optionalJson(scan.wavelengths.kAlpha1)},
                {"kAlpha2", optionalJson(scan.wavelengths.kAlpha2)},
                {"ratioKAlpha2KAlpha1", optionalJson(scan.wavelengths.ratio)},
                {"anode", scan.wavelengths.anode},
                {"wavelengthNote", used.note}};
}

} // namespace lithora::cli::identify
