#include "search/criterion_names.h"

#include <charconv>
#include <iterator>

namespace lithora {

const std::vector<CriterionName>& formCriterionNames() {
    static const std::vector<CriterionName> names = {
        {"name", 0},
        {"synonym", 1},
        {"formula", 2},
        {"crystal_system", 4},
        {"space_group", 5},
        {"crystal_class", 6},
        {"a", 7},
        {"b", 8},
        {"c", 9},
        {"alpha", 10},
        {"beta", 11},
        {"gamma", 12},
        {"mohs", 13},
        {"z", 14},
        {"sg_meas", 15},
        {"sg_calc", 16},
        {"strunz", 17},
        {"group", 18},
        {"name_ref", 19},
        {"compare_with", 20},
        {"icdd", 21},
        {"appearance", 22},
        {"type_locality", 23},
        {"notes", 24},
        {"d1", 25},
        {"d2", 26},
        {"d3", 27},
        {"d4", 28},
        {"d5", 29},
        {"d6", 30},
        {"d7", 31},
        {"d8", 32},
        {"d_tolerance", 33},
        {"status", 41},
        {"last_updated", 42},
    };
    return names;
}

const std::vector<CriterionName>& opticsCriterionNames() {
    static const std::vector<CriterionName> names = {
        {"optical_character", 2},
        {"color", 3},
        {"luster", 4},
        {"optical_class", 6},
        {"optical_sign", 8},
        {"orientation", 10},
        {"dispersion", 11},
        {"absorption", 12},
        {"pleochroism", 13},
        {"anisotropism", 15},
        {"n1", 16},
        {"n1_note", 18},
        {"n_beta", 19},
        {"n_beta_note", 21},
        {"n3", 22},
        {"n3_note", 24},
        {"v2_meas", 25},
        {"v2_meas_note", 27},
        {"v2_calc", 28},
        {"v2_calc_note", 30},
        {"r470", 33},
        {"r546", 36},
        {"r589", 39},
        {"r650", 42},
        {"r_avg", 45},
        {"birefringence", 46},
        {"n_avg", 47},
        {"calc_2v", 48},
        {"calc_optic_sign", 49},
    };
    return names;
}

std::string formCriterionLabel(int tf) {
    // By tf index, as the card window's captions name the fields; "" where a field has none.
    static constexpr std::string_view kLabels[] = {"Name",
                                                   "Synonym",
                                                   "Formula",
                                                   "",
                                                   "Crystal system",
                                                   "Space group",
                                                   "Crystal class",
                                                   "a",
                                                   "b",
                                                   "c",
                                                   "\u03B1",
                                                   "\u03B2",
                                                   "\u03B3",
                                                   "Mohs",
                                                   "Z",
                                                   "SG meas.",
                                                   "SG calc.",
                                                   "Strunz class",
                                                   "Group",
                                                   "Name origin",
                                                   "Compare with",
                                                   "ICDD#",
                                                   "Appearance",
                                                   "Type locality",
                                                   "Notes",
                                                   "d1",
                                                   "d2",
                                                   "d3",
                                                   "d4",
                                                   "d5",
                                                   "d6",
                                                   "d7",
                                                   "d8",
                                                   "d tolerance"};
    if (tf >= 0 && static_cast<std::size_t>(tf) < std::size(kLabels) &&
        !kLabels[static_cast<std::size_t>(tf)].empty())
        return std::string(kLabels[static_cast<std::size_t>(tf)]);
    if (tf == 41) return "Status";
    if (tf == 42) return "Last updated";
    return "tf" + std::to_string(tf);
}

std::optional<int> criterionField(std::string_view name, std::string_view prefix,
                                  const std::vector<CriterionName>& names, int count) {
    if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix) {
        const std::string_view digits = name.substr(prefix.size());
        int index = -1;
        const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
        if (ec == std::errc() && ptr == digits.data() + digits.size() && index >= 0 &&
            index < count)
            return index;
        return std::nullopt;
    }
    for (const CriterionName& n : names) {
        if (n.name == name) return n.field;
    }
    return std::nullopt;
}

} // namespace lithora
