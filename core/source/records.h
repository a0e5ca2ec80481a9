#pragma once

#include <string>
#include <string_view>

#include "source/source_set.h"

// How a source row becomes the plain text of its record.
namespace lithora {

// All 28 cells joined by "|".
std::string entryRecordText(const SourceEntry& entry);

// "card|reference", or "card|reference|addition" when there is an addition.
std::string referenceRecordText(const SourceReference& reference);

// Fields 0 up to the last non-empty one, joined by "|".
std::string opticsRecordText(const SourceOptics& optics);

// Runs of blanks as single blanks, none at the ends: the body of an element record.
std::string normalizeBlanks(std::string_view text);

} // namespace lithora
