#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "synth_internal.h"
#include "synth_tables.h"

// The crystallographic and optical cells of a synthetic entry. Their numbers hang together as
// in a real database: the cell obeys its crystal system, the volume and d-spacings follow from
// the cell, and the refractive indices from the optic sign and 2V.
namespace lithora::synth {

namespace {

// Fields of an optical record, as kOpticsFieldColumns names them.
enum OpticsField : std::size_t {
    OptAnisotropism = 1,
    OptNAvg = 3,
    OptR470Avg = 4,
    OptBirefringence = 8,
    OptColor = 11,
    OptLuster = 12,
    OptV2Calc = 13,
    OptV2Meas = 15,
    OptAbsorption = 17,
    OptN1 = 18,
    OptNBeta = 20,
    OptClass = 23,
    OptDispersion = 24,
    OptN3 = 25,
    OptOrientation = 27,
    OptSign = 28,
    OptRAvg = 31,
    OptPleochroism = 32,
    OptR470 = 33
};

double volumeFactor(const CellParameters& p) {
    const double ca = cosDegrees(p.alpha);
    const double cb = cosDegrees(p.beta);
    const double cg = cosDegrees(p.gamma);
    return 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg;
}

double dSpacing(const CellParameters& p, int h, int k, int l) {
    return 1.0 / std::sqrt(ReciprocalMetric(p).q(h, k, l));
}

struct Cell {
    CellParameters p{};
    std::string text;
};

Cell makeCell(Random& random, std::string_view system) {
    const int decimals = random.chance(0.7) ? 3 : (random.chance(0.5) ? 4 : 2);
    auto length = [&] { return draw(random, 3.0, random.chance(0.15) ? 30.0 : 16.0, decimals); };
    const Drawn right{90.0, "90"};
    Drawn a = length();
    Drawn b = a;
    Drawn c = a;
    Drawn alpha = right, beta = right, gamma = right;
    // Edges the system leaves free are kept apart: equal ones would read as a higher symmetry.
    if (system == "Q" || system.front() == 'H') {
        while (c.text == a.text)
            c = length();
        if (system != "Q") gamma = {120.0, "120"};
    } else if (system == "O" || system == "M" || system == "A") {
        while (b.text == a.text)
            b = length();
        while (c.text == a.text || c.text == b.text)
            c = length();
    }
    if (system == "M") beta = draw(random, 90.5, 118.0, 2);
    Cell cell;
    for (;;) {
        if (system == "A") {
            alpha = draw(random, 75.0, 118.0, 2);
            beta = draw(random, 75.0, 118.0, 2);
            gamma = draw(random, 75.0, 118.0, 2);
        }
        cell.p = {a.value, b.value, c.value, alpha.value, beta.value, gamma.value};
        if (volumeFactor(cell.p) > 0.1) break;
    }
    const double volume = a.value * b.value * c.value * std::sqrt(volumeFactor(cell.p));
    cell.text = a.text + ' ' + b.text + ' ' + c.text + ' ' + alpha.text + ' ' + beta.text + ' ' +
                gamma.text + ' ' + fixed(volume, 2);
    return cell;
}

// Up to eight lines from random reflections of the cell (or free values without one); the
// first is the strongest, intensities fall from 100.
void makeDiffraction(Random& random, const Cell* cell, std::string& dText, std::string& iText) {
    if (random.chance(0.1)) return;
    const int wanted = random.chance(0.7) ? 8 : random.integer(3, 7);
    const int decimals = random.integer(2, 4);
    std::vector<std::string> lines;
    for (int attempt = 0; attempt < 80 && static_cast<int>(lines.size()) < wanted; ++attempt) {
        double d = 0.0;
        if (cell) {
            // Low indices, which give the stronger lines, are drawn more often.
            const int bound = random.integer(1, 4);
            const int h = random.integer(0, bound), k = random.integer(-bound, bound),
                      l = random.integer(-bound, bound);
            if (h == 0 && k == 0 && l == 0) continue;
            d = dSpacing(cell->p, h, k, l);
        } else {
            d = random.integer(1000, 12000) / 1000.0;
        }
        if (d < 1.0) continue;
        std::string text = fixed(d, decimals);
        if (std::find(lines.begin(), lines.end(), text) == lines.end()) lines.push_back(text);
    }
    int intensity = 100;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            dText += ' ';
            iText += ' ';
            intensity = std::max(1, intensity - random.integer(1, 25));
        }
        dText += lines[i];
        iText += std::to_string(intensity);
    }
}

const SpaceGroup& pickSpaceGroup(Random& random, std::string_view system) {
    return kSpaceGroups[random.weightedIndex(
        kSpaceGroups, [system](const SpaceGroup& g) { return g.system == system ? g.weight : 0; })];
}

std::string thousandths(int value) {
    return fixed(value / 1000.0, 3);
}
std::string tenths(int value) {
    return fixed(value / 10.0, 1);
}

// Ore minerals: reflectance in percent at four wavelengths, each a pair (the two values of a
// bireflectant section) in tenths, its mean, and the mean of the four means.
void fillReflectance(Random& random, bool isotropic, std::array<std::string, 42>& f) {
    f[OptAnisotropism] = isotropic ? "Isotropic" : random.pick(kAnisotropism);
    f[OptColor] = random.pick(kReflectedColors);
    f[OptLuster] = random.chance(0.8) ? "Metallic" : "Submetallic";
    const int base = random.integer(80, 500);
    const int spread = isotropic ? 0 : random.integer(2, 60);
    int sum = 0;
    int low = base;
    for (std::size_t i = 0; i < 4; ++i) {
        // Reflectance changes gradually from one wavelength to the next.
        if (i > 0) low = std::max(40, low + random.integer(-30, 30));
        const int average = low + (spread + 1) / 2;
        sum += average;
        f[OptR470 + i] =
            spread == 0 ? tenths(low) : tenths(low) + kTwoValueSeparator + tenths(low + spread);
        f[OptR470Avg + i] = tenths(average);
    }
    f[OptRAvg] = fixed(sum / 40.0, 2);
    if (!isotropic && random.chance(0.4)) {
        f[OptPleochroism] = "Weak, " + lowerFirst(random.pick(kReflectedColors)) + " to " +
                            lowerFirst(random.pick(kReflectedColors));
    }
}

// Transparent minerals: indices in thousandths, n1 <= n_beta <= n3. For a biaxial mineral the
// angle Vz is drawn first and n_beta follows from cos²Vz = na²(ng² - nb²) / (nb²(ng² - na²));
// Vz near 45° is avoided so that rounding n_beta cannot flip the optic sign.
void fillRefraction(Random& random, std::string_view system, std::array<std::string, 42>& f) {
    f[OptColor] = random.pick(kColors);
    f[OptLuster] = random.pick(kLusters);
    const int n = random.chance(0.85) ? random.integer(1450, 1750) : random.integer(1750, 2100);
    if (system == "C") {
        f[OptClass] = "Isotropic";
        f[OptN1] = f[OptNAvg] = thousandths(n);
        return;
    }
    int delta = random.chance(0.6)
                    ? random.integer(4, 30)
                    : (random.chance(0.75) ? random.integer(30, 80) : random.integer(80, 220));
    const bool uniaxial = system == "Q" || system.front() == 'H';
    const bool positive = random.chance(0.5);
    const int range = random.chance(0.25) ? random.integer(2, 15) : 0;
    auto value = [range](int v) {
        return range == 0 ? thousandths(v)
                          : thousandths(v) + kTwoValueSeparator + thousandths(v + range);
    };
    if (uniaxial) {
        const int omega = positive ? n : n + delta;
        const int epsilon = positive ? n + delta : n;
        f[OptN1] = value(omega);
        f[OptN3] = value(epsilon);
        f[OptNAvg] = fixed((omega + epsilon) / 2000.0, 3);
        if (random.chance(0.3))
            f[OptPleochroism] = "O = " + lowerFirst(random.pick(kColors)) +
                                ", E = " + lowerFirst(random.pick(kColors));
    } else {
        delta = std::max(delta, 10);
        const double na = n / 1000.0, ng = (n + delta) / 1000.0;
        const int vz = positive ? random.integer(5, 38) : random.integer(52, 87);
        const double cos2 = cosDegrees(vz) * cosDegrees(vz);
        const double nb = na * ng / std::sqrt(cos2 * (ng * ng - na * na) + na * na);
        const int beta =
            std::clamp(static_cast<int>(std::lround(nb * 1000.0)), n + 1, n + delta - 1);
        f[OptN1] = value(n);
        f[OptNBeta] = value(beta);
        f[OptN3] = value(n + delta);
        f[OptNAvg] = fixed((n + beta + n + delta) / 3000.0, 3);
        const int acute = positive ? 2 * vz : 180 - 2 * vz;
        if (random.chance(0.6)) f[OptV2Calc] = std::to_string(acute);
        if (random.chance(0.7)) {
            const int measured = std::clamp(acute + random.integer(-5, 5), 2, 90);
            f[OptV2Meas] = random.chance(0.7)
                               ? std::to_string(measured)
                               : std::to_string(std::max(1, measured - random.integer(2, 8))) +
                                     kTwoValueSeparator +
                                     std::to_string(std::min(90, measured + random.integer(2, 8)));
        }
        if (random.chance(0.6)) f[OptDispersion] = random.pick(kDispersions);
        if (random.chance(0.35)) f[OptOrientation] = random.pick(kOrientations);
        if (random.chance(0.3)) {
            f[OptPleochroism] = "X = " + lowerFirst(random.pick(kColors)) +
                                ", Y = " + lowerFirst(random.pick(kColors)) +
                                ", Z = " + lowerFirst(random.pick(kColors));
            if (random.chance(0.6)) f[OptAbsorption] = "Z > Y > X";
        }
    }
    f[OptBirefringence] = thousandths(delta);
    f[OptClass] = uniaxial ? "Uniaxial" : "Biaxial";
    f[OptSign] = positive ? "Positive" : "Negative";
}

} // namespace

// libm's cosine may differ in the last bit between platforms; this series uses only + - * /,
// which IEEE 754 rounds exactly, so volumes and d-spacings print the same everywhere.
double cosDegrees(double degrees) {
    if (degrees == 90.0) return 0.0;
    const bool obtuse = degrees > 90.0;
    const double x = (obtuse ? 180.0 - degrees : degrees) * 3.14159265358979323846 / 180.0;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k <= 12; ++k) {
        term *= -x * x / static_cast<double>((2 * k - 1) * (2 * k));
        sum += term;
    }
    return obtuse ? -sum : sum;
}

SourceOptics makeOptics(Random& random, int card, Chemistry chemistry, std::string_view system) {
    SourceOptics optics;
    optics.card = card;
    const bool opaque = chemistry == Chemistry::Sulfide || chemistry == Chemistry::Element ||
                        (chemistry == Chemistry::Oxide && random.chance(0.3));
    if (opaque) {
        fillReflectance(random, system == "C", optics.fields);
    } else {
        fillRefraction(random, system, optics.fields);
    }
    return optics;
}

void fillCrystalCells(Random& random, std::string_view system, std::array<std::string, 28>& c) {
    c[FieldCrystalSystem] = system;
    if (random.chance(0.92)) {
        const SpaceGroup& group = pickSpaceGroup(random, system);
        c[FieldSgNumber] = std::to_string(group.number);
        c[FieldSgSymbol] = group.symbol;
        if (random.chance(0.95)) c[FieldCrystalClass] = group.pointGroup;
    }
    const bool hasCell = random.chance(0.85);
    Cell cell;
    if (hasCell) {
        cell = makeCell(random, system);
        c[FieldCell] = cell.text;
        c[FieldZ] = random.text(kZ);
    }
    makeDiffraction(random, hasCell ? &cell : nullptr, c[FieldDSpacings], c[FieldIntensities]);
}

} // namespace lithora::synth
