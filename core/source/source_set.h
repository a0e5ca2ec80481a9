#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A data set in readable form: what entries.tsv, references.tsv and optics.tsv hold, with every
// cell already unescaped into the Windows-1252 bytes its record stores, and the numbers of
// patterns.tsv.
namespace lithora {

inline constexpr std::array<std::string_view, 28> kEntryColumns = {
    "card",           "name",        "formula",      "sg_number", "sg_symbol",  "crystal_class",
    "d_spacings",     "intensities", "last_updated", "status",    "appearance", "compare_with",
    "crystal_system", "group",       "icdd",         "field15",   "mohs",       "datasheet",
    "name_ref",       "notes",       "sg_calc",      "sg_meas",   "strunz",     "synonym",
    "type_locality",  "z",           "cell",         "elements"};

inline constexpr std::array<std::string_view, 3> kReferenceColumns = {"card", "reference",
                                                                      "addition"};

inline constexpr std::array<std::string_view, 42> kOpticsFieldColumns = {"f0",
                                                                         "anisotropism",
                                                                         "f2",
                                                                         "n_avg",
                                                                         "r470_avg",
                                                                         "r546_avg",
                                                                         "r589_avg",
                                                                         "r650_avg",
                                                                         "birefringence",
                                                                         "f9",
                                                                         "f10",
                                                                         "color",
                                                                         "luster",
                                                                         "v2_calc",
                                                                         "v2_calc_note",
                                                                         "v2_meas",
                                                                         "v2_meas_note",
                                                                         "absorption",
                                                                         "n1",
                                                                         "n1_note",
                                                                         "n_beta",
                                                                         "n_beta_note",
                                                                         "optical_character",
                                                                         "optical_class",
                                                                         "dispersion",
                                                                         "n3",
                                                                         "n3_note",
                                                                         "orientation",
                                                                         "optical_sign",
                                                                         "calc_2v",
                                                                         "calc_optic_sign",
                                                                         "r_avg",
                                                                         "pleochroism",
                                                                         "r470",
                                                                         "r546",
                                                                         "r589",
                                                                         "r650",
                                                                         "f37",
                                                                         "f38",
                                                                         "f39",
                                                                         "f40",
                                                                         "f41"};

inline constexpr std::array<std::string_view, 9> kPatternColumns = {
    "card", "iic", "cut", "d", "intensity", "h", "k", "l", "multiplicity"};

// The field numbers of an entry record by meaning.
enum EntryField {
    FieldCard = 0,
    FieldName = 1,
    FieldFormula = 2,
    FieldSgNumber = 3,
    FieldSgSymbol = 4,
    FieldCrystalClass = 5,
    FieldDSpacings = 6,
    FieldIntensities = 7,
    FieldLastUpdated = 8,
    FieldStatus = 9,
    FieldAppearance = 10,
    FieldCompareWith = 11,
    FieldCrystalSystem = 12,
    FieldGroup = 13,
    FieldIcdd = 14,
    Field15 = 15,
    FieldMohs = 16,
    FieldDatasheet = 17,
    FieldNameRef = 18,
    FieldNotes = 19,
    FieldSgCalc = 20,
    FieldSgMeas = 21,
    FieldStrunz = 22,
    FieldSynonym = 23,
    FieldTypeLocality = 24,
    FieldZ = 25,
    FieldCell = 26,
    FieldElements = 27
};

// The character of code 29 that separates the two values of a two-value optical field.
inline constexpr char kTwoValueSeparator = '\x1d';

struct SourceEntry {
    std::array<std::string, 28> cells;
    int line = 0; // physical line in entries.tsv (header = 1); 0 when not read from a file
};

struct SourceReference {
    int card = 0;
    std::string reference;
    std::string addition;
    int line = 0;
};

struct SourceOptics {
    int card = 0;
    std::array<std::string, 42> fields;
    int line = 0;
};

// One reflection line of a reference pattern, in the units lithora.p stores. A cell that could
// not be read as a number leaves 0 (kUnreadIndex for an index), which the rules pass over.
struct SourcePatternLine {
    static constexpr int kUnreadIndex = INT_MIN;
    std::uint32_t d = 0;         // 0.0001 Å
    std::uint32_t intensity = 0; // 0.01, the strongest line 100.00
    int h = 0, k = 0, l = 0;
    std::uint32_t multiplicity = 0;
    int line = 0; // physical line in patterns.tsv
};

// The whole computed pattern of a card: its lines in decreasing d.
struct SourcePattern {
    int card = 0;
    std::uint32_t iic = 0; // I/Ic in thousandths; 0 when unknown
    std::uint32_t cut = 0; // weaker lines dropped beyond those kept
    std::vector<SourcePatternLine> lines;
    int line = 0; // physical line of its first row
};

struct SourceSet {
    std::vector<SourceEntry> entries;        // in entry-index order
    std::vector<SourceReference> references; // one card's references consecutive, in order
    std::vector<SourceOptics> optics;        // one row per card that has optical data
    // The reference patterns in ascending card order; none when the set has no patterns.tsv
    // (an empty list is a patterns.tsv of its header alone).
    std::optional<std::vector<SourcePattern>> patterns;
};

} // namespace lithora
