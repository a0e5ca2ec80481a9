#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "cell/cell_reduction.h"
#include "datafiles/dataset.h"

// The reduced primitive cells of all entries of a data set, made once and kept with it, so
// that an any-setting cell search compares numbers instead of reading and reducing every cell.
namespace lithora {

class RecordDecoder;

// The entry's cell from its decoded record: the first six values of the cell field, or nothing
// when it holds fewer. Whether they make a sound cell is the caller's to judge.
std::optional<UnitCell> entryCell(RecordDecoder& record);

// The entry's reduced cell from its decoded record: the first six values of the cell field,
// centred as the space-group symbol's first letter says (an entry without a symbol is taken
// as primitive). Nothing when the entry gives no sound cell.
std::optional<ReducedCell> entryReducedCell(RecordDecoder& record);

struct ReducedCellIndex {
    // What the index was made from; a data file that changed since makes it stale.
    std::filesystem::path entriesFile;
    std::uintmax_t fileSize = 0;
    std::filesystem::file_time_type modified{};
    int entryCount = 0;

    // By entry index 1..entryCount as the search pass counts the records (index 0 unused).
    std::vector<std::optional<ReducedCell>> cells;
};

// Reads lithora.a once and reduces every entry's cell.
Result<ReducedCellIndex> buildReducedCellIndex(const DataSet& data);

// The index kept with the data set: made on the first call, made again when lithora.a or the
// entry count changed since (a data set loaded anew).
Result<std::shared_ptr<const ReducedCellIndex>> reducedCellsOf(DataSet& data);

} // namespace lithora
