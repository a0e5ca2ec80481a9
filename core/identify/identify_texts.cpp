#include "identify/identify_texts.h"

#include <algorithm>
#include <cmath>

#include "text/numeric.h"

namespace lithora {

namespace {

constexpr const char* kMinus = "\u2212";

// The number with a leading "+" or "−", and no sign when it rounds to zero at the decimals shown.
std::string signedText(double value, int decimals) {
    const std::string magnitude = formatNumber(std::fabs(value), decimals, decimals, '.');
    if (magnitude.find_first_not_of("0.") == std::string::npos) return magnitude;
    return (value < 0.0 ? kMinus : "+") + magnitude;
}

} // namespace

std::string figureOfMeritText(double figureOfMerit) {
    return formatNumber(figureOfMerit, 1, 1, '.');
}

std::string linesText(const Score& score) {
    return std::to_string(score.linesMatched) + " / " + std::to_string(score.linesCounted);
}

std::string shiftText(double shift) {
    return signedText(100.0 * shift, 2) + " %";
}

std::string scoreExplanation(const Score& score) {
    auto percent = [](double share) { return formatNumber(100.0 * share, 0, 0, '.') + " %"; };
    return std::to_string(score.linesMatched) + " of " + std::to_string(score.linesCounted) +
           " lines found, explaining " + percent(score.explained) +
           " of the card's line intensity; " + percent(score.unexplained) +
           " of the measured intensity unexplained; intensities agree " + percent(score.agreement) +
           "; " + fitText(score.fit);
}

std::string fitText(const InstrumentFit& fit) {
    std::string out;
    if (fit.zero != 0.0 || fit.displacement != 0.0) {
        out = "zero " + signedText(fit.zero, 3) + "°, displacement " +
              signedText(displacementMillimetres(fit.displacement), 3) + " mm, ";
    }
    return out + "lattice " + shiftText(fit.lattice);
}

std::string probabilityText(double probability) {
    const double percent = 100.0 * probability;
    if (percent < 0.5) return "<1 %";
    if (percent > 99.5) return ">99 %";
    return formatNumber(percent, 0, 0, '.') + " %";
}

std::string amountText(double percent, double sigma) {
    if (percent < 0.0) return "\u2013";
    // The uncertainty decides the digits: "37 ± 5", but "2.4 ± 0.4" rather than "2 ± 0". A
    // phase alone is all of the crystalline phases, exactly: "100 ± 0".
    const int decimals = sigma > 0.0 && sigma < 0.5 ? 1 : 0;
    return formatNumber(percent, decimals, decimals, '.') + " \u00b1 " +
           formatNumber(sigma, decimals, decimals, '.');
}

std::string profileRText(double profileR) {
    if (profileR < 0.0) return "\u2013";
    return formatNumber(100.0 * profileR, 1, 1, '.') + " %";
}

std::string zeroText(const InstrumentFit& fit) {
    if (fit.zero == 0.0 && fit.displacement == 0.0) return {};
    return signedText(fit.zero, 3) + "°";
}

std::string displacementText(const InstrumentFit& fit) {
    if (fit.zero == 0.0 && fit.displacement == 0.0) return {};
    return signedText(displacementMillimetres(fit.displacement), 3) + " mm";
}

std::string candidateNameText(const std::vector<Candidate>& ranked, std::size_t row) {
    if (row >= ranked.size()) return {};
    const Candidate& c = ranked[row];
    const bool follower = c.group > 0 && row > 0 && ranked[row - 1].group == c.group;
    return follower ? "\u2248 " + c.name : c.name;
}

std::string candidateExplanation(const Candidate& c) {
    std::string out = scoreExplanation(c.score);
    if (c.profileR >= 0.0) out += "; weighted profile R " + profileRText(c.profileR);
    out += "; probability " + probabilityText(c.probability);
    if (c.group > 0) {
        out += ". The pattern cannot tell it from the other members of its group";
        if (!c.differs.empty()) out += ", which differ in " + c.differs;
    }
    return out;
}

std::string dText(double d) {
    return formatNumber(d, 3, 4, '.');
}

std::string deltaDText(double deltaD) {
    return signedText(deltaD, 4);
}

std::string intensityText(double intensity) {
    return formatNumber(intensity, 0, 1, '.');
}

std::vector<int> unexplainedPeaks(const MeasuredPattern& pattern, const Score& score) {
    std::vector<bool> taken(pattern.peaks.size(), false);
    for (const LineMatch& line : score.lines) {
        const int peak = line.peak;
        if (peak >= 0 && static_cast<std::size_t>(peak) < taken.size())
            taken[static_cast<std::size_t>(peak)] = true;
    }
    std::vector<int> out;
    for (std::size_t i = 0; i < taken.size(); ++i) {
        if (!taken[i]) out.push_back(static_cast<int>(i));
    }
    return out;
}

std::vector<LineMatchRow> lineMatchRows(const MeasuredPattern& pattern, const Score& score) {
    std::vector<LineMatchRow> rows;
    for (std::size_t j = 0; j < score.lines.size(); ++j) {
        const LineMatch& line = score.lines[j];
        LineMatchRow row;
        row.line = static_cast<int>(j);
        row.cardD = dText(line.cardD);
        row.intensity = intensityText(line.cardIntensity);
        if (line.peak >= 0 && static_cast<std::size_t>(line.peak) < pattern.peaks.size()) {
            row.kind = LineKind::Matched;
            row.peak = line.peak;
            row.measuredD = dText(pattern.peaks[static_cast<std::size_t>(line.peak)].d);
            row.deltaD = deltaDText(line.deltaD);
        } else if (line.belowDetection) {
            row.kind = LineKind::BelowDetection;
            row.deltaD = "below detection";
        } else {
            row.kind = LineKind::Missed;
            row.deltaD = "missed";
        }
        rows.push_back(std::move(row));
    }
    std::vector<int> rest = unexplainedPeaks(pattern, score);
    std::stable_sort(rest.begin(), rest.end(), [&](int a, int b) {
        return pattern.peaks[static_cast<std::size_t>(a)].d >
               pattern.peaks[static_cast<std::size_t>(b)].d;
    });
    for (int i : rest) {
        const Peak& peak = pattern.peaks[static_cast<std::size_t>(i)];
        LineMatchRow row;
        row.kind = LineKind::Unexplained;
        row.peak = i;
        row.intensity = pattern.intensitiesGiven ? intensityText(peak.intensity) : std::string();
        row.measuredD = dText(peak.d);
        row.deltaD = "unexplained";
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string foundPeaksText(const std::vector<FoundPeak>& peaks, PeakPosition position,
                           double wavelength, const std::string& fileName,
                           double thresholdPercent) {
    auto usable = [wavelength](const FoundPeak& p) {
        const double d = dFromTwoTheta(p.twoTheta, wavelength);
        return d > 0.0 && d <= kMaxD;
    };
    double highest = 0.0;
    for (const FoundPeak& p : peaks) {
        if (usable(p)) highest = std::max(highest, p.height);
    }
    std::string body;
    int count = 0;
    for (const FoundPeak& p : peaks) {
        if (!usable(p)) continue;
        const double d = dFromTwoTheta(p.twoTheta, wavelength);
        const double relative = highest > 0.0 ? 100.0 * p.height / highest : 100.0;
        body += position == PeakPosition::TwoTheta ? formatNumber(p.twoTheta, 3, 3, '.')
                                                   : formatNumber(d, 4, 4, '.');
        body += "  " + intensityText(relative) + "\n";
        ++count;
    }
    // Two short comment lines, so that the list stays narrow enough to read in its box.
    std::string text = "# " + fileName + ": " + std::to_string(count) +
                       (count == 1 ? " peak" : " peaks") + " ≥ " + intensityText(thresholdPercent) +
                       " %\n# " + (position == PeakPosition::TwoTheta ? "2θ (°)" : "d (Å)") + ", " +
                       wavelengthLabel(wavelength) + "; intensity\n";
    return text + body;
}

std::string residualCaption(const std::vector<std::pair<std::string, int>>& removed) {
    std::string text = "Residual after ";
    for (std::size_t i = 0; i < removed.size(); ++i) {
        if (i > 0) text += i + 1 == removed.size() ? " and " : ", ";
        text += removed[i].first + " (" + std::to_string(removed[i].second) + ")";
    }
    return text;
}

} // namespace lithora
