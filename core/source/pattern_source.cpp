#include "source/pattern_source.h"

#include "datafiles/reference_patterns.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

namespace lithora {

namespace {

// The limits of the packed file, as the source states them.
constexpr auto kMaxLines = static_cast<std::size_t>(kMaxPatternLines);
constexpr std::uint32_t kMaxD = kMaxPatternD;
constexpr std::uint32_t kFullUnits = kFullIntensity;
constexpr std::uint32_t kMaxCut = kMaxPatternCut;
constexpr int kMaxIndex = kMaxMillerIndex;
constexpr auto kMostMultiplicity = static_cast<std::uint32_t>(kMaxMultiplicity);

// Values a cell could not be read as are 0 (an index kUnreadIndex): the reader has told of the
// cell already, and readSource leaves out what the rules would say of it again.

// Column numbers, from 1, as problems name them.
enum Column { PatCard = 1, PatIic, PatCut, PatD, PatIntensity, PatH, PatK, PatL, PatMultiplicity };

std::string columnName(int column) {
    return std::string(kPatternColumns[static_cast<std::size_t>(column - 1)]);
}

// A decimal written as digits with at most maxDecimals after a point ("3.0355", "12", "0.5"),
// as a whole count of 10^-maxDecimals: nothing for any other text or a value beyond 32 bits.
std::optional<std::uint32_t> decimalUnits(std::string_view text, int maxDecimals) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() || whole.size() > 10) return std::nullopt;
    if (point != std::string_view::npos &&
        (fraction.empty() || fraction.size() > static_cast<std::size_t>(maxDecimals)))
        return std::nullopt;
    std::uint64_t units = 0;
    for (const char c : whole) {
        if (c < '0' || c > '9') return std::nullopt;
        units = units * 10 + static_cast<std::uint64_t>(c - '0');
    }
    for (int i = 0; i < maxDecimals; ++i) {
        const char c = static_cast<std::size_t>(i) < fraction.size()
                           ? fraction[static_cast<std::size_t>(i)]
                           : '0';
        if (c < '0' || c > '9') return std::nullopt;
        units = units * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (units > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    return static_cast<std::uint32_t>(units);
}

// A whole number, a minus sign allowed when negative is; nothing beyond maxDigits digits.
std::optional<int> wholeNumber(std::string_view text, bool negative, std::size_t maxDigits) {
    const bool minus = negative && !text.empty() && text[0] == '-';
    const std::string_view digits = minus ? text.substr(1) : text;
    if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || ptr != digits.data() + digits.size()) return std::nullopt;
    return minus ? -value : value;
}

} // namespace

std::vector<SourcePattern> patternsFromRows(const std::vector<TsvRow>& rows,
                                            std::vector<SourceProblem>& problems) {
    std::vector<SourcePattern> patterns;
    for (const TsvRow& row : rows) {
        auto problem = [&](int column, std::string why) {
            problems.push_back(
                {kPatternsFile, row.line, columnName(column), std::move(why), column});
        };
        const auto cell = [&](int column) -> const std::string& {
            return row.cells[static_cast<std::size_t>(column - 1)];
        };
        const int card = parseCard(cell(PatCard));
        if (card == 0) {
            problem(PatCard, "must be a whole number from 1 to 10000");
            continue;
        }
        const bool first = patterns.empty() || patterns.back().card != card;
        if (first) patterns.push_back(SourcePattern{card, 0, 0, {}, row.line});
        SourcePattern& pattern = patterns.back();
        if (first) {
            if (!cell(PatIic).empty()) {
                const std::optional<std::uint32_t> iic = decimalUnits(cell(PatIic), 3);
                if (!iic || *iic == 0) {
                    problem(PatIic, "must be empty or a number more than 0 with at most 3 "
                                    "decimals, such as 3.412");
                } else {
                    pattern.iic = *iic;
                }
            }
            const std::optional<int> cut = wholeNumber(cell(PatCut), false, 7);
            if (!cut) {
                problem(PatCut, "the first row of a card gives its cut: a whole number from 0 to " +
                                    std::to_string(kMaxCut));
            } else {
                pattern.cut = static_cast<std::uint32_t>(*cut);
            }
        } else {
            for (const int column : {PatIic, PatCut}) {
                if (!cell(column).empty()) {
                    problem(column, "is given on the first row of card " + std::to_string(card) +
                                        " only; leave it empty here");
                }
            }
        }
        SourcePatternLine line;
        line.line = row.line;
        if (const auto d = decimalUnits(cell(PatD), 4)) {
            line.d = *d;
        } else {
            problem(PatD, "must be a number of Å with at most 4 decimals, such as 3.0355");
        }
        if (const auto intensity = decimalUnits(cell(PatIntensity), 2)) {
            line.intensity = *intensity;
        } else {
            problem(PatIntensity, "must be a number with at most 2 decimals, such as 12.50");
        }
        int* index[] = {&line.h, &line.k, &line.l};
        for (int i = 0; i < 3; ++i) {
            if (const auto v = wholeNumber(cell(PatH + i), true, 3)) {
                *index[i] = *v;
            } else {
                *index[i] = SourcePatternLine::kUnreadIndex;
                problem(PatH + i, "must be a whole number from -999 to 999");
            }
        }
        if (const auto m = wholeNumber(cell(PatMultiplicity), false, 3)) {
            line.multiplicity = static_cast<std::uint32_t>(*m);
        } else {
            problem(PatMultiplicity, "must be a whole number from 1 to 192");
        }
        pattern.lines.push_back(line);
    }
    return patterns;
}

void validatePatterns(const std::vector<SourcePattern>& patterns,
                      const std::function<bool(int)>& knownCard,
                      std::vector<SourceProblem>& problems) {
    int previousCard = 0;
    for (const SourcePattern& p : patterns) {
        auto problem = [&](int line, int column, std::string why) {
            problems.push_back({kPatternsFile, line, column > 0 ? columnName(column) : "",
                                std::move(why), column});
        };
        const std::string of = "card " + std::to_string(p.card);
        if (p.card < 1 || p.card > 10000 || !knownCard(p.card)) {
            problem(p.line, PatCard, "no entry has this card number");
        } else if (p.card <= previousCard) {
            problem(p.line, PatCard,
                    of + " follows card " + std::to_string(previousCard) +
                        ": the cards must ascend and the rows of a card be consecutive");
        }
        previousCard = std::max(previousCard, p.card);
        if (p.cut > kMaxCut)
            problem(p.line, PatCut, "must be a whole number from 0 to " + std::to_string(kMaxCut));
        if (p.lines.size() > kMaxLines) {
            problem(p.lines[kMaxLines].line, 0,
                    of + " has more than " + std::to_string(kMaxLines) + " lines");
        }
        std::uint32_t previousD = 0;
        bool full = false;
        for (const SourcePatternLine& l : p.lines) {
            if (l.d == 0 || l.d > kMaxD) {
                problem(l.line, PatD, "must be more than 0 and at most 100");
            } else if (previousD != 0 && l.d >= previousD) {
                problem(l.line, PatD,
                        "must be below the d of the line before, " + unitsText(previousD, 4));
            }
            if (l.d != 0) previousD = l.d;
            if (l.intensity == 0 || l.intensity > kFullUnits)
                problem(l.line, PatIntensity, "must be more than 0 and at most 100");
            full = full || l.intensity == kFullUnits;
            const int index[] = {l.h, l.k, l.l};
            bool read = true;
            for (int i = 0; i < 3; ++i) {
                if (index[i] == SourcePatternLine::kUnreadIndex) {
                    read = false;
                } else if (index[i] < -kMaxIndex || index[i] > kMaxIndex) {
                    problem(l.line, PatH + i, "must be a whole number from -999 to 999");
                }
            }
            if (read && l.h == 0 && l.k == 0 && l.l == 0)
                problem(l.line, PatH, "h, k and l may not all be 0");
            if (l.multiplicity == 0 || l.multiplicity > kMostMultiplicity)
                problem(l.line, PatMultiplicity, "must be a whole number from 1 to 192");
        }
        if (!full) {
            problem(p.line, PatIntensity,
                    "no line of " + of + " has the intensity of the strongest, 100.00");
        }
    }
}

std::string patternsText(const std::vector<SourcePattern>& patterns) {
    std::string out;
    for (std::size_t i = 0; i < kPatternColumns.size(); ++i)
        out += (i ? "\t" : "") + std::string(kPatternColumns[i]);
    out += '\n';
    for (const SourcePattern& p : patterns) {
        bool first = true;
        for (const SourcePatternLine& l : p.lines) {
            out += std::to_string(p.card) + '\t';
            if (first) {
                if (p.iic != 0) out += unitsText(p.iic, 3);
                out += '\t' + std::to_string(p.cut);
            } else {
                out += '\t';
            }
            first = false;
            out += '\t' + unitsText(l.d, 4) + '\t' + unitsText(l.intensity, 2) + '\t' +
                   std::to_string(l.h) + '\t' + std::to_string(l.k) + '\t' + std::to_string(l.l) +
                   '\t' + std::to_string(l.multiplicity) + '\n';
        }
    }
    return out;
}

} // namespace lithora
