#include "datafiles/tables.h"

#include <cmath>

#include "datafiles/record.h"

namespace lithora {

namespace {

template <typename T> T lookup(const std::vector<T>& table, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= table.size()) return 0;
    return table[static_cast<std::size_t>(index)];
}

void report(const ErrorSink& sink, std::string_view operation, const Error& error) {
    if (sink) sink(operation, "Error: " + error.message);
}

// Reads as many whole little-endian integers as the file holds into the table, up to its size;
// a file shorter than the table leaves the rest 0.
void fillInt32(const std::string& bytes, std::vector<std::int32_t>& table) {
    const std::size_t n = std::min(table.size(), bytes.size() / 4);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < n; ++i)
        table[i] = readInt32LE(p + 4 * i);
}

Status loadPositionTable(const std::filesystem::path& path, std::vector<std::int32_t>& table) {
    Result<std::string> bytes = readWholeFile(path);
    if (!bytes) return bytes.error();
    table.assign(positionTableSize(static_cast<std::int64_t>(bytes.value().size())), 0);
    fillInt32(bytes.value(), table);
    return Ok{};
}

} // namespace

int LookupTables::entryOf(int card) const {
    return lookup(entryOfCard, card);
}
std::int32_t LookupTables::positionOfEntry(int entryIndex) const {
    return lookup(recordPosition, entryIndex);
}
std::int32_t LookupTables::referencePositionOf(int card) const {
    return lookup(referencePositionOfCard, card);
}
std::int32_t LookupTables::opticalPositionOf(int card) const {
    return lookup(opticalPositionOfCard, card);
}

std::size_t positionTableSize(std::int64_t fileLength) {
    const double quarter = static_cast<double>(fileLength) / 4.0;
    return static_cast<std::size_t>(std::nearbyint(quarter)) + 1;
}

void getLineNumbers(const std::filesystem::path& dataDir, LookupTables& tables,
                    const ErrorSink& sink) {
    constexpr std::string_view kOperation = "getLineNumbers";
    Result<std::string> d = readWholeFile(dataDir / DataFiles::kEntryOfCardTable);
    if (!d) return report(sink, kOperation, d.error());
    tables.entryOfCard.assign(kCardTableSize, 0);
    const std::size_t n = std::min<std::size_t>(kCardTableSize, d.value().size() / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(d.value().data());
    for (std::size_t i = 0; i < n; ++i)
        tables.entryOfCard[i] = readInt16LE(p + 2 * i);
    tables.entryCount = std::max(0, static_cast<int>(tables.entryOfCard[0]));

    if (Status s =
            loadPositionTable(dataDir / DataFiles::kRecordPositionTable, tables.recordPosition);
        !s) {
        return report(sink, kOperation, s.error());
    }
    if (Status s =
            loadPositionTable(dataDir / DataFiles::kOpticsTable, tables.opticalPositionOfCard);
        !s) {
        return report(sink, kOperation, s.error());
    }
}

void getReferenceIndex(const std::filesystem::path& dataDir, LookupTables& tables,
                       const ErrorSink& sink) {
    Result<std::string> c = readWholeFile(dataDir / DataFiles::kReferenceTable);
    if (!c) return report(sink, "getReferenceIndex", c.error());
    tables.referencePositionOfCard.assign(kCardTableSize, 0);
    fillInt32(c.value(), tables.referencePositionOfCard);
    tables.referencePositionOfCard[1] = 1;
}

} // namespace lithora
