// How well the identification names the species of a measured-looking profile: profiles made
// from the bundled database's whole patterns with the faults of real instruments and specimens
// (zero error, displacement, lattice, Kα2, texture, widths, noise, background, two scan
// ranges). The figures are printed; the bars are those a search-match user expects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bundled_entries.h"
#include "cell/cell_index.h"
#include "datafiles/reference_patterns.h"
#include "fault_profile.h"
#include "identify/mixture.h"
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

// The generator's seed: the test's own unless LITHORA_QUALITY_SEED names another, for working
// out the search's bars on profiles the test does not see.
std::uint64_t seedOr(std::uint64_t own) {
    const char* given = std::getenv("LITHORA_QUALITY_SEED");
    return given ? std::strtoull(given, nullptr, 10) : own;
}

TEST(ProfileQuality, TheMixturesPhasesAreFoundWithTheirAmounts) {
    Bundled& b = bundled();
    std::vector<const Species*> pool; // species with an I/Ic
    for (const Species& s : b.species)
        if (b.patterns->find(s.card)->iic()) pool.push_back(&s);
    ASSERT_GE(pool.size(), 500u);
    const int mixtures = 60;
    std::mt19937_64 pick(seedOr(20261209));
    std::uniform_real_distribution<double> logShare(std::log(3.0), std::log(80.0));
    int major = 0, majorFound = 0, minor = 0, minorFound = 0, falsePhases = 0, amounts = 0;
    double amountError = 0.0, wholeError = 0.0;
    int wholeAmounts = 0; // in mixtures found whole, without a false phase
    std::vector<std::string> misses;
    for (int n = 0; n < mixtures; ++n) {
        const std::size_t k = 2 + pick() % 3;
        std::vector<const Species*> chosen;
        while (chosen.size() < k) {
            const Species* s = pool[pick() % pool.size()];
            if (std::find(chosen.begin(), chosen.end(), s) == chosen.end()) chosen.push_back(s);
        }
        // Weight fractions between 3 and 80 %, drawn evenly in their logarithm.
        std::vector<double> weight(k);
        for (bool inRange = false; !inRange;) {
            double sum = 0.0;
            for (double& w : weight)
                sum += w = std::exp(logShare(pick));
            inRange = true;
            for (double& w : weight) {
                w = 100.0 * w / sum;
                inRange = inRange && w >= 3.0 && w <= 80.0;
            }
        }
        std::vector<FaultPhase> phases;
        for (std::size_t i = 0; i < k; ++i) {
            const PatternView pattern = *b.patterns->find(chosen[i]->card);
            phases.push_back(faultPhaseOf(pattern, chosen[i]->cell));
            phases.back().weight = weight[i] * *pattern.iic();
        }
        Result<FaultProfile> made = makeFaultProfile(phases, FaultSettings{}, pick());
        ASSERT_TRUE(made.ok()) << made.error().message;
        const Profile& profile = made.value().profile;
        const ProfileAnalysis analysis = analyseProfile(profile, radiationFor(1.540598));
        IdentifyOptions options;
        options.top = 30;
        Result<Identification> first =
            identifyPattern(b.session.data, patternInputOf(analysis), options);
        ASSERT_TRUE(first.ok());
        Result<Mixture> found =
            findMixture(b.session.data, profile, analysis, first.value(), options);
        ASSERT_TRUE(found.ok()) << found.error().message;
        std::string line = "  ";
        double error = 0.0;
        int errors = 0;
        for (std::size_t i = 0; i < k; ++i) {
            const auto it =
                std::find_if(found.value().phases.begin(), found.value().phases.end(),
                             [&](const MixturePhase& p) {
                                 // A phase stands for the species its group cannot be told from.
                                 return p.candidate.card == chosen[i]->card ||
                                        std::any_of(p.alternatives.begin(), p.alternatives.end(),
                                                    [&](const Candidate& a) {
                                                        return a.card == chosen[i]->card;
                                                    });
                             });
            const bool hit = it != found.value().phases.end();
            (weight[i] >= 10.0 ? major : minor) += 1;
            (weight[i] >= 10.0 ? majorFound : minorFound) += hit;
            if (hit && it->weightPercent >= 0.0) {
                error += std::fabs(it->weightPercent - weight[i]);
                ++errors;
            }
            char text[160];
            std::snprintf(text, sizeof text, "%s %.0f%% (%.0f)%s ", chosen[i]->name.c_str(),
                          weight[i], hit ? it->weightPercent : 0.0, hit ? "" : " MISSED");
            line += text;
        }
        for (const MixturePhase& p : found.value().phases) {
            const bool truth = std::any_of(chosen.begin(), chosen.end(), [&](const Species* s) {
                return s->card == p.candidate.card ||
                       std::any_of(p.alternatives.begin(), p.alternatives.end(),
                                   [&](const Candidate& a) { return a.card == s->card; });
            });
            falsePhases += !truth;
            if (!truth) line += "+" + p.candidate.name + " ";
        }
        amountError += error;
        amounts += errors;
        if (line.find("MISSED") != std::string::npos || line.find('+') != std::string::npos) {
            misses.push_back(line);
        } else {
            wholeError += error;
            wholeAmounts += errors;
        }
    }
    std::printf("Mixtures of 2-4 phases, %d: phases of 10 wt%% or more found %d of %d (%.1f %%), "
                "of 3-10 wt%% %d of %d (%.1f %%); false phases %d (%.2f a pattern); weight "
                "fractions off by %.1f wt%% on average (%d phases), by %.1f wt%% in the mixtures "
                "found whole (%d phases)\n",
                mixtures, majorFound, major, 100.0 * majorFound / std::max(major, 1), minorFound,
                minor, 100.0 * minorFound / std::max(minor, 1), falsePhases,
                static_cast<double>(falsePhases) / mixtures, amountError / std::max(amounts, 1),
                amounts, wholeError / std::max(wholeAmounts, 1), wholeAmounts);
    for (const std::string& m : misses)
        std::printf("%s\n", m.c_str());
    // What the search holds today, so that a change that loses phases fails here. The aim is
    // 95 % and 80 % found, one false phase in ten patterns and 5 wt %; it is not reached yet.
    EXPECT_GE(majorFound, static_cast<int>(std::ceil(0.9 * major)));
    EXPECT_GE(minorFound, static_cast<int>(std::ceil(0.5 * minor)));
    EXPECT_LE(falsePhases, mixtures / 4);
    EXPECT_LE(amountError / std::max(amounts, 1), 7.0);
}

} // namespace
