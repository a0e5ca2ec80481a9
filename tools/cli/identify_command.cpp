#include <cmath>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli_commands.h"
#include "common/tool_support.h"
#include "identify/instrument_file.h"
#include "identify/peak_list.h"
#include "identify/profile.h"
#include "identify/ranking.h"
#include "text/numeric.h"

namespace lithora::cli {

namespace {

double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

struct IdentifyArguments {
    std::string d;
    std::string twoTheta;
    std::string file;
    std::string wavelength = "Cu";
    double tolerance = kDefaultTolerancePercent;
    double threshold = PeakFinding{}.thresholdPercent;
    std::string required;
    std::string excluded;
    int maxElements = 0;
    std::string within;
    int top = 10;
    int residualOf = 0;
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
    for (int j = 0; j < s.lineCount; ++j) {
        const LineMatch& line = s.lines[static_cast<std::size_t>(j)];
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
    return Json{{"rank", c.rank},
                {"card", c.card},
                {"name", c.name},
                {"formula", c.formula},
                {"figureOfMerit", rounded(s.figureOfMerit, 1)},
                {"linesMatched", s.linesMatched},
                {"linesCounted", s.linesCounted},
                {"explained", rounded(s.explained, 3)},
                {"unexplained", rounded(s.unexplained, 3)},
                {"agreement", rounded(s.agreement, 3)},
                {"shiftPercent", rounded(100.0 * s.shift, 3)},
                {"matched", std::move(matched)},
                {"missed", std::move(missed)},
                {"unexplainedPeaks", std::move(unexplained)}};
}

Json optionalJson(const std::optional<double>& value) {
    return value ? Json(*value) : Json();
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
                         "largest Δd/d of a matched line, in percent (default 0.6)")
            ->check(CLI::Range(0.01, 10.0))
            ->type_name("PERCENT");
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
        m_app->footer(
            "The answer: {\"input\": the peaks as read, with the wavelength, where it came from "
            "(wavelengthSource: file, chosen or default) and the tolerance, and for --file the "
            "scan (format, sample, the wavelengths the file states, which of its scans was "
            "read); \"warnings\": a wavelength chosen against the file's; "
            "\"residualOf\": the card taken away, with the peaks it explained; \"entriesScored\"; "
            "\"candidates\": best first, each with rank, card, name, formula, figureOfMerit "
            "(0-100), linesMatched of linesCounted, explained, unexplained, agreement, "
            "shiftPercent, matched lines (card d and intensity, the measured peak, deltaD in Å), "
            "missed lines (belowDetection when weaker than the weakest measured peak) and the "
            "measured peaks the card leaves unexplained; \"message\"}.");
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
            pattern = patternOfPeaks(findPeaks(scan.value().profile, finding), lambda);
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
                   {"intensitiesGiven", pattern.intensitiesGiven}};
        Json peaks = Json::array();
        for (const Peak& p : pattern.peaks)
            peaks.push_back(peakJson(p, lambda, withAngle));
        input["peaks"] = std::move(peaks);
        if (!scanJson.is_null()) input["scan"] = std::move(scanJson);
        out["input"] = std::move(input);
        out["warnings"] = std::move(warnings);

        MeasuredPattern ranked = pattern;
        if (a.residualOf != 0) {
            Result<Candidate> chosen =
                scoreOneCard(session.data, pattern, a.residualOf, a.tolerance);
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
        if (!ranked.peaks.empty()) {
            Result<Identification> result = identifyPattern(session.data, ranked, options);
            if (!result) {
                printError(result.error().message);
                return tools::kExitDataFault;
            }
            scored = result.value().entriesScored;
            for (const Candidate& c : result.value().candidates)
                candidates.push_back(candidateJson(c, ranked, lambda, withAngle));
        }
        out["entriesScored"] = scored;
        const bool none = candidates.empty();
        out["candidates"] = std::move(candidates);
        out["message"] = !none ? ""
                         : ranked.peaks.empty()
                             ? "Every peak is explained by card " + std::to_string(a.residualOf)
                             : std::string("No entry has a line near these peaks");
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
};

} // namespace

std::unique_ptr<Command> makeIdentifyCommand(CLI::App& app) {
    return std::make_unique<IdentifyCommand>(app);
}

} // namespace lithora::cli
