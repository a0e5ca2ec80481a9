#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <set>
#include <sstream>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli_commands.h"
#include "common/tool_support.h"
#include "export/table_export.h"
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
    std::string batch;
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

// What every pattern of a run shares, read once from the command line.
struct Shared {
    IdentifyOptions options;
    double lambda = 0.0; // the wavelength chosen, or the default
    bool wavelengthGiven = false;
};

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

// One scan file, for --file and for each file of --batch alike.
Result<Json> identifyScan(Session& session, const std::string& file, const IdentifyArguments& a,
                          const Shared& s) {
    Result<Measured> measured = readScan(file, a, s);
    if (!measured) return measured.error();
    return identifyMeasured(session, measured.value(), a, s.options);
}

// --format csv|tsv: one row per phase of the mixture found in a scan, or per ranked candidate
// when no mixture is searched (typed peaks, --residual-of). Which table it is depends on the
// options alone, so that a script gets the same header for every file of a batch; a scan in
// which nothing was found gives no row. The headers are the JSON answer's keys.
const std::vector<std::string> kPhaseHeaders = {"file",           "phase",          "card",
                                                "name",           "formula",        "weightPercent",
                                                "weightSigma",    "probability",    "zeroDegrees",
                                                "displacementMm", "latticePercent", "profileR"};
const std::vector<std::string> kCandidateHeaders = {
    "file",        "rank",           "card",           "name",         "formula",
    "score",       "probability",    "figureOfMerit",  "linesMatched", "linesCounted",
    "zeroDegrees", "displacementMm", "latticePercent", "profileR"};

// A number of the answer with the decimals the JSON rounds it to, always written; "" for null
// (a weight without I/Ic, a candidate not compared with the profile).
std::string cellOf(const Json& value, int decimals = 0) {
    if (value.is_null()) return "";
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_integer()) return std::to_string(value.get<long long>());
    return formatNumber(value.get<double>(), decimals, decimals, '.');
}

std::vector<std::vector<std::string>> tableRows(const Json& answer, const std::string& file,
                                                bool phases) {
    std::vector<std::vector<std::string>> rows;
    if (phases) {
        if (!answer.contains("mixture")) return rows;
        const Json& mixture = answer.at("mixture");
        int number = 0;
        for (const Json& p : mixture.at("phases")) {
            const Json& fit = p.at("fit");
            rows.push_back(
                {file, std::to_string(++number), cellOf(p.at("card")), cellOf(p.at("name")),
                 cellOf(p.at("formula")), cellOf(p.at("weightPercent"), 1),
                 cellOf(p.at("weightSigma"), 1), cellOf(p.at("probability"), 3),
                 cellOf(fit.at("zeroDegrees"), 4), cellOf(fit.at("displacementMm"), 3),
                 cellOf(fit.at("latticePercent"), 3), cellOf(mixture.at("profileR"), 3)});
        }
        return rows;
    }
    for (const Json& c : answer.at("candidates")) {
        const Json& fit = c.at("fit");
        rows.push_back({file, cellOf(c.at("rank")), cellOf(c.at("card")), cellOf(c.at("name")),
                        cellOf(c.at("formula")), cellOf(c.at("score"), 1),
                        cellOf(c.at("probability"), 3), cellOf(c.at("figureOfMerit"), 1),
                        cellOf(c.at("linesMatched")), cellOf(c.at("linesCounted")),
                        cellOf(fit.at("zeroDegrees"), 4), cellOf(fit.at("displacementMm"), 3),
                        cellOf(fit.at("latticePercent"), 3), cellOf(c.at("profileR"), 3)});
    }
    return rows;
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The extensions the scan reader knows, lower case without the dot, taken from the patterns
// of its open-dialog filters ("Bruker RAW (*.raw)") so that a format the reader learns is
// batched too.
std::set<std::string> scanExtensions() {
    std::set<std::string> out;
    for (const std::string& filter : scanFileFilters()) {
        for (std::size_t at = filter.find("*."); at != std::string::npos;
             at = filter.find("*.", at + 2)) {
            const std::size_t end = filter.find_first_of(" )", at);
            out.insert(lowerCase(filter.substr(at + 2, end - at - 2)));
        }
    }
    return out;
}

// The pattern files of a folder, not of its subfolders, in name order; the extension decides,
// in any letter case (instruments write .RAW). A directory is never one, whatever its name;
// anything else is, and readScanFile says why it cannot be read.
Result<std::vector<std::filesystem::path>> patternFiles(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        return makeError(ErrorCode::NotFound, "--batch: no folder at " + folder);
    }
    const std::set<std::string> extensions = scanExtensions();
    std::vector<fs::path> files;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        const std::string extension = path.extension().string();
        std::error_code kind;
        if (extension.size() > 1 && extensions.count(lowerCase(extension.substr(1))) > 0 &&
            !it->is_directory(kind)) {
            files.push_back(path);
        }
    }
    if (ec) {
        return makeError(ErrorCode::Unreadable,
                         "--batch: the folder " + folder + " cannot be read: " + ec.message());
    }
    if (files.empty()) {
        std::string known;
        for (const std::string& e : extensions)
            known += (known.empty() ? "." : ", .") + e;
        return makeError(ErrorCode::NotFound,
                         "--batch: " + folder + " holds no pattern file (" + known + ")");
    }
    std::sort(files.begin(), files.end(), [](const fs::path& x, const fs::path& y) {
        return x.filename().string() < y.filename().string();
    });
    return files;
}

// "identify: 3 of 12, name.xy" on standard error as each file starts: rewritten in place on a
// terminal, one line a file otherwise, so that a log keeps every line and no "\r" in it.
class Progress {
  public:
    Progress() {
#if defined(_WIN32)
        m_terminal = _isatty(_fileno(stderr)) != 0;
#else
        m_terminal = isatty(fileno(stderr)) != 0;
#endif
    }

    void show(std::size_t number, std::size_t count, const std::string& name) {
        const std::string line =
            "identify: " + std::to_string(number) + " of " + std::to_string(count) + ", " + name;
        if (!m_terminal) {
            std::cerr << line << '\n';
            return;
        }
        // ESC [K clears what a longer name before left on the line.
        std::cerr << '\r' << line << "\x1b[K" << std::flush;
        m_open = true;
    }

    // Ends a line rewritten in place, so that a message or the shell's prompt starts afresh.
    void endLine() {
        if (m_open) std::cerr << '\n';
        m_open = false;
    }

  private:
    bool m_terminal = false;
    bool m_open = false;
};

// JSON Lines: the whole answer on one line.
std::string oneLine(const Json& j) {
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
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
        if (!a.batch.empty()) return runBatch(session, s);
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

    // Every file of the folder as --file would take it, each answer written as soon as it is
    // there so that a long batch can be followed and a stopped one keeps what was done.
    int runBatch(Session& session, const Shared& s) const {
        const IdentifyArguments& a = m_args;
        Result<std::vector<std::filesystem::path>> files = patternFiles(a.batch);
        if (!files) {
            printError(files.error().message);
            return tools::kExitUsage;
        }
        const bool table = m_table.wantsTable();
        // One header for the whole batch; each file's rows follow it without their own.
        if (table) std::cout << tableText(Table{kPhaseHeaders, {}}, m_table.format()) << std::flush;
        Progress progress;
        bool failed = false;
        const std::size_t count = files.value().size();
        for (std::size_t i = 0; i < count; ++i) {
            const std::filesystem::path& path = files.value()[i];
            const std::string name = path.filename().string();
            progress.show(i + 1, count, name);
            Result<Json> answer = identifyScan(session, path.string(), a, s);
            if (!answer) {
                failed = true;
                progress.endLine();
                printError(answer.error().message);
                if (!table)
                    std::cout << oneLine(Json{{"file", name}, {"error", answer.error().message}});
            } else if (table) {
                const std::string text = tableText(
                    Table{kPhaseHeaders, tableRows(answer.value(), name, true)}, m_table.format());
                std::cout << text.substr(text.find('\n') + 1);
            } else {
                Json line{{"file", name}};
                line.update(answer.value());
                std::cout << oneLine(line);
            }
            std::cout << std::flush;
        }
        progress.endLine();
        return failed ? tools::kExitDataFault : tools::kExitOk;
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

std::unique_ptr<Command> makeIdentifyCommand(CLI::App& app) {
    return std::make_unique<IdentifyCommand>(app);
}

} // namespace lithora::cli
