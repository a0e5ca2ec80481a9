#pragma once

#include <functional>
#include <string_view>

#include "base/result.h"
#include "datafiles/dataset.h"

namespace lithora {

// Walks lithora.e from its start: the header record is skipped, then record r (from 1) holds
// the element symbols of entry index r, separated by single blanks. visit is called for
// r = 1..entryCount; a length of 0 or less is an entry without elements, and records beyond
// the entry count are ignored (the entry index has no place for them). A damaged length ends
// the walk as the end of the file would. Fails only when the file cannot be read.
Status readElementIndex(const DataSet& data,
                        const std::function<void(int entryIndex, std::string_view symbols)>& visit);

} // namespace lithora
