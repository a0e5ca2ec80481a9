// Scratch: identification quality on synthetic faulty profiles, with score dumps for calibration.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>
#include <chrono>
#include "fault_profile.h"
#include "datafiles/reference_patterns.h"
#include "identify/profile_identify.h"
#include "search/criteria.h"
#include "session/session.h"
#include "text/numeric.h"
using namespace lithora;
struct Species { int card; std::string name; UnitCell cell; };
std::optional<UnitCell> cellOfField(std::string_view field) {
    std::vector<double> v; std::size_t i = 0;
    while (i < field.size() && v.size() < 6) { while (i < field.size() && field[i] == ' ') ++i; std::size_t s = i; while (i < field.size() && field[i] != ' ') ++i; if (i > s) v.push_back(numericValue(field.substr(s, i - s))); }
    if (v.size() < 6) return std::nullopt;
    UnitCell c{v[0], v[1], v[2], v[3], v[4], v[5]}; if (!isSoundCell(c)) return std::nullopt; return c;
}
int main(int argc, char** argv) {
    Session session; session.data.dir = argv[1]; if (!startUp(session).ok()) return 1;
    auto patterns = referencePatternsOf(session.data, {});
    Result<RecordBuffer> file = RecordBuffer::load(session.data.file(DataFiles::kEntries));
    RecordDecoder record(session.data.recordKey, false);
    std::vector<Species> species;
    for (int e = 1; e <= session.data.tables.entryCount; ++e) {
        record.decode(file.value().bodyAt(session.data.tables.positionOfEntry(e)));
        Species s{static_cast<int>(numericValue(record.field(0))), std::string(record.field(1)), {}};
        auto p = patterns->find(s.card); auto c = cellOfField(record.field(26));
        if (!p || p->size() < 10 || !c) continue; s.cell = *c; species.push_back(s);
    }
    const int n = argc > 2 ? std::atoi(argv[2]) : 100;
    const unsigned long long seed0 = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    std::mt19937_64 pick(seed0);
    int first = 0, top3 = 0, conf = 0, unsure = 0;
    double ms = 0;
    FILE* dump = std::fopen("/tmp/synth_scores.tsv", "w");
    for (int k = 0; k < n; ++k) {
        const Species& s = species[pick() % species.size()];
        const PatternView v = *patterns->find(s.card);
        FaultPhase phase; phase.cell = s.cell;
        for (std::size_t i = 0; i < v.size(); ++i) phase.lines.push_back({v.d[i], v.intensity[i], {v.hkl[i].h, v.hkl[i].k, v.hkl[i].l}});
        Result<FaultProfile> made = makeFaultProfile(std::span(&phase, 1), FaultSettings{}, pick());
        if (!made) { std::printf("make failed %s\n", made.error().message.c_str()); continue; }
        auto t0 = std::chrono::steady_clock::now();
        const ProfileAnalysis a = analyseProfile(made.value().profile, radiationFor(1.540598));
        IdentifyOptions o; o.top = 10;
        auto r = identifyPattern(session.data, patternInputOf(a), o);
        ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        const auto& cs = r.value().candidates;
        int rank = 0, g = 0; for (const auto& c : cs) if (c.card == s.card) g = c.group;
        std::vector<int> excl{s.card};
        { int rr = 0, last = -1; for (const auto& c : cs) { if (c.group == 0 || c.group != last) ++rr; last = c.group; if ((c.card == s.card || (g && c.group == g)) && !rank) rank = rr; if (g && c.group == g && c.card != s.card) excl.push_back(c.card);} }
        first += rank == 1; top3 += rank >= 1 && rank <= 3; conf += rank == 1 && r.value().confident;
        const auto& tr = made.value().truth;
        if (rank != 1) std::printf("MISS %s (%d) rank %d: first %s %.1f | range %.0f-%.0f strain %.4f r %.2f zero %.3f disp %.3f\n", s.name.c_str(), s.card, rank, cs.empty() ? "-" : cs[0].name.c_str(), cs.empty()?0:cs[0].finalScore, tr.range.from, tr.range.to, tr.phases[0].strain, tr.phases[0].marchR, tr.zeroShift, tr.displacement);
        for (const auto& c : cs) std::fprintf(dump, "%d\t%d\t%d\t%.2f\t%.2f\t%.3f\t%.3f\t%.3f\t%.3f\n", k, 0, c.card == s.card || (g && c.group == g), c.finalScore, c.score.figureOfMerit, c.profileR, c.score.explained, c.score.unexplained, c.score.agreement);
        o.excludedCards = excl;
        auto r2 = identifyPattern(session.data, patternInputOf(a), o);
        unsure += !r2.value().confident;
        for (const auto& c : r2.value().candidates) std::fprintf(dump, "%d\t%d\t%d\t%.2f\t%.2f\t%.3f\t%.3f\t%.3f\t%.3f\n", k, 1, 0, c.finalScore, c.score.figureOfMerit, c.profileR, c.score.explained, c.score.unexplained, c.score.agreement);
        if (r2.value().confident) std::printf("CONF-ABSENT %s: first %s %.1f p %.2f\n", s.name.c_str(), r2.value().candidates[0].name.c_str(), r2.value().candidates[0].finalScore, r2.value().candidates[0].probability);
    }
    std::fclose(dump);
    std::printf("n %d first %.1f%% top3 %.1f%% confident-right %.1f%% absent-unsure %.1f%%  %.0f ms/profile\n", n, 100.0*first/n, 100.0*top3/n, first?100.0*conf/first:0, 100.0*unsure/n, ms/n);
}
