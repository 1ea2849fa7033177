// induced_sort.h - sorts suffixes by induced sorting, and through them the rotations of a block whose rotations all differ.
//
// Both work in memory the caller lends: the result array and a scratch area
// of `scratchWords` 32-bit words, at least `inducedSortScratchWords(n)`; more
// lets the sort keep symbol counts instead of counting again. Neither
// allocates, and both tick the message pump while they scan.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/message_pump.h"

namespace zor {

// Scratch words needed for a text of n bytes: one type bit per position
// on each level of the recursion (each level at most half the one above),
// and the bucket bounds of the largest alphabet met past the first level:
// one name per LMS substring, at most n / 2 of them.
inline constexpr size_t inducedSortScratchWords(int32_t n) {
    return static_cast<size_t>(n) / 2 + static_cast<size_t>(n) / 16 + 64;
}

// Fills suffixes[0..n-1] with the start positions of the suffixes of
// text[0..n-1] in increasing order; a suffix that is a prefix of a longer
// one sorts first. n < 2^31 - 1; the text is only read.
void sortSuffixesByInducing(const uint8_t* text, int32_t n, uint32_t* suffixes, uint32_t* scratch,
                            size_t scratchWords, MessagePump& pump);

// Fills positions[0..n-1] with the rotations of text[0..n-1] in increasing
// order, for a block whose rotations all differ and whose smallest rotation
// starts at `leastStart`. The text is turned round in place while sorting
// and handed back unchanged.
//
// Why suffixes give the rotations' order: turned to start at its smallest
// rotation, the block is a Lyndon word w, smaller than each of its proper
// suffixes and sharing no border with itself. Two rotations of w that
// differ within their suffixes' common length compare as the suffixes do.
// Otherwise the shorter suffix u is a prefix of the longer, and after it
// the rotation of u goes on with w itself while the other goes on with a
// proper suffix of w, which is greater than w and not a prefix of it: the
// rotation of u is the smaller, just as u is the smaller suffix.
void sortDistinctRotations(uint32_t* positions, uint8_t* text, int32_t n, int32_t leastStart, uint32_t* scratch,
                           size_t scratchWords, MessagePump& pump);

}  // namespace zor
