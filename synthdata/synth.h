#pragma once

#include <cstdint>

#include "source/source_set.h"

namespace lithora {

// A synthetic data set of `count` entries that looks like a real mineral database: sizes, field
// shapes, shares of references and optical records, groups, a few names with escape codes or a
// leading Å, and the whole computed pattern of each entry whose lines come from a cell. It feeds
// the benchmarks and tests, so it must be reproducible: the same count and seed give the same
// set, byte for byte, on every platform. A count outside 1..10000 is clamped into that range.
SourceSet synthesize(int count, std::uint64_t seed);

} // namespace lithora
