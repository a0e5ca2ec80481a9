#include <cmath>
#include <iostream>
#include <iterator>
#include <sstream>

#include "common/tool_support.h"
#include "export/table_export.h"
#include "identify/profile_identify.h"
#include "identify_internal.h"
#include "text/numeric.h"

namespace lithora::cli::identify {

namespace {

// "-" reads the list from standard input.
std::string listText(const std::string& given) {
    if (given != "-") return given;
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

const char* sourceName(WavelengthSource source) {
    switch (source) {
    case WavelengthSource::File:
        return "file";
    case WavelengthSource::Chosen:
        return "chosen";
    default:
        return "default";
    }
}

// A pattern ready to rank: typed peaks, or the peaks of a scan with its analysed profile.
struct Measured {
    std::string kind; // "file", "d" or "two-theta"
    MeasuredPattern pattern;
    double lambda = 0.0;
    std::string source; // where lambda came from: file, chosen or default
    Json warnings = Json::array();
    Json scan; // for a file
    Profile profile;
    ProfileAnalysis analysis;
};

Result<Measured> readScan(const std::string& file, const IdentifyArguments& a, const Shared& s) {
    Result<MeasuredScan> read = readScanFile(file);
    if (!read) return read.error();
    MeasuredScan& scan = read.value();
    Measured m;
    m.kind = "file";
    const WavelengthDecision used = decideWavelength(
        s.wavelengthGiven ? std::optional<double>(s.lambda) : std::nullopt, scan.wavelengths);
    m.lambda = used.angstrom;
    m.source = sourceName(used.source);
    if (!used.warning.empty()) m.warnings.push_back(used.warning);
    m.scan = scanAsJson(scan, used);
    PeakFinding finding;
    finding.thresholdPercent = a.threshold;
    const TubeRadiation radiation = scanRadiation(
        m.lambda, scan.wavelengths, used.source == WavelengthSource::File, a.kAlpha1Only);
    m.analysis = analyseProfile(scan.profile, radiation, finding);
    m.profile = std::move(scan.profile);
    m.pattern = m.analysis.pattern;
    if (m.pattern.peaks.empty()) {
        return makeError(ErrorCode::Damaged,
                         file + ": no peak stands above the background; try a lower --threshold");
    }
    return m;
}

// The answer for one pattern; an error when a data file cannot be read or the card of
// --residual-of is not there.
Result<Json> identifyMeasured(Session& session, const Measured& m, const IdentifyArguments& a,
                              IdentifyOptions options) {
    const bool withAngle = m.kind != "d";
    const MeasuredPattern& pattern = m.pattern;
    Json out;
    Json input{{"kind", m.kind},
               {"wavelength", m.lambda},
               {"wavelengthName", wavelengthLabel(m.lambda)},
               {"wavelengthSource", m.source},
               {"tolerancePercent", a.tolerance},
               {"toleranceTwoTheta", a.toleranceTwoTheta},
               {"fitted", !a.noFit},
               {"intensitiesGiven", pattern.intensitiesGiven}};
    Json peaks = Json::array();
    for (const Peak& p : pattern.peaks)
        peaks.push_back(peakJson(p, m.lambda, withAngle));
    input["peaks"] = std::move(peaks);
    PatternInput ranking;
    if (m.kind == "file") {
        input["scan"] = m.scan;
        // What the scan showed: the Kα2 taken away, the range, the peak widths (FWHM =
        // a + b tan θ, degrees).
        const ProfileAnalysis& analysis = m.analysis;
        input["kAlpha2Ratio"] = analysis.radiation.ratio;
        input["range"] = Json::array({rounded(analysis.target.twoTheta.front(), 3),
                                      rounded(analysis.target.twoTheta.back(), 3)});
        input["fwhm"] =
            Json{{"a", rounded(analysis.width.a, 4)}, {"b", rounded(analysis.width.b, 4)}};
        ranking = patternInputOf(analysis);
    } else {
        ranking.pattern = pattern;
        ranking.axis = MeasuredAxis{m.kind == "two-theta", m.lambda};
    }
    out["input"] = std::move(input);
    out["warnings"] = m.warnings;

    MeasuredPattern ranked = pattern;
    if (a.residualOf != 0) {
        Result<Candidate> chosen = scoreOneCard(session.data, ranking, a.residualOf, options);
        if (!chosen) {
            return makeError(chosen.error().code, "--residual-of: " + chosen.error().message);
        }
        out["residualOf"] = candidateJson(chosen.value(), pattern, m.lambda, withAngle);
        ranked = residualPattern(pattern, chosen.value().score);
        options.excludedCards.push_back(a.residualOf);
        Json rest = Json::array();
        for (const Peak& p : ranked.peaks)
            rest.push_back(peakJson(p, m.lambda, withAngle));
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
        if (!result) return result.error();
        scored = result.value().entriesScored;
        confident = result.value().confident;
        // Broad peaks widen it (a quarter of their width).
        if (withAngle)
            out["input"]["toleranceTwoThetaUsed"] = rounded(result.value().toleranceTwoTheta, 4);
        if (!result.value().patternNote.empty())
            out["warnings"].push_back(result.value().patternNote);
        for (const Candidate& c : result.value().candidates)
            candidates.push_back(candidateJson(c, ranked, m.lambda, withAngle));
        if (m.kind == "file" && a.residualOf == 0 && !result.value().candidates.empty()) {
            MixtureOptions settings;
            settings.maxPhases = a.phases;
            Result<Mixture> mixture =
                findMixture(session.data, m.profile, m.analysis, result.value(), options, settings);
            if (!mixture) return mixture.error();
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
    return out;
}

} // namespace

Result<Json> identifyScan(Session& session, const std::string& file, const IdentifyArguments& a,
                          const Shared& s) {
    Result<Measured> measured = readScan(file, a, s);
    if (!measured) return measured.error();
    return identifyMeasured(session, measured.value(), a, s.options);
}

namespace {

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
        auto* batch =
            m_app
                ->add_option("--batch", a.batch,
                             "identify every pattern file of a folder (a day's scans): the "
                             "files --file reads, by their extension in any letter case, not "
                             "those of subfolders, in name order, each with the options as "
                             "for --file; one JSON object a line (JSON Lines), {\"file\": its "
                             "name, then the answer --file gives} or {\"file\", \"error\"} for "
                             "a file that cannot be read or has no peak, and the batch goes on; "
                             "\"identify: 3 of 12, name.xy\" on standard error as each file "
                             "starts; exit code 1 when any file failed")
                ->type_name("FOLDER");
        batch->excludes(d)->excludes(t)->excludes(f);
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
            ->type_name("CARD")
            ->excludes(batch);
        m_app
            ->add_option(
                "--phases", a.phases,
                "with --file and --batch: look for at most N phases of a mixture (default 6; 1 "
                "names the first phase alone)")
            ->check(CLI::Range(1, kMostPhases))
            ->type_name("N");
        m_table.addOption(
            m_app,
            "json (default): the answer as one JSON object, one a line with --batch; csv or "
            "tsv: a table, a header line and then, for --file and --batch without --residual-of, "
            "one line per phase of the mixture found (file, phase, card, name, formula, "
            "weightPercent, "
            "weightSigma, probability, zeroDegrees, displacementMm, latticePercent, profileR), "
            "else one per ranked candidate (file, rank, card, name, formula, score, "
            "probability, figureOfMerit, linesMatched, linesCounted, zeroDegrees, "
            "displacementMm, latticePercent, profileR)");
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
            "confident match\" when no candidate is convincing}; for a scan without --residual-of "
            "in which a candidate was found also \"mixture\" (after \"warnings\"): the phases "
            "found one after another (phases: card, name, formula, "
            "probability, weightPercent and weightSigma from the I/Ic (null without one), iic, "
            "alternatives the data cannot tell from the phase, fit), profileR, noiseR and "
            "amountsComplete. --batch writes one such object a line, with \"file\" first. "
            "--format csv or tsv writes the table its option describes instead, with the "
            "numbers rounded as in the JSON and an empty cell for null: weightSigma is empty "
            "when the phase has no I/Ic, file is empty for --d and --two-theta; a file of a "
            "batch that fails gives no line, only its message on standard error.");
    }

    CLI::App* subcommand() const override { return m_app; }

    const TableOutput* tableOutput() const override {
        // A batch writes its lines as each file is done.
        return m_args.batch.empty() ? &m_table : nullptr;
    }

    int run(Session& session, Json& out) override {
        const IdentifyArguments& a = m_args;
        Shared s;
        if (const int code = prepare(session, s); code != tools::kExitOk) return code;
        if (!a.batch.empty()) return runBatch(session, a, s, m_table);
        if (a.file.empty() && a.d.empty() && a.twoTheta.empty()) {
            printError("identify: give the pattern with --d, --two-theta, --file or --batch");
            return tools::kExitUsage;
        }
        Measured typed;
        if (a.file.empty()) {
            const bool angles = a.d.empty();
            Result<MeasuredPattern> parsed =
                parsePeakList(listText(angles ? a.twoTheta : a.d),
                              angles ? PeakPosition::TwoTheta : PeakPosition::D, s.lambda);
            if (!parsed) {
                printError(std::string(angles ? "--two-theta: " : "--d: ") +
                           parsed.error().message);
                return tools::kExitUsage;
            }
            typed.kind = angles ? "two-theta" : "d";
            typed.pattern = std::move(parsed).value();
            typed.lambda = s.lambda;
            typed.source = s.wavelengthGiven ? "chosen" : "default";
        }
        Result<Json> answer = a.file.empty() ? identifyMeasured(session, typed, a, s.options)
                                             : identifyScan(session, a.file, a, s);
        if (!answer) {
            printError(answer.error().message);
            return tools::kExitDataFault;
        }
        out = std::move(answer).value();
        if (m_table.wantsTable()) {
            const bool phases = !a.file.empty() && a.residualOf == 0;
            m_table.setTable(
                Table{phases ? kPhaseHeaders : kCandidateHeaders, tableRows(out, a.file, phases)});
        }
        return tools::kExitOk;
    }

  private:
    // What every pattern of the run shares: the wavelength, the element filter, the cards to
    // rank within. An exit code other than 0 after one line on standard error.
    int prepare(const Session& session, Shared& s) const {
        const IdentifyArguments& a = m_args;
        Result<double> wavelength = parseWavelength(a.wavelength);
        if (!wavelength) {
            printError("--wavelength: " + wavelength.error().message);
            return tools::kExitUsage;
        }
        s.lambda = wavelength.value();
        s.wavelengthGiven = m_wavelength->count() > 0;
        IdentifyOptions& options = s.options;
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
        if (!a.within.empty()) return readWithin(session, a.within, options.cardScope);
        return tools::kExitOk;
    }

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
    TableOutput m_table;
};

} // namespace

} // namespace lithora::cli::identify

namespace lithora::cli {

std::unique_ptr<Command> makeIdentifyCommand(CLI::App& app) {
    return std::make_unique<identify::IdentifyCommand>(app);
}

} // namespace lithora::cli
