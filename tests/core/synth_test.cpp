#include "synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <numbers>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "source/source_format.h"
#include "text/codepage.h"
#include "text/escapes.h"
#include "text/split.h"

namespace lithora {
namespace {

// Generating the large sets once keeps the suite quick; every test only reads them.
const SourceSet& dataSet(int count, std::uint64_t seed) {
    static std::map<std::pair<int, std::uint64_t>, SourceSet> cache;
    auto it = cache.find({count, seed});
    if (it == cache.end())
        it = cache.emplace(std::pair{count, seed}, synthesize(count, seed)).first;
    return it->second;
}

struct SetCase {
    int count;
    std::uint64_t seed;
};
// The sizes the generator is used with: a single entry, a test-sized set and a full database.
constexpr SetCase kSets[] = {{1, 11}, {2, 12}, {1000, 13}, {1000, 14}, {10000, 15}};

// A number written with "." as decimal point and nothing around it; NaN when it is not one.
double number(std::string_view text) {
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nan("");
    return value;
}

int decimals(std::string_view text) {
    const std::size_t dot = text.find('.');
    return dot == std::string_view::npos ? 0 : static_cast<int>(text.size() - dot - 1);
}

// The two values of an optical field ("low" code 29 "high"), or the one value twice.
std::pair<double, double> twoValues(const std::string& text) {
    const std::size_t separator = text.find(kTwoValueSeparator);
    if (separator == std::string::npos) return {number(text), number(text)};
    return {number(text.substr(0, separator)), number(text.substr(separator + 1))};
}

std::string serialized(const SourceSet& set) {
    std::string out;
    for (const SourceEntry& e : set.entries) {
        for (const std::string& cell : e.cells)
            out += cell + '|';
    }
    for (const SourceReference& r : set.references) {
        out += std::to_string(r.card) + r.reference + r.addition + '|';
    }
    for (const SourceOptics& o : set.optics) {
        out += std::to_string(o.card);
        for (const std::string& field : o.fields)
            out += field + '|';
    }
    return out;
}

bool byteLess(const std::string& x, const std::string& y) {
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), [](char p, char q) {
        return static_cast<unsigned char>(p) < static_cast<unsigned char>(q);
    });
}

// What a record may not hold: the field delimiter, line and tab controls, and the five codes
// Windows-1252 leaves undefined.
bool hasForbiddenByte(const std::string& text) {
    return text.find_first_of("|\t\r\n\x81\x8D\x8F\x90\x9D") != std::string::npos;
}

TEST(Synthesize, SameSeedGivesTheSameSetAndOtherSeedsDiffer) {
    for (const int count : {1, 300}) {
        SCOPED_TRACE(count);
        const std::string first = serialized(synthesize(count, 77));
        EXPECT_EQ(serialized(synthesize(count, 77)), first);
        EXPECT_NE(serialized(synthesize(count, 78)), first);
    }
    EXPECT_NE(dataSet(1000, 13).entries[0].cells, dataSet(1000, 14).entries[0].cells);
}

// What synth is for: every generated set must be accepted by pack's checks as it stands.
TEST(Synthesize, SetsPassTheSourceRules) {
    for (const SetCase& c : kSets) {
        SCOPED_TRACE(c.count);
        for (const SourceProblem& problem : validateSource(dataSet(c.count, c.seed))) {
            ADD_FAILURE() << problem.text();
        }
    }
}

TEST(Synthesize, CountOutsideTheRangeIsClamped) {
    EXPECT_EQ(synthesize(0, 1).entries.size(), 1u);
    EXPECT_EQ(synthesize(-5, 1).entries.size(), 1u);
    EXPECT_EQ(synthesize(10001, 1).entries.size(), 10000u);
}

TEST(Synthesize, CardsAreUniqueWithinRangeAndHoldCardOne) {
    for (const SetCase& c : kSets) {
        SCOPED_TRACE(c.count);
        const SourceSet& set = dataSet(c.count, c.seed);
        ASSERT_EQ(set.entries.size(), static_cast<std::size_t>(c.count));
        std::set<int> cards;
        int atOwnPosition = 0;
        for (std::size_t i = 0; i < set.entries.size(); ++i) {
            const double card = number(set.entries[i].cells[FieldCard]);
            ASSERT_TRUE(card >= 1 && card <= 10000 && card == std::floor(card))
                << set.entries[i].cells[FieldCard];
            EXPECT_TRUE(cards.insert(static_cast<int>(card)).second) << card;
            if (card == static_cast<double>(i + 1)) ++atOwnPosition;
        }
        EXPECT_TRUE(cards.contains(1));
        // A random injection puts few cards at their own entry index.
        if (c.count >= 1000) {
            EXPECT_LT(atOwnPosition, c.count / 10);
        }
    }
}

TEST(Synthesize, NamesAreSortedUniqueAndMineralLike) {
    for (const SetCase& c : kSets) {
        SCOPED_TRACE(c.count);
        const SourceSet& set = dataSet(c.count, c.seed);
        for (std::size_t i = 0; i < set.entries.size(); ++i) {
            const std::string& name = set.entries[i].cells[FieldName];
            EXPECT_GE(name.size(), 5u) << name;
            EXPECT_LE(name.size(), 24u) << name;
            const unsigned char first = static_cast<unsigned char>(name[0]);
            EXPECT_TRUE((first >= 'A' && first <= 'Z') || first == 0xC5) << name;
            if (i > 0) {
                EXPECT_TRUE(byteLess(set.entries[i - 1].cells[FieldName], name)) << name;
            }
            // Every escape code is one the program knows: turning it into its letter leaves no
            // code behind.
            std::string plain = name;
            toPlainLetters(plain);
            EXPECT_EQ(plain.find_first_of("@!"), std::string::npos) << name;
        }
    }
    // A full database has a few escaped names, a few starting with Å and some with a suffix.
    int escaped = 0, angstrom = 0, suffixed = 0;
    for (const SourceEntry& e : dataSet(10000, 15).entries) {
        const std::string& name = e.cells[FieldName];
        escaped += contains(name, "@") ? 1 : 0;
        angstrom += name[0] == '\xC5' ? 1 : 0;
        suffixed += contains(name, "-") ? 1 : 0;
    }
    EXPECT_GE(escaped, 10);
    EXPECT_LE(escaped, 200);
    EXPECT_GE(angstrom, 5);
    EXPECT_LE(angstrom, 100);
    EXPECT_GE(suffixed, 100);
}

TEST(Synthesize, RecordsFitTheSourceFormat) {
    for (const SetCase& c : kSets) {
        SCOPED_TRACE(c.count);
        const SourceSet& set = dataSet(c.count, c.seed);
        for (const SourceEntry& e : set.entries) {
            std::string record;
            for (const std::string& cell : e.cells) {
                EXPECT_FALSE(hasForbiddenByte(cell)) << cell;
                EXPECT_EQ(trimBlanks(cell), cell) << cell;
                record += (record.empty() ? "" : "|") + cell;
            }
            EXPECT_LE(record.size(), 2023u) << e.cells[FieldName];
        }
        for (const SourceReference& r : set.references) {
            EXPECT_FALSE(hasForbiddenByte(r.reference) || hasForbiddenByte(r.addition));
        }
        for (const SourceOptics& o : set.optics) {
            for (std::size_t i = 0; i < o.fields.size(); ++i) {
                const std::string& field = o.fields[i];
                EXPECT_FALSE(hasForbiddenByte(field)) << field;
                // A zero is what the card window shows as empty; the generator never needs it.
                EXPECT_TRUE(field != "0" && field != "0.0") << "card " << o.card << " field " << i;
                const bool unused = i == 0 || i == 2 || i == 9 || i == 10 || i >= 37;
                if (unused) {
                    EXPECT_EQ(field, "") << "field " << i;
                }
            }
        }
    }
}

TEST(Synthesize, ElementsAreTheSymbolsOfTheFormula) {
    std::map<std::string, int> entriesWith;
    const SourceSet& set = dataSet(10000, 15);
    for (const SourceEntry& e : set.entries) {
        const std::string& formula = e.cells[FieldFormula];
        ASSERT_FALSE(formula.empty()) << e.cells[FieldName];
        EXPECT_EQ(e.cells[FieldElements], formulaSymbols(formula)) << formula;
        int depth = 0;
        for (const char ch : formula) {
            depth += ch == '(' ? 1 : (ch == ')' ? -1 : 0);
            EXPECT_GE(depth, 0) << formula;
            // ASCII apart from the middle dot of hydrates.
            EXPECT_TRUE((ch >= ' ' && ch <= '~') || ch == '\xB7') << formula;
        }
        EXPECT_EQ(depth, 0) << formula;
        for (const std::string& symbol : splitWords(e.cells[FieldElements])) {
            const bool shaped =
                (symbol.size() == 1 || (symbol.size() == 2 && std::islower(symbol[1]))) &&
                std::isupper(symbol[0]);
            EXPECT_TRUE(shaped) << symbol << " in " << formula;
            ++entriesWith[symbol];
        }
    }
    // Oxygen is the commonest element of minerals, and silicates are the largest class.
    const auto commonest = std::max_element(entriesWith.begin(), entriesWith.end(),
                                            [](auto& x, auto& y) { return x.second < y.second; });
    EXPECT_EQ(commonest->first, "O");
    EXPECT_GT(entriesWith["Si"], 2000);
    EXPECT_GT(entriesWith["H"], 2000);
    EXPECT_GT(entriesWith["S"], 500);
    EXPECT_GE(entriesWith.size(), 50u);
}

// Crystallographic facts, not the generator's tables: which cell parameters each system fixes
// (0 = free) and the range of its space-group numbers.
struct SystemRule {
    std::string_view code;
    bool aEqualsB, bEqualsC;
    double alpha, beta, gamma;
    int firstGroup, lastGroup;
};
constexpr SystemRule kSystemRules[] = {
    {"A", false, false, 0, 0, 0, 1, 2},          {"M", false, false, 90, 0, 90, 3, 15},
    {"O", false, false, 90, 90, 90, 16, 74},     {"Q", true, false, 90, 90, 90, 75, 142},
    {"H/R", true, false, 90, 90, 120, 143, 167}, {"H/T", true, false, 90, 90, 120, 143, 167},
    {"H", true, false, 90, 90, 120, 168, 194},   {"C", true, true, 90, 90, 90, 195, 230}};

double volume(const std::vector<double>& p) {
    const double ca = std::cos(p[3] * std::numbers::pi / 180);
    const double cb = std::cos(p[4] * std::numbers::pi / 180);
    const double cg = std::cos(p[5] * std::numbers::pi / 180);
    return p[0] * p[1] * p[2] * std::sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg);
}

TEST(Synthesize, CellsObeyTheirCrystalSystem) {
    for (const SetCase& c : kSets) {
        SCOPED_TRACE(c.count);
        std::map<std::string, int> systems;
        int withCell = 0;
        const SourceSet& set = dataSet(c.count, c.seed);
        for (const SourceEntry& e : set.entries) {
            const std::string& code = e.cells[FieldCrystalSystem];
            ++systems[code];
            const auto rule = std::find_if(std::begin(kSystemRules), std::end(kSystemRules),
                                           [&](const SystemRule& r) { return r.code == code; });
            ASSERT_NE(rule, std::end(kSystemRules)) << code;
            if (!e.cells[FieldSgNumber].empty()) {
                const double group = number(e.cells[FieldSgNumber]);
                EXPECT_TRUE(group >= rule->firstGroup && group <= rule->lastGroup) << code << group;
                if (code == "H/R") {
                    EXPECT_EQ(e.cells[FieldSgSymbol][0], 'R');
                }
            }
            if (e.cells[FieldCell].empty()) continue;
            ++withCell;
            const std::vector<std::string> words = splitWords(e.cells[FieldCell]);
            ASSERT_EQ(words.size(), 7u) << e.cells[FieldCell];
            std::vector<double> p;
            for (const std::string& w : words)
                p.push_back(number(w));
            SCOPED_TRACE(e.cells[FieldCell] + " " + code);
            EXPECT_EQ(rule->aEqualsB, words[0] == words[1]);
            EXPECT_EQ(rule->bEqualsC, words[1] == words[2]);
            const double fixedAngles[] = {rule->alpha, rule->beta, rule->gamma};
            for (int k = 0; k < 3; ++k) {
                if (fixedAngles[k] != 0) {
                    EXPECT_EQ(p[3 + k], fixedAngles[k]);
                }
                EXPECT_TRUE(p[3 + k] >= 60 && p[3 + k] <= 120);
            }
            if (code == "M") {
                EXPECT_GT(p[4], 90.0);
            }
            for (int k = 0; k < 3; ++k)
                EXPECT_TRUE(p[k] >= 2 && p[k] <= 40) << p[k];
            for (int k = 0; k < 3; ++k)
                EXPECT_TRUE(decimals(words[k]) >= 2 && decimals(words[k]) <= 4);
            // The volume is written with two decimals.
            EXPECT_NEAR(p[6], volume(p), 0.005 + 1e-6);
            EXPECT_EQ(decimals(words[6]), 2);
            if (!e.cells[FieldZ].empty()) {
                const double z = number(e.cells[FieldZ]);
                EXPECT_TRUE(z >= 1 && z <= 16) << z;
            }
        }
        if (c.count < 1000) continue;
        const double n = c.count;
        EXPECT_NEAR(withCell / n, 0.85, 0.05);
        EXPECT_NEAR(systems["M"] / n, 0.30, 0.05);
        EXPECT_NEAR(systems["O"] / n, 0.20, 0.05);
        EXPECT_EQ(systems.size(), std::size(kSystemRules));
    }
}

// 1/d² of reflection hkl from the reciprocal cell (International Tables, vol. B, 1.1.3).
double dSpacing(const std::vector<double>& p, int h, int k, int l) {
    const double r = std::numbers::pi / 180;
    const double sa = std::sin(p[3] * r), sb = std::sin(p[4] * r), sg = std::sin(p[5] * r);
    const double ca = std::cos(p[3] * r), cb = std::cos(p[4] * r), cg = std::cos(p[5] * r);
    const double v = volume(p);
    const double as = p[1] * p[2] * sa / v, bs = p[0] * p[2] * sb / v, cs = p[0] * p[1] * sg / v;
    const double cas = (cb * cg - ca) / (sb * sg), cbs = (ca * cg - cb) / (sa * sg),
                 cgs = (ca * cb - cg) / (sa * sb);
    const double q = h * h * as * as + k * k * bs * bs + l * l * cs * cs +
                     2 * k * l * bs * cs * cas + 2 * l * h * cs * as * cbs +
                     2 * h * k * as * bs * cgs;
    return 1 / std::sqrt(q);
}

TEST(Synthesize, DiffractionLinesBelongToTheCell) {
    const SourceSet& set = dataSet(1000, 13);
    int empty = 0;
    for (const SourceEntry& e : set.entries) {
        const std::vector<std::string> d = splitWords(e.cells[FieldDSpacings]);
        const std::vector<std::string> intensity = splitWords(e.cells[FieldIntensities]);
        if (e.cells[FieldDSpacings].empty()) {
            ++empty;
            EXPECT_EQ(e.cells[FieldIntensities], "");
            continue;
        }
        SCOPED_TRACE(e.cells[FieldDSpacings] + " / " + e.cells[FieldCell]);
        ASSERT_EQ(d.size(), intensity.size());
        EXPECT_LE(d.size(), 8u);
        EXPECT_EQ(intensity[0], "100");
        for (const std::string& i : intensity)
            EXPECT_TRUE(number(i) >= 1 && number(i) <= 100) << i;
        std::vector<double> p;
        if (!e.cells[FieldCell].empty()) {
            for (const std::string& w : splitWords(e.cells[FieldCell]))
                p.push_back(number(w));
        }
        for (const std::string& line : d) {
            EXPECT_TRUE(decimals(line) >= 2 && decimals(line) <= 4) << line;
            if (p.empty()) continue;
            // A plane spacing never exceeds the longest cell edge, and each line is some low-index
            // reflection of the cell, to the decimals written.
            const double value = number(line);
            const double tolerance = 0.5 * std::pow(10.0, -decimals(line)) + 1e-9;
            EXPECT_LE(value, std::max({p[0], p[1], p[2]}) + tolerance);
            bool found = false;
            for (int h = -5; h <= 5 && !found; ++h) {
                for (int k = -5; k <= 5 && !found; ++k) {
                    for (int l = -5; l <= 5 && !found; ++l) {
                        if (h != 0 || k != 0 || l != 0) {
                            found = std::abs(dSpacing(p, h, k, l) - value) <= tolerance;
                        }
                    }
                }
            }
            EXPECT_TRUE(found) << line;
        }
    }
    EXPECT_NEAR(empty / 1000.0, 0.10, 0.04);
}

TEST(Synthesize, OtherEntryFieldsHaveRealisticShapes) {
    const SourceSet& set = dataSet(10000, 15);
    const std::regex strunz(R"(\d{1,2}\.[A-Z]{2}\.\d{2})");
    const std::regex date(R"((199\d|20[0-2]\d)-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01]))");
    int approved = 0, longNotes = 0;
    for (const SourceEntry& e : set.entries) {
        const auto& c = e.cells;
        for (const int field : {FieldSgCalc, FieldSgMeas}) {
            if (!c[field].empty()) {
                EXPECT_TRUE(number(c[field]) >= 2 && number(c[field]) <= 8) << c[field];
            }
        }
        if (!c[FieldMohs].empty()) {
            const std::size_t dash = c[FieldMohs].find('-');
            const double low = number(c[FieldMohs].substr(0, dash));
            const double high =
                dash == std::string::npos ? low : number(c[FieldMohs].substr(dash + 1));
            EXPECT_TRUE(low >= 1 && low < 10 && high >= low && high <= 9.5) << c[FieldMohs];
            EXPECT_TRUE(dash == std::string::npos || high > low) << c[FieldMohs];
        }
        if (!c[FieldStrunz].empty()) {
            EXPECT_TRUE(std::regex_match(c[FieldStrunz], strunz)) << c[FieldStrunz];
        }
        EXPECT_TRUE(std::regex_match(c[FieldLastUpdated], date)) << c[FieldLastUpdated];
        approved += c[FieldStatus] == "A" ? 1 : 0;
        longNotes += c[FieldNotes].size() > 300 ? 1 : 0;
    }
    EXPECT_NEAR(approved / 10000.0, 0.90, 0.04);
    EXPECT_GE(longNotes, 100);
}

TEST(Synthesize, GroupsHaveAnEntryAndMembers) {
    for (const SetCase& c : {kSets[2], kSets[4]}) {
        SCOPED_TRACE(c.count);
        const SourceSet& set = dataSet(c.count, c.seed);
        std::set<std::string> groups;
        std::map<std::string, int> members;
        for (const SourceEntry& e : set.entries) {
            if (e.cells[FieldStatus] == "GROUP") {
                ASSERT_FALSE(e.cells[FieldGroup].empty()) << e.cells[FieldName];
                EXPECT_TRUE(groups.insert(e.cells[FieldGroup]).second) << e.cells[FieldGroup];
            } else if (!e.cells[FieldGroup].empty()) {
                ++members[e.cells[FieldGroup]];
            }
        }
        for (const auto& [group, count] : members)
            EXPECT_TRUE(groups.contains(group)) << group;
        EXPECT_GE(members.size(), groups.size() / 2);
        // The group filter matches by prefix (in capitals), so no name may begin another.
        for (const std::string& x : groups) {
            for (const std::string& y : groups) {
                if (x != y) {
                    EXPECT_NE(upperCase(y).rfind(upperCase(x), 0), 0u) << x << " / " << y;
                }
            }
        }
        if (c.count == 10000) {
            EXPECT_GE(groups.size(), 30u);
            EXPECT_LE(groups.size(), 60u);
        }
    }
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

// "Authors (year) Title. <i>[Journal volume, first-last]</i>", checked by hand because
// std::regex over twenty thousand references is slow in a debug build.
bool isReferenceShaped(std::string_view text) {
    const std::size_t year = text.find(" (");
    const std::size_t source = text.find(". <i>[");
    const std::size_t comma = text.rfind(", ");
    const std::size_t dash = text.rfind('-');
    const std::size_t volume = text.rfind(' ', comma - 1);
    if (year == 0 || year == std::string_view::npos || source == std::string_view::npos ||
        comma == std::string_view::npos || dash == std::string_view::npos ||
        !text.ends_with("]</i>") || year + 8 >= source || source >= volume || comma >= dash) {
        return false;
    }
    return allDigits(text.substr(year + 2, 4)) && text.substr(year + 6, 2) == ") " &&
           allDigits(text.substr(volume + 1, comma - volume - 1)) &&
           allDigits(text.substr(comma + 2, dash - comma - 2)) &&
           allDigits(text.substr(dash + 1, text.size() - 5 - dash - 1));
}

TEST(Synthesize, ReferencesAreConsecutivePerCardAndShaped) {
    for (const SetCase& c : {kSets[0], kSets[2], kSets[4]}) {
        SCOPED_TRACE(c.count);
        const SourceSet& set = dataSet(c.count, c.seed);
        std::set<int> cards;
        for (const SourceEntry& e : set.entries)
            cards.insert(static_cast<int>(number(e.cells[FieldCard])));
        std::map<int, int> perCard;
        int previous = 0;
        for (const SourceReference& r : set.references) {
            EXPECT_TRUE(cards.contains(r.card)) << r.card;
            // A card seen before must be the one just before: its references are one run.
            if (r.card != previous) {
                EXPECT_FALSE(perCard.contains(r.card)) << r.card;
            }
            ++perCard[r.card];
            previous = r.card;
            EXPECT_TRUE(isReferenceShaped(r.reference)) << r.reference;
            EXPECT_TRUE(r.addition.empty() || r.addition.rfind(", ", 0) == 0) << r.addition;
        }
        EXPECT_TRUE(perCard.contains(1));
        for (const auto& [card, count] : perCard)
            EXPECT_LE(count, 12) << card;
        if (c.count < 1000) continue;
        EXPECT_NEAR(static_cast<double>(perCard.size()) / c.count, 0.85, 0.05);
        const auto many =
            std::count_if(perCard.begin(), perCard.end(), [](auto& x) { return x.second > 3; });
        EXPECT_GE(many, c.count / 50);
    }
}

void expectReflectance(const SourceOptics& o) {
    double lowestMean = 1e9, highestMean = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto [low, high] = twoValues(o.fields[33 + i]);
        const double mean = number(o.fields[4 + i]);
        EXPECT_TRUE(low > 0 && low <= high && high < 100) << o.fields[33 + i];
        EXPECT_TRUE(mean >= low - 0.05 && mean <= high + 0.05) << o.fields[4 + i];
        lowestMean = std::min(lowestMean, mean);
        highestMean = std::max(highestMean, mean);
    }
    const double overall = number(o.fields[31]);
    EXPECT_TRUE(overall >= lowestMean - 0.005 && overall <= highestMean + 0.005) << o.fields[31];
}

void expectRefraction(const SourceOptics& o) {
    const std::string& kind = o.fields[23];
    for (const std::size_t i : {18u, 20u, 25u}) {
        if (o.fields[i].empty()) continue;
        const auto [low, high] = twoValues(o.fields[i]);
        EXPECT_TRUE(low >= 1.3 && low < high + 1e-9 && high <= 2.5) << o.fields[i];
    }
    const double n1 = twoValues(o.fields[18]).first, n3 = twoValues(o.fields[25]).first;
    const double average = number(o.fields[3]);
    if (kind == "Isotropic") {
        EXPECT_EQ(o.fields[25], "");
        EXPECT_EQ(o.fields[28], "");
        EXPECT_EQ(average, n1);
        return;
    }
    EXPECT_NEAR(number(o.fields[8]), std::abs(n3 - n1), 0.0011) << "birefringence";
    EXPECT_TRUE(average >= std::min(n1, n3) - 0.0005 && average <= std::max(n1, n3) + 0.0005);
    if (kind == "Uniaxial") {
        EXPECT_EQ(o.fields[20], "");
        // Optically positive uniaxial: the extraordinary index is the larger.
        EXPECT_EQ(o.fields[28] == "Positive", n3 > n1);
        return;
    }
    ASSERT_EQ(kind, "Biaxial");
    const double nb = twoValues(o.fields[20]).first;
    EXPECT_TRUE(n1 < nb && nb < n3) << n1 << " " << nb << " " << n3;
    // tan²Vz = (1/na² - 1/nb²) / (1/nb² - 1/ng²); positive when Vz < 45°.
    const double tan2 = (1 / (n1 * n1) - 1 / (nb * nb)) / (1 / (nb * nb) - 1 / (n3 * n3));
    EXPECT_EQ(o.fields[28] == "Positive", tan2 < 1) << n1 << " " << nb << " " << n3;
    for (const std::size_t i : {13u, 15u}) {
        if (o.fields[i].empty()) continue;
        const auto [low, high] = twoValues(o.fields[i]);
        EXPECT_TRUE(low > 0 && low <= high && high <= 90) << o.fields[i];
    }
}

TEST(Synthesize, OpticalRecordsAreConsistentAndMixed) {
    for (const SetCase& c : {kSets[2], kSets[4]}) {
        SCOPED_TRACE(c.count);
        const SourceSet& set = dataSet(c.count, c.seed);
        std::set<int> cards;
        for (const SourceEntry& e : set.entries)
            cards.insert(static_cast<int>(number(e.cells[FieldCard])));
        std::set<int> seen;
        std::map<std::string, int> kinds;
        for (const SourceOptics& o : set.optics) {
            SCOPED_TRACE(o.card);
            EXPECT_TRUE(cards.contains(o.card));
            EXPECT_TRUE(seen.insert(o.card).second);
            const std::string& kind = o.fields[23];
            ++kinds[kind.empty() ? "reflectance" : kind];
            if (kind.empty()) {
                expectReflectance(o);
            } else {
                expectRefraction(o);
            }
        }
        EXPECT_NEAR(static_cast<double>(set.optics.size()) / c.count, 0.34, 0.05);
        EXPECT_GT(kinds["reflectance"], 0);
        EXPECT_GT(kinds["Biaxial"], kinds["Uniaxial"]);
        EXPECT_GT(kinds["Uniaxial"], kinds["reflectance"] / 2);
        EXPECT_LE(kinds.size(), 4u);
    }
}

} // namespace
} // namespace lithora
