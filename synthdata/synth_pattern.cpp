#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "synth_internal.h"
#include "text/split.h"

// The whole computed powder pattern of a synthetic entry, made as the data builder makes a real
// one from a structure: every reflection of the entry's cell down to 0.8 Å that its lattice
// allows, one per set of symmetry-equivalent indices with their count as multiplicity;
// intensities from the Lorentz-polarisation factor for Cu Kα, a temperature and scattering
// fall-off and a random structure factor (most lines weak, a few strong); lines closer than
// 0.0005 Å merged, those under 0.2 % of the strongest dropped, and beyond 500 the weakest cut.
// The card's own lines, drawn from the same cell, become the strongest of the pattern with the
// card's intensities. Every number comes from + - * / and sqrt, so a seed gives the same
// patterns on every platform.
namespace lithora::synth {

namespace {

constexpr double kWavelength = 1.5406; // Cu Kα1, Å
constexpr double kMinD = 0.8;          // Å: 2θ of about 149° for Cu Kα1
constexpr std::size_t kMaxLines = 500;
constexpr double kMergeD = 5.0;             // 0.0005 Å, in units of 0.0001 Å
constexpr std::uint32_t kMinIntensity = 20; // 0.2 % of the strongest line, in 0.01

enum class Laue { Triclinic, Monoclinic, Orthorhombic, Tetragonal, Hexagonal, Trigonal, Cubic };

Laue laueOf(std::string_view system) {
    if (system == "A") return Laue::Triclinic;
    if (system == "M") return Laue::Monoclinic;
    if (system == "O") return Laue::Orthorhombic;
    if (system == "Q") return Laue::Tetragonal;
    if (system == "H") return Laue::Hexagonal;
    if (system == "C") return Laue::Cubic;
    return Laue::Trigonal; // H/R, H/T
}

using Index = std::array<int, 3>;
using Operation = std::array<std::array<int, 3>, 3>;

// The Laue group acting on Miller indices (hexagonal and trigonal in three-index form,
// i = -h-k), made whole from its generators. Enumerating sets uses the closed forms of
// multiplicity() below but for -3m; the group is there for that and for the odd reflection
// met outside the enumeration.
const std::vector<Operation>& groupOf(Laue laue) {
    static const auto groups = [] {
        const Operation inversion{{{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};
        const Operation flipH{{{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        const Operation flipK{{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}};
        const Operation flipL{{{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}};
        const Operation swapHK{{{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}};
        const Operation four{{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}};
        const Operation six{{{0, -1, 0}, {1, 1, 0}, {0, 0, 1}}};
        const Operation three{{{0, 1, 0}, {-1, -1, 0}, {0, 0, 1}}};
        const Operation twoInPlane{{{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}};
        const Operation cycle{{{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}};
        const std::array<std::vector<Operation>, 7> generators = {{
            {inversion},
            {inversion, flipK},
            {inversion, flipH, flipK},
            {inversion, four, swapHK, flipL},
            {inversion, six, swapHK, flipL},
            {inversion, three, twoInPlane},
            {inversion, four, cycle, swapHK},
        }};
        std::array<std::vector<Operation>, 7> out;
        for (std::size_t n = 0; n < out.size(); ++n) {
            std::vector<Operation>& g = out[n];
            g.push_back(Operation{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}});
            for (std::size_t i = 0; i < g.size(); ++i) {
                for (const Operation& m : generators[n]) {
                    Operation c{};
                    for (std::size_t r = 0; r < 3; ++r) {
                        for (std::size_t k = 0; k < 3; ++k)
                            c[r][k] =
                                m[r][0] * g[i][0][k] + m[r][1] * g[i][1][k] + m[r][2] * g[i][2][k];
                    }
                    if (std::find(g.begin(), g.end(), c) == g.end()) g.push_back(c);
                }
            }
        }
        return out;
    }();
    return groups[static_cast<std::size_t>(laue)];
}

// Indices as one number that sorts as they do (h, then k, then l).
std::int64_t keyOf(int h, int k, int l) {
    constexpr int kBias = 512;
    return (static_cast<std::int64_t>(h + kBias) << 20) |
           (static_cast<std::int64_t>(k + kBias) << 10) | (l + kBias);
}

// The size of the set of reflections equivalent to (h, k, l); with onlyLast, 0 when another of
// them sorts after it (each set is counted at its last-sorting indices).
int setSize(Laue laue, int h, int k, int l, bool onlyLast) {
    const std::int64_t key = keyOf(h, k, l);
    std::array<std::int64_t, 48> images{};
    std::size_t count = 0;
    for (const Operation& g : groupOf(laue)) {
        const std::int64_t image =
            keyOf(g[0][0] * h + g[0][1] * k + g[0][2] * l, g[1][0] * h + g[1][1] * k + g[1][2] * l,
                  g[2][0] * h + g[2][1] * k + g[2][2] * l);
        if (onlyLast && image > key) return 0;
        if (std::find(images.begin(), images.begin() + count, image) == images.begin() + count)
            images[count++] = image;
    }
    return static_cast<int>(count);
}

// The multiplicity of the set whose representative (h, k, l) is, or 0 for indices that stand
// for no set. The representatives: -1 the half-space h > 0 (then k, then l); 2/m (b unique)
// k >= 0 with h > 0 or h = 0, l >= 0; mmm h, k, l >= 0; 4/mmm and 6/mmm h >= k >= 0, l >= 0;
// m-3m h >= k >= l >= 0. The enumeration visits only h >= 0 (and k >= 0, l >= 0 as
// regionOf says), so the tests below need not repeat those bounds.
int multiplicity(Laue laue, int h, int k, int l) {
    const int zeros = (h == 0) + (k == 0) + (l == 0);
    switch (laue) {
    case Laue::Triclinic:
        return h > 0 || (k > 0 || (k == 0 && l > 0)) ? 2 : 0;
    case Laue::Monoclinic:
        if (h == 0 && l < 0) return 0;
        return k != 0 && (h != 0 || l != 0) ? 4 : 2;
    case Laue::Orthorhombic:
        return 8 >> zeros;
    case Laue::Tetragonal:
    case Laue::Hexagonal: {
        if (h < k) return 0;
        const int base = laue == Laue::Tetragonal ? 4 : 6; // (h00) and (hh0) in the plane
        const int plane = h == 0 ? 1 : (k == 0 || h == k) ? base : 2 * base;
        return l != 0 ? 2 * plane : plane;
    }
    case Laue::Cubic:
        if (h < k || k < l) return 0;
        if (k == 0) return 6;                // h00
        if (h == k && k == l) return 8;      // hhh
        if (l == 0) return h == k ? 12 : 24; // hh0, hk0
        return h == k || k == l ? 24 : 48;   // hhl, hkk; hkl
    case Laue::Trigonal:
        return setSize(laue, h, k, l, true);
    }
    return 0;
}

// Whether the lattice's centring lets a reflection through (R in hexagonal axes, obverse).
bool allowedBy(char centring, int h, int k, int l) {
    switch (centring) {
    case 'A':
        return (k + l) % 2 == 0;
    case 'B':
        return (h + l) % 2 == 0;
    case 'C':
        return (h + k) % 2 == 0;
    case 'I':
        return (h + k + l) % 2 == 0;
    case 'F':
        return (h + k) % 2 == 0 && (k + l) % 2 == 0;
    case 'R':
        return (-h + k + l) % 3 == 0;
    default:
        return true;
    }
}

// e^-x for x >= 0 from its series on x / 2^k, squared k times.
double expNegative(double x) {
    int halvings = 0;
    while (x > 0.5) {
        x *= 0.5;
        ++halvings;
    }
    double term = 1.0, sum = 1.0;
    for (int n = 1; n <= 7; ++n) {
        term *= -x / n;
        sum += term;
    }
    for (int i = 0; i < halvings; ++i)
        sum *= sum;
    return sum;
}

struct Line {
    double d = 0.0;          // 0.0001 Å
    double weight = 0.0;     // intensity before scaling
    std::uint32_t units = 0; // d rounded
    std::uint32_t intensity = 0;
    Index hkl{};
    int multiplicity = 0;
    bool cardLine = false;
};

// The reflections down to kMinD that the lattice allows, one per set of equivalent indices,
// with their weights. A reflection weaker than `negligible` times the strongest met before it
// cannot reach kMinIntensity once scaled and is passed over at once, which spares most of the
// work (the strongest may yet turn out a card line, scaled apart: the margin in `negligible`).
std::vector<Line> reflections(Random& random, const CellParameters& cell, Laue laue, char centring,
                              double fallOff, double negligible) {
    const ReciprocalMetric m(cell);
    const double qMax = 1.0 / (kMinD * kMinD);
    // The representatives multiplicity() knows have k >= 0, and l >= 0, in these classes.
    const bool kPositive = laue == Laue::Monoclinic || laue == Laue::Orthorhombic ||
                           laue == Laue::Tetragonal || laue == Laue::Hexagonal ||
                           laue == Laue::Cubic;
    const bool lPositive = laue == Laue::Orthorhombic || laue == Laue::Tetragonal ||
                           laue == Laue::Cubic || laue == Laue::Hexagonal;
    // |h| <= |r||a| for a reciprocal vector r of length at most 1 / kMinD.
    const int hMax = static_cast<int>(cell.a / kMinD), kMax = static_cast<int>(cell.b / kMinD);
    std::vector<Line> out;
    double strongest = 0.0;
    for (int h = 0; h <= hMax; ++h) {
        // In -3m the last-sorting indices of a set have the largest of |h|, |k|, |h + k| as h,
        // and then k and i = -h - k both lie in -h..0.
        const int kFirst = laue == Laue::Trigonal ? -std::min(h, kMax) : kPositive ? 0 : -kMax;
        const int kLast = laue == Laue::Trigonal ? 0 : kMax;
        for (int k = kFirst; k <= kLast; ++k) {
            // q(l) = r33 l² + 2 b l + c: the l for which it stays within qMax.
            const double b = m.r13 * h + m.r23 * k;
            const double c = m.r11 * h * h + m.r22 * k * k + 2.0 * m.r12 * h * k;
            const double disc = b * b - m.r33 * (c - qMax);
            if (disc < 0.0) continue;
            const double root = std::sqrt(disc);
            const int lLow = lPositive ? 0 : static_cast<int>(std::floor((-b - root) / m.r33));
            const int lHigh = static_cast<int>(std::ceil((-b + root) / m.r33));
            for (int l = lLow; l <= lHigh; ++l) {
                const double q = c + l * (2.0 * b + m.r33 * l);
                if (!(q > 0.0) || q > qMax || !allowedBy(centring, h, k, l)) continue;
                const int count = multiplicity(laue, h, k, l);
                if (count == 0) continue;
                const double sin2 = kWavelength * kWavelength * q / 4.0;
                const double cos2Theta = 1.0 - 2.0 * sin2;
                const double lp = (1.0 + cos2Theta * cos2Theta) / (sin2 * std::sqrt(1.0 - sin2));
                // |F|² of a centrosymmetric structure of many atoms: most near 0, a few large.
                const double u = random.integer(1, 1'000'000) / 1e6;
                const double bound = count * lp * u * u; // before the fall-off, at most 1
                if (bound < negligible * strongest) continue;
                const double weight = bound * expNegative(fallOff * q / 2.0);
                if (weight < negligible * strongest) continue;
                strongest = std::max(strongest, weight);
                out.push_back({10000.0 / std::sqrt(q), weight, 0, 0, {h, k, l}, count, false});
            }
        }
    }
    return out;
}

// Reflections closer than kMergeD are one line, as the data builder merges them: at their
// weighted position, with the summed weight and the indices of the strongest. The lines come
// out in decreasing d, at least kMergeD apart.
std::vector<Line> merged(const std::vector<Line>& found) {
    // Sorted by a small key rather than whole lines: the sort moves 24 bytes, not 56.
    struct Key {
        double d, weight;
        std::uint32_t index;
    };
    std::vector<Key> keys(found.size());
    for (std::size_t i = 0; i < found.size(); ++i)
        keys[i] = {found[i].d, found[i].weight, static_cast<std::uint32_t>(i)};
    std::sort(keys.begin(), keys.end(), [](const Key& x, const Key& y) {
        if (x.d != y.d) return x.d > y.d;
        if (x.weight != y.weight) return x.weight > y.weight;
        return x.index < y.index;
    });
    std::vector<Line> out;
    double strongest = 0.0;
    for (const Key& key : keys) {
        const Line& r = found[key.index];
        if (!out.empty() && out.back().d - r.d < kMergeD) {
            Line& m = out.back();
            m.d = (m.d * m.weight + r.d * r.weight) / (m.weight + r.weight);
            m.weight += r.weight;
            if (r.weight > strongest) {
                strongest = r.weight;
                m.hkl = r.hkl;
                m.multiplicity = r.multiplicity;
            }
            continue;
        }
        out.push_back(r);
        strongest = r.weight;
    }
    for (Line& r : out)
        r.units = static_cast<std::uint32_t>(std::lround(r.d));
    return out;
}

// The line nearest to d (0.0001 Å) among lines in decreasing d, if within tolerance.
std::optional<std::size_t> nearest(const std::vector<Line>& lines, std::uint32_t d,
                                   std::uint32_t tolerance) {
    const auto at = std::partition_point(lines.begin(), lines.end(),
                                         [d](const Line& l) { return l.units > d; });
    std::optional<std::size_t> best;
    std::uint32_t gap = tolerance + 1;
    for (auto it : {at - (at != lines.begin()), at}) {
        if (it == lines.end()) continue;
        const std::uint32_t g = it->units > d ? it->units - d : d - it->units;
        if (g < gap) {
            gap = g;
            best = static_cast<std::size_t>(it - lines.begin());
        }
    }
    return best;
}

// The reflection a card line was drawn from: synth_crystal draws h 0..4, k and l -4..4 and
// writes d rounded. Its multiplicity is that of its set under the full group of the system.
std::optional<Line> cardReflection(const CellParameters& cell, Laue laue, std::uint32_t d,
                                   std::uint32_t tolerance) {
    const ReciprocalMetric m(cell);
    std::optional<Line> best;
    std::uint32_t gap = tolerance + 1;
    for (int h = 0; h <= 4; ++h) {
        for (int k = -4; k <= 4; ++k) {
            for (int l = -4; l <= 4; ++l) {
                const double q = m.q(h, k, l);
                if (!(q > 0.0)) continue;
                const double units = 10000.0 / std::sqrt(q);
                const auto u = static_cast<std::uint32_t>(std::lround(units));
                const std::uint32_t g = u > d ? u - d : d - u;
                if (g < gap) {
                    gap = g;
                    best = Line{units, 0.0, u, 0, {h, k, l}, 0, true};
                }
            }
        }
    }
    if (best) best->multiplicity = setSize(laue, best->hkl[0], best->hkl[1], best->hkl[2], false);
    return best;
}

std::optional<CellParameters> cellOf(const std::string& text) {
    const std::vector<std::string> words = splitWords(text);
    if (words.size() < 6) return std::nullopt;
    std::array<double, 6> v{};
    for (std::size_t i = 0; i < 6; ++i) {
        const auto [ptr, ec] = std::from_chars(words[i].data(), words[i].data() + words[i].size(),
                                               v[i], std::chars_format::fixed);
        if (ec != std::errc() || !(v[i] > 0.0)) return std::nullopt;
    }
    return CellParameters{v[0], v[1], v[2], v[3], v[4], v[5]};
}

// The reference intensity ratio: around 1 to 3 for most minerals, up to 12 for the heaviest;
// unknown for one in ten.
std::uint32_t drawIic(Random& random) {
    if (random.chance(0.1)) return 0;
    const int range = random.integer(0, 99);
    if (range < 25) return static_cast<std::uint32_t>(random.integer(300, 1000));
    if (range < 70) return static_cast<std::uint32_t>(random.integer(1000, 2500));
    if (range < 92) return static_cast<std::uint32_t>(random.integer(2500, 5000));
    return static_cast<std::uint32_t>(random.integer(5000, 12000));
}

std::optional<SourcePattern> makePattern(Random& random, const SourceEntry& entry) {
    const std::vector<std::string> dWords = splitWords(entry.cells[FieldDSpacings]);
    const std::vector<std::string> iWords = splitWords(entry.cells[FieldIntensities]);
    const std::optional<CellParameters> cell = cellOf(entry.cells[FieldCell]);
    if (dWords.empty() || iWords.size() != dWords.size() || !cell) return std::nullopt;
    const Laue laue = laueOf(entry.cells[FieldCrystalSystem]);
    const std::string& symbol = entry.cells[FieldSgSymbol];
    const char centring = symbol.empty() ? 'P' : symbol[0];
    const double fallOff = random.integer(200, 700) / 100.0; // B, Å²
    int weakestCard = 100;
    for (const std::string& word : iWords) {
        const int cardIntensity = std::atoi(word.c_str());
        if (cardIntensity < 1 || cardIntensity > 100) return std::nullopt;
        weakestCard = std::min(weakestCard, cardIntensity);
    }
    // The strongest line beside the card's is this share of the card's weakest, in 0.01.
    const double top = weakestCard * 100 * (random.integer(55, 95) / 100.0);
    const double negligible = 0.5 * (kMinIntensity - 0.5) / top;
    std::vector<Line> lines =
        merged(reflections(random, *cell, laue, centring, fallOff, negligible));

    // Each card line takes the line of its d, within its rounding and the merging; the card's
    // draws knew no absences and no negligible lines, so its reflection may have to join.
    for (std::size_t j = 0; j < dWords.size(); ++j) {
        const std::string& text = dWords[j];
        const std::size_t point = text.find('.');
        const int decimals =
            point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
        double d = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), d, std::chars_format::fixed);
        const auto units = static_cast<std::uint32_t>(std::lround(d * 10000.0));
        std::uint32_t rounding = 1;
        for (int i = decimals; i < 4; ++i)
            rounding *= 10;
        const std::uint32_t tolerance = rounding / 2 + static_cast<std::uint32_t>(kMergeD);
        std::optional<std::size_t> at = nearest(lines, units, tolerance);
        if (at && lines[*at].cardLine) at.reset();
        if (!at) {
            std::optional<Line> own = cardReflection(*cell, laue, units, rounding / 2 + 1);
            if (!own || nearest(lines, own->units, static_cast<std::uint32_t>(kMergeD)))
                return std::nullopt;
            const auto place = std::partition_point(
                lines.begin(), lines.end(), [&](const Line& l) { return l.units > own->units; });
            const std::size_t index = static_cast<std::size_t>(place - lines.begin());
            lines.insert(place, *own);
            at = index;
        }
        const int cardIntensity = std::atoi(iWords[j].c_str());
        Line& line = lines[*at];
        line.cardLine = true;
        // The card rounds the pattern's intensity to a whole number.
        line.intensity =
            cardIntensity == 100
                ? 10000u
                : static_cast<std::uint32_t>(cardIntensity * 100 + random.integer(0, 49));
    }

    // The other lines, scaled so that the strongest of them stays below the card's weakest.
    double strongestOther = 0.0;
    for (const Line& r : lines) {
        if (!r.cardLine) strongestOther = std::max(strongestOther, r.weight);
    }
    for (Line& r : lines) {
        if (!r.cardLine)
            r.intensity = static_cast<std::uint32_t>(std::lround(r.weight / strongestOther * top));
    }
    std::erase_if(lines, [](const Line& r) { return r.intensity < kMinIntensity; });

    SourcePattern pattern;
    pattern.card = std::atoi(entry.cells[FieldCard].c_str());
    pattern.iic = drawIic(random);
    if (lines.size() > kMaxLines) {
        // Beyond 500 the weakest go (the card's lines are the strongest and stay); units differ
        // from line to line, so the order is total.
        auto stronger = [](const Line& x, const Line& y) {
            return x.intensity != y.intensity ? x.intensity > y.intensity : x.units > y.units;
        };
        std::vector<Line> byIntensity = lines;
        std::nth_element(byIntensity.begin(), byIntensity.begin() + kMaxLines - 1,
                         byIntensity.end(), stronger);
        const Line last = byIntensity[kMaxLines - 1];
        pattern.cut = static_cast<std::uint32_t>(lines.size() - kMaxLines);
        std::erase_if(lines, [&](const Line& r) { return stronger(last, r); });
    }
    for (const Line& r : lines) {
        pattern.lines.push_back({r.units, r.intensity, r.hkl[0], r.hkl[1], r.hkl[2],
                                 static_cast<std::uint32_t>(r.multiplicity), 0});
    }
    return pattern;
}

} // namespace

std::vector<SourcePattern> makePatterns(const std::vector<SourceEntry>& entries,
                                        std::uint64_t seed) {
    std::vector<std::pair<int, const SourceEntry*>> byCard;
    for (const SourceEntry& e : entries)
        byCard.emplace_back(std::atoi(e.cells[FieldCard].c_str()), &e);
    std::sort(byCard.begin(), byCard.end());
    std::vector<SourcePattern> patterns;
    for (const auto& [card, entry] : byCard) {
        // A generator per card: one entry's pattern does not hang on the others.
        Random random(seed * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(card));
        if (std::optional<SourcePattern> p = makePattern(random, *entry))
            patterns.push_back(std::move(*p));
    }
    return patterns;
}

} // namespace lithora::synth
