#include "identify/ranking.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <future>
#include <queue>
#include <set>
#include <thread>

#include "datafiles/reference_patterns.h"
#include "identify/entry_summaries.h"
#include "list/entry_list.h"
#include "patterns/identification_lines.h"
#include "search/criteria.h"
#include "text/codepage.h"
#include "text/numeric.h"

namespace lithora {

namespace {

// How many candidates pass from the quick look over every entry to the fitted match.
// On d-spacings the quick look fits the one common lattice scale and is sharp; on 2θ it cannot
// fit the zero and displacement and stays loose, so more pass.
constexpr std::size_t kShortList = 400;
constexpr std::size_t kShortListD = 60;
// The quick look runs in parts on several cores when each part has this many entries at least.
constexpr std::size_t kEntriesPerPart = 2000;
constexpr std::size_t kMostParts = 8;
constexpr std::size_t kCandidatesPerPart = 30;

// Runs work(first, last) over 0 .. n in parts, one a core (at most kMostParts), each part `least`
// long at least; the calling thread takes the first part and waits for the others.
template <typename Work> void inParts(std::size_t n, std::size_t least, Work work) {
    const std::size_t parts =
        std::clamp<std::size_t>(std::min<std::size_t>(std::thread::hardware_concurrency(),
                                                      n / std::max<std::size_t>(least, 1)),
                                1, kMostParts);
    std::vector<std::future<void>> running;
    for (std::size_t part = 1; part < parts; ++part)
        running.push_back(
            std::async(std::launch::async, work, n * part / parts, n * (part + 1) / parts));
    work(0, n / parts);
    for (std::future<void>& part : running)
        part.get();
}

// The probability's constants: a candidate's weight is exp(score / T), beside that of "none of
// these", exp(kNoneScore / T). Calibrated on 1,280 synthetic profiles with the faults of real
// measurements (the quality test's generator under seeds 3, 7, 11 and 13, never its own seed),
// each ranked with its species and again without it: T is the one under which the
// probabilities fit best (the likelihood of the truth, "none" for the second ranking), and
// kNoneScore the one that leaves equal room under both of the test's bars there (98.4 % of
// right answers confident, 93.3 % "no confident match" without the species).
constexpr double kTemperature = 3.0;
constexpr double kNoneScore = 42.0;
// Candidates that explain this share of the same measured intensity, scoring at least this
// share of the best of them, are one hypothesis (see formGroups).
constexpr double kGroupPeaks = 0.8;
constexpr double kGroupShare = 0.6;

// A word that is no plain number ("3,5", "1e-2", "abc") is read as the general reader reads it,
// and failing that as every other reader of the records reads numbers.
double generalNumber(std::string_view word) {
    const std::optional<double> value = parseDecimal(word);
    return value ? *value : numericValue(word);
}

// Blank-separated numbers of a field, at most kMaxCardLines. The common word, digits with at
// most one point ("3.343", "100"), is read in the same pass that finds the blanks: its digits
// as an integer times a negative power of ten, within an ulp or two of the exact value, far
// below any tolerance.
int fieldNumbers(std::string_view field, std::array<double, kMaxCardLines>& out) {
    static constexpr double kPowers[] = {1e0,  1e-1, 1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                         1e-8, 1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15};
    int count = 0;
    std::size_t i = 0;
    const std::size_t n = field.size();
    while (i < n && count < kMaxCardLines) {
        while (i < n && field[i] == ' ')
            ++i;
        if (i == n) break;
        const std::size_t start = i;
        std::uint64_t digits = 0;
        int decimals = -1;
        bool plain = true;
        for (; i < n && field[i] != ' '; ++i) {
            const auto digit = static_cast<unsigned>(static_cast<unsigned char>(field[i]) - '0');
            if (digit <= 9) {
                digits = digits * 10 + digit;
                if (decimals >= 0) ++decimals;
            } else if (field[i] == '.' && decimals < 0) {
                decimals = 0;
            } else {
                plain = false;
            }
        }
        const std::size_t length = i - start;
        plain = plain && length <= 15 && !(length == 1 && decimals == 0);
        out[static_cast<std::size_t>(count++)] =
            plain ? static_cast<double>(digits) * kPowers[decimals < 0 ? 0 : decimals]
                  : generalNumber(field.substr(start, length));
    }
    return count;
}

std::set<std::string> elementSet(std::string_view symbols) {
    std::set<std::string> out;
    std::size_t i = 0;
    while (i < symbols.size()) {
        while (i < symbols.size() && symbols[i] == ' ')
            ++i;
        const std::size_t start = i;
        while (i < symbols.size() && symbols[i] != ' ')
            ++i;
        if (i > start) out.emplace(symbols.substr(start, i - start));
    }
    return out;
}

// The peaks two candidates take, weighed by intensity: alike when they explain the same
// measured intensity.
double sharedPeaks(const Score& a, const Score& b, const MeasuredPattern& pattern) {
    std::set<int> pa, pb;
    for (const LineMatch& m : a.lines)
        if (m.peak >= 0) pa.insert(m.peak);
    for (const LineMatch& m : b.lines)
        if (m.peak >= 0) pb.insert(m.peak);
    double both = 0.0, either = 0.0;
    for (std::size_t k = 0; k < pattern.peaks.size(); ++k) {
        const bool inA = pa.count(static_cast<int>(k)) > 0, inB = pb.count(static_cast<int>(k)) > 0;
        const double w = pattern.intensitiesGiven ? pattern.peaks[k].intensity : 100.0;
        if (inA && inB) both += w;
        if (inA || inB) either += w;
    }
    return either > 0.0 ? both / either : 0.0;
}

// Candidates the pattern cannot tell apart form a group under the best of them: they explain
// nearly the same peaks (isostructural species, end members of a series, whose lattices the
// fit moves onto the same peaks) and score not far below it. A group member names the elements in
// which its entry differs from the best one.
void formGroups(std::vector<Candidate>& ranked, const MeasuredPattern& pattern) {
    int next = 1;
    const std::size_t n = std::min<std::size_t>(ranked.size(), 12);
    for (std::size_t i = 0; i < n; ++i) {
        if (ranked[i].group != 0) continue;
        for (std::size_t j = i + 1; j < n; ++j) {
            if (ranked[j].group != 0) continue;
            const double lead = ranked[i].finalScore;
            if (!(lead > 0.0) || ranked[j].finalScore < kGroupShare * lead) continue;
            if (sharedPeaks(ranked[i].score, ranked[j].score, pattern) < kGroupPeaks) continue;
            if (ranked[i].group == 0) ranked[i].group = next++;
            ranked[j].group = ranked[i].group;
            const std::set<std::string> a = elementSet(ranked[i].elements);
            const std::set<std::string> b = elementSet(ranked[j].elements);
            std::string differs;
            for (const std::set<std::string>* side : {&a, &b}) {
                const std::set<std::string>& other = side == &a ? b : a;
                for (const std::string& e : *side) {
                    if (other.count(e)) continue;
                    if (!differs.empty()) differs += ", ";
                    differs += e;
                }
            }
            ranked[j].differs = differs;
            if (ranked[i].differs.empty()) ranked[i].differs = differs;
        }
    }
}

// Each candidate's weight is exp(score / T); "none of these" weighs exp(kNoneScore / T), and
// `others` is the weight of the candidates scored but not listed, so that a probability does not
// depend on how many are listed. A group's probability is the sum of its members' and each
// member shows it.
void assignProbabilities(std::vector<Candidate>& ranked, double others) {
    double total = std::exp(kNoneScore / kTemperature) + others;
    for (const Candidate& c : ranked)
        total += std::exp(c.finalScore / kTemperature);
    for (Candidate& c : ranked)
        c.probability = std::exp(c.finalScore / kTemperature) / total;
    for (Candidate& c : ranked) {
        if (c.group == 0) continue;
        double sum = 0.0;
        for (const Candidate& o : ranked)
            if (o.group == c.group) sum += std::exp(o.finalScore / kTemperature) / total;
        c.probability = sum;
    }
}

// The members of a group stand together, under the best of them, and the ranks follow.
void listGroupsTogether(std::vector<Candidate>& ranked) {
    // Each candidate is placed by the position of its group's best member (the first found).
    std::vector<std::pair<std::size_t, std::size_t>> order; // (the group's place, own place)
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        std::size_t head = i;
        if (ranked[i].group != 0) {
            for (std::size_t j = 0; j < i; ++j) {
                if (ranked[j].group == ranked[i].group) {
                    head = j;
                    break;
                }
            }
        }
        order.emplace_back(head, i);
    }
    std::sort(order.begin(), order.end());
    std::vector<Candidate> listed;
    listed.reserve(ranked.size());
    for (const auto& [head, i] : order)
        listed.push_back(std::move(ranked[i]));
    ranked = std::move(listed);
    for (std::size_t i = 0; i < ranked.size(); ++i)
        ranked[i].rank = static_cast<int>(i) + 1;
}

// The figure of merit times the profile's agreement: 1 less the weighted R that is not noise
// (the noise and the misfit add in quadrature), so that a noisy scan of the right phase is not
// held against it and a near miss on a clean scan is.
double finalScoreOf(const Candidate& c) {
    if (c.profileR < 0.0) return c.score.figureOfMerit;
    const double misfit = std::sqrt(std::max(0.0, c.profileR * c.profileR - c.noiseR * c.noiseR));
    return c.score.figureOfMerit * std::clamp(1.0 - misfit, 0.0, 1.0);
}

bool better(const Candidate& a, const Candidate& b) {
    if (a.finalScore != b.finalScore) return a.finalScore > b.finalScore;
    return a.card < b.card;
}

// A peak's position is known to a share of its width: the broad peaks of a poorly
// crystalline sample (clays, soils) are matched within that share when it exceeds the
// tolerance asked for.
constexpr double kWidthShare = 0.25;

MatchSettings settingsOf(const IdentifyOptions& o, const PatternInput& input) {
    MatchSettings s;
    s.tolerancePercent = o.tolerancePercent;
    s.toleranceTwoTheta = o.toleranceTwoTheta;
    s.fitInstrument = o.fitInstrument;
    if (input.profile && input.axis.twoTheta && input.rangeMax > input.rangeMin) {
        const double middle = 0.5 * (input.rangeMin + input.rangeMax);
        s.toleranceTwoTheta =
            std::max(s.toleranceTwoTheta, kWidthShare * input.profile->width.at(middle));
    }
    return s;
}

// The lines the identification compares for the entries: the whole patterns when the data
// directory has them, and why not when it has none.
struct LineStore {
    std::shared_ptr<const ReferencePatterns> patterns;
    std::string note;
};

LineStore lineStore(DataSet& data) {
    LineStore store;
    std::string damage;
    store.patterns = referencePatternsOf(
        data, [&](std::string_view, std::string_view message) { damage = message; });
    const PatternFileState state =
        store.patterns ? store.patterns->state() : PatternFileState::Missing;
    if (state == PatternFileState::Missing) {
        store.note = cardLinesNote("this data directory has no whole reference patterns");
    } else if (state != PatternFileState::Read) {
        const std::string why =
            store.patterns->message().empty() ? damage : store.patterns->message();
        store.note = cardLinesNote(why.empty() ? "the reference patterns cannot be read" : why);
    }
    return store;
}

// A card's whole pattern, or its entry's own eight lines.
IdentificationLines linesOf(const ReferencePatterns* patterns, const EntrySummaries& summaries,
                            int entry, int card) {
    if (patterns) {
        if (const std::optional<PatternView> pattern = patterns->find(card))
            return IdentificationLines(*pattern);
    }
    return summaries.cardLines(entry);
}

void nameCandidate(Candidate& c, const EntryNames& names) {
    c.name = displayName(cp1252ToUtf8(names.name));
    c.formula = cp1252ToUtf8(names.formula);
    c.elements = names.elements;
}

} // namespace

int recordCardNumber(std::string_view field) {
    std::array<double, kMaxCardLines> value{};
    return fieldNumbers(field, value) == 1 ? static_cast<int>(value[0])
                                           : static_cast<int>(numericValue(field));
}

std::string cardLinesNote(const std::string& why) {
    return "Compared with each card's eight lines: " + why + ".";
}

CardLines cardLinesOf(std::string_view dField, std::string_view intensityField) {
    std::array<double, kMaxCardLines> d{}, intensity{};
    const int dCount = fieldNumbers(dField, d);
    const int iCount = fieldNumbers(intensityField, intensity);
    struct Line {
        double d, intensity;
    };
    std::array<Line, kMaxCardLines> lines{};
    int count = 0;
    for (int j = 0; j < dCount; ++j) {
        const auto uj = static_cast<std::size_t>(j);
        if (!(d[uj] > 0.0) || d[uj] > kMaxD) continue; // a line no pattern can hold
        // A line without an intensity counts as a middling one.
        const double I = j < iCount && intensity[uj] > 0.0 ? intensity[uj] : 50.0;
        lines[static_cast<std::size_t>(count++)] = Line{d[uj], I};
    }
    // At most eight lines, nearly always in order already: an insertion sort, stable.
    for (int j = 1; j < count; ++j) {
        const Line line = lines[static_cast<std::size_t>(j)];
        int k = j;
        for (; k > 0 && lines[static_cast<std::size_t>(k - 1)].intensity < line.intensity; --k)
            lines[static_cast<std::size_t>(k)] = lines[static_cast<std::size_t>(k - 1)];
        lines[static_cast<std::size_t>(k)] = line;
    }
    CardLines out;
    out.count = count;
    const double strongest = count > 0 ? lines[0].intensity : 1.0;
    for (int j = 0; j < count; ++j) {
        const auto uj = static_cast<std::size_t>(j);
        out.d[uj] = lines[uj].d;
        out.intensity[uj] = 100.0 * lines[uj].intensity / strongest;
    }
    return out;
}

void setElementFilter(IdentifyOptions& options, const std::vector<int>& required,
                      const std::vector<int>& excluded, int maxElements) {
    options.filterElements = !required.empty() || !excluded.empty() || maxElements > 0;
    options.maxElements = std::max(maxElements, 0);
    options.elements = ElementSelection{};
    options.elements.applyPreset(3); // every element possible
    for (int z : excluded) {
        if (z >= 1 && z <= kElementCount)
            options.elements.possible[static_cast<std::size_t>(z)] = false;
    }
    for (int z : required) {
        if (z >= 1 && z <= kElementCount) options.elements.require(z);
    }
}

Result<Identification> identifyPattern(DataSet& data, const PatternInput& input,
                                       const IdentifyOptions& options) {
    Result<std::shared_ptr<const EntrySummaries>> read = entrySummariesOf(data);
    if (!read) return read.error();
    const EntrySummaries& summaries = *read.value();
    std::vector<bool> elementFlags;
    if (options.filterElements) {
        ElementSelection selection = options.elements;
        Result<SearchPass> pass = runElementSearchPass(data, selection, options.maxElements);
        if (!pass) return pass.error();
        elementFlags = std::move(pass.value().matchFlags);
    }
    const LineStore store = lineStore(data);
    const ReferencePatterns* patterns = store.patterns.get();
    if (patterns) patterns->prepareStrongest();
    PreparedPeaks prepared =
        preparePeaks(input.pattern, input.axis, input.rangeMin, input.rangeMax);
    const MatchSettings settings = settingsOf(options, input);
    prepared.coarseTolerance = 2.0 * std::max(settings.tolerancePercent, 0.01) / 100.0;
    Identification result;
    result.patternNote = store.note;
    result.toleranceTwoTheta = settings.toleranceTwoTheta;

    // A quick look at every entry in scope, then the fitted match of the most promising.
    struct Look {
        double coverage;
        int entry, card;
    };
    std::vector<Look> looks;
    const bool everyEntry =
        !options.filterElements && options.cardScope.empty() && options.excludedCards.empty();
    auto inScope = [&](int entry, int card) {
        if (everyEntry) return true;
        const auto ue = static_cast<std::size_t>(entry);
        if (options.filterElements && (ue >= elementFlags.size() || !elementFlags[ue]))
            return false;
        if (!options.cardScope.empty() &&
            (card < 0 || static_cast<std::size_t>(card) >= options.cardScope.size() ||
             !options.cardScope[static_cast<std::size_t>(card)])) {
            return false;
        }
        return std::find(options.excludedCards.begin(), options.excludedCards.end(), card) ==
               options.excludedCards.end();
    };
    // The entries to look at: first those whose card has a whole pattern, in the store's order
    // (its arrays are read front to back), then the rest with their eight lines.
    struct Job {
        int entry, card;
        int pattern; // the card's place in the store, kByCard or kEntryLines
    };
    // A card with a pattern that the card index gives another entry; an entry's own eight lines.
    constexpr int kByCard = -2, kEntryLines = -1;
    std::vector<Job> jobs;
    const auto entries = static_cast<std::size_t>(std::max(data.tables.entryCount, 0));
    std::vector<bool> looked(entries + 1, false);
    jobs.reserve(entries);
    for (std::size_t i = 0; patterns && i < patterns->cardCount(); ++i) {
        const PatternView pattern = patterns->at(i);
        const int entry = data.tables.entryOf(pattern.card);
        if (entry <= 0 || static_cast<std::size_t>(entry) > entries ||
            looked[static_cast<std::size_t>(entry)] || summaries.card(entry) != pattern.card) {
            continue;
        }
        looked[static_cast<std::size_t>(entry)] = true;
        if (pattern.size() > 0 && inScope(entry, pattern.card))
            jobs.push_back({entry, pattern.card, static_cast<int>(i)});
    }
    for (int entry = 1; entry <= data.tables.entryCount; ++entry) {
        const int card = summaries.card(entry);
        if (looked[static_cast<std::size_t>(entry)] || card == 0 || !inScope(entry, card)) continue;
        if (patterns && patterns->has(card))
            jobs.push_back({entry, card, kByCard});
        else if (summaries.hasLines(entry))
            jobs.push_back({entry, card, kEntryLines});
    }
    result.entriesScored = static_cast<int>(jobs.size());

    // Only the short list goes on, so a candidate that cannot beat the short list's last so far
    // is passed over early (coarseCoverage's floor). A large data set is looked at in parts on
    // the processor's cores, each with its own short list so far.
    const std::size_t shortList =
        std::max<std::size_t>(input.axis.twoTheta ? kShortList : kShortListD,
                              static_cast<std::size_t>(std::max(options.top, 1)));
    std::vector<std::vector<Look>> found(kMostParts);
    std::atomic<std::size_t> nextPart{0};
    inParts(jobs.size(), kEntriesPerPart, [&](std::size_t first, std::size_t last) {
        std::vector<Look>& mine = found[nextPart++];
        std::priority_queue<double, std::vector<double>, std::greater<>> best;
        for (std::size_t i = first; i < last; ++i) {
            const Job& job = jobs[i];
            const double floor = best.size() == shortList ? best.top() : 0.0;
            double coverage = 0.0;
            if (job.pattern >= 0) {
                const PatternView p = patterns->at(static_cast<std::size_t>(job.pattern));
                coverage = coarseCoverage(prepared, p.d, p.intensity, p.strongest, floor);
            } else if (job.pattern == kByCard) {
                const IdentificationLines lines = linesOf(patterns, summaries, job.entry, job.card);
                coverage = coarseCoverage(prepared, lines.d(), lines.intensity(), lines.strongest(),
                                          floor);
            } else {
                const IdentificationLines& lines = summaries.cardLines(job.entry);
                coverage = coarseCoverage(prepared, lines.d(), lines.intensity(), {}, floor);
            }
            if (!(coverage > 0.0)) continue;
            mine.push_back({coverage, job.entry, job.card});
            best.push(coverage);
            if (best.size() > shortList) best.pop();
        }
    });
    for (const std::vector<Look>& part : found)
        looks.insert(looks.end(), part.begin(), part.end());
    const std::size_t listed = std::min(looks.size(), shortList);
    std::partial_sort(looks.begin(), looks.begin() + static_cast<std::ptrdiff_t>(listed),
                      looks.end(), [](const Look& a, const Look& b) {
                          return a.coverage != b.coverage ? a.coverage > b.coverage
                                                          : a.card < b.card;
                      });
    looks.resize(listed);

    std::vector<Candidate> matched(looks.size());
    inParts(looks.size(), kCandidatesPerPart, [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) {
            const Look& look = looks[i];
            const IdentificationLines lines = linesOf(patterns, summaries, look.entry, look.card);
            Candidate& c = matched[i];
            c.card = look.card;
            c.entry = look.entry;
            c.wholePattern = lines.source() == LineSource::Pattern;
            c.score = matchPattern(prepared, lines.d(), lines.intensity(), settings);
            c.finalScore = c.score.figureOfMerit;
        }
    });
    std::vector<Candidate> ranked;
    for (Candidate& c : matched)
        if (c.score.figureOfMerit > 0.0) ranked.push_back(std::move(c));
    std::sort(ranked.begin(), ranked.end(), better);
    if (input.profile && input.axis.twoTheta) {
        const std::size_t confirm =
            std::min(ranked.size(), static_cast<std::size_t>(std::max(options.confirm, 0)));
        for (std::size_t i = 0; i < confirm; ++i) {
            Candidate& c = ranked[i];
            const IdentificationLines lines = linesOf(patterns, summaries, c.entry, c.card);
            c.noiseR = input.profile->noiseR;
            c.profileR = compareProfile(*input.profile, input.axis, lines.d(), lines.intensity(),
                                        c.score.fit, matchedOffsets(c.score, lines.size()))
                             .rwp;
            c.finalScore = finalScoreOf(c);
        }
        // Candidates not compared with the profile rank below every compared one.
        std::sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(confirm), better);
        const double floor = confirm > 0 ? ranked[confirm - 1].finalScore : 0.0;
        for (std::size_t i = confirm; i < ranked.size(); ++i)
            ranked[i].finalScore = std::min(ranked[i].finalScore * 0.5, floor * 0.99);
    }
    const std::size_t keep =
        std::min(ranked.size(), static_cast<std::size_t>(std::clamp(options.top, 1, 10000)));
    double others = 0.0;
    for (std::size_t i = keep; i < ranked.size(); ++i)
        others += std::exp(ranked[i].finalScore / kTemperature);
    ranked.resize(keep);
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        Candidate& c = ranked[i];
        c.rank = static_cast<int>(i) + 1;
        nameCandidate(c, summaries.names(c.entry));
    }
    formGroups(ranked, input.pattern);
    assignProbabilities(ranked, others);
    listGroupsTogether(ranked);
    result.wholePatterns = store.note.empty();
    result.confident = !ranked.empty() && ranked.front().probability >= kConfidentProbability;
    result.candidates = std::move(ranked);
    return result;
}

Result<Identification> identifyPattern(DataSet& data, const MeasuredPattern& pattern,
                                       const IdentifyOptions& options) {
    PatternInput input;
    input.pattern = pattern;
    return identifyPattern(data, input, options);
}

Result<Candidate> scoreOneCard(DataSet& data, const PatternInput& input, int card,
                               const IdentifyOptions& options) {
    const int entry = data.tables.entryOf(card);
    if (entry <= 0) {
        return makeError(ErrorCode::NotFound,
                         "Card " + std::to_string(card) + " is not in the database");
    }
    Result<std::shared_ptr<const EntrySummaries>> read = entrySummariesOf(data);
    if (!read) return read.error();
    const EntrySummaries& summaries = *read.value();
    const LineStore store = lineStore(data);
    const IdentificationLines lines = linesOf(store.patterns.get(), summaries, entry, card);
    if (summaries.card(entry) == 0 || lines.size() == 0) {
        return makeError(ErrorCode::NotFound,
                         "Card " + std::to_string(card) + " has no diffraction lines");
    }
    const PreparedPeaks prepared =
        preparePeaks(input.pattern, input.axis, input.rangeMin, input.rangeMax);
    Candidate c;
    c.rank = 1;
    c.card = card;
    c.entry = entry;
    c.wholePattern = lines.source() == LineSource::Pattern;
    c.score = matchPattern(prepared, lines.d(), lines.intensity(), settingsOf(options, input));
    if (input.profile && input.axis.twoTheta) {
        c.noiseR = input.profile->noiseR;
        c.profileR = compareProfile(*input.profile, input.axis, lines.d(), lines.intensity(),
                                    c.score.fit, matchedOffsets(c.score, lines.size()))
                         .rwp;
    }
    c.finalScore = finalScoreOf(c);
    nameCandidate(c, summaries.names(entry));
    return c;
}

Result<Candidate> scoreOneCard(DataSet& data, const MeasuredPattern& pattern, int card,
                               const IdentifyOptions& options) {
    PatternInput input;
    input.pattern = pattern;
    return scoreOneCard(data, input, card, options);
}

Result<ProfileComparison> candidateProfile(DataSet& data, const PatternInput& input,
                                           const Candidate& candidate) {
    if (!input.profile || !input.axis.twoTheta)
        return makeError(ErrorCode::NotFound, "The pattern has no profile to compare with");
    const int entry = data.tables.entryOf(candidate.card);
    if (entry <= 0) {
        return makeError(ErrorCode::NotFound,
                         "Card " + std::to_string(candidate.card) + " is not in the database");
    }
    Result<std::shared_ptr<const EntrySummaries>> read = entrySummariesOf(data);
    if (!read) return read.error();
    const LineStore store = lineStore(data);
    const IdentificationLines lines =
        linesOf(store.patterns.get(), *read.value(), entry, candidate.card);
    if (lines.size() == 0) {
        return makeError(ErrorCode::NotFound,
                         "Card " + std::to_string(candidate.card) + " has no diffraction lines");
    }
    return compareProfile(*input.profile, input.axis, lines.d(), lines.intensity(),
                          candidate.score.fit, matchedOffsets(candidate.score, lines.size()), true);
}

Result<CardPattern> cardPatternOf(DataSet& data, int card) {
    const int entry = data.tables.entryOf(card);
    if (entry <= 0) {
        return makeError(ErrorCode::NotFound,
                         "Card " + std::to_string(card) + " is not in the database");
    }
    Result<std::shared_ptr<const EntrySummaries>> read = entrySummariesOf(data);
    if (!read) return read.error();
    const LineStore store = lineStore(data);
    const IdentificationLines lines = linesOf(store.patterns.get(), *read.value(), entry, card);
    if (lines.size() == 0) {
        return makeError(ErrorCode::NotFound,
                         "Card " + std::to_string(card) + " has no diffraction lines");
    }
    CardPattern out;
    out.card = card;
    out.d.assign(lines.d().begin(), lines.d().end());
    out.intensity.assign(lines.intensity().begin(), lines.intensity().end());
    out.wholePattern = lines.source() == LineSource::Pattern;
    if (lines.pattern()) out.iic = lines.pattern()->iic();
    return out;
}

MeasuredPattern residualPattern(const MeasuredPattern& pattern, const Score& score) {
    std::vector<double> explained(pattern.peaks.size(), 0.0);
    std::vector<bool> taken(pattern.peaks.size(), false);
    for (const LineMatch& line : score.lines) {
        if (line.peak < 0 || static_cast<std::size_t>(line.peak) >= pattern.peaks.size()) continue;
        const auto k = static_cast<std::size_t>(line.peak);
        taken[k] = true;
        explained[k] += score.scale * line.cardIntensity;
    }
    MeasuredPattern rest;
    rest.intensitiesGiven = pattern.intensitiesGiven;
    for (std::size_t k = 0; k < pattern.peaks.size(); ++k) {
        Peak peak = pattern.peaks[k];
        if (taken[k]) {
            if (!pattern.intensitiesGiven) continue;
            const double left = peak.intensity - explained[k];
            if (left < 0.2 * peak.intensity) continue;
            peak.intensity = left;
        }
        rest.peaks.push_back(peak);
    }
    normalisePattern(rest);
    return rest;
}

} // namespace lithora
