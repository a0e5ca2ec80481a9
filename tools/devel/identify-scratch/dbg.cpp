#include <cstdio>
#include <cstdlib>
#include "identify/profile_identify.h"
#include "datafiles/reference_patterns.h"
#include "session/session.h"
using namespace lithora;
int main(int argc, char** argv) {
    Session session; session.data.dir = argv[1]; if (!startUp(session).ok()) return 1;
    Result<Profile> p = readProfileFile(argv[2]);
    const ProfileAnalysis a = analyseProfile(p.value(), radiationFor(1.5406));
    int card = std::atoi(argv[3]);
    IdentifyOptions o;
    Result<Candidate> one = scoreOneCard(session.data, patternInputOf(a), card, o);
    auto pats = referencePatternsOf(session.data, {});
    auto view = pats->find(card);
    MeasuredAxis axis{true, 1.540598};
    ProfileComparison cmp = compareProfile(a.target, axis, view->d, view->intensity, one.value().score.fit, matchedOffsets(one.value().score, view->d.size()), true);
    std::printf("rwp %.3f scale %g wsq %g n %zu\n", cmp.rwp, cmp.scale, a.target.weightedSquares, a.target.net.size());
    FILE* f = std::fopen("/tmp/dbg.tsv", "w");
    for (size_t i = 0; i < a.target.net.size(); ++i) std::fprintf(f, "%.3f\t%.1f\t%.1f\t%.1f\n", a.target.twoTheta[i], p.value().counts[i], a.target.net[i], cmp.calculated.empty()?0:cmp.calculated[i]);
    std::fclose(f);
}
