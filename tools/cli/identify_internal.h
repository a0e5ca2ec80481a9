#pragma once

#include <string>
#include <vector>

#include "cli_commands.h"
#include "identify/instrument_file.h"
#include "identify/mixture.h"
#include "identify/peak_list.h"
#include "identify/profile.h"
#include "identify/ranking.h"

// What the files of the identify subcommand share: the command and one pattern's answer
// (identify_command.cpp), the answer's JSON (identify_json.cpp), its CSV and TSV table
// (identify_table.cpp) and --batch over a folder (identify_batch.cpp).
namespace lithora::cli::identify {

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

// What every pattern of a run shares, read once from the command line.
struct Shared {
    IdentifyOptions options;
    double lambda = 0.0; // the wavelength chosen, or the default
    bool wavelengthGiven = false;
};

// One scan file, for --file and for each file of --batch alike.
Result<Json> identifyScan(Session& session, const std::string& file, const IdentifyArguments& a,
                          const Shared& s);

// Rounded to the decimals shown; a value that rounds to zero is written 0, never -0.
double rounded(double value, int decimals);

Json peakJson(const Peak& p, double wavelength, bool withAngle);
Json candidateJson(const Candidate& c, const MeasuredPattern& pattern, double wavelength,
                   bool withAngle);
Json mixtureJson(const Mixture& m);
Json scanAsJson(const MeasuredScan& scan, const WavelengthDecision& used);

// --format csv|tsv: one row per phase of the mixture found in a scan, or per ranked candidate
// when no mixture is searched (typed peaks, --residual-of). Which table it is depends on the
// options alone, so that a script gets the same header for every file of a batch; a scan in
// which nothing was found gives no row. The headers are the JSON answer's keys.
extern const std::vector<std::string> kPhaseHeaders;
extern const std::vector<std::string> kCandidateHeaders;
std::vector<std::vector<std::string>> tableRows(const Json& answer, const std::string& file,
                                                bool phases);

// Every file of the folder as --file would take it, each answer written as soon as it is
// there so that a long batch can be followed and a stopped one keeps what was done.
int runBatch(Session& session, const IdentifyArguments& a, const Shared& s,
             const TableOutput& output);

} // namespace lithora::cli::identify
