// bit_writer.h - most-significant-bit-first bit writer that appends finished bytes to an output area.
//
// Pending bits sit left-aligned in `bitBuffer`; whole bytes move out at the
// start of the next `putBits` and at `finishBits`. The output area may be
// re-pointed between blocks (`retarget`): pending bits carry over, which is
// how blocks follow one another with no padding.
#pragma once

#include <cstdint>

namespace zor {

struct BitWriter {
    uint32_t bitBuffer = 0;
    int32_t bitCount = 0;
    uint8_t* output = nullptr;  // not owned
    int32_t outputLength = 0;   // bytes appended to `output` since the last retarget

    void startBits() {
        bitBuffer = 0;
        bitCount = 0;
    }

    void retarget(uint8_t* area) {
        output = area;
        outputLength = 0;
    }

    // n is 1 to 24 and value fits in n bits.
    inline void putBits(int n, uint32_t value) {
        while (bitCount >= 8) {
            output[outputLength++] = static_cast<uint8_t>(bitBuffer >> 24);
            bitBuffer <<= 8;
            bitCount -= 8;
        }
        bitBuffer |= value << (32 - bitCount - n);
        bitCount += n;
    }

    inline void putByte(uint8_t byte) { putBits(8, byte); }

    inline void putUInt32(uint32_t value) {
        putBits(8, (value >> 24) & 0xFF);
        putBits(8, (value >> 16) & 0xFF);
        putBits(8, (value >> 8) & 0xFF);
        putBits(8, value & 0xFF);
    }

    void finishBits() {
        while (bitCount > 0) {
            output[outputLength++] = static_cast<uint8_t>(bitBuffer >> 24);
            bitBuffer <<= 8;
            bitCount -= 8;
        }
        bitCount = 0;
    }
};

}  // namespace zor
