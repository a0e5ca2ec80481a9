#pragma once

#include <string>
#include <utility>
#include <vector>

#include "identify/peak_list.h"
#include "identify/profile.h"
#include "identify/ranking.h"

// What the identification window shows of a ranking, as text: the cells of the ranked table,
// the rows of the line-by-line comparison, the peak list written for a pattern file, and the
// caption of a residual search. Numbers always take "." as the decimal point, as the peak list
// the user types does.
namespace lithora {

// "87.3": one decimal.
std::string figureOfMeritText(double figureOfMerit);
// "6 / 6": the card's lines matched of those counted.
std::string linesText(const Score& score);
// The fitted faults: "zero +0.031°, displacement −0.052 mm, lattice +0.12 %" (the lattice alone
// for typed d-spacings, whose fit has no zero or displacement).
std::string fitText(const InstrumentFit& fit);
// The common shift Δd/d in percent with two decimals and its sign: "+0.05 %", "−0.12 %"
// (a true minus sign), "0.00 %".
std::string shiftText(double shift);
// What a figure of merit rests on, in words: "6 of 6 lines found, explaining 92 % of the card's
// line intensity; 3 % of the measured intensity unexplained; intensities agree 95 %; lattice
// +0.05 %" (with the zero shift and displacement first when they were fitted).
std::string scoreExplanation(const Score& score);
// A probability in whole percent, "<1 %" and ">99 %" at the ends, so that no candidate is
// shown as certain.
std::string probabilityText(double probability);
// A phase's weight per cent and its uncertainty, "37 ± 5" ("2.4 ± 0.4" when the uncertainty is
// below half a per cent); "–" for a phase without an amount (percent < 0).
std::string amountText(double percent, double sigma);
// The weighted profile R in percent with one decimal, "12.3 %"; "–" when not compared.
std::string profileRText(double profileR);
// The fitted zero shift, "+0.031°", and the specimen displacement, "−0.052 mm"; empty for a fit
// on the d axis, which has neither.
std::string zeroText(const InstrumentFit& fit);
std::string displacementText(const InstrumentFit& fit);
// The name shown for the candidate at `row` of a ranking: "≈ Heklaite" for a group member whose
// row above is a member of the same group (the pattern cannot tell them apart), else the name.
std::string candidateNameText(const std::vector<Candidate>& ranked, std::size_t row);
// Everything a candidate's score rests on, for its tooltip: the peak match, the profile R, the
// probability, and for a member of a group what its members differ in.
std::string candidateExplanation(const Candidate& candidate);
// A d-spacing in Å: four decimals, trailing zeros dropped down to three ("3.343", "1.8179").
std::string dText(double d);
// A signed difference of d in Å, four decimals: "+0.0025", "−0.0031", "0.0000".
std::string deltaDText(double deltaD);
// A relative intensity: at most one decimal ("100", "7.5").
std::string intensityText(double intensity);

enum class LineKind { Matched, Missed, BelowDetection, Unexplained };

// One row of the comparison of a candidate with the measured pattern.
struct LineMatchRow {
    LineKind kind = LineKind::Matched;
    int line = -1;         // the card line's index in the score, -1 for an unexplained peak
    int peak = -1;         // the measured peak's index in the pattern, -1 for a missed line
    std::string cardD;     // empty for an unexplained peak
    std::string intensity; // the card line's, or the unexplained peak's measured intensity
    std::string measuredD; // empty for a missed line
    std::string deltaD;    // "+0.0025", or "missed", "below detection", "unexplained"
};

// The candidate's lines that matched or should have been seen, by d falling, then the measured
// peaks no line took, by d falling. A score whose peak indexes lie outside the pattern (not scored
// against it) shows those lines missed.
std::vector<LineMatchRow> lineMatchRows(const MeasuredPattern& pattern, const Score& score);

// The indexes of the pattern's peaks that no line of the score took, in the pattern's order.
std::vector<int> unexplainedPeaks(const MeasuredPattern& pattern, const Score& score);

// The peaks found in a pattern file as a peak list the user can read, edit and identify again:
// comment lines naming the file, the threshold and the unit, then one peak a line, 2θ (three
// decimals) or d for the wavelength (four decimals), and the height relative to the highest peak
// (100). Peaks whose d would lie beyond the longest d a peak list takes are left out, as the
// identification leaves them out.
std::string foundPeaksText(const std::vector<FoundPeak>& peaks, PeakPosition position,
                           double wavelength, const std::string& fileName, double thresholdPercent);

// "Residual after Quartz (4550)", "Residual after Quartz (4550) and Calcite (814)": the
// candidates taken away, by name and card number, in the order they were taken.
std::string residualCaption(const std::vector<std::pair<std::string, int>>& removed);

} // namespace lithora
