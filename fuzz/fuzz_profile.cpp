// A measured profile file read, its peaks found and turned into a pattern.
//
// Input: a control part and the file. Control lines: "threshold=N" (percent), "smoothing=N"
// (points), "background=N" (tenths of a degree), "wavelength=TEXT".
#include <cmath>

#include "fuzz_support.h"
#include "identify/profile.h"

using namespace lithora;
using namespace lithora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        splitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<Setting> settings = settingsOf(parts[0]);
    PeakFinding finding;
    double wavelength = kDefaultWavelength;
    for (const Setting& s : settings) {
        if (s.key == "threshold") finding.thresholdPercent = settingNumber(s.value, -10, 200, 3);
        if (s.key == "smoothing") finding.smoothingHalfWidth = settingNumber(s.value, -5, 100, 0);
        if (s.key == "background")
            finding.backgroundWidth = settingNumber(s.value, -10, 1000, 20) / 10.0;
        if (s.key == "wavelength") {
            const Result<double> w = parseWavelength(s.value);
            if (w) wavelength = w.value();
        }
    }
    const Result<Profile> profile = parseProfile(parts.size() > 1 ? parts[1] : std::string_view());
    if (!profile) {
        FUZZ_CHECK(!profile.error().message.empty());
        return 0;
    }
    const Profile& p = profile.value();
    FUZZ_CHECK(p.twoTheta.size() == p.counts.size());
    FUZZ_CHECK(p.twoTheta.size() <= kMaxProfilePoints);
    for (std::size_t i = 0; i < p.twoTheta.size(); ++i) {
        FUZZ_CHECK(p.twoTheta[i] > 0.0 && p.twoTheta[i] < 180.0);
        FUZZ_CHECK(std::isfinite(p.counts[i]));
        if (i > 0) FUZZ_CHECK(p.twoTheta[i] > p.twoTheta[i - 1]);
    }
    FUZZ_CHECK(profileBackground(p, finding).size() == p.counts.size());
    const std::vector<FoundPeak> peaks = findPeaks(p, finding);
    FUZZ_CHECK(peaks.size() <= kMaxPeaks);
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        FUZZ_CHECK(peaks[i].twoTheta >= p.twoTheta.front() &&
                   peaks[i].twoTheta <= p.twoTheta.back());
        FUZZ_CHECK(std::isfinite(peaks[i].height) && peaks[i].height >= 0.0);
        if (i > 0) FUZZ_CHECK(peaks[i].twoTheta >= peaks[i - 1].twoTheta);
    }
    const MeasuredPattern pattern = patternOfPeaks(peaks, wavelength);
    FUZZ_CHECK(pattern.peaks.size() <= peaks.size());
    for (const Peak& peak : pattern.peaks)
        FUZZ_CHECK(peak.d > 0.0 && peak.d <= kMaxD && peak.intensity >= 0.0 &&
                   peak.intensity <= 100.0);
    return 0;
}
