#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/result.h"
#include "source/source_set.h"

namespace lithora {

// The eight files of a data directory as bytes, by name.
struct PackedSet {
    static constexpr std::array<const char*, 8> kNames = {"lithora.a", "lithora.b", "lithora.c",
                                                          "lithora.d", "lithora.e", "lithora.g",
                                                          "lithora.h", "lithora.i"};
    std::array<std::string, 8> files;

    std::string& file(std::string_view name);
};

// The text of the header record of lithora.a and lithora.e; no reader interprets it.
inline constexpr std::string_view kHeaderText = "LITHORA DATA SET|1";

// Builds the eight files from a source set that validateSource accepts. Deterministic: the
// same set gives the same bytes.
PackedSet packSourceSet(const SourceSet& set, std::string_view key);

// Writes the files into the directory (created when missing), each through a temporary file
// renamed into place.
Status writePackedSet(const PackedSet& packed, const std::filesystem::path& dir);

// Reads a data directory back into a source set. Fails, naming the file and offset, on a record
// that a packed set cannot hold.
Result<SourceSet> unpackDataSet(const std::filesystem::path& dir, std::string_view key);

} // namespace lithora
