#include "identify/peak_list.h"

#include "base/angles.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace lithora {

namespace {

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// A value as the messages quote it: the word as typed, cut short when it is long.
std::string quoted(std::string_view word) {
    std::string shown(word.substr(0, 40));
    if (word.size() > 40) shown += "…";
    for (char& c : shown) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = '?';
    }
    return "\"" + shown + "\"";
}

std::string formatted(double value) {
    char buffer[32];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

Error inputError(std::size_t line, const std::string& what) {
    return makeError(ErrorCode::Damaged, "Line " + std::to_string(line) + ": " + what);
}

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// The numbers of one peak item: "3.343 100", "3.343 (100)", "3.343(100)".
struct ItemWords {
    std::vector<std::string_view> words;
};

ItemWords wordsOf(std::string_view item) {
    ItemWords out;
    std::size_t pos = 0;
    while (pos < item.size()) {
        while (pos < item.size() &&
               (isSeparator(item[pos]) || item[pos] == '(' || item[pos] == ')'))
            ++pos;
        std::size_t end = pos;
        while (end < item.size() && !isSeparator(item[end]) && item[end] != '(' && item[end] != ')')
            ++end;
        if (end > pos) out.words.push_back(item.substr(pos, end - pos));
        pos = end;
    }
    return out;
}

} // namespace

std::optional<double> parseDecimal(std::string_view word) {
    if (word.empty()) return std::nullopt;
    if (word.front() == '+') word.remove_prefix(1);
    if (word.empty()) return std::nullopt;
    double value = 0.0;
    const auto [end, ec] =
        std::from_chars(word.data(), word.data() + word.size(), value, std::chars_format::general);
    if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(value))
        return std::nullopt;
    // from_chars reads "inf" and "nan" as numbers; a word with letters other than an exponent
    // is no number here.
    for (char c : word) {
        if ((c >= 'a' && c <= 'z' && c != 'e') || (c >= 'A' && c <= 'Z' && c != 'E'))
            return std::nullopt;
    }
    return value;
}

Result<double> parseWavelength(std::string_view typed) {
    std::string text = lowerAscii(typed);
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return isSeparator(c); }),
               text.end());
    if (text.empty()) return kDefaultWavelength;
    if (const auto number = parseDecimal(text)) {
        if (*number < 0.1 || *number > 5.0) {
            return makeError(ErrorCode::Damaged,
                             "The wavelength " + formatted(*number) +
                                 " Å is outside 0.1 to 5 Å, where x-ray diffraction is done");
        }
        return *number;
    }
    for (const NamedWavelength& w : kWavelengths) {
        const std::string anode = lowerAscii(w.anode);
        if (text == anode || text == anode + "ka" || text == anode + "k\xce\xb1" ||
            text == anode + "ka1" ||
            text == anode + "k\xce\xb1"
                            "1") {
            return w.angstrom;
        }
    }
    return makeError(ErrorCode::Damaged, "Unknown wavelength " + quoted(typed) +
                                             ": give Cu, Co, Fe, Cr, Mo or Ag, or a number in Å");
}

std::string wavelengthLabel(double angstrom) {
    for (const NamedWavelength& w : kWavelengths) {
        if (std::fabs(w.angstrom - angstrom) < 1e-6) return std::string(w.name);
    }
    return formatted(angstrom) + " Å";
}

double dFromTwoTheta(double twoTheta, double wavelength) {
    return wavelength / (2.0 * std::sin(twoTheta * kDegree / 2.0));
}

double twoThetaFromD(double d, double wavelength) {
    const double s = wavelength / (2.0 * d);
    if (!(d > 0.0) || s > 1.0) return 0.0;
    return 2.0 * std::asin(s) / kDegree;
}

void normalisePattern(MeasuredPattern& pattern) {
    std::stable_sort(pattern.peaks.begin(), pattern.peaks.end(),
                     [](const Peak& a, const Peak& b) { return a.d > b.d; });
    double strongest = 0.0;
    for (const Peak& p : pattern.peaks)
        strongest = std::max(strongest, p.intensity);
    for (Peak& p : pattern.peaks)
        // 100·I/max can round to just above 100.
        p.intensity = strongest > 0.0 ? std::min(100.0, 100.0 * p.intensity / strongest) : 100.0;
}

Result<MeasuredPattern> parsePeakList(std::string_view text, PeakPosition position,
                                      double wavelength) {
    if (text.find('\0') != std::string_view::npos) {
        return makeError(ErrorCode::Damaged,
                         "This is no peak list: it holds binary data, not lines of numbers");
    }
    MeasuredPattern pattern;
    pattern.intensitiesGiven = false;
    std::vector<bool> hasIntensity;
    const std::string label = wavelengthLabel(wavelength);

    auto addPeak = [&](std::size_t line, std::string_view word, std::optional<double> intensity,
                       std::string_view intensityWord) -> Status {
        const auto value = parseDecimal(word);
        if (!value) return inputError(line, quoted(word) + " is not a number");
        double d = *value;
        if (position == PeakPosition::TwoTheta) {
            if (!(*value > 0.0 && *value < 180.0)) {
                return inputError(line, "2θ = " + std::string(word) +
                                            "° cannot be a diffraction angle: 2θ lies between 0 "
                                            "and 180°");
            }
            d = dFromTwoTheta(*value, wavelength);
            if (d > kMaxD) {
                return inputError(
                    line, "2θ = " + std::string(word) + "° gives d = " + formatted(d) + " Å for " +
                              std::string(label) + ", beyond the 100 Å of any mineral line");
            }
        } else if (!(d > 0.0)) {
            return inputError(line, "d = " + std::string(word) +
                                        " is not a d-spacing: a d-spacing is above 0 Å");
        } else if (d > kMaxD) {
            return inputError(line, "d = " + std::string(word) +
                                        " Å lies beyond the 100 Å of any mineral line");
        }
        if (intensity && *intensity < 0.0) {
            return inputError(line, "the intensity " + std::string(intensityWord) + " is negative");
        }
        if (pattern.peaks.size() >= kMaxPeaks) {
            return inputError(line, "more than " + std::to_string(kMaxPeaks) +
                                        " peaks; a pattern for identification has at most " +
                                        std::to_string(kMaxPeaks));
        }
        pattern.peaks.push_back(Peak{d, intensity.value_or(0.0)});
        hasIntensity.push_back(intensity.has_value());
        if (intensity) pattern.intensitiesGiven = true;
        return Ok{};
    };

    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        ++lineNumber;
        pos = end + 1;
        if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
        std::size_t first = 0;
        while (first < line.size() && isSeparator(line[first]))
            ++first;
        if (first == line.size()) continue;
        if (line[first] == '#' || line[first] == '!' || line[first] == ';') continue;

        const bool listed = line.find_first_of(",;") != std::string_view::npos;
        std::vector<std::string_view> items;
        if (listed) {
            std::size_t p = 0;
            while (p <= line.size()) {
                std::size_t e = line.find_first_of(",;", p);
                if (e == std::string_view::npos) e = line.size();
                items.push_back(line.substr(p, e - p));
                p = e + 1;
            }
        } else {
            items.push_back(line);
        }
        for (std::string_view item : items) {
            const ItemWords w = wordsOf(item);
            if (w.words.empty()) continue;
            if (w.words.size() == 2) {
                const auto intensity = parseDecimal(w.words[1]);
                if (!intensity)
                    return inputError(lineNumber, quoted(w.words[1]) + " is not a number");
                if (Status s = addPeak(lineNumber, w.words[0], intensity, w.words[1]); !s)
                    return s.error();
            } else if (w.words.size() == 1 || !listed) {
                for (std::string_view word : w.words) {
                    if (Status s = addPeak(lineNumber, word, std::nullopt, {}); !s)
                        return s.error();
                }
            } else {
                return inputError(lineNumber, quoted(item) +
                                                  " is not a peak: give a position, or a position "
                                                  "and an intensity");
            }
        }
    }
    if (pattern.peaks.empty()) {
        return makeError(ErrorCode::Damaged,
                         "No peak: type one peak a line, as a d-spacing or a d-spacing and its "
                         "intensity");
    }
    bool anyPositive = false;
    for (std::size_t i = 0; i < pattern.peaks.size(); ++i) {
        if (!hasIntensity[i]) pattern.peaks[i].intensity = -1.0;
        anyPositive = anyPositive || pattern.peaks[i].intensity > 0.0;
    }
    if (pattern.intensitiesGiven && !anyPositive) {
        return makeError(ErrorCode::Damaged, "Every intensity is 0: no peak would count");
    }
    // A peak without an intensity among peaks with one counts as a strong one.
    double strongest = 0.0;
    for (const Peak& p : pattern.peaks)
        strongest = std::max(strongest, p.intensity);
    for (Peak& p : pattern.peaks) {
        if (p.intensity < 0.0) p.intensity = pattern.intensitiesGiven ? strongest : 100.0;
    }
    normalisePattern(pattern);
    return pattern;
}

} // namespace lithora
