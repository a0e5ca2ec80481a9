// Costs of the core on synthetic data sets of 1,000, 5,000 and 10,000 entries, so that the
// growth of each cost shows. Run: build/bench/lithora_core_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "cell/cell_index.h"
#include "datafiles/element_index.h"
#include "datafiles/record.h"
#include "datafiles/reference_patterns.h"
#include "fault_profile.h"
#include "identify/instrument_file.h"
#include "identify/mixture.h"
#include "identify/peak_list.h"
#include "identify/profile.h"
#include "identify/profile_identify.h"
#include "identify/ranking.h"
#include "list/match_list.h"
#include "print/card_print.h"
#include "search/criteria.h"
#include "search/element_search.h"
#include "search/form_search.h"
#include "search/optics_search.h"
#include "search/search_run.h"
#include "search/text_search.h"
#include "session/session.h"
#include "source/packer.h"
#include "synth.h"
#include "text/split.h"

using namespace lithora;

namespace {

// One packed synthetic set per size, made once per run in the temporary directory.
const std::filesystem::path& dataSetOf(int count) {
    static std::map<int, std::filesystem::path> sets;
    auto it = sets.find(count);
    if (it == sets.end()) {
        const auto dir =
            std::filesystem::temp_directory_path() / ("lithora-bench-" + std::to_string(count));
        (void)writePackedSet(packSourceSet(synthesize(count, 1), buildRecordKey()), dir);
        it = sets.emplace(count, dir).first;
    }
    return it->second;
}

Session openSession(int count) {
    Session session;
    session.data.dir = dataSetOf(count);
    if (!startUp(session).ok()) std::abort();
    return session;
}

// The floor of every scan: read lithora.a whole and unscramble each record.
void BM_ReadAndUnscrambleEntries(benchmark::State& state) {
    const auto path = dataSetOf(static_cast<int>(state.range(0))) / DataFiles::kEntries;
    const std::string key = buildRecordKey();
    for (auto _ : state) {
        Result<SequentialRecords> file = SequentialRecords::load(path);
        std::size_t bytes = 0;
        std::string text;
        while (!file.value().atEnd()) {
            const auto raw = file.value().next();
            if (!raw) break;
            text.assign(raw->body);
            xorWithKey(text, key);
            bytes += text.size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}

// The four integer tables, as the program loads them at start-up.
void BM_LoadTables(benchmark::State& state) {
    const auto& dir = dataSetOf(static_cast<int>(state.range(0)));
    const ErrorSink sink = [](std::string_view, std::string_view) { std::abort(); };
    for (auto _ : state) {
        LookupTables tables;
        getLineNumbers(dir, tables, sink);
        getReferenceIndex(dir, tables, sink);
        benchmark::DoNotOptimize(tables.entryCount);
    }
}

void BM_TablesAndFullList(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(openSession(count).rows.size());
}

void BM_FullList(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (!getFullList(session, std::string()).ok()) std::abort();
        benchmark::DoNotOptimize(session.rows.data());
    }
}

void BM_LoadSelectedCard(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    int row = 0;
    for (auto _ : state) {
        session.selectedRow = 1 + (row++ * 7919) % static_cast<int>(session.rows.size());
        benchmark::DoNotOptimize(loadSelectedCard(session));
    }
}

void BM_ElementIndex(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::size_t total = 0;
        (void)readElementIndex(session.data, [&](int, std::string_view s) { total += s.size(); });
        benchmark::DoNotOptimize(total);
    }
}

// A full-database search, as the card window runs it (the list restored between runs).
template <typename Texts, typename Run>
void runSearch(benchmark::State& state, const std::vector<std::pair<int, std::string>>& typed,
               Run run) {
    Session session = openSession(static_cast<int>(state.range(0)));
    Texts texts;
    for (const auto& [i, text] : typed)
        texts[static_cast<std::size_t>(i)] = text;
    int matches = 0;
    for (auto _ : state) {
        const SearchOutcome outcome =
            run(session, texts, SearchOptions{false, true}, nullptr, ProgressFn{});
        matches = outcome.matchCount;
    }
    state.counters["matches"] = matches;
}

void BM_FormSearchText(benchmark::State& state) {
    runSearch<FormCriterionTexts>(state, {{0, "ite"}, {24, "cell"}}, runCardFormSearch);
}
void BM_FormSearchNumbers(benchmark::State& state) {
    runSearch<FormCriterionTexts>(state, {{13, "5 7"}, {7, "10"}, {14, "4"}}, runCardFormSearch);
}
void BM_FormSearchDSpacings(benchmark::State& state) {
    runSearch<FormCriterionTexts>(state, {{25, "3.34"}, {26, "4.26"}, {33, "0.02"}},
                                  runCardFormSearch);
}
void BM_OpticsSearch(benchmark::State& state) {
    runSearch<OpticsCriterionTexts>(state, {{6, "biaxial"}, {47, "1.55 1.65"}, {8, "+"}},
                                    runOpticsSearch);
}

void BM_ElementSearch(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    int matches = 0;
    for (auto _ : state) {
        ElementSelection selection;
        selection.applyPreset(2); // common elements, Si and O required, at most four elements
        selection.require(atomicNumber("Si"));
        selection.require(atomicNumber("O"));
        matches = runElementSearch(session, selection, 4).matchCount;
    }
    state.counters["matches"] = matches;
}

// With anySetting, warm: the reduced cells are made by a search before the timing starts, as
// every any-setting search after the session's first finds them.
void BM_TextSearch(benchmark::State& state, int category, const char* keywords,
                   bool anySetting = false) {
    Session session = openSession(static_cast<int>(state.range(0)));
    if (anySetting) {
        (void)runTextSearch(session, keywords, category, "", 0, true);
        if (!session.data.reducedCells) std::abort();
    }
    int matches = 0;
    for (auto _ : state)
        matches = runTextSearch(session, keywords, category, "", 0, anySetting).matchCount;
    state.counters["matches"] = matches;
}

// The one-time cost of an any-setting search: every entry's cell read and reduced.
void BM_ReduceEntryCells(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    int cells = 0;
    for (auto _ : state) {
        Result<ReducedCellIndex> index = buildReducedCellIndex(session.data);
        if (!index) std::abort();
        cells =
            static_cast<int>(std::count_if(index.value().cells.begin(), index.value().cells.end(),
                                           [](const auto& c) { return c.has_value(); }));
        benchmark::DoNotOptimize(index.value().cells.data());
    }
    state.counters["cells"] = cells;
}

// The scans alone, without listing their matches: what the floor and the peer's queries, which
// answer card numbers, compare with.
void BM_FormPass(benchmark::State& state, std::vector<std::pair<int, std::string>> typed) {
    Session session = openSession(static_cast<int>(state.range(0)));
    FormCriterionTexts texts;
    for (const auto& [i, text] : typed)
        texts[static_cast<std::size_t>(i)] = text;
    const FormCriteria criteria = parseFormCriteria(texts);
    const int required = requiredFormHits(criteria, false);
    const std::vector<bool> scope = searchScope(session, true);
    int matches = 0;
    for (auto _ : state) {
        matches =
            runFormSearchPass(session.data, criteria, required, scope, session.maxCardNumber, {})
                .value()
                .matchCount;
    }
    state.counters["matches"] = matches;
}

void BM_OpticsPass(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    OpticsCriterionTexts texts;
    texts[6] = "biaxial";
    texts[47] = "1.55 1.65";
    texts[8] = "+";
    const OpticsCriteria criteria = parseOpticsCriteria(texts);
    const int required = requiredOpticsHits(criteria, false);
    const std::vector<bool> scope = searchScope(session, true);
    int matches = 0;
    for (auto _ : state) {
        matches =
            runOpticsSearchPass(session.data, criteria, required, scope, session.maxCardNumber, {})
                .value()
                .matchCount;
    }
    state.counters["matches"] = matches;
}

void BM_ElementPass(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    int matches = 0;
    for (auto _ : state) {
        ElementSelection selection;
        selection.applyPreset(2);
        selection.require(atomicNumber("Si"));
        selection.require(atomicNumber("O"));
        matches = runElementSearchPass(session.data, selection, 4).value().matchCount;
    }
    state.counters["matches"] = matches;
}

void BM_TextPass(benchmark::State& state, int category, const char* keywords,
                 bool anySetting = false) {
    Session session = openSession(static_cast<int>(state.range(0)));
    TextSearchRequest request;
    request.category = category;
    request.anySetting = anySetting;
    for (std::string& k : splitWords(criterionText(keywords))) {
        if (!k.empty()) request.keywords.push_back(std::move(k));
    }
    const PreparedTextSearch prepared = prepareTextSearch(std::move(request));
    if (anySetting && prepared.cellForms.empty()) std::abort();
    const ReducedCellIndex* cells = nullptr;
    if (anySetting) cells = reducedCellsOf(session.data).value().get();
    int matches = 0;
    for (auto _ : state)
        matches = runTextSearchPass(session.data, prepared, cells).value().matchCount;
    state.counters["matches"] = matches;
}

// A match list of 1,000 entries spread over the whole file.
void BM_MatchList1000(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    session.matchFlags.assign(static_cast<std::size_t>(session.data.tables.entryCount) + 2, false);
    const int step = std::max(1, session.data.tables.entryCount / 1000);
    for (int i = 1; i <= session.data.tables.entryCount; i += step)
        session.matchFlags[static_cast<std::size_t>(i)] = true;
    for (auto _ : state) {
        if (!getMatchList(session).ok()) std::abort();
        benchmark::DoNotOptimize(session.rows.data());
    }
    state.counters["rows"] = static_cast<double>(session.rows.size());
}

// Identification of a typed list of 30 peaks between 1 and 8 Å against every entry of the set,
// as d-spacings (a lattice scale fitted) or as Cu Kα 2θ (a zero shift and a displacement too).
void identifyTyped(benchmark::State& state, bool twoTheta) {
    Session session = openSession(static_cast<int>(state.range(0)));
    PatternInput input;
    for (int i = 0; i < 30; ++i) {
        const double d = 1.0 + 7.0 * std::pow(static_cast<double>((i * 7919) % 30) / 30.0, 2.0);
        input.pattern.peaks.push_back(Peak{d, 5.0 + static_cast<double>((i * 37) % 96)});
    }
    normalisePattern(input.pattern);
    input.axis.twoTheta = twoTheta;
    IdentifyOptions options;
    int scored = 0;
    for (auto _ : state) {
        Result<Identification> result = identifyPattern(session.data, input, options);
        if (!result) std::abort();
        scored = result.value().entriesScored;
        benchmark::DoNotOptimize(result.value().candidates.data());
    }
    state.counters["scored"] = scored;
}
void BM_IdentifyPattern(benchmark::State& state) {
    identifyTyped(state, false);
}
void BM_IdentifyPatternTwoTheta(benchmark::State& state) {
    identifyTyped(state, true);
}

// From a measured profile of 5,000 points to the final answer: the background, Kα2 stripped,
// the peaks and their widths, every entry ranked with its faults fitted, the best 50 compared
// with the profile as a whole. The profile is two phases of the set, 70 : 30, with the faults
// of a real instrument.
void BM_IdentifyProfile(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    const std::shared_ptr<const ReferencePatterns> store = referencePatternsOf(session.data, {});
    std::vector<FaultPhase> phases;
    for (std::size_t i = 0; i < store->cardCount() && phases.size() < 2; i += 97) {
        const PatternView p = store->at(i);
        if (p.size() < 20) continue;
        phases.push_back(faultPhaseOf(p, UnitCell{5, 5, 5, 90, 90, 90}));
        phases.back().marchR = 1.0;
        phases.back().weight = phases.size() == 1 ? 0.7 : 0.3;
    }
    FaultSettings settings;
    settings.range = ScanRange{10.0, 99.99};
    settings.step = 0.018;
    Result<FaultProfile> made = makeFaultProfile(phases, settings, 20261208);
    if (!made || made.value().profile.twoTheta.size() != 5000) std::abort();
    const Profile& profile = made.value().profile;
    IdentifyOptions options;
    std::size_t candidates = 0;
    for (auto _ : state) {
        const ProfileAnalysis analysis = analyseProfile(profile, radiationFor(1.540598));
        Result<Identification> result =
            identifyPattern(session.data, patternInputOf(analysis), options);
        if (!result) std::abort();
        candidates = result.value().candidates.size();
        benchmark::DoNotOptimize(result.value().candidates.data());
    }
    state.counters["candidates"] = static_cast<double>(candidates);
}

// A four-phase mixture's 5,000-point scan from its file to the phases and their amounts: the
// file read, the profile analysed, the first identification and the multiphase search.
void BM_MixtureSearch(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    const std::shared_ptr<const ReferencePatterns> store = referencePatternsOf(session.data, {});
    std::vector<FaultPhase> phases;
    const double weights[] = {0.4, 0.3, 0.2, 0.1};
    for (std::size_t i = 0; i < store->cardCount() && phases.size() < 4; i += 89) {
        const PatternView p = store->at(i);
        if (p.size() < 20 || !p.iic()) continue;
        phases.push_back(faultPhaseOf(p, UnitCell{5, 5, 5, 90, 90, 90}));
        phases.back().marchR = 1.0;
        phases.back().weight = weights[phases.size() - 1] * *p.iic();
    }
    FaultSettings settings;
    settings.range = ScanRange{10.0, 99.99};
    settings.step = 0.018;
    Result<FaultProfile> made = makeFaultProfile(phases, settings, 20261208);
    if (!made || made.value().profile.twoTheta.size() != 5000) std::abort();
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "lithora-bench-mixture.xy";
    {
        std::ofstream out(file);
        const Profile& profile = made.value().profile;
        for (std::size_t k = 0; k < profile.twoTheta.size(); ++k)
            out << profile.twoTheta[k] << ' ' << profile.counts[k] << '\n';
    }
    std::size_t found = 0;
    for (auto _ : state) {
        Result<MeasuredScan> scan = readScanFile(file);
        if (!scan) std::abort();
        const ProfileAnalysis analysis =
            analyseProfile(scan.value().profile, radiationFor(1.540598));
        IdentifyOptions options;
        Result<Identification> first =
            identifyPattern(session.data, patternInputOf(analysis), options);
        if (!first) std::abort();
        Result<Mixture> mixture =
            findMixture(session.data, scan.value().profile, analysis, first.value(), options);
        if (!mixture) std::abort();
        found = mixture.value().phases.size();
        benchmark::DoNotOptimize(mixture.value().phases.data());
    }
    state.counters["phases"] = static_cast<double>(found);
}

// lithora.p read whole and checked, then every card's d and intensity walked as a ranking reads
// them: each card of the entry index looked up, each of its lines tested.
void BM_LoadReferencePatterns(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    std::vector<int> cards;
    for (int card = 1; card <= kMaxCardNumber; ++card) {
        if (session.data.tables.entryOf(card) > 0) cards.push_back(card);
    }
    std::size_t lines = 0, patterns = 0;
    for (auto _ : state) {
        const ReferencePatterns store = loadReferencePatterns(session.data.dir);
        if (store.state() != PatternFileState::Read) std::abort();
        std::size_t strong = 0;
        lines = patterns = 0;
        for (const int card : cards) {
            const std::optional<PatternView> p = store.find(card);
            if (!p) continue;
            ++patterns;
            lines += p->size();
            for (std::size_t i = 0; i < p->size(); ++i)
                strong += (p->d[i] > 2.0) & (p->intensity[i] >= 1.0);
        }
        benchmark::DoNotOptimize(strong);
    }
    state.counters["patterns"] = static_cast<double>(patterns);
    state.counters["lines"] = static_cast<double>(lines);
}

// The same walk over the store the data set keeps: what every ranking after the first pays.
void BM_ReadKeptReferencePatterns(benchmark::State& state) {
    Session session = openSession(static_cast<int>(state.range(0)));
    std::vector<int> cards;
    for (int card = 1; card <= kMaxCardNumber; ++card) {
        if (session.data.tables.entryOf(card) > 0) cards.push_back(card);
    }
    const ErrorSink sink = [](std::string_view, std::string_view) { std::abort(); };
    for (auto _ : state) {
        const std::shared_ptr<const ReferencePatterns> store =
            referencePatternsOf(session.data, sink);
        std::size_t strong = 0;
        for (const int card : cards) {
            if (const std::optional<PatternView> p = store->find(card)) {
                for (std::size_t i = 0; i < p->size(); ++i)
                    strong += (p->d[i] > 2.0) & (p->intensity[i] >= 1.0);
            }
        }
        benchmark::DoNotOptimize(strong);
    }
}

// Peak finding in a profile of N points from 5° to 90° 2θ: forty peaks on a falling
// background with counting noise.
void BM_FindPeaks(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    Profile profile;
    std::uint32_t random = 1;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = 5.0 + 85.0 * static_cast<double>(i) / static_cast<double>(n);
        double y = 200.0 + 800.0 * std::exp(-x / 15.0);
        for (int k = 0; k < 40; ++k) {
            const double centre = 8.0 + 2.0 * k;
            const double t = (x - centre) / 0.05;
            y += 3000.0 / (1 + k % 7) * std::exp(-0.693 * t * t);
        }
        random = random * 1664525u + 1013904223u;
        y += std::sqrt(y) * (static_cast<double>(random >> 8) / 16777216.0 - 0.5) * 3.4;
        profile.twoTheta.push_back(x);
        profile.counts.push_back(y);
    }
    std::size_t found = 0;
    for (auto _ : state) {
        found = findPeaks(profile).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["peaks"] = static_cast<double>(found);
}

// The print layout of one card, measured with a fixed-width font.
class FixedWidth : public TextMeasurer {
  public:
    double width(std::string_view text, const PrintFont& font) const override {
        return static_cast<double>(text.size()) * font.points * 0.5;
    }
    double lineHeight(const PrintFont& font) const override { return font.points * 1.2; }
};

void BM_PrintLayout(benchmark::State& state) {
    Session session = openSession(10000);
    session.selectedRow = 1;
    loadSelectedCard(session);
    const FixedWidth measurer;
    for (auto _ : state)
        benchmark::DoNotOptimize(layoutCardPage(session.card, 595, measurer, '.').items.size());
}

// A cell with all six values, for the plain search and the one in any setting alike.
constexpr const char* kSixCellValues = "5 5 5 90 90 90 +-0.5";

} // namespace

BENCHMARK(BM_MatchList1000)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintLayout)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ElementSearch)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TextSearch, group, CategoryGroup, "garnet")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TextSearch, dspacings, CategoryDSpacings, "3.34 4.26")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TextSearch, unitcell, CategoryUnitCell, "5 5 5 0 0 0 +-0.5")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TextSearch, unitcell_six, CategoryUnitCell, kSixCellValues)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TextSearch, unitcell_any, CategoryUnitCell, kSixCellValues, true)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceEntryCells)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormSearchText)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormSearchNumbers)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormSearchDSpacings)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpticsSearch)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FormPass, text, {{0, "ite"}, {24, "cell"}})
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FormPass, numbers, {{13, "5 7"}, {7, "10"}, {14, "4"}})
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FormPass, dspacings, {{25, "3.34"}, {26, "4.26"}, {33, "0.02"}})
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpticsPass)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ElementPass)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TextPass, group, CategoryGroup, "garnet")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TextPass, dspacings, CategoryDSpacings, "3.34 4.26")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TextPass, unitcell, CategoryUnitCell, "5 5 5 0 0 0 +-0.5")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TextPass, unitcell_six, CategoryUnitCell, kSixCellValues)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TextPass, unitcell_any, CategoryUnitCell, kSixCellValues, true)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdentifyPattern)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdentifyPatternTwoTheta)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdentifyProfile)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixtureSearch)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindPeaks)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadReferencePatterns)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadKeptReferencePatterns)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndUnscrambleEntries)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadTables)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TablesAndFullList)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullList)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSelectedCard)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ElementIndex)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
