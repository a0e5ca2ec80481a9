// How well the identification names the species of a measured-looking profile: profiles made
// from the bundled database's whole patterns with the faults of real instruments and specimens
// (zero error, displacement, lattice, Kα2, texture, widths, noise, background, two scan
// ranges). The figures are printed; the bars are those a search-match user expects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bundled_entries.h"
#include "cell/cell_index.h"
#include "datafiles/reference_patterns.h"
#include "fault_profile.h"
#include "identify/profile_identify.h"
#include "search/criteria.h"
#include "session/session.h"
#include "text/numeric.h"

using namespace lithora;

namespace {

struct Species {
    int card = 0;
    std::string name;
    UnitCell cell;
};

struct Bundled {
    Session session;
    std::shared_ptr<const ReferencePatterns> patterns;
    std::vector<Species> species; // with a whole pattern of at least ten lines and a cell
};

Bundled& bundled() {
    static Bundled* b = [] {
        auto* out = new Bundled;
        test::visitBundledEntries(out->session, [&](RecordDecoder& record) {
            if (!out->patterns) out->patterns = referencePatternsOf(out->session.data, {});
            Species s;
            s.card = static_cast<int>(numericValue(record.field(0)));
            s.name = std::string(record.field(1));
            const auto pattern = out->patterns->find(s.card);
            const std::optional<UnitCell> cell = entryCell(record);
            if (!pattern || pattern->size() < 10 || !cell || !isSoundCell(*cell)) return;
            s.cell = *cell;
            out->species.push_back(s);
        });
        return out;
    }();
    return *b;
}

struct Outcome {
    int rank = 0; // of the true species or a member of its group; 0 when not listed
    bool confident = false;
    std::vector<int> groupOfTruth; // the cards listed with the truth as one hypothesis
    std::string first;
};

Outcome identify(const Profile& profile, const IdentifyOptions& options, int card) {
    const ProfileAnalysis analysis = analyseProfile(profile, radiationFor(1.540598));
    Result<Identification> r =
        identifyPattern(bundled().session.data, patternInputOf(analysis), options);
    Outcome o;
    if (!r) return o;
    const auto& cs = r.value().candidates;
    o.confident = r.value().confident;
    if (!cs.empty()) o.first = cs[0].name + " (" + std::to_string(cs[0].card) + ")";
    int truthGroup = 0;
    for (const Candidate& c : cs)
        if (c.card == card) truthGroup = c.group;
    // Ranks count hypotheses: the members of one group stand together.
    int rank = 0, lastGroup = -1;
    for (const Candidate& c : cs) {
        if (c.group == 0 || c.group != lastGroup) ++rank;
        lastGroup = c.group;
        if (c.card == card || (truthGroup != 0 && c.group == truthGroup)) {
            if (o.rank == 0) o.rank = rank;
            if (c.card != card) o.groupOfTruth.push_back(c.card);
        }
    }
    return o;
}

TEST(ProfileQuality, TheTrueSpeciesOfAFaultyProfileRanksFirstAndConfident) {
    Bundled& b = bundled();
    ASSERT_GE(b.species.size(), 500u) << "the bundled whole patterns were not read";
    const int profiles = 320;
    std::mt19937_64 pick(20261208);
    int first = 0, top3 = 0, rightAndConfident = 0, absentUnsure = 0;
    std::vector<std::string> misses;
    for (int n = 0; n < profiles; ++n) {
        const Species& s = b.species[pick() % b.species.size()];
        const PatternView pattern = *b.patterns->find(s.card);
        const FaultPhase phase = faultPhaseOf(pattern, s.cell);
        Result<FaultProfile> made = makeFaultProfile(std::span(&phase, 1), FaultSettings{}, pick());
        ASSERT_TRUE(made.ok()) << made.error().message;
        IdentifyOptions options;
        options.top = 10;
        const Outcome o = identify(made.value().profile, options, s.card);
        first += o.rank == 1;
        top3 += o.rank >= 1 && o.rank <= 3;
        rightAndConfident += o.rank == 1 && o.confident;
        if (o.rank != 1 && misses.size() < 15)
            misses.push_back(s.name + " (" + std::to_string(s.card) + ") ranked " +
                             std::to_string(o.rank) + " behind " + o.first);
        // The same profile with the species and the entries it cannot be told from taken out.
        options.excludedCards = o.groupOfTruth;
        options.excludedCards.push_back(s.card);
        absentUnsure += !identify(made.value().profile, options, s.card).confident;
    }
    std::printf("Faulty profiles, %d: true species or group first %.1f %%, top 3 %.1f %%; "
                "right first answers confident %.1f %%; with the species taken out, no confident "
                "match %.1f %%\n",
                profiles, 100.0 * first / profiles, 100.0 * top3 / profiles,
                first ? 100.0 * rightAndConfident / first : 0.0, 100.0 * absentUnsure / profiles);
    for (const std::string& m : misses)
        std::printf("  %s\n", m.c_str());
    EXPECT_GE(first, static_cast<int>(std::ceil(0.97 * profiles)));
    EXPECT_GE(top3, static_cast<int>(std::ceil(0.995 * profiles)));
    EXPECT_GE(rightAndConfident, static_cast<int>(std::ceil(0.95 * first)));
    EXPECT_GE(absentUnsure, static_cast<int>(std::ceil(0.90 * profiles)));
}

} // namespace
