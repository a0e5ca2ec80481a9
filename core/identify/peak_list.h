#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

// A measured pattern as the identification takes it: peaks as d-spacings in Å with relative
// intensities, read from a typed or pasted list, or found in a measured profile.
namespace lithora {

struct Peak {
    double d = 0.0;         // Å
    double intensity = 0.0; // relative, the strongest peak 100
};

struct MeasuredPattern {
    std::vector<Peak> peaks;      // by d, largest first
    bool intensitiesGiven = true; // false when the list had positions only (all peaks 100)
};

// What the values of a typed list are.
enum class PeakPosition { D, TwoTheta };

// The x-ray lines the program knows by name, and their Kα1 wavelengths in Å.
struct NamedWavelength {
    std::string_view name;  // "Cu Kα"
    std::string_view anode; // "Cu"
    double angstrom;
};
inline constexpr NamedWavelength kWavelengths[] = {
    {"Cu Kα", "Cu", 1.5406},  {"Co Kα", "Co", 1.78897}, {"Fe Kα", "Fe", 1.93604},
    {"Cr Kα", "Cr", 2.28970}, {"Mo Kα", "Mo", 0.70930}, {"Ag Kα", "Ag", 0.55941},
};
inline constexpr double kDefaultWavelength = 1.5406;

// The wavelength a user names: an anode ("Co", "CoKa", "Co Kα", letter case ignored) or a number
// in Å between 0.1 and 5. The error says what was not understood.
Result<double> parseWavelength(std::string_view typed);
// "Cu Kα" for the wavelength of a named line, else the number with " Å".
std::string wavelengthLabel(double angstrom);

// Bragg's law, n = 1: d = λ / (2 sin θ). The angle in degrees 2θ.
double dFromTwoTheta(double twoTheta, double wavelength);
double twoThetaFromD(double d, double wavelength); // 0 when the d cannot diffract (d < λ/2)

inline constexpr std::size_t kMaxPeaks = 500;
inline constexpr double kMaxD = 100.0; // Å: no mineral line lies beyond

// Reads a typed or pasted peak list. One peak a line, or several on a line separated by commas
// or semicolons; a peak is a position, or a position and an intensity ("3.343 100", "3.343
// (100)", "3.343(100)"). A line of three or more numbers without commas is a list of positions.
// Lines starting with #, ! or ; are comments. Positions are d in Å or 2θ in degrees for the
// wavelength. Intensities are made relative to the strongest; a peak without one counts as 100
// when others have one. Errors name the line and the value: a word that is no number, a d of 0
// or less, a 2θ outside 0..180 or one giving a d beyond 100 Å, a negative intensity, more than
// 500 peaks, no peak at all.
Result<MeasuredPattern> parsePeakList(std::string_view text, PeakPosition position,
                                      double wavelength = kDefaultWavelength);

// Sorts by d (largest first) and scales intensities to a strongest peak of 100.
void normalisePattern(MeasuredPattern& pattern);

// The value of a word that is one finite number as a whole ("1.5", "-2", "1.2e3"; not "nan",
// "inf", "0x10" or "1.5x").
std::optional<double> parseDecimal(std::string_view word);

} // namespace lithora
