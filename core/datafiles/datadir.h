#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace lithora {

// The eight files of a data directory, and the optional ninth: without lithora.p every card has
// its eight diffraction lines only.
struct DataFiles {
    static constexpr const char* kEntries = "lithora.a";
    static constexpr const char* kReferences = "lithora.b";
    static constexpr const char* kReferenceTable = "lithora.c";
    static constexpr const char* kEntryOfCardTable = "lithora.d";
    static constexpr const char* kElements = "lithora.e";
    static constexpr const char* kRecordPositionTable = "lithora.g";
    static constexpr const char* kOptics = "lithora.h";
    static constexpr const char* kOpticsTable = "lithora.i";
    static constexpr const char* kPatterns = "lithora.p";
};

// Where a program finds its data and documents: the directory of its executable when INDEX
// lies there (a build tree, a program unpacked anywhere), else PREFIX/share/lithora for a
// program installed as PREFIX/bin/NAME; the executable's directory when neither holds INDEX.
std::filesystem::path resourceDirectory(const std::filesystem::path& executable);

// The data directory a program reads: INDEX in its resource directory.
std::filesystem::path dataDirectoryBeside(const std::filesystem::path& executable);

// Where a loader that goes on after a failure reports it: the operation's name (the GUI shows
// it as a message box title) and the message ("Error: " and the description).
using ErrorSink = std::function<void(std::string_view operation, std::string_view message)>;

// Card numbers run from 1 to 10000; the card-keyed tables have elements 0 to 10000.
inline constexpr int kMaxCardNumber = 10000;
inline constexpr int kCardTableSize = kMaxCardNumber + 1;
// The longest entry record; a length outside 1..2023 ends the reading of the entry index.
inline constexpr int kMaxEntryRecordLength = 2023;

} // namespace lithora
