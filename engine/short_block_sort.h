// short_block_sort.h - sorts the rotations of a short block by direct comparison, when all its rotations differ.
#pragma once

#include <cstdint>

namespace zor {

// Fills positions[0..n-1] with the rotations of text[0..n-1] in increasing
// order and returns true; returns false (positions then hold some
// permutation) when two rotations are equal or the comparisons grow too
// long, and the caller must run the reference sort. `scratch` holds at least
// 2n + 24 + 16n bytes.
bool sortShortBlockByComparison(uint32_t* positions, const uint8_t* text, uint8_t* scratch, int32_t n);

}  // namespace zor
