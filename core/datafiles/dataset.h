#pragma once

#include <filesystem>
#include <string>

#include "datafiles/record.h"
#include "datafiles/tables.h"

namespace lithora {

// A data directory as the program holds it: where it is, the key its records are scrambled
// with, and the tables loaded from it.
struct DataSet {
    std::filesystem::path dir;
    std::string recordKey = buildRecordKey();
    LookupTables tables;

    std::filesystem::path file(const char* name) const { return dir / name; }
};

} // namespace lithora
