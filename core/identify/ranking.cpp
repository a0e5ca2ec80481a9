#include "identify/ranking.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "datafiles/record.h"
#include "list/entry_list.h"
#include "search/criteria.h"
#include "text/codepage.h"
#include "text/numeric.h"

namespace lithora {

namespace {

constexpr std::size_t kDField = 6;
constexpr std::size_t kIntensityField = 7;
constexpr std::size_t kNameField = 1;
constexpr std::size_t kFormulaField = 2;

// The pattern as the scoring walks it: d rising, with the index each peak has in the pattern.
struct Prepared {
    std::vector<double> d;
    std::vector<double> intensity;
    std::vector<int> index;
    double total = 0.0;
    double weakest = 0.0; // the detection floor: no weaker line could have been seen
    bool intensities = true;
    // firstFrom[k]: the first peak whose d is at least k / kBinsPerAngstrom, for d below
    // kTableEnd; the scan over thousands of cards finds its first candidate peak here rather
    // than by a binary search.
    std::vector<std::int16_t> firstFrom;

    std::size_t firstAtLeast(double value) const {
        if (value >= 0.0 && value < kTableEnd) {
            std::size_t i = static_cast<std::size_t>(
                firstFrom[static_cast<std::size_t>(value * kBinsPerAngstrom)]);
            while (i < d.size() && d[i] < value)
                ++i;
            return i;
        }
        return static_cast<std::size_t>(std::lower_bound(d.begin(), d.end(), value) - d.begin());
    }

    static constexpr double kBinsPerAngstrom = 1000.0;
    static constexpr double kTableEnd = 30.0;
};

Prepared prepare(const MeasuredPattern& pattern) {
    Prepared p;
    std::vector<int> order(pattern.peaks.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return pattern.peaks[static_cast<std::size_t>(a)].d <
               pattern.peaks[static_cast<std::size_t>(b)].d;
    });
    p.intensities = pattern.intensitiesGiven;
    p.weakest = pattern.intensitiesGiven ? 100.0 : 0.0;
    for (int i : order) {
        const Peak& peak = pattern.peaks[static_cast<std::size_t>(i)];
        const double weight = pattern.intensitiesGiven ? std::max(peak.intensity, 0.0) : 100.0;
        p.d.push_back(peak.d);
        p.intensity.push_back(weight);
        p.index.push_back(i);
        p.total += weight;
        if (pattern.intensitiesGiven) p.weakest = std::min(p.weakest, weight);
    }
    const auto bins = static_cast<std::size_t>(Prepared::kTableEnd * Prepared::kBinsPerAngstrom);
    p.firstFrom.resize(bins + 1);
    std::size_t next = 0;
    for (std::size_t k = 0; k <= bins; ++k) {
        const double start = static_cast<double>(k) / Prepared::kBinsPerAngstrom;
        while (next < p.d.size() && p.d[next] < start)
            ++next;
        p.firstFrom[k] = static_cast<std::int16_t>(next);
    }
    return p;
}

// The figure of merit of a card against a measured pattern, 0 to 100:
//
//   FOM = 100 · E · (1 − U) · (½ + ½·A) · (1 − ½·|s|/τ)
//
// Lines: the card's lines, strongest first, each take the nearest measured peak not yet taken
// whose d lies within the tolerance τ (a share of d) of the line's; a line without one is missed.
// A missed line weaker than the weakest measured peak is below detection and not counted.
//  s  the common shift of the matched lines, Σ I·r / (Σ I + 100), r = Δd/d of a line and I its
//     intensity: the intensity-weighted mean drawn towards 0 as if one strong line had matched
//     exactly, so that one matched line does not fit its own shift. A zero error or a cell a
//     little larger shifts every line alike; the score follows the lines' closeness to s and
//     costs the shift itself only a little.
//  E  explained: Σ I·c over the matched lines / Σ I over the matched and counted missed lines,
//     c = max(0, 1 − ((r − s)/τ)²) the closeness of a line to the common shift.
//  U  unexplained: the share of the measured intensity that no line of the card took.
//  A  agreement of intensities: 1 − ½ Σ |m/Σm − I/ΣI| over the matched pairs (m measured),
//     1 when fewer than two lines matched or the pattern has no intensities.
// Without measured intensities every peak weighs the same and no line is below detection.
//
// Writes into a score the caller keeps, so that a scan of thousands of cards builds none.
void score(const Prepared& p, const CardLines& card, double tolerancePercent, Score& s) {
    s.figureOfMerit = s.explained = s.shift = 0.0;
    s.unexplained = 1.0;
    s.agreement = 1.0;
    s.linesMatched = s.linesCounted = 0;
    s.lineCount = card.count;
    const double tau = std::max(tolerancePercent, 0.01) / 100.0;
    const std::size_t n = p.d.size();
    std::array<int, kMaxCardLines> taken{};
    std::array<double, kMaxCardLines> ratio{};
    std::array<int, kMaxCardLines> used{};
    int usedCount = 0;
    auto isUsed = [&](int peak) {
        for (int u = 0; u < usedCount; ++u) {
            if (used[static_cast<std::size_t>(u)] == peak) return true;
        }
        return false;
    };
    for (int j = 0; j < card.count; ++j) {
        const double D = card.d[static_cast<std::size_t>(j)];
        taken[static_cast<std::size_t>(j)] = -1;
        const double lo = D * (1.0 - tau);
        int best = -1;
        double bestDistance = tau;
        const double hi = D * (1.0 + tau);
        for (std::size_t k = p.firstAtLeast(lo); k < n && p.d[k] <= hi; ++k) {
            const int i = static_cast<int>(k);
            const double r = std::fabs(p.d[k] / D - 1.0);
            if (r <= bestDistance && !isUsed(i)) {
                best = i;
                bestDistance = r;
            }
        }
        if (best >= 0) {
            taken[static_cast<std::size_t>(j)] = best;
            used[static_cast<std::size_t>(usedCount++)] = best;
            ratio[static_cast<std::size_t>(j)] = p.d[static_cast<std::size_t>(best)] / D - 1.0;
        }
    }
    double weightedShift = 0.0, matchedIntensity = 0.0, missedIntensity = 0.0;
    double measuredMatched = 0.0;
    for (int j = 0; j < card.count; ++j) {
        const auto uj = static_cast<std::size_t>(j);
        const double I = card.intensity[uj];
        LineMatch& line = s.lines[uj];
        line = LineMatch{};
        line.cardD = card.d[uj];
        line.cardIntensity = I;
        line.peak = taken[uj] >= 0 ? p.index[static_cast<std::size_t>(taken[uj])] : -1;
        if (taken[uj] >= 0) {
            line.deltaD = p.d[static_cast<std::size_t>(taken[uj])] - card.d[uj];
            weightedShift += I * ratio[uj];
            matchedIntensity += I;
            measuredMatched += p.intensity[static_cast<std::size_t>(taken[uj])];
            ++s.linesMatched;
            ++s.linesCounted;
        } else if (p.intensities && I < p.weakest) {
            line.belowDetection = true;
        } else {
            missedIntensity += I;
            ++s.linesCounted;
        }
    }
    if (s.linesMatched == 0 || n == 0) return;
    s.shift = weightedShift / (matchedIntensity + 100.0);
    double close = 0.0, difference = 0.0;
    for (int j = 0; j < card.count; ++j) {
        const auto uj = static_cast<std::size_t>(j);
        if (taken[uj] < 0) continue;
        const double off = (ratio[uj] - s.shift) / tau;
        close += card.intensity[uj] * std::max(0.0, 1.0 - off * off);
        if (matchedIntensity > 0.0 && measuredMatched > 0.0) {
            difference +=
                std::fabs(p.intensity[static_cast<std::size_t>(taken[uj])] / measuredMatched -
                          card.intensity[uj] / matchedIntensity);
        }
    }
    const double counted = matchedIntensity + missedIntensity;
    s.explained = counted > 0.0 ? close / counted : 0.0;
    s.unexplained = p.total > 0.0 ? std::clamp(1.0 - measuredMatched / p.total, 0.0, 1.0) : 1.0;
    s.agreement =
        (p.intensities && s.linesMatched >= 2) ? std::max(0.0, 1.0 - 0.5 * difference) : 1.0;
    const double shiftCost = std::max(0.0, 1.0 - 0.5 * std::fabs(s.shift) / tau);
    s.figureOfMerit =
        100.0 * s.explained * (1.0 - s.unexplained) * (0.5 + 0.5 * s.agreement) * shiftCost;
}

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

bool better(double fomA, int cardA, double fomB, int cardB) {
    if (fomA != fomB) return fomA > fomB;
    return cardA < cardB;
}

void fillNames(Candidate& c, RecordDecoder& record) {
    c.name = displayName(cp1252ToUtf8(record.field(kNameField)));
    c.formula = cp1252ToUtf8(record.field(kFormulaField));
}

} // namespace

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

Score scoreCard(const MeasuredPattern& pattern, const CardLines& card, double tolerancePercent) {
    Score s;
    score(prepare(pattern), card, tolerancePercent, s);
    return s;
}

Result<Identification> identifyPattern(const DataSet& data, const MeasuredPattern& pattern,
                                       const IdentifyOptions& options) {
    Result<RecordBuffer> file = RecordBuffer::load(data.file(DataFiles::kEntries));
    if (!file) return file.error();
    std::vector<bool> elementFlags;
    if (options.filterElements) {
        ElementSelection selection = options.elements;
        Result<SearchPass> pass = runElementSearchPass(data, selection, options.maxElements);
        if (!pass) return pass.error();
        elementFlags = std::move(pass.value().matchFlags);
    }
    const Prepared prepared = prepare(pattern);
    const int top = std::clamp(options.top, 1, 10000);
    Identification result;
    std::vector<Candidate> best; // sorted, best first, at most `top`
    RecordDecoder record(data.recordKey, false);
    Score s;
    for (int entry = 1; entry <= data.tables.entryCount; ++entry) {
        const auto ue = static_cast<std::size_t>(entry);
        if (options.filterElements && (ue >= elementFlags.size() || !elementFlags[ue])) continue;
        const std::string_view body = file.value().bodyAt(data.tables.positionOfEntry(entry));
        if (body.empty()) continue;
        record.decode(body);
        const std::string_view dField = record.field(kDField);
        if (dField.find_first_not_of(' ') == std::string_view::npos) continue;
        const std::string_view cardField = record.field(0);
        std::array<double, kMaxCardLines> cardValue{};
        const int card = fieldNumbers(cardField, cardValue) == 1
                             ? static_cast<int>(cardValue[0])
                             : static_cast<int>(numericValue(cardField));
        if (!options.cardScope.empty() &&
            (card < 0 || static_cast<std::size_t>(card) >= options.cardScope.size() ||
             !options.cardScope[static_cast<std::size_t>(card)])) {
            continue;
        }
        if (std::find(options.excludedCards.begin(), options.excludedCards.end(), card) !=
            options.excludedCards.end()) {
            continue;
        }
        const CardLines lines = cardLinesOf(dField, record.field(kIntensityField));
        if (lines.count == 0) continue;
        ++result.entriesScored;
        score(prepared, lines, options.tolerancePercent, s);
        if (!(s.figureOfMerit > 0.0)) continue;
        if (static_cast<int>(best.size()) == top &&
            !better(s.figureOfMerit, card, best.back().score.figureOfMerit, best.back().card)) {
            continue;
        }
        Candidate c;
        c.card = card;
        c.entry = entry;
        c.score = s;
        auto at = std::upper_bound(
            best.begin(), best.end(), c, [](const Candidate& a, const Candidate& b) {
                return better(a.score.figureOfMerit, a.card, b.score.figureOfMerit, b.card);
            });
        best.insert(at, std::move(c));
        if (static_cast<int>(best.size()) > top) best.pop_back();
    }
    for (std::size_t i = 0; i < best.size(); ++i) {
        Candidate& c = best[i];
        c.rank = static_cast<int>(i) + 1;
        record.decode(file.value().bodyAt(data.tables.positionOfEntry(c.entry)));
        fillNames(c, record);
    }
    result.candidates = std::move(best);
    return result;
}

Result<Candidate> scoreOneCard(const DataSet& data, const MeasuredPattern& pattern, int card,
                               double tolerancePercent) {
    const int entry = data.tables.entryOf(card);
    if (entry <= 0) {
        return makeError(ErrorCode::NotFound,
                         "Card " + std::to_string(card) + " is not in the database");
    }
    Result<RecordBuffer> file = RecordBuffer::load(data.file(DataFiles::kEntries));
    if (!file) return file.error();
    const std::string_view body = file.value().bodyAt(data.tables.positionOfEntry(entry));
    RecordDecoder record(data.recordKey, false);
    record.decode(body);
    const CardLines lines = cardLinesOf(record.field(kDField), record.field(kIntensityField));
    if (body.empty() || lines.count == 0) {
        return makeError(ErrorCode::NotFound,
                         "Card " + std::to_string(card) + " has no diffraction lines");
    }
    Candidate c;
    c.rank = 1;
    c.card = card;
    c.entry = entry;
    c.score = scoreCard(pattern, lines, tolerancePercent);
    fillNames(c, record);
    return c;
}

MeasuredPattern residualPattern(const MeasuredPattern& pattern, const Score& score) {
    std::vector<double> ratios;
    for (int j = 0; j < score.lineCount; ++j) {
        const LineMatch& line = score.lines[static_cast<std::size_t>(j)];
        if (line.peak >= 0 && line.cardIntensity > 0.0) {
            ratios.push_back(pattern.peaks[static_cast<std::size_t>(line.peak)].intensity /
                             line.cardIntensity);
        }
    }
    double scale = 0.0;
    if (!ratios.empty()) {
        auto mid = ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2);
        std::nth_element(ratios.begin(), mid, ratios.end());
        scale = *mid;
    }
    MeasuredPattern rest = pattern;
    std::vector<bool> drop(pattern.peaks.size(), false);
    for (int j = 0; j < score.lineCount; ++j) {
        const LineMatch& line = score.lines[static_cast<std::size_t>(j)];
        if (line.peak < 0 || static_cast<std::size_t>(line.peak) >= rest.peaks.size()) continue;
        Peak& peak = rest.peaks[static_cast<std::size_t>(line.peak)];
        if (!pattern.intensitiesGiven) {
            drop[static_cast<std::size_t>(line.peak)] = true;
            continue;
        }
        const double left = peak.intensity - scale * line.cardIntensity;
        if (left < 0.2 * peak.intensity) {
            drop[static_cast<std::size_t>(line.peak)] = true;
        } else {
            peak.intensity = left;
        }
    }
    std::vector<Peak> kept;
    for (std::size_t i = 0; i < rest.peaks.size(); ++i) {
        if (!drop[i]) kept.push_back(rest.peaks[i]);
    }
    rest.peaks = std::move(kept);
    normalisePattern(rest);
    return rest;
}

} // namespace lithora
