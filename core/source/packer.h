#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "source/source_set.h"

namespace lithora {

// The eight files of a data directory as bytes, by name, and lithora.p when the set has
// reference patterns.
struct PackedSet {
    static constexpr std::array<const char*, 8> kNames = {"lithora.a", "lithora.b", "lithora.c",
                                                          "lithora.d", "lithora.e", "lithora.g",
                                                          "lithora.h", "lithora.i"};
    std::array<std::string, 8> files;
    std::optional<std::string> patterns;

    std::string& file(std::string_view name);
};

// The text of the header record of lithora.a and lithora.e; no reader interprets it.
inline constexpr std::string_view kHeaderText = "LITHORA DATA SET|1";

// Builds the eight files, and lithora.p when the set has patterns, from a source set that
// validateSource accepts. Deterministic: the same set gives the same bytes.
PackedSet packSourceSet(const SourceSet& set, std::string_view key);

// lithora.p of a set's patterns: the header record, then one record per card.
std::string packPatterns(const std::vector<SourcePattern>& patterns);

// Writes the files into the directory (created when missing), each through a temporary file
// renamed into place. A set without patterns removes a lithora.p the directory holds, which
// would belong to another set.
Status writePackedSet(const PackedSet& packed, const std::filesystem::path& dir);

// Reads a data directory back into a source set, with its patterns when lithora.p is there.
// Fails, naming the file and offset, on a record that a packed set cannot hold (for lithora.p:
// one that breaks the format, or the pattern of a card the entry index lacks).
Result<SourceSet> unpackDataSet(const std::filesystem::path& dir, std::string_view key);

} // namespace lithora
