// lithora-pack: builds the eight data files (and lithora.p, the reference patterns) from a
// readable source and back, checks a data directory, and writes synthetic data sets for tests
// and benchmarks.
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "common/tool_support.h"
#include "datafiles/record.h"
#include "source/packer.h"
#include "source/source_format.h"
#include "source/verify.h"
#include "synth.h"

namespace {

using namespace lithora;
using namespace lithora::tools;

const std::string kProgram = "lithora-pack";

int runPack(const std::string& sourceDir, const std::string& indexDir) {
    const SourceReadResult source = readSource(sourceDir);
    if (!source.problems.empty()) {
        for (const std::string& line : problemLines(source.problems))
            std::cerr << kProgram << ": " << line << '\n';
        std::cerr << kProgram << ": " << source.problems.size() << " problem(s) in " << sourceDir
                  << "; nothing was written\n";
        return kExitDataFault;
    }
    if (Status s = writePackedSet(packSourceSet(source.set, buildRecordKey()), indexDir); !s) {
        printError(kProgram, s.error().message);
        return kExitDataFault;
    }
    std::cout << "packed " << source.set.entries.size() << " entries, "
              << source.set.references.size() << " references, " << source.set.optics.size()
              << " optical records";
    if (source.set.patterns) std::cout << ", " << source.set.patterns->size() << " patterns";
    std::cout << " into " << indexDir << '\n';
    return kExitOk;
}

int runUnpack(const std::string& indexDir, const std::string& sourceDir) {
    std::error_code ec;
    if (std::filesystem::equivalent(indexDir, sourceDir, ec)) {
        // The tools never write into a data directory they read.
        printError(kProgram,
                   "SOURCE_DIR " + sourceDir + " is the data directory itself; choose another");
        return kExitDataFault;
    }
    Result<SourceSet> set = unpackDataSet(indexDir, buildRecordKey());
    if (!set) {
        printError(kProgram, set.error().message);
        return kExitDataFault;
    }
    if (Status s = writeSource(set.value(), sourceDir); !s) {
        printError(kProgram, s.error().message);
        return kExitDataFault;
    }
    std::cout << "unpacked " << set.value().entries.size() << " entries";
    if (set.value().patterns) std::cout << " and " << set.value().patterns->size() << " patterns";
    std::cout << " into " << sourceDir << '\n';
    return kExitOk;
}

int runVerify(const std::string& indexDir) {
    const std::vector<std::string> problems = verifyDataSet(indexDir, buildRecordKey());
    for (const std::string& line : problemLines(problems))
        std::cerr << kProgram << ": " << line << '\n';
    if (!problems.empty()) {
        std::cerr << kProgram << ": " << problems.size() << " problem(s) in " << indexDir << '\n';
        return kExitDataFault;
    }
    std::cout << indexDir << ": sound\n";
    return kExitOk;
}

int runSynth(int count, std::uint64_t seed, const std::string& indexDir) {
    const SourceSet set = synthesize(count, seed);
    const std::vector<SourceProblem> problems = validateSource(set);
    if (!problems.empty()) {
        // A generator fault, not the user's: say so plainly rather than write a broken set.
        for (const std::string& line : problemLines(problems))
            std::cerr << kProgram << ": synth: " << line << '\n';
        return kExitDataFault;
    }
    if (Status s = writePackedSet(packSourceSet(set, buildRecordKey()), indexDir); !s) {
        printError(kProgram, s.error().message);
        return kExitDataFault;
    }
    std::cout << "wrote a synthetic data set of " << count << " entries into " << indexDir << '\n';
    return kExitOk;
}

// The readable source's fourth file, as the README describes the other three.
const char* const kSourceHelp =
    R"(The source directory holds entries.tsv, references.tsv, optics.tsv and, when the
set has reference patterns, patterns.tsv: UTF-8, tab-separated, LF or CRLF line
ends, a header line of the column names, an empty line skipped.

patterns.tsv: the whole computed pattern of each species, one row per reflection
line; pack writes it into lithora.p, unpack writes it back when lithora.p is there.
Header: card iic cut d intensity h k l multiplicity
  card          a card of entries.tsv; the rows of a card are consecutive, the
                cards ascend, a card has 1 to 500 lines in strictly decreasing d
  iic           the reference intensity ratio I/Ic (corundum = 1): more than 0,
                at most 3 decimals, empty when unknown; first row of a card only
  cut           how many weaker lines were dropped beyond those kept: 0..1000000;
                first row of a card only
  d             in Å: more than 0, at most 100, at most 4 decimals
  intensity     relative to the strongest line: more than 0, at most 100, at most
                2 decimals; at least one line of each card is 100.00
  h k l         whole numbers -999..999, not all 0 (hexagonal indices without i)
  multiplicity  whole number 1..192
A source without patterns.tsv packs no lithora.p (and removes one left in INDEX_DIR).)";

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Builds Lithora data directories (INDEX) from a readable source and back.",
                 kProgram};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string(LITHORA_VERSION));

    std::string source;
    std::string index;
    CLI::App* pack = app.add_subcommand(
        "pack", "build the eight data files, and lithora.p from patterns.tsv, from a source "
                "directory");
    pack->add_option("SOURCE_DIR", source,
                     "directory holding entries.tsv, references.tsv, optics.tsv and "
                     "optionally patterns.tsv")
        ->required();
    pack->add_option("INDEX_DIR", index, "data directory to write")->required();

    CLI::App* unpack =
        app.add_subcommand("unpack", "write the source directory back from the data files");
    unpack->add_option("INDEX_DIR", index, "data directory to read")->required();
    unpack->add_option("SOURCE_DIR", source, "source directory to write")->required();

    CLI::App* verify = app.add_subcommand(
        "verify", "check every file and cross-reference, lithora.p when it is there; list each "
                  "problem");
    verify->add_option("INDEX_DIR", index, "data directory to check")->required();

    int count = 0;
    std::uint64_t seed = 1;
    CLI::App* synth = app.add_subcommand("synth", "write a synthetic data set of COUNT entries");
    synth->add_option("COUNT", count, "number of entries (1..10000)")
        ->required()
        ->check(CLI::Range(1, 10000));
    synth->add_option("INDEX_DIR", index, "data directory to write")->required();
    synth->add_option("--seed", seed, "seed of the generator (default 1)");

    // Set last: a subcommand made after it would repeat it in its own help.
    app.footer(kSourceHelp);
    if (const int code = parseArguments(app, argc, argv); code >= 0) return code;
    if (*pack) return runPack(source, index);
    if (*unpack) return runUnpack(index, source);
    if (*verify) return runVerify(index);
    return runSynth(count, seed, index);
}
