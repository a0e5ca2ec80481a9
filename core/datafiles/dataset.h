#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "datafiles/record.h"
#include "datafiles/tables.h"

namespace lithora {

struct ReducedCellIndex;
class ReferencePatterns;
class EntrySummaries;

// A data directory as the program holds it: where it is, the key its records are scrambled
// with, and the tables loaded from it.
struct DataSet {
    std::filesystem::path dir;
    std::string recordKey = buildRecordKey();
    LookupTables tables;
    // The entries' reduced cells, made by the first any-setting cell search (cell/cell_index.h).
    std::shared_ptr<const ReducedCellIndex> reducedCells;
    // The reference patterns of lithora.p, read by the first that needs them
    // (datafiles/reference_patterns.h).
    std::shared_ptr<const ReferencePatterns> referencePatterns;
    // What the identification reads of every entry, read by its first ranking
    // (identify/entry_summaries.h).
    std::shared_ptr<const EntrySummaries> entrySummaries;

    std::filesystem::path file(const char* name) const { return dir / name; }
};

} // namespace lithora
