#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lithora {

// Checks every file of a data directory and every cross-reference between them: framing,
// record lengths and fields, the card and position tables, the element records, the references
// and optical records of each card, and lithora.p when it is there. Each problem is one line
// naming the file; none means sound. Listed in the order of PackedSet::kNames and then
// lithora.p, within a file by byte (the file as a whole first).
std::vector<std::string> verifyDataSet(const std::filesystem::path& dir, std::string_view key);

} // namespace lithora
