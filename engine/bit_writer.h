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
        moveWholeBytes();
        bitBuffer |= value << (32 - bitCount - n);
        bitCount += n;
    }

    inline void putByte(uint8_t byte) { putBits(8, byte); }

    // Leaves fewer than 8 bits pending.
    inline void moveWholeBytes() {
        while (bitCount >= 8) {
            output[outputLength++] = static_cast<uint8_t>(bitBuffer >> 24);
            bitBuffer <<= 8;
            bitCount -= 8;
        }
    }

    inline void putUInt32(uint32_t value) {
        putBits(8, (value >> 24) & 0xFF);
        putBits(8, (value >> 16) & 0xFF);
        putBits(8, (value >> 8) & 0xFF);
        putBits(8, value & 0xFF);
    }

    // A long run of codes (a block's tables and symbols, most of its bits) gathers in a
    // 64-bit word and leaves four bytes at a time; once the run is over every
    // whole byte is out and `putBits` may be used again.
    class Run {
    public:
        explicit Run(BitWriter& writer) : writer_(writer) {
            writer.moveWholeBytes();
            pending_ = uint64_t{writer.bitBuffer} << 32;
            count_ = writer.bitCount;
        }
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;
        ~Run() {
            writer_.bitBuffer = static_cast<uint32_t>(pending_ >> 32);
            writer_.bitCount = count_;
            writer_.moveWholeBytes();
        }

        // n is 1 to 32 and value fits in n bits.
        inline void put(int n, uint32_t value) {
            pending_ |= uint64_t{value} << (64 - count_ - n);
            count_ += n;
            if (count_ >= 32) {
                uint8_t* out = writer_.output + writer_.outputLength;
                out[0] = static_cast<uint8_t>(pending_ >> 56);
                out[1] = static_cast<uint8_t>(pending_ >> 48);
                out[2] = static_cast<uint8_t>(pending_ >> 40);
                out[3] = static_cast<uint8_t>(pending_ >> 32);
                writer_.outputLength += 4;
                pending_ <<= 32;
                count_ -= 32;
            }
        }

    private:
        BitWriter& writer_;
        uint64_t pending_;  // left-aligned
        int32_t count_;     // below 32 between calls
    };

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
