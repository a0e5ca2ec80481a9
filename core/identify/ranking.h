#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "datafiles/dataset.h"
#include "identify/pattern_match.h"
#include "identify/peak_list.h"
#include "identify/profile_fit.h"
#include "search/element_search.h"

// Identification: every entry with diffraction lines is scored against a measured pattern, with
// the instrument's faults fitted per candidate; the best are compared with the measured profile
// as a whole, and each is given the probability that it is the phase.
namespace lithora {

// Δd/d left after the lattice fit, for typed d-spacings.
inline constexpr double kDefaultTolerancePercent = 0.3;
// Degrees 2θ left after the fit, for profiles and typed 2θ.
inline constexpr double kDefaultToleranceTwoTheta = 0.1;
inline constexpr int kMaxCardLines = 8;
// Below this probability the best candidate is no confident match.
inline constexpr double kConfidentProbability = 0.5;

struct IdentifyOptions;

// Narrows the candidates as the element search does: every element may occur but the excluded
// ones, the required ones must, and at most maxElements (0 for no limit). Nothing narrows when
// no element is named and there is no limit.
void setElementFilter(IdentifyOptions& options, const std::vector<int>& required,
                      const std::vector<int>& excluded, int maxElements);

struct IdentifyOptions {
    double tolerancePercent = kDefaultTolerancePercent;
    double toleranceTwoTheta = kDefaultToleranceTwoTheta;
    bool fitInstrument = true;
    // The element search's filter: used when `filterElements` is set.
    bool filterElements = false;
    ElementSelection elements;
    int maxElements = 0;         // 0 for no limit
    std::vector<bool> cardScope; // by card number; empty for the whole database
    std::vector<int> excludedCards;
    int top = 20;     // how many candidates are kept
    int confirm = 50; // how many of the best are compared with the profile as a whole
};

// A card's eight diffraction lines, strongest first, intensities relative to the strongest (100).
struct CardLines {
    int count = 0;
    std::array<double, kMaxCardLines> d{};
    std::array<double, kMaxCardLines> intensity{};
};

// Reads the d-spacing and intensity fields of an entry record.
CardLines cardLinesOf(std::string_view dField, std::string_view intensityField);

using Score = PatternScore;

struct Candidate {
    int rank = 0;
    int card = 0;
    int entry = 0;
    std::string name;          // UTF-8
    std::string formula;       // UTF-8
    std::string elements;      // the entry's element symbols, blank-separated
    bool wholePattern = false; // scored on the whole pattern, not the card's eight lines
    Score score;
    double profileR = -1.0;   // weighted profile R of the comparison; -1 when not compared
    double noiseR = 0.0;      // the part of it the scan's counting noise alone would leave
    double finalScore = 0.0;  // what the ranking orders by, 0 .. 100
    double probability = 0.0; // that this candidate (its group) is the phase
    int group = 0;            // candidates of one group (> 0) cannot be told apart
    std::string differs;      // for a group member: the elements in which it differs, "Mn, Fe"
};

// The measured pattern as the ranking takes it.
struct PatternInput {
    MeasuredPattern pattern;
    MeasuredAxis axis;
    double rangeMin = 0.0, rangeMax = 0.0;  // the scan's 2θ range; 0, 0 for typed peaks
    const ProfileTarget* profile = nullptr; // the profile for the comparison as a whole
};

struct Identification {
    std::vector<Candidate> candidates; // best first
    int entriesScored = 0;             // entries in scope with diffraction lines
    bool confident = false;            // the best candidate's probability reaches the bar
    // False when the data directory holds no whole patterns (or they are damaged): the cards'
    // eight lines were compared instead. patternNote then says so, once per identification.
    bool wholePatterns = true;
    std::string patternNote;
    // The 2θ tolerance the lines were matched within: the one asked for, or a quarter of the
    // profile's peak width when that is wider.
    double toleranceTwoTheta = 0.0;
};

// The card number in an entry record's card field, as the ranking reads it.
int recordCardNumber(std::string_view field);

// Ranks every entry in scope. Fails only when a data file cannot be read.
Result<Identification> identifyPattern(DataSet& data, const PatternInput& input,
                                       const IdentifyOptions& options);
// Typed d-spacings (or peaks already turned into d for Kα1): the lattice scale alone is fitted.
Result<Identification> identifyPattern(DataSet& data, const MeasuredPattern& pattern,
                                       const IdentifyOptions& options);

// The score of one card for the pattern, for a residual search of a card the user chose; an
// error when the card is not in the database or has no diffraction lines.
Result<Candidate> scoreOneCard(DataSet& data, const PatternInput& input, int card,
                               const IdentifyOptions& options);
Result<Candidate> scoreOneCard(DataSet& data, const MeasuredPattern& pattern, int card,
                               const IdentifyOptions& options = {});

// The candidate's calculated profile against the input's profile, as the ranking compared it
// (ProfileComparison::calculated holds a value a point of the target): for the plot of the
// candidate chosen. An error when the input has no profile or the card no lines.
Result<ProfileComparison> candidateProfile(DataSet& data, const PatternInput& input,
                                           const Candidate& candidate);

// A card's lines as the identification compares them (its whole pattern, else its entry's eight
// lines), decreasing d, with its reference intensity ratio when the pattern has one. An error
// when the card is not in the database or has no diffraction lines.
struct CardPattern {
    int card = 0;
    std::vector<float> d;
    std::vector<float> intensity; // relative to the strongest line, 100
    std::optional<double> iic;
    bool wholePattern = false;
};
Result<CardPattern> cardPatternOf(DataSet& data, int card);

// What is left of a pattern once a candidate's lines are taken away: each matched peak loses
// the intensity the candidate accounts for (its lines' intensity times the score's scale), and
// goes when less than a fifth of it is left. A pattern without intensities loses its matched
// peaks.
MeasuredPattern residualPattern(const MeasuredPattern& pattern, const Score& score);

// The note given when the cards' eight lines stand in for the whole patterns.
std::string cardLinesNote(const std::string& why);

} // namespace lithora
