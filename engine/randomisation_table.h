// randomisation_table.h - the 512 countdown values that say which bytes of a randomised block are flipped.
//
// Old writers of this stream format could "randomise" a block (XOR chosen
// bytes with 1) to dodge slow sorting of repetitive input. The reader still
// undoes it: before each byte fetched from the block, a countdown that has
// reached 0 is reloaded from this table (cycling through its 512 entries);
// it then drops by 1 and the byte is flipped when it has come down to 1.
#pragma once

#include <array>
#include <cstdint>

namespace zor {

constexpr int32_t kRandomisationTableSize = 512;

extern const std::array<int16_t, kRandomisationTableSize> kRandomisationTable;

// Countdown state of one randomised block; zero it at the start of each block.
struct Randomiser {
    int32_t counter = 0;
    int32_t index = 0;

    // Returns the mask (0 or 1) to XOR into the next byte fetched.
    inline uint32_t nextMask() {
        if (counter == 0) {
            counter = kRandomisationTable[index];
            index = (index + 1) & (kRandomisationTableSize - 1);
        }
        --counter;
        return counter == 1 ? 1u : 0u;
    }
};

}  // namespace zor
