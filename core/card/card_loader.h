#pragma once

#include <string>
#include <string_view>

#include "base/result.h"
#include "card/card_state.h"
#include "datafiles/dataset.h"

namespace lithora {

// The name of a crystal-system code (upper-cased before the lookup), or an empty view when the
// code is not one of A M Q O H H/R H/T C.
std::string_view crystalSystemName(std::string_view code);

// Reads the references of state.currentCardNumber from lithora.b into currentReferences and
// currentReferenceCount. A missing file or a card without references gives none; nothing is
// reported.
void loadCurrentReferences(const DataSet& data, CardState& state);

// Reads the entry record of state.currentEntryIndex and spreads its fields over the state. A
// field the record lacks reads as empty. Fails only when lithora.a cannot be opened.
Status loadCurrentCard(const DataSet& data, CardState& state, char decimalSeparator);

// Builds currentDIPairs ("d/I", two blanks between pairs) from the d-spacing and intensity
// texts; empty when there are fewer intensities (but more than one) than d-spacings.
void buildDIPairs(CardState& state);

// The card's optical record from lithora.h (UTF-8), or empty when it has none.
std::string readOpticalRecord(const DataSet& data, int card);

// Sets currentOpticalRecord for the current card.
void loadCurrentOpticalRecord(const DataSet& data, CardState& state);

} // namespace lithora
