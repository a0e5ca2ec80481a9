// lithora-pack: builds the eight data files from a readable source and back, checks a data
// directory, and writes synthetic data sets for tests and benchmarks.
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
              << " optical records into " << indexDir << '\n';
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
    std::cout << "unpacked " << set.value().entries.size() << " entries into " << sourceDir << '\n';
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

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Builds Lithora data directories (INDEX) from a readable source and back.",
                 kProgram};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string(LITHORA_VERSION));

    std::string source;
    std::string index;
    CLI::App* pack =
        app.add_subcommand("pack", "build the eight data files from a source directory");
    pack->add_option("SOURCE_DIR", source,
                     "directory holding entries.tsv, references.tsv, optics.tsv")
        ->required();
    pack->add_option("INDEX_DIR", index, "data directory to write")->required();

    CLI::App* unpack =
        app.add_subcommand("unpack", "write the source directory back from the data files");
    unpack->add_option("INDEX_DIR", index, "data directory to read")->required();
    unpack->add_option("SOURCE_DIR", source, "source directory to write")->required();

    CLI::App* verify =
        app.add_subcommand("verify", "check every file and cross-reference; list each problem");
    verify->add_option("INDEX_DIR", index, "data directory to check")->required();

    int count = 0;
    std::uint64_t seed = 1;
    CLI::App* synth = app.add_subcommand("synth", "write a synthetic data set of COUNT entries");
    synth->add_option("COUNT", count, "number of entries (1..10000)")
        ->required()
        ->check(CLI::Range(1, 10000));
    synth->add_option("INDEX_DIR", index, "data directory to write")->required();
    synth->add_option("--seed", seed, "seed of the generator (default 1)");

    if (const int code = parseArguments(app, argc, argv); code >= 0) return code;
    if (*pack) return runPack(source, index);
    if (*unpack) return runUnpack(index, source);
    if (*verify) return runVerify(index);
    return runSynth(count, seed, index);
}
