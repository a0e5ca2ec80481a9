#pragma once

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "source/source_set.h"

// The pieces of the synthetic data-set generator (synth.h) that its two source files share.
// Every text is Windows-1252 bytes, as the records store them.
namespace lithora::synth {

struct Weighted {
    std::string_view text;
    int weight;
};

// std::mt19937_64's output is fixed by the standard but the std distributions are not, so every
// draw goes through these helpers to give the same set on every platform.
class Random {
  public:
    explicit Random(std::uint64_t seed) : m_engine(seed) {}

    // Inclusive at both ends. The modulo bias over a 64-bit draw is far below anything visible.
    int integer(int low, int high) {
        const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(high) - low) + 1;
        return low + static_cast<int>(m_engine() % span);
    }

    bool chance(double probability) {
        return static_cast<double>(m_engine() >> 11) * 0x1.0p-53 < probability;
    }

    template <typename Table> const auto& pick(const Table& table) {
        return table[static_cast<std::size_t>(integer(0, static_cast<int>(table.size()) - 1))];
    }

    // An index drawn in proportion to weightOf(item); items of weight 0 are never drawn.
    template <typename Table, typename WeightOf>
    std::size_t weightedIndex(const Table& table, WeightOf weightOf) {
        int total = 0;
        for (const auto& item : table)
            total += weightOf(item);
        int x = integer(0, total - 1);
        for (std::size_t i = 0; i < table.size(); ++i) {
            x -= weightOf(table[i]);
            if (x < 0) return i;
        }
        return table.size() - 1;
    }

    template <typename Table> const auto& pickWeighted(const Table& table) {
        return table[weightedIndex(table, [](const auto& item) { return item.weight; })];
    }

    template <typename Table> std::string text(const Table& table) {
        return std::string(pickWeighted(table).text);
    }

  private:
    std::mt19937_64 m_engine;
};

// Fixed-point text; std::to_chars rounds exactly, so the text is the same on every platform.
inline std::string fixed(double value, int decimals) {
    char buffer[48];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

// A number drawn as a whole count of 10^-decimals (decimals 0..4), so that the value later
// computations use is exactly the one printed.
struct Drawn {
    double value = 0.0;
    std::string text;
};

inline Drawn draw(Random& random, double low, double high, int decimals) {
    constexpr std::array<double, 5> kScales = {1.0, 10.0, 100.0, 1000.0, 10000.0};
    const double scale = kScales[static_cast<std::size_t>(decimals)];
    const int units = random.integer(static_cast<int>(std::lround(low * scale)),
                                     static_cast<int>(std::lround(high * scale)));
    const double value = units / scale;
    return {value, fixed(value, decimals)};
}

inline std::string lowerFirst(std::string_view word) {
    std::string out(word);
    if (!out.empty() && out[0] >= 'A' && out[0] <= 'Z') out[0] = static_cast<char>(out[0] + 32);
    return out;
}

// The chemical classes in the order of their Strunz class digit (1 elements ... 9 silicates).
enum class Chemistry {
    Element,
    Sulfide,
    Halide,
    Oxide,
    Carbonate,
    Borate,
    Sulfate,
    Phosphate,
    Silicate
};

struct CellParameters {
    double a, b, c, alpha, beta, gamma;
};

// The cosine of an angle in degrees, the same to the last bit on every platform.
double cosDegrees(double degrees);

// 1/d² = hᵀ G⁻¹ h, G the metric of the direct cell.
struct ReciprocalMetric {
    double r11, r22, r33, r12, r13, r23;

    explicit ReciprocalMetric(const CellParameters& p) {
        const double g11 = p.a * p.a, g22 = p.b * p.b, g33 = p.c * p.c;
        const double g12 = p.a * p.b * cosDegrees(p.gamma);
        const double g13 = p.a * p.c * cosDegrees(p.beta);
        const double g23 = p.b * p.c * cosDegrees(p.alpha);
        const double det = g11 * (g22 * g33 - g23 * g23) - g12 * (g12 * g33 - g23 * g13) +
                           g13 * (g12 * g23 - g22 * g13);
        r11 = (g22 * g33 - g23 * g23) / det;
        r22 = (g11 * g33 - g13 * g13) / det;
        r33 = (g11 * g22 - g12 * g12) / det;
        r12 = (g13 * g23 - g12 * g33) / det;
        r13 = (g12 * g23 - g13 * g22) / det;
        r23 = (g12 * g13 - g11 * g23) / det;
    }
    double q(int h, int k, int l) const {
        return r11 * h * h + r22 * k * k + r33 * l * l +
               2.0 * (r12 * h * k + r13 * h * l + r23 * k * l);
    }
};

// Fills the crystallographic cells of an entry of a crystal system (a code such as "H/R"):
// space group, crystal class, cell, Z, d-spacings and intensities.
void fillCrystalCells(Random& random, std::string_view system, std::array<std::string, 28>& cells);

// An optical record: reflectance for ore minerals, refractive indices for the others.
SourceOptics makeOptics(Random& random, int card, Chemistry chemistry, std::string_view system);

// The whole computed pattern of every entry that has diffraction lines and a cell, in card
// order (synth_pattern.cpp). Drawn from a generator of its own, so that adding patterns left
// every other byte of a synthetic set as it was.
std::vector<SourcePattern> makePatterns(const std::vector<SourceEntry>& entries,
                                        std::uint64_t seed);

} // namespace lithora::synth
