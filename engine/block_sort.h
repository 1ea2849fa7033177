// block_sort.h - sorts the rotations of a block text (the Burrows-Wheeler transform's ordering step).
//
// `sortBlock` fills `sortedPositions` with the start position of each
// rotation in increasing order and sets `originPointer`, the row holding the
// rotation that starts at 0. It works only inside the encoder's work areas
// and leaves the block text as it found it. Equal rotations (periodic text)
// come out in whatever order the algorithms produce; every such order
// decodes to the same text, but the exact order is part of the stream.
#pragma once

#include <cstdint>

#include "engine/encoder_state.h"
#include "engine/message_pump.h"

namespace zor {

// Blocks shorter than this skip the main sort.
inline constexpr int32_t kMainSortMinimum = 10000;

void sortBlock(EncoderState& s);

// The two algorithms, exposed so they can be checked on their own.
//
// mainSort: `text` holds n bytes plus room for 34 more; `rankCache` holds
// n + 34 entries. Stops early, leaving `budget` below 0, when the work
// allowance runs out.
void mainSort(uint32_t* positions, uint8_t* text, uint16_t* rankCache, uint32_t* buckets, int32_t n, int32_t& budget,
              MessagePump& pump);

// fallbackSort: `classes` is the text's array viewed as n 32-bit words (the
// text is its first n bytes and is rebuilt before returning); `bits` holds
// at least n / 32 + 3 words.
void fallbackSort(uint32_t* positions, uint32_t* classes, uint32_t* bits, int32_t n);

}  // namespace zor
