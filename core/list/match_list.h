#pragma once

#include <vector>

#include "base/result.h"
#include "datafiles/dataset.h"
#include "list/entry_list.h"

// How every search hands its result to the list: flags by entry index, then the flagged
// entries as list rows in entry-index order.
namespace lithora {

// The smallest i with after < i <= the flags' upper bound whose flag is set, or -1.
int getNextMatch(const std::vector<bool>& matchFlags, int after);

// The rows of the flagged entries, in entry-index order, numbered 1, 2, 3, ...; each entry is
// reached by one positioned read. Index 0 is never a match, and a flag above entryCount ends
// the list there. Fails only when lithora.a cannot be opened.
Result<std::vector<ListRow>> readMatchList(const DataSet& data, const std::vector<bool>& matchFlags,
                                           int& maxCardNumber, char decimalSeparator);

// The rows of the given entries in the given order (a ranking), numbered 1, 2, 3, ...; an
// index outside 1..entryCount or one already listed is passed over.
Result<std::vector<ListRow>> readOrderedList(const DataSet& data, const std::vector<int>& entries,
                                             int& maxCardNumber, char decimalSeparator);

} // namespace lithora
