#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "datafiles/datadir.h"

namespace lithora {

// The four integer tables that say where each card's records lie, loaded once at start-up.
// Every lookup outside a table answers 0, which means "none" everywhere in the program.
struct LookupTables {
    std::vector<std::int16_t> entryOfCard;    // lithora.d: card number -> entry index
    int entryCount = 0;                       // element 0 of lithora.d
    std::vector<std::int32_t> recordPosition; // lithora.g: entry index -> position in lithora.a
    std::vector<std::int32_t>
        referencePositionOfCard; // lithora.c: card -> first reference in lithora.b
    std::vector<std::int32_t> opticalPositionOfCard; // lithora.i: card -> record in lithora.h

    int entryOf(int card) const;
    std::int32_t positionOfEntry(int entryIndex) const;
    std::int32_t referencePositionOf(int card) const;
    std::int32_t opticalPositionOf(int card) const;
};

// Loads entryOfCard and entryCount from lithora.d, then recordPosition from lithora.g, then
// opticalPositionOfCard from lithora.i. The first file that cannot be read is reported to the
// sink under the name "getLineNumbers" and ends the loading; tables loaded before stay.
void getLineNumbers(const std::filesystem::path& dataDir, LookupTables& tables,
                    const ErrorSink& sink);

// Loads referencePositionOfCard from lithora.c and sets its element 1 to 1: card 1's references
// are always the first record of lithora.b. Errors go to the sink as "getReferenceIndex".
void getReferenceIndex(const std::filesystem::path& dataDir, LookupTables& tables,
                       const ErrorSink& sink);

// Number of elements of a table of 32-bit integers from a file's length: length / 4 rounded to
// the nearest integer, halves to even, plus the always-zero element after them.
std::size_t positionTableSize(std::int64_t fileLength);

} // namespace lithora
