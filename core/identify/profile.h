#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "identify/peak_list.h"

// A measured powder profile (counts against 2θ) and the peaks found in it.
namespace lithora {

struct Profile {
    std::vector<double> twoTheta; // degrees, rising
    std::vector<double> counts;
};

inline constexpr std::size_t kMaxProfilePoints = 200000;
inline constexpr std::int64_t kMaxProfileFileSize = std::int64_t{32} << 20;

// Reads two columns, 2θ and counts, separated by blanks, tabs, commas or semicolons (a comma is
// the decimal point in a line that separates its columns with semicolons or tabs); further
// columns are passed over. Lines starting with #, ! or ; are comments, and lines before the first
// line of numbers are a header. A line that is no pair of numbers after the data began, a 2θ
// outside 0..180, fewer than 10 points, more than 200,000, or binary data is an error naming the
// line. Points are sorted by 2θ; a repeated 2θ keeps its first point.
Result<Profile> parseProfile(std::string_view text);
// The same from a file (.xy, .csv, .txt, .dat or any other name), at most 32 MB.
Result<Profile> readProfileFile(const std::filesystem::path& path);
// The bytes of a pattern file, as every pattern reader takes them: a regular file of at most
// 32 MB (a folder, a pipe or a device is refused before anything is read).
Result<std::string> readPatternFileBytes(const std::filesystem::path& path);

struct PeakFinding {
    double thresholdPercent = 3.0; // of the highest peak above the background
    int smoothingHalfWidth = 0;    // points each side; 0 chooses from the step width
    double backgroundWidth = 2.0;  // degrees 2θ: wider features are background
};

struct FoundPeak {
    double twoTheta = 0.0;
    double height = 0.0; // counts above the background
};

// The peaks of a profile, by 2θ. See profile.cpp for the method.
std::vector<FoundPeak> findPeaks(const Profile& profile, const PeakFinding& options = {});

// The found peaks as a pattern for the identification: d by Bragg's law for the wavelength,
// heights as relative intensities.
MeasuredPattern patternOfPeaks(const std::vector<FoundPeak>& peaks, double wavelength);

// The background the finder subtracts, point by point; for the plot.
std::vector<double> profileBackground(const Profile& profile, const PeakFinding& options = {});

} // namespace lithora
