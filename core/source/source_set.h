#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// A data set in readable form: what entries.tsv, references.tsv and optics.tsv hold, with every
// cell already unescaped into the Windows-1252 bytes its record stores.
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

struct SourceSet {
    std::vector<SourceEntry> entries;        // in entry-index order
    std::vector<SourceReference> references; // one card's references consecutive, in order
    std::vector<SourceOptics> optics;        // one row per card that has optical data
};

} // namespace lithora
