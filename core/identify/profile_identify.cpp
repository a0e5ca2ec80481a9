#include "identify/profile_identify.h"

#include <algorithm>
#include <cmath>

namespace lithora {

TubeRadiation scanRadiation(double alpha1, const ScanWavelengths& stated, bool fileWavelengthUsed,
                            bool alpha1Only) {
    TubeRadiation radiation = radiationFor(alpha1);
    if (fileWavelengthUsed && stated.kAlpha2 && *stated.kAlpha2 > alpha1)
        radiation.alpha2 = *stated.kAlpha2;
    if (fileWavelengthUsed && stated.ratio) radiation.ratio = *stated.ratio;
    if (alpha1Only) radiation.ratio = 0.0;
    return radiation;
}

ProfileAnalysis analyseProfile(const Profile& profile, const TubeRadiation& radiation,
                               const PeakFinding& finding) {
    ProfileAnalysis a;
    a.radiation = radiation;
    a.background = profileBackground(profile, finding);
    a.stripped = stripKAlpha2(profile, a.background, radiation);
    a.peaks = findPeaks(a.stripped, finding);
    a.width = measureWidths(a.stripped, a.background, a.peaks);
    // Broad peaks (fine grains, a poorly crystalline phase) are smoothed over a third of their
    // width, so that the noise on them is not taken for peaks of its own.
    if (finding.smoothingHalfWidth == 0 && profile.twoTheta.size() > 1) {
        const double step = (profile.twoTheta.back() - profile.twoTheta.front()) /
                            static_cast<double>(profile.twoTheta.size() - 1);
        const int half =
            static_cast<int>(std::lround(a.width.at(profile.twoTheta.front()) / 3.0 / step));
        if (step > 0.0 && half > std::max(2, static_cast<int>(std::lround(0.04 / step))) + 1) {
            PeakFinding wider = finding;
            wider.smoothingHalfWidth = std::min(half, 50);
            a.peaks = findPeaks(a.stripped, wider);
            a.width = measureWidths(a.stripped, a.background, a.peaks);
        }
    }
    a.target = profileTarget(profile, a.background, radiation, a.width);
    a.pattern = patternOfPeaks(a.peaks, radiation.alpha1);
    return a;
}

PatternInput patternInputOf(const ProfileAnalysis& analysis) {
    PatternInput input;
    input.pattern = analysis.pattern;
    input.axis.twoTheta = true;
    input.axis.wavelength = analysis.radiation.alpha1;
    if (!analysis.target.twoTheta.empty()) {
        input.rangeMin = analysis.target.twoTheta.front();
        input.rangeMax = analysis.target.twoTheta.back();
    }
    input.profile = &analysis.target;
    return input;
}

} // namespace lithora
