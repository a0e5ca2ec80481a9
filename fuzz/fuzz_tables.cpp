// The table loaders over fuzzed table files: lithora.d, .g, .i (getLineNumbers), lithora.c
// (getReferenceIndex) and the element index lithora.e, and every lookup through them.
//
// Input: a data directory (control part, then the eight files; see fuzz_support.h). Only the
// table files and lithora.e are read.
#include "datafiles/element_index.h"
#include "datafiles/tables.h"
#include "fuzz_support.h"

using namespace lithora;
using namespace lithora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        splitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::filesystem::path dir = scratchDirectory("tables");
    writeDataDirectory(dir, parts, 1);
    auto partSize = [&](std::size_t file) -> std::int64_t {
        return 1 + file < parts.size() ? static_cast<std::int64_t>(parts[1 + file].size()) : -1;
    };
    constexpr std::size_t kC = 2, kD = 3, kG = 5, kI = 7; // places in PackedSet::kNames

    DataSet set;
    set.dir = dir;
    int errors = 0;
    const ErrorSink sink = [&errors](std::string_view operation, std::string_view message) {
        FUZZ_CHECK(operation == "getLineNumbers" || operation == "getReferenceIndex");
        FUZZ_CHECK(message.starts_with("Error: "));
        ++errors;
    };
    getLineNumbers(dir, set.tables, sink);
    getReferenceIndex(dir, set.tables, sink);
    const LookupTables& t = set.tables;

    // Each table is there exactly when its file is, sized as the loaders promise.
    if (partSize(kD) >= 0) {
        FUZZ_CHECK(t.entryOfCard.size() == static_cast<std::size_t>(kCardTableSize));
        FUZZ_CHECK(t.entryCount >= 0 && t.entryCount == std::max<int>(0, t.entryOfCard[0]));
        if (partSize(kG) >= 0)
            FUZZ_CHECK(t.recordPosition.size() == positionTableSize(partSize(kG)));
        if (partSize(kG) >= 0 && partSize(kI) >= 0)
            FUZZ_CHECK(t.opticalPositionOfCard.size() == positionTableSize(partSize(kI)));
    } else {
        FUZZ_CHECK(t.entryOfCard.empty() && t.entryCount == 0 && errors >= 1);
    }
    if (partSize(kC) >= 0) {
        FUZZ_CHECK(t.referencePositionOfCard.size() == static_cast<std::size_t>(kCardTableSize));
        FUZZ_CHECK(t.referencePositionOf(1) == 1);
    } else {
        FUZZ_CHECK(t.referencePositionOfCard.empty());
    }

    // Every lookup, inside and outside the tables: outside one it answers 0.
    auto outside = [](int i, std::size_t tableSize) {
        return i < 0 || static_cast<std::size_t>(i) >= tableSize;
    };
    for (int i = -2; i <= kCardTableSize + 2; ++i) {
        if (outside(i, t.entryOfCard.size())) FUZZ_CHECK(t.entryOf(i) == 0);
        if (outside(i, t.referencePositionOfCard.size())) FUZZ_CHECK(t.referencePositionOf(i) == 0);
        if (outside(i, t.opticalPositionOfCard.size())) FUZZ_CHECK(t.opticalPositionOf(i) == 0);
        const int entry = t.entryOf(i);
        if (outside(entry, t.recordPosition.size())) FUZZ_CHECK(t.positionOfEntry(entry) == 0);
    }
    for (int i : {INT32_MIN, -1, 32767, 32768, 65535, INT32_MAX})
        FUZZ_CHECK(t.entryOf(i) == 0 || (i >= 0 && i < kCardTableSize));

    // The element index: records visited in order 1..entryCount, each once.
    int last = 0;
    const Status read = readElementIndex(set, [&](int r, std::string_view symbols) {
        FUZZ_CHECK(r == last + 1 && r <= t.entryCount);
        last = r;
        (void)symbols.size();
    });
    FUZZ_CHECK(read.ok() == (1 + 4 < parts.size()));
    return 0;
}
