#include "synth.h"

#include <algorithm>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "datafiles/datadir.h"
#include "synth_internal.h"
#include "synth_tables.h"
#include "text/split.h"

// The entries, names, formulas and references of a synthetic data set; the crystallographic
// and optical numbers come from synth_crystal.cpp.
namespace lithora {

namespace {

using namespace synth;

constexpr int kMaxCard = 10000;
constexpr auto kLongestRecord = static_cast<std::size_t>(kMaxEntryRecordLength);

// ---- Words --------------------------------------------------------------------------------

std::string capitalized(std::string_view word) {
    std::string out(word);
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
    return out;
}

std::string twoDigits(int value) {
    return std::string{static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

// Syllables plus a suffix; a few per thousand start with Å or carry an escape code.
std::string makeName(Random& random) {
    for (;;) {
        const int special = random.integer(0, 999);
        std::string name = special < 3 ? "\xC5" + std::string(random.pick(kOnsets))
                                       : capitalized(random.pick(kOnsets));
        if (special >= 3 && special < 8) name += random.pick(kEscapeCodes);
        const int middles = random.chance(0.3) ? 0 : (random.chance(0.7) ? 1 : 2);
        for (int i = 0; i < middles; ++i)
            name += random.pick(kMiddles);
        name += random.text(kSuffixes);
        if (name.size() < 5 || name.size() > 16) continue;
        if (random.chance(0.08)) name += random.pick(kSiteSuffixes);
        return name;
    }
}

// Replaces the placeholders of a template sentence (see kNoteSentences).
std::string fill(Random& random, std::string_view pattern, const std::vector<std::string>& names,
                 std::string_view place) {
    std::string out;
    for (const char c : pattern) {
        switch (c) {
        case '#':
            out += random.pick(names);
            break;
        case '~':
            out += place.empty() ? random.pick(kEnvironments) : place;
            break;
        case '^':
            out += lowerFirst(random.pick(kColors));
            break;
        case '&':
            out += random.pick(kStructureUnits);
            break;
        case '%':
            out += random.text(kCations);
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string makeNotes(Random& random, const std::vector<std::string>& names) {
    if (random.chance(0.25)) return {};
    const int sentences = random.chance(0.15) ? random.integer(4, 8) : random.integer(1, 3);
    std::string out;
    for (int i = 0; i < sentences; ++i) {
        if (i > 0) out += ' ';
        out += fill(random, random.pick(kNoteSentences), names, {});
    }
    return out;
}

std::string makeNameReference(Random& random) {
    const int kind = random.integer(0, 9);
    if (kind < 6) {
        const int born = random.integer(1780, 1930);
        return "Named in honour of " +
               std::string(1, static_cast<char>('A' + random.integer(0, 25))) + ". " +
               std::string(random.pick(kSurnames)) + " (" + std::to_string(born) + "-" +
               std::to_string(born + random.integer(35, 90)) + "), " +
               std::string(random.pick(kProfessions)) + ".";
    }
    if (kind < 8) return "Named for its type locality.";
    if (kind < 9) return "Named for its composition.";
    return "From the Greek word for " + lowerFirst(random.pick(kColors)) + ", for its color.";
}

// ---- Formulas -----------------------------------------------------------------------------

std::string cations(Random& random, std::span<const Weighted> table) {
    const int sites = random.chance(0.35) ? 1 : (random.chance(0.6) ? 2 : 3);
    std::string out;
    std::string previous;
    for (int i = 0; i < sites; ++i) {
        std::string site = random.text(table);
        if (random.chance(0.18)) {
            const std::string second = random.text(table);
            if (second != site) site = "(" + site + "," + second + ")";
        }
        if (site == previous) continue;
        out += site + random.text(kCounts);
        previous = site;
    }
    return out;
}

// An anion group with its multiplicity: SO4, (SO4) or (SO4)3.
std::string anion(Random& random, std::string_view core) {
    const std::string count = random.text(kCounts);
    if (count.empty() && random.chance(0.7)) return std::string(core);
    return "(" + std::string(core) + ")" + count;
}

std::string extras(Random& random, double hydroxyl, double hydrate) {
    std::string out;
    if (random.chance(hydroxyl)) out += "(OH)" + random.text(kCounts);
    if (random.chance(0.05)) out += random.chance(0.5) ? "F" : "Cl";
    if (random.chance(hydrate)) {
        out += "\xB7";
        out += random.chance(0.05) ? std::string("n") : std::to_string(random.integer(1, 12));
        out += "H2O";
    }
    return out;
}

std::string makeFormula(Random& random, Chemistry chemistry) {
    switch (chemistry) {
    case Chemistry::Element:
        return std::string(random.pick(kNativeElements));
    case Chemistry::Sulfide:
        return cations(random, kSulfideCations) + random.text(kChalcogens) + random.text(kCounts);
    case Chemistry::Halide:
        return cations(random, kCations) + (random.chance(0.5) ? "F" : "Cl") +
               random.text(kCounts) + extras(random, 0.3, 0.25);
    case Chemistry::Oxide:
        return cations(random, kCations) + "O" + std::to_string(random.integer(1, 7)) +
               extras(random, 0.3, 0.1);
    case Chemistry::Carbonate:
        return cations(random, kCations) + anion(random, "CO3") + extras(random, 0.35, 0.3);
    case Chemistry::Borate:
        return cations(random, kCations) + std::string(random.pick(kBorateAnions)) +
               extras(random, 0.2, 0.4);
    case Chemistry::Sulfate:
        return cations(random, kCations) + anion(random, "SO4") + extras(random, 0.35, 0.4);
    case Chemistry::Phosphate:
        return cations(random, kCations) + anion(random, random.pick(kPhosphateCores)) +
               extras(random, 0.4, 0.35);
    case Chemistry::Silicate:
        break;
    }
    std::string out = cations(random, kCations) + anion(random, random.pick(kSilicateAnions));
    if (random.chance(0.1)) out += "O" + random.text(kCounts);
    return out + extras(random, 0.45, 0.2);
}

// ---- Entries ------------------------------------------------------------------------------

// What the references and optical record of a card are drawn from.
struct EntryTraits {
    Chemistry chemistry = Chemistry::Silicate;
    std::string_view system;
};

std::string makeMohs(Random& random, Chemistry chemistry) {
    if (random.chance(0.05)) return {};
    int low = 2, high = 10; // in halves of a Mohs step
    if (chemistry == Chemistry::Sulfide) low = 3, high = 9;
    if (chemistry == Chemistry::Silicate) low = 6, high = 15;
    if (chemistry == Chemistry::Oxide) low = 8, high = 19;
    auto text = [](int halves) {
        return std::to_string(halves / 2) + (halves % 2 != 0 ? ".5" : "");
    };
    const int value = random.integer(low, high);
    if (value < 19 && random.chance(0.3)) {
        return text(value) + "-" + text(std::min(19, value + random.integer(1, 2)));
    }
    return text(value);
}

void makeDensities(Random& random, Chemistry chemistry, std::string& calculated,
                   std::string& measured) {
    double low = 2.0, high = 4.5;
    if (chemistry == Chemistry::Sulfide) low = 3.8, high = 7.8;
    if (chemistry == Chemistry::Element) low = 2.0, high = 8.0;
    if (chemistry == Chemistry::Oxide) low = 3.0, high = 6.5;
    const Drawn value = draw(random, low, high, 3);
    if (random.chance(0.85)) calculated = value.text;
    if (random.chance(0.55)) {
        measured = fixed(std::clamp(value.value + random.integer(-8, 8) / 100.0, 2.0, 8.0), 2);
    }
}

SourceEntry makeEntry(Random& random, const std::string& name, int card, std::string_view ownGroup,
                      const std::vector<std::string_view>& groups,
                      const std::vector<std::string>& names, EntryTraits& traits) {
    SourceEntry entry;
    std::array<std::string, 28>& c = entry.cells;
    c[FieldCard] = std::to_string(card);
    c[FieldName] = name;
    traits.chemistry = static_cast<Chemistry>(
        random.weightedIndex(kChemistryWeights, [](int weight) { return weight; }));
    c[FieldFormula] = makeFormula(random, traits.chemistry);
    c[FieldElements] = formulaSymbols(c[FieldFormula]);
    traits.system = random.pickWeighted(kSystems).text;
    fillCrystalCells(random, traits.system, c);
    c[FieldLastUpdated] = std::to_string(random.integer(1998, 2023)) + "-" +
                          twoDigits(random.integer(1, 12)) + "-" + twoDigits(random.integer(1, 28));
    c[FieldStatus] = ownGroup.empty() ? random.text(kStatuses) : "GROUP";
    if (random.chance(0.9)) {
        c[FieldAppearance] = std::string(random.pick(kColors)) +
                             (random.chance(0.3) ? " to " + lowerFirst(random.pick(kColors)) : "") +
                             " " + std::string(random.pick(kHabits)) + ", " +
                             std::string(random.pick(kSizes));
    }
    if (random.chance(0.06)) c[FieldCompareWith] = random.pick(names);
    c[FieldGroup] = ownGroup;
    if (ownGroup.empty() && !groups.empty() && random.chance(0.22))
        c[FieldGroup] = random.pick(groups);
    if (random.chance(0.35)) {
        c[FieldIcdd] =
            twoDigits(random.integer(5, 50)) + "-" + std::to_string(random.integer(1000, 1999));
    }
    c[FieldMohs] = makeMohs(random, traits.chemistry);
    if (random.chance(0.85)) c[FieldNameRef] = makeNameReference(random);
    c[FieldNotes] = makeNotes(random, names);
    makeDensities(random, traits.chemistry, c[FieldSgCalc], c[FieldSgMeas]);
    if (random.chance(0.9)) {
        c[FieldStrunz] = std::to_string(static_cast<int>(traits.chemistry) + 1) + "." +
                         static_cast<char>('A' + random.integer(0, 7)) +
                         static_cast<char>('A' + random.integer(0, 9)) + "." +
                         twoDigits(5 * random.integer(1, 19));
    }
    if (random.chance(0.04)) c[FieldSynonym] = makeName(random);
    if (random.chance(0.9)) {
        const std::string_view locality = random.pick(kLocalities);
        if (!contains(locality, " mine") && random.chance(0.5)) {
            c[FieldTypeLocality] =
                capitalized(random.pick(kOnsets)) + std::string(random.pick(kMiddles)) + " mine, ";
        }
        c[FieldTypeLocality] += locality;
    }
    // Readers stop at 2023 bytes; only the notes are long enough to need shortening.
    std::size_t length = c.size() - 1;
    for (const std::string& cell : c)
        length += cell.size();
    if (length > kLongestRecord) {
        std::string& notes = c[FieldNotes];
        notes.resize(notes.size() - std::min(notes.size(), length - kLongestRecord));
        notes = std::string(trimBlanks(notes));
    }
    return entry;
}

// ---- References ---------------------------------------------------------------------------

std::string makeReference(Random& random, const std::string& name) {
    const int authors = random.chance(0.4) ? 1 : (random.chance(0.5) ? 2 : random.integer(3, 5));
    std::string out;
    for (int i = 0; i < authors; ++i) {
        if (i > 0) out += i + 1 == authors ? " and " : ", ";
        out += std::string(random.pick(kSurnames)) + ", " +
               static_cast<char>('A' + random.integer(0, 25)) + ".";
    }
    const std::string_view locality = random.pick(kLocalities);
    const int firstPage = random.integer(1, 1500);
    out += " (" + std::to_string(random.integer(1870, 2023)) + ") " +
           fill(random, random.pick(kTitles), {name}, locality.substr(0, locality.find(','))) +
           ". <i>[" + std::string(random.pick(kJournals)) + " " +
           std::to_string(random.integer(1, 110)) + ", " + std::to_string(firstPage) + "-" +
           std::to_string(firstPage + random.integer(2, 30)) + "]</i>";
    return out;
}

int referenceCount(Random& random) {
    const int x = random.integer(0, 99);
    if (x < 45) return 1;
    if (x < 70) return 2;
    if (x < 85) return 3;
    return x < 95 ? random.integer(4, 6) : random.integer(7, 12);
}

} // namespace

SourceSet synthesize(int count, std::uint64_t seed) {
    count = std::clamp(count, 1, kMaxCard);
    const auto size = static_cast<std::size_t>(count);
    Random random(seed);

    // A few dozen groups in a full-size set; their entries are named "<Group> Group", a form no
    // generated name takes (generated names have no blank).
    std::vector<std::string_view> groups(kGroupNames.begin(), kGroupNames.end());
    for (std::size_t i = 0; i + 1 < groups.size(); ++i) {
        std::swap(groups[i], groups[static_cast<std::size_t>(random.integer(
                                 static_cast<int>(i), static_cast<int>(groups.size()) - 1))]);
    }
    groups.resize(std::min(groups.size(), size / 100));
    std::unordered_map<std::string, std::string_view> groupOfName;
    std::unordered_set<std::string> taken;
    std::vector<std::string> names;
    names.reserve(size);
    for (const std::string_view group : groups) {
        names.push_back(std::string(group) + " Group");
        groupOfName.emplace(names.back(), group);
        taken.insert(names.back());
    }
    while (names.size() < size) {
        std::string name = makeName(random);
        if (taken.insert(name).second) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end()); // std::string compares bytes as unsigned: Å sorts last

    // Cards: a random injection into 1..10000 (a permutation at full size) that always holds
    // card 1, whose references the reader takes from the first record.
    std::vector<int> cards(kMaxCard);
    for (std::size_t i = 0; i < cards.size(); ++i)
        cards[i] = static_cast<int>(i) + 1;
    for (std::size_t i = 0; i < size; ++i) {
        std::swap(
            cards[i],
            cards[static_cast<std::size_t>(random.integer(static_cast<int>(i), kMaxCard - 1))]);
    }
    cards.resize(size);
    if (std::find(cards.begin(), cards.end(), 1) == cards.end()) {
        cards[static_cast<std::size_t>(random.integer(0, count - 1))] = 1;
    }

    SourceSet set;
    set.entries.reserve(size);
    std::vector<EntryTraits> traits(size);
    for (std::size_t i = 0; i < size; ++i) {
        const auto group = groupOfName.find(names[i]);
        set.entries.push_back(
            makeEntry(random, names[i], cards[i],
                      group == groupOfName.end() ? std::string_view() : group->second, groups,
                      names, traits[i]));
    }

    std::vector<std::size_t> byCard(size);
    for (std::size_t i = 0; i < size; ++i)
        byCard[i] = i;
    std::sort(byCard.begin(), byCard.end(),
              [&](std::size_t x, std::size_t y) { return cards[x] < cards[y]; });
    for (const std::size_t i : byCard) {
        if (cards[i] == 1 || random.chance(0.85)) {
            const int n = referenceCount(random);
            for (int k = 0; k < n; ++k) {
                SourceReference reference;
                reference.card = cards[i];
                reference.reference = makeReference(random, names[i]);
                if (random.chance(0.08)) reference.addition = ", with notes";
                set.references.push_back(std::move(reference));
            }
        }
        if (random.chance(0.34))
            set.optics.push_back(
                makeOptics(random, cards[i], traits[i].chemistry, traits[i].system));
    }
    set.patterns = makePatterns(set.entries, seed);
    return set;
}

} // namespace lithora
