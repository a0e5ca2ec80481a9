#include "cell/cell_index.h"

#include <algorithm>
#include <system_error>

#include "datafiles/datadir.h"
#include "datafiles/record.h"
#include "search/criteria.h"
#include "text/numeric.h"

namespace lithora {

namespace {

// The entry-record fields: the space-group symbol and the cell "a b c alpha beta gamma V".
constexpr std::size_t kSymbolField = 4;
constexpr std::size_t kCellField = 26;

struct FileStamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified{};
};

std::optional<FileStamp> stampOf(const std::filesystem::path& file) {
    std::error_code ec;
    FileStamp s;
    s.size = std::filesystem::file_size(file, ec);
    if (ec) return std::nullopt;
    s.modified = std::filesystem::last_write_time(file, ec);
    if (ec) return std::nullopt;
    return s;
}

} // namespace

std::optional<UnitCell> entryCell(RecordDecoder& record) {
    const std::string_view field = record.field(kCellField);
    std::array<double, 6> v{};
    std::size_t k = 0;
    std::size_t pos = 0;
    while (pos < field.size() && k < v.size()) {
        std::size_t end = field.find(' ', pos);
        if (end == std::string_view::npos) end = field.size();
        if (end > pos) v[k++] = numericValue(field.substr(pos, end - pos));
        pos = end + 1;
    }
    if (k < v.size()) return std::nullopt;
    return UnitCell{v[0], v[1], v[2], v[3], v[4], v[5]};
}

std::optional<ReducedCell> entryReducedCell(RecordDecoder& record) {
    const std::optional<UnitCell> cell = entryCell(record);
    if (!cell) return std::nullopt;
    const Centring centring =
        centringOfSymbol(record.field(kSymbolField), *cell).value_or(Centring::P);
    return reducedCell(*cell, centring);
}

Result<ReducedCellIndex> buildReducedCellIndex(const DataSet& data) {
    ReducedCellIndex index;
    index.entriesFile = data.file(DataFiles::kEntries);
    const std::optional<FileStamp> stamp = stampOf(index.entriesFile);
    Result<SequentialRecords> file = SequentialRecords::load(index.entriesFile);
    if (!file) return file.error();
    if (stamp) {
        index.fileSize = stamp->size;
        index.modified = stamp->modified;
    }
    index.entryCount = std::max(data.tables.entryCount, 0);
    index.cells.resize(static_cast<std::size_t>(index.entryCount) + 1);
    // The same walk as the text search's pass, so that entry r here is entry r there.
    SequentialRecords& records = file.value();
    records.next(); // the header
    RecordDecoder record(data.recordKey, false);
    for (int r = 1; r <= index.entryCount && !records.atEnd(); ++r) {
        const auto raw = records.next();
        if (!raw) break;
        record.decode(raw->body);
        index.cells[static_cast<std::size_t>(r)] = entryReducedCell(record);
    }
    return index;
}

Result<std::shared_ptr<const ReducedCellIndex>> reducedCellsOf(DataSet& data) {
    const std::filesystem::path entries = data.file(DataFiles::kEntries);
    if (const ReducedCellIndex* held = data.reducedCells.get()) {
        const std::optional<FileStamp> now = stampOf(entries);
        if (now && held->entriesFile == entries && held->fileSize == now->size &&
            held->modified == now->modified &&
            held->entryCount == std::max(data.tables.entryCount, 0))
            return data.reducedCells;
    }
    Result<ReducedCellIndex> built = buildReducedCellIndex(data);
    if (!built) return built.error();
    data.reducedCells = std::make_shared<const ReducedCellIndex>(std::move(built.value()));
    return data.reducedCells;
}

} // namespace lithora
