// parallel_block_scan.h - finding where blocks may start: the 48-bit block magic at any bit offset of compressed bytes.
//
// Blocks follow one another bit by bit, so the only way to find the start of
// a later block without decoding every earlier one is to look for its magic
// at every bit offset. A match is only a candidate: the same 48 bits can
// occur inside a block's tables or codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/stream_format.h"

namespace zor {


// The n (1 to 57) bits starting at bit `bit` of data[0..size), first bit
// highest; bits past the end read as zero.
uint64_t bitsAt(const uint8_t* data, size_t size, uint64_t bit, int n);

// Appends, in increasing order, base + p for every bit offset p at which
// the block magic starts within data[from..to) and ends within data[0..size).
void findBlockMagic(const uint8_t* data, size_t size, size_t from, size_t to, uint64_t base,
                    std::vector<uint64_t>& found);

}  // namespace zor
