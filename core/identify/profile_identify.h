#pragma once

#include <vector>

#include "identify/instrument_file.h"
#include "identify/profile.h"
#include "identify/profile_fit.h"
#include "identify/ranking.h"

// A measured profile made ready for the identification: its background, Kα2 taken away, the
// peaks found, their widths, and the profile the best candidates are compared with.
namespace lithora {

struct ProfileAnalysis {
    TubeRadiation radiation;
    std::vector<double> background;
    Profile stripped; // Kα2 taken away; the profile itself when the tube gives one line
    std::vector<FoundPeak> peaks;
    PeakWidth width;
    ProfileTarget target;
    MeasuredPattern pattern; // the peaks as d for Kα1
};

// The tube's lines for a profile measured at alpha1 (Å): the named anode's doublet, with the
// Kα2 line and ratio the file states when its own wavelength is the one used; one line when
// alpha1Only (a monochromator, or the user says so).
TubeRadiation scanRadiation(double alpha1, const ScanWavelengths& stated, bool fileWavelengthUsed,
                            bool alpha1Only);

// Peaks are found in the profile with Kα2 stripped, so that a resolved Kα2 peak is never a
// peak of its own; the comparison as a whole keeps the doublet and calculates both lines.
ProfileAnalysis analyseProfile(const Profile& profile, const TubeRadiation& radiation,
                               const PeakFinding& finding = {});

// The ranking's input for an analysed profile: 2θ positions for Kα1, the scan's range, and the
// profile for the comparison. It points into the analysis, which must outlive it.
PatternInput patternInputOf(const ProfileAnalysis& analysis);

} // namespace lithora
