#include <cmath>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli_commands.h"
#include "common/tool_support.h"
#include "identify/instrument_file.h"
#include "identify/mixture.h"
#include "identify/peak_list.h"
#include "identify/profile.h"
#include "identify/profile_identify.h"
#include "identify/ranking.h"
#include "text/numeric.h"

namespace lithora::cli {

namespace {

// Rounded to the decimals shown; a value that rounds to zero is written 0, never -0.
double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale + 0.0;
}

struct IdentifyArguments {
    std::string d;
    std::string twoTheta;
    std::string file;
    std::string wavelength = "Cu";
    double tolerance = kDefaultTolerancePercent;
    double toleranceTwoTheta = kDefaultToleranceTwoTheta;
    bool noFit = false;
    bool kAlpha1Only = false;
    double threshold = PeakFinding{}.thresholdPercent;
    std::string required;
    std::string excluded;
    int maxElements = 0;
    std::string within;
    int top = 10;
    int residualOf = 0;
    int phases = kMostPhases;
};

// "-" reads the list from standard input.
std::string listText(const std::string& given) {
    if (given != "-") return given;
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
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

Json optionalJson(const std::optional<double>& value) {
    return value ? Json(*value) : Json();
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

class IdentifyCommand : public Command {
  public:
    explicit IdentifyCommand(CLI::App& app) {
        m_app = app.add_subcommand(
            "identify",
            "rank the entries whose diffraction lines fit a measured pattern (a peak list or a "
            "profile file), with the matched and missed lines of each");
        IdentifyArguments& a = m_args;
        auto* d = m_app
                      ->add_option("--d", a.d,
                                   "peaks as d in Å: one a line, or separated by commas, each "
                                   "\"d\" or \"d intensity\" (\"-\" reads standard input)")
                      ->type_name("LIST");
        auto* t = m_app
                      ->add_option("--two-theta", a.twoTheta,
                                   "peaks as 2θ in degrees for --wavelength, each \"2θ\" or "
                                   "\"2θ intensity\" (\"-\" reads standard input)")
                      ->type_name("LIST");
        auto* f = m_app
                      ->add_option("--file", a.file,
                                   "a measured scan: a diffractometer's file (PANalytical "
                                   ".xrdml, Bruker .raw versions 1-3 and .uxd, Philips .rd and "
                                   ".udf, Rigaku .dat, powder CIF .cif), whose wavelength is "
                                   "used, or two text columns, 2θ and counts (.xy, .csv, .txt, "
                                   ".dat); its peaks are found as the desktop program finds them")
                      ->type_name("FILE");
        d->excludes(t)->excludes(f);
        t->excludes(f);
        m_wavelength = m_app
                           ->add_option("--wavelength", a.wavelength,
                                        "for 2θ: Cu, Co, Fe, Cr, Mo, Ag (Kα1) or a number in Å "
                                        "(default: the one a --file states, else Cu); one "
                                        "more than 0.001 Å from the file's is used with a "
                                        "warning")
                           ->type_name("W");
        m_app
            ->add_option("--tolerance", a.tolerance,
                         "for --d: the largest Δd/d of a matched line once the lattice is "
                         "fitted, in percent (default 0.3)")
            ->check(CLI::Range(0.01, 10.0))
            ->type_name("PERCENT");
        m_app
            ->add_option("--tolerance-two-theta", a.toleranceTwoTheta,
                         "for 2θ and --file: the largest distance of a matched line from where "
                         "the fitted zero shift, displacement and lattice put it, in degrees "
                         "(default 0.1; a file's broad peaks widen it to a quarter of their "
                         "width)")
            ->check(CLI::Range(0.005, 2.0))
            ->type_name("DEGREES");
        m_app->add_flag("--no-fit", a.noFit,
                        "compare lines where they are calculated: no zero shift, displacement "
                        "or lattice is fitted");
        m_app->add_flag("--kalpha1-only", a.kAlpha1Only,
                        "with --file: the scan has no Kα2 (a Kα1 monochromator or a single "
                        "line); else Kα2 is taken away at the anode's ratio, or the file's");
        m_app
            ->add_option("--threshold", a.threshold,
                         "with --file: the smallest peak, in percent of the highest above the "
                         "background (default 3)")
            ->check(CLI::Range(0.0, 100.0))
            ->type_name("PERCENT");
        m_app->add_option("--required", a.required, "elements every candidate must have")
            ->type_name("SYMBOLS");
        m_app->add_option("--excluded", a.excluded, "elements no candidate may have")
            ->type_name("SYMBOLS");
        m_app->add_option("--max-elements", a.maxElements, "candidates have at most N elements")
            ->check(CLI::Range(0, 103))
            ->type_name("N");
        m_app
            ->add_option("--within", a.within,
                         "rank only these cards (comma-separated), as the current list")
            ->type_name("CARDS");
        m_app->add_option("--top", a.top, "how many candidates to list (default 10)")
            ->check(CLI::Range(1, 10000))
            ->type_name("N");
        m_app
            ->add_option("--residual-of", a.residualOf,
                         "take away the peaks this card explains and rank what is left (a "
                         "second phase); the card itself is left out")
            ->type_name("CARD");
        m_app
            ->add_option("--phases", a.phases,
                         "with --file: look for at most N phases of a mixture (default 6; 1 "
                         "names the first phase alone)")
            ->check(CLI::Range(1, kMostPhases))
            ->type_name("N");
        m_app->footer(
            "The answer: {\"input\": the peaks as read, with the wavelength, where it came from "
            "(wavelengthSource: file, chosen or default) and the tolerances, and for --file the "
            "scan (format, sample, the wavelengths the file states, which of its scans was "
            "read), the Kα2 ratio taken away, the range and the peak widths; \"warnings\": a "
            "wavelength chosen against the file's, the cards' eight lines compared for want of "
            "whole patterns; \"residualOf\": the card taken away, with the peaks it explained; "
            "\"entriesScored\"; \"confident\": whether the first candidate is a confident "
            "match; \"candidates\": best first, each with rank, card, name, formula, score "
            "(0-100), probability (that it, or its group, is the phase), group (candidates "
            "with the same number > 0 cannot be told apart; differs names the elements in which "
            "they differ), figureOfMerit (0-100, the peak match), profileR (the weighted profile "
            "R against the scan, or null), linesMatched of linesCounted, explained, "
            "unexplained, agreement, fit (zeroDegrees, displacementMm at a 240 mm radius, "
            "latticePercent, plausibility), shiftPercent (the lattice), wholePattern, matched "
            "lines (calculated d and intensity, the measured peak, deltaD in Å), missed lines "
            "and the measured peaks the candidate leaves unexplained; \"message\": \"No "
            "confident match\" when no candidate is convincing}.");
    }

    CLI::App* subcommand() const override { return m_app; }

    int run(Session& session, Json& out) override {
        const IdentifyArguments& a = m_args;
        Result<double> wavelength = parseWavelength(a.wavelength);
        if (!wavelength) {
            printError("--wavelength: " + wavelength.error().message);
            return tools::kExitUsage;
        }
        const bool wavelengthGiven = m_wavelength->count() > 0;
        double lambda = wavelength.value();
        std::string source = wavelengthGiven ? "chosen" : "default";
        Json warnings = Json::array();
        Json scanJson;
        MeasuredPattern pattern;
        ProfileAnalysis analysis;
        std::string kind;
        if (!a.file.empty()) {
            Result<MeasuredScan> scan = readScanFile(a.file);
            if (!scan) {
                printError(scan.error().message);
                return tools::kExitDataFault;
            }
            const WavelengthDecision used =
                decideWavelength(wavelengthGiven ? std::optional<double>(lambda) : std::nullopt,
                                 scan.value().wavelengths);
            lambda = used.angstrom;
            source = used.source == WavelengthSource::File     ? "file"
                     : used.source == WavelengthSource::Chosen ? "chosen"
                                                               : "default";
            if (!used.warning.empty()) warnings.push_back(used.warning);
            scanJson = scanAsJson(scan.value(), used);
            PeakFinding finding;
            finding.thresholdPercent = a.threshold;
            const TubeRadiation radiation =
                scanRadiation(lambda, scan.value().wavelengths, source == "file", a.kAlpha1Only);
            analysis = analyseProfile(scan.value().profile, radiation, finding);
            m_profile = scan.value().profile;
            pattern = analysis.pattern;
            if (pattern.peaks.empty()) {
                printError(a.file + ": no peak stands above the background; try a lower "
                                    "--threshold");
                return tools::kExitDataFault;
            }
            kind = "file";
        } else if (!a.d.empty() || !a.twoTheta.empty()) {
            const bool angles = a.d.empty();
            Result<MeasuredPattern> parsed =
                parsePeakList(listText(angles ? a.twoTheta : a.d),
                              angles ? PeakPosition::TwoTheta : PeakPosition::D, lambda);
            if (!parsed) {
                printError(std::string(angles ? "--two-theta: " : "--d: ") +
                           parsed.error().message);
                return tools::kExitUsage;
            }
            pattern = std::move(parsed).value();
            kind = angles ? "two-theta" : "d";
        } else {
            printError("identify: give the pattern with --d, --two-theta or --file");
            return tools::kExitUsage;
        }

        IdentifyOptions options;
        options.tolerancePercent = a.tolerance;
        options.toleranceTwoTheta = a.toleranceTwoTheta;
        options.fitInstrument = !a.noFit;
        options.top = a.top;
        Result<std::vector<int>> required = parseElementSymbols(a.required);
        Result<std::vector<int>> excluded = parseElementSymbols(a.excluded);
        if (!required || !excluded) {
            printError(required ? "--excluded: " + excluded.error().message
                                : "--required: " + required.error().message);
            return tools::kExitUsage;
        }
        setElementFilter(options, required.value(), excluded.value(), a.maxElements);
        if (!a.within.empty()) {
            if (const int code = readWithin(session, a.within, options.cardScope);
                code != tools::kExitOk) {
                return code;
            }
        }

        const bool withAngle = kind != "d";
        Json input{{"kind", kind},
                   {"wavelength", lambda},
                   {"wavelengthName", wavelengthLabel(lambda)},
                   {"wavelengthSource", source},
                   {"tolerancePercent", a.tolerance},
                   {"toleranceTwoTheta", a.toleranceTwoTheta},
                   {"fitted", !a.noFit},
                   {"intensitiesGiven", pattern.intensitiesGiven}};
        Json peaks = Json::array();
        for (const Peak& p : pattern.peaks)
            peaks.push_back(peakJson(p, lambda, withAngle));
        input["peaks"] = std::move(peaks);
        if (!scanJson.is_null()) input["scan"] = std::move(scanJson);
        out["input"] = std::move(input);
        out["warnings"] = std::move(warnings);

        if (kind == "file") {
            // What the scan showed: the Kα2 taken away, the range, the peak widths (FWHM =
            // a + b tan θ, degrees).
            out["input"]["kAlpha2Ratio"] = analysis.radiation.ratio;
            out["input"]["range"] = Json::array({rounded(analysis.target.twoTheta.front(), 3),
                                                 rounded(analysis.target.twoTheta.back(), 3)});
            out["input"]["fwhm"] =
                Json{{"a", rounded(analysis.width.a, 4)}, {"b", rounded(analysis.width.b, 4)}};
        }
        PatternInput ranking;
        if (kind == "file") {
            ranking = patternInputOf(analysis);
        } else {
            ranking.pattern = pattern;
            ranking.axis = MeasuredAxis{kind == "two-theta", lambda};
        }
        MeasuredPattern ranked = pattern;
        if (a.residualOf != 0) {
            Result<Candidate> chosen = scoreOneCard(session.data, ranking, a.residualOf, options);
            if (!chosen) {
                printError("--residual-of: " + chosen.error().message);
                return tools::kExitDataFault;
            }
            out["residualOf"] = candidateJson(chosen.value(), pattern, lambda, withAngle);
            ranked = residualPattern(pattern, chosen.value().score);
            options.excludedCards.push_back(a.residualOf);
            Json rest = Json::array();
            for (const Peak& p : ranked.peaks)
                rest.push_back(peakJson(p, lambda, withAngle));
            out["residualPeaks"] = std::move(rest);
        }

        Json candidates = Json::array();
        int scored = 0;
        bool confident = false;
        if (!ranked.peaks.empty()) {
            ranking.pattern = ranked;
            // What is left after a phase is taken away is a list of peaks: the profile still
            // holds the phase, so no candidate is compared with it.
            if (a.residualOf != 0) ranking.profile = nullptr;
            Result<Identification> result = identifyPattern(session.data, ranking, options);
            if (!result) {
                printError(result.error().message);
                return tools::kExitDataFault;
            }
            scored = result.value().entriesScored;
            confident = result.value().confident;
            // Broad peaks widen it (a quarter of their width).
            if (withAngle)
                out["input"]["toleranceTwoThetaUsed"] =
                    rounded(result.value().toleranceTwoTheta, 4);
            if (!result.value().patternNote.empty())
                out["warnings"].push_back(result.value().patternNote);
            for (const Candidate& c : result.value().candidates)
                candidates.push_back(candidateJson(c, ranked, lambda, withAngle));
            if (kind == "file" && a.residualOf == 0 && !result.value().candidates.empty()) {
                MixtureOptions settings;
                settings.maxPhases = a.phases;
                Result<Mixture> mixture = findMixture(session.data, m_profile, analysis,
                                                      result.value(), options, settings);
                if (!mixture) {
                    printError(mixture.error().message);
                    return tools::kExitDataFault;
                }
                out["mixture"] = mixtureJson(mixture.value());
            }
        }
        out["entriesScored"] = scored;
        out["confident"] = confident;
        const bool none = candidates.empty();
        out["candidates"] = std::move(candidates);
        out["message"] = !none ? ""
                         : ranked.peaks.empty()
                             ? "Every peak is explained by card " + std::to_string(a.residualOf)
                             : std::string("No entry has a line near these peaks");
        if (!none && !confident) out["message"] = "No confident match";
        return tools::kExitOk;
    }

  private:
    // Card numbers to rank within; every one must be in the database.
    static int readWithin(const Session& session, const std::string& cards,
                          std::vector<bool>& scope) {
        scope.assign(static_cast<std::size_t>(kMaxCardNumber) + 1, false);
        std::stringstream in(cards);
        std::string item;
        while (std::getline(in, item, ',')) {
            const auto value = parseDecimal(item);
            const int card =
                value && *value >= 1 && *value <= kMaxCardNumber && *value == std::floor(*value)
                    ? static_cast<int>(*value)
                    : 0;
            if (card == 0 || rowOfCard(session, card) == 0) {
                printError("--within: card " + item + " is not in the database at " +
                           session.data.dir.string());
                return tools::kExitDataFault;
            }
            scope[static_cast<std::size_t>(card)] = true;
        }
        return tools::kExitOk;
    }

    CLI::App* m_app = nullptr;
    CLI::Option* m_wavelength = nullptr;
    IdentifyArguments m_args;
    Profile m_profile;
};

} // namespace

std::unique_ptr<Command> makeIdentifyCommand(CLI::App& app) {
    return std::make_unique<IdentifyCommand>(app);
}

} // namespace lithora::cli
