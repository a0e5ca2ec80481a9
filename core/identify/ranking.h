#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "datafiles/dataset.h"
#include "identify/peak_list.h"
#include "search/element_search.h"

// Identification: every entry with diffraction lines is scored against a measured pattern, and
// the best are listed with the reason for their rank.
namespace lithora {

inline constexpr double kDefaultTolerancePercent = 0.6; // Δd/d of a lab powder diffractometer
inline constexpr int kMaxCardLines = 8;

struct IdentifyOptions;

// Narrows the candidates as the element search does: every element may occur but the excluded
// ones, the required ones must, and at most maxElements (0 for no limit). Nothing narrows when
// no element is named and there is no limit.
void setElementFilter(IdentifyOptions& options, const std::vector<int>& required,
                      const std::vector<int>& excluded, int maxElements);

struct IdentifyOptions {
    double tolerancePercent = kDefaultTolerancePercent;
    // The element search's filter: used when `filterElements` is set.
    bool filterElements = false;
    ElementSelection elements;
    int maxElements = 0;         // 0 for no limit
    std::vector<bool> cardScope; // by card number; empty for the whole database
    std::vector<int> excludedCards;
    int top = 20; // how many candidates are kept
};

// A card's diffraction lines, strongest first, intensities relative to the strongest (100).
struct CardLines {
    int count = 0;
    std::array<double, kMaxCardLines> d{};
    std::array<double, kMaxCardLines> intensity{};
};

// Reads the d-spacing and intensity fields of an entry record.
CardLines cardLinesOf(std::string_view dField, std::string_view intensityField);

struct LineMatch {
    double cardD = 0.0;
    double cardIntensity = 0.0;
    int peak = -1;               // index into the pattern's peaks, or -1 when no peak is near
    double deltaD = 0.0;         // measured d - card d, Å
    bool belowDetection = false; // missed, but weaker than the weakest measured peak
};

// The score of one card, with what it rests on.
struct Score {
    double figureOfMerit = 0.0; // 0 .. 100
    double explained = 0.0;     // share of the card's line intensity found, closeness weighted
    double unexplained = 0.0;   // share of the measured intensity no line of the card explains
    double agreement = 1.0;     // how alike the matched intensities are, 0 .. 1
    double shift = 0.0;         // the common Δd/d of the matched lines
    int linesMatched = 0;
    int linesCounted = 0; // the card's lines, less those below detection
    std::array<LineMatch, kMaxCardLines> lines{};
    int lineCount = 0;
};

Score scoreCard(const MeasuredPattern& pattern, const CardLines& card, double tolerancePercent);

struct Candidate {
    int rank = 0;
    int card = 0;
    int entry = 0;
    std::string name;    // UTF-8
    std::string formula; // UTF-8
    Score score;
};

struct Identification {
    std::vector<Candidate> candidates; // best first
    int entriesScored = 0;             // entries in scope with diffraction lines
};

// Ranks every entry in scope. Fails only when a data file cannot be read.
Result<Identification> identifyPattern(const DataSet& data, const MeasuredPattern& pattern,
                                       const IdentifyOptions& options);

// The score of one card for the pattern, for a residual search of a card the user chose; an
// error when the card is not in the database or has no diffraction lines.
Result<Candidate> scoreOneCard(const DataSet& data, const MeasuredPattern& pattern, int card,
                               double tolerancePercent);

// What is left of a pattern once a candidate's lines are taken away: each matched peak loses
// the intensity the candidate accounts for (its line scaled by the median ratio of measured to
// card intensity over the matched lines), and goes when less than a fifth of it is left. A
// pattern without intensities loses its matched peaks.
MeasuredPattern residualPattern(const MeasuredPattern& pattern, const Score& score);

} // namespace lithora
