#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Readable names of the card window's criterion fields, for the command-line tools: the column
// names of the readable source where a field shows one column.
namespace lithora {

struct CriterionName {
    std::string_view name;
    int field; // tf or of index
};

const std::vector<CriterionName>& formCriterionNames();
const std::vector<CriterionName>& opticsCriterionNames();

// What a text for the user calls a form criterion: "Mohs", "d3", "Space group"; "tfN" for a field
// the search compares with nothing.
std::string formCriterionLabel(int tf);

// The field a criterion names: "tf5" / "of47" (prefix given), or a readable name. Nothing for
// an unknown name or an index outside 0..count-1.
std::optional<int> criterionField(std::string_view name, std::string_view prefix,
                                  const std::vector<CriterionName>& names, int count);

} // namespace lithora
