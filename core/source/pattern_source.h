#pragma once

#include <functional>
#include <string>
#include <vector>

#include "source/source_format.h"
#include "source/tsv_file.h"

// patterns.tsv, the optional fourth file of a source: one row per reflection line, a card's rows
// consecutive and in decreasing d, the cards ascending; I/Ic and the count of lines cut on a
// card's first row only.
namespace lithora {

// The patterns the rows of patterns.tsv make: consecutive rows of one card form its pattern.
// A cell that is no number of its column's shape is a problem (appended) and leaves the value
// unread; a row without a valid card number is left out.
std::vector<SourcePattern> patternsFromRows(const std::vector<TsvRow>& rows,
                                            std::vector<SourceProblem>& problems);

// The rules across rows and the ranges of every value: cards of entries.tsv (knownCard), in
// ascending order, 1..500 lines in strictly decreasing d, one line of intensity 100, indices
// -999..999 and not all 0, multiplicity 1..192, a cut of at most 1000000. Unread values are
// passed over.
void validatePatterns(const std::vector<SourcePattern>& patterns,
                      const std::function<bool(int)>& knownCard,
                      std::vector<SourceProblem>& problems);

// The text of patterns.tsv, as the data builder writes it: d with 4 decimals, intensity with 2,
// I/Ic with 3 (empty when unknown) and the cut on a card's first row.
std::string patternsText(const std::vector<SourcePattern>& patterns);

} // namespace lithora
