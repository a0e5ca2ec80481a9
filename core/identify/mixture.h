#pragma once

#include <optional>
#include <string>
#include <vector>

#include "identify/profile_identify.h"
#include "identify/ranking.h"

// The phases of a mixture, found one after another in what the phases found so far leave of
// the profile, fitted together, and their weight fractions from the reference intensity ratios.
namespace lithora {

inline constexpr int kMostPhases = 6;

struct MixtureOptions {
    int maxPhases = kMostPhases;
    int beam = 2;  // how many mixtures are carried from one step to the next
    int tries = 4; // how many of the residual's best candidates each mixture tries
};

struct MixturePhase {
    // As it was ranked where it was found (the profile, or what the phases before it left):
    // its probability is the certainty that it is the phase.
    Candidate candidate;
    // Candidates of its group there: the data cannot tell them from it (isostructural species).
    std::vector<Candidate> alternatives;
    // Its peaks' width over the scan's (fine grains widen a phase's peaks); 0 until fitted.
    double widthFactor = 0.0;
    double scale = 0.0; // measured counts per unit of line intensity
    std::optional<double> iic;
    // Weight per cent of the crystalline phases and its standard uncertainty; -1 without I/Ic.
    double weightPercent = -1.0;
    double weightSigma = 0.0;
    std::vector<double> calculated; // its net counts, a point of the profile
};

struct Mixture {
    std::vector<MixturePhase> phases; // as found: the first phase first
    std::vector<double> calculated;   // the phases' sum, net counts a point of the profile
    std::vector<double> twoTheta;     // the points
    std::vector<double> background;   // the background beneath them
    double rwp = 1.0;
    double noiseR = 0.0;
    double eta = 0.5; // the Lorentzian share of the peak shape fitted to the scan
    // False when a phase has no I/Ic: the amounts are then those of the phases that have one.
    bool amountsComplete = true;
};

// The relative uncertainty taken for a calculated I/Ic: published measured values of the same
// species differ from the calculated ones by this much (texture, microabsorption, the
// structure chosen), and it dominates the fit's own.
inline constexpr double kIicUncertainty = 0.15;

// Weight fractions from the phases' scales and I/Ic: w = (scale / I/Ic) / Σ (scale / I/Ic) over
// the phases with an I/Ic, with the uncertainty of each scale (its spread) and of each I/Ic
// carried through. Fills weightPercent and weightSigma; amountsComplete says whether all had one.
void assignAmounts(Mixture& mixture, const std::vector<double>& scaleSpread);

// Starting from the best candidates of the first identification, phases are added while the
// joint fit improves by more than the scan's own noise and its misfit allow, up to
// options.maxPhases; at each step the best few candidates of what the phases leave are tried
// and the best `beam` mixtures go on, and a phase the others explain is dropped. The
// identification options (elements, the current list, cards left out) apply to every step.
// An error when the profile cannot be compared or a data file cannot be read.
Result<Mixture> findMixture(DataSet& data, const Profile& profile, const ProfileAnalysis& analysis,
                            const Identification& first, const IdentifyOptions& options,
                            const MixtureOptions& mixture = {});

// The given phases (their candidates, alternatives and widths; a width of 0 is fitted) fitted
// together to the profile, with their amounts: after the user removed a phase or added one.
// eta: the peak shape's Lorentzian share, as the search fitted it (Mixture::eta); 0 fits it.
Result<Mixture> fitMixture(DataSet& data, const ProfileAnalysis& analysis,
                           std::vector<MixturePhase> phases, double eta = 0.0);

// The candidates of the list in c's group, c left out.
std::vector<Candidate> groupMembers(const std::vector<Candidate>& list, const Candidate& c);

// Each phase's certainty (its candidate's probability): the probability that it is the phase
// when what the other phases leave of the profile is identified, so that a phase is judged on
// its own peaks rather than on a scan it shares. A phase alone keeps the first identification's.
Status assessPhases(DataSet& data, const Profile& profile, const ProfileAnalysis& analysis,
                    Mixture& mixture, const IdentifyOptions& options);

// The phases the user left or chose fitted together (fitMixture, at the search's eta) and each
// judged on its own peaks again (assessPhases): what follows a phase removed or added.
Result<Mixture> refitMixture(DataSet& data, const Profile& profile, const ProfileAnalysis& analysis,
                             std::vector<MixturePhase> phases, double eta,
                             const IdentifyOptions& options);

// A card the user adds, scored against what the mixture's phases leave of the profile, so that
// its shifts are fitted on its own peaks.
Result<Candidate> scorePhase(DataSet& data, const Profile& profile, const ProfileAnalysis& analysis,
                             const Mixture& mixture, int card, const IdentifyOptions& options);

} // namespace lithora
