// Scratch: identification on the shared real patterns. Not part of the build.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <chrono>
#include <cstdlib>

#include "identify/profile_identify.h"
#include "identify/identify_texts.h"
#include "session/session.h"

using namespace lithora;

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    Session session;
    session.data.dir = argv[1];
    if (!startUp(session).ok()) { std::puts("startup failed"); return 1; }
    std::ifstream manifest(std::string(argv[2]) + "/MANIFEST.tsv");
    std::string line;
    std::getline(manifest, line);
    int n = 0, first = 0, top3 = 0;
    const bool verbose = argc > 3;
    while (std::getline(manifest, line)) {
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string c;
        while (std::getline(ss, c, '\t')) cols.push_back(c);
        if (cols.size() < 4) continue;
        const std::string file = cols[0], species = cols[1];
        if (species.find(" + ") != std::string::npos) continue;
        const double wl = std::stod(cols[2]);
        Result<Profile> p = readProfileFile(std::string(argv[2]) + "/files/" + file);
        if (!p) { std::printf("%s: %s\n", file.c_str(), p.error().message.c_str()); continue; }
        auto t0 = std::chrono::steady_clock::now();
        const ProfileAnalysis a = analyseProfile(p.value(), radiationFor(wl));
        IdentifyOptions o;
        o.top = 10;
        Result<Identification> r = identifyPattern(session.data, patternInputOf(a), o);
        auto t1 = std::chrono::steady_clock::now();
        if (!r) { std::printf("%s: %s\n", file.c_str(), r.error().message.c_str()); continue; }
        int rank = 0;
        const auto& cs = r.value().candidates;
        for (std::size_t i = 0; i < cs.size(); ++i) {
            if (cs[i].name == species) { rank = static_cast<int>(i) + 1; break; }
        }
        const bool bracket = species[0] == '[' || species.find('[') != std::string::npos;
        if (!bracket) {
            ++n;
            if (rank == 1) ++first;
            if (rank >= 1 && rank <= 3) ++top3;
        }
        std::printf("%-45s %-22s rank %2d  peaks %3zu  W %.3f+%.3f·tan  %4.0f ms | ", file.c_str(), species.c_str(), rank,
                    a.peaks.size(), a.width.a, a.width.b,
                    std::chrono::duration<double, std::milli>(t1 - t0).count());
        for (std::size_t i = 0; i < cs.size() && i < 3; ++i)
            std::printf("%s %.1f/%.1f R%.2f p%.2f; ", cs[i].name.c_str(), cs[i].finalScore, cs[i].score.figureOfMerit, cs[i].profileR, cs[i].probability);
        std::printf("\n");
        if (verbose && file.find(argv[3]) != std::string::npos) {
            int card = 0;
            for (int e = 1; e <= session.data.tables.entryCount; ++e) {}
            for (const auto& c : cs) if (c.name == species) card = c.card;
            if (argc > 4) card = std::atoi(argv[4]);
            if (card) {
                Result<Candidate> one = scoreOneCard(session.data, patternInputOf(a), card, o);
                if (one) { const auto& c = one.value();
                std::printf("   TRUE %s fom %.1f R %.2f E%.2f U%.2f A%.2f P%.2f %s lines %d/%d inrange %d\n", c.name.c_str(), c.score.figureOfMerit, c.profileR, c.score.explained, c.score.unexplained, c.score.agreement, c.score.plausibility, fitText(c.score.fit).c_str(), c.score.linesMatched, c.score.linesCounted, c.score.linesInRange);
                for (const auto& m : c.score.lines) std::printf("      d %.4f I %.1f peak %d res %.3f\n", m.cardD, m.cardIntensity, m.peak, m.residual); }
            }
            for (const auto& pk : a.peaks) std::printf(" %.2f/%.0f", pk.twoTheta, pk.height);
            std::printf("\n");
        }
        if (verbose && !cs.empty() && file.find(argv[3]) != std::string::npos) {
            for (std::size_t i = 0; i < cs.size() && i < 5; ++i)
                std::printf("     %d %s E%.2f U%.2f A%.2f P%.2f %s lines %d/%d\n", cs[i].rank, cs[i].name.c_str(), cs[i].score.explained, cs[i].score.unexplained, cs[i].score.agreement, cs[i].score.plausibility, fitText(cs[i].score.fit).c_str(), cs[i].score.linesMatched, cs[i].score.linesCounted);
        }
    }
    std::printf("first %d/%d, top3 %d/%d\n", first, n, top3, n);
}
