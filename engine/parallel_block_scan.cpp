// parallel_block_scan.cpp - finding where blocks may start: the 48-bit block magic at any bit offset of compressed bytes.
//
// Trying all eight bit offsets of every byte would cost eight compares per
// byte. Instead the second byte of a match decides: for a match starting s
// bits into byte i, byte i+1 must equal the magic's bits 8-s to 15-s. A
// 256-entry table gives, per byte value, the offsets s it fits, so almost
// every byte costs one lookup and only the rare fits are checked in full.
#include "engine/parallel_block_scan.h"

#include <array>

namespace zor {

namespace {

constexpr uint64_t kMask48 = (uint64_t{1} << 48) - 1;

constexpr std::array<uint8_t, 256> makeShiftTable() {
    std::array<uint8_t, 256> table{};
    for (int s = 0; s < 8; ++s) table[(kBlockMagicBits >> (32 + s)) & 0xFF] |= static_cast<uint8_t>(1 << s);
    return table;
}

constexpr std::array<uint8_t, 256> kShiftsFittingSecondByte = makeShiftTable();

// Eight bytes from data[i], big-endian, zeros past the end.
inline uint64_t wordAt(const uint8_t* data, size_t size, size_t i) {
    uint64_t w = 0;
    for (size_t k = 0; k < 8; ++k) w = (w << 8) | (i + k < size ? data[i + k] : 0);
    return w;
}

}  // namespace

uint64_t bitsAt(const uint8_t* data, size_t size, uint64_t bit, int n) {
    const uint64_t w = wordAt(data, size, static_cast<size_t>(bit / 8));
    return (w >> (64 - static_cast<int>(bit % 8) - n)) & ((uint64_t{1} << n) - 1);
}

void findBlockMagic(const uint8_t* data, size_t size, size_t from, size_t to, uint64_t base,
                    std::vector<uint64_t>& found) {
    const uint64_t endBits = uint64_t{size} * 8;
    for (size_t i = from; i < to && i + 1 < size; ++i) {
        uint32_t shifts = kShiftsFittingSecondByte[data[i + 1]];
        if (shifts == 0) continue;
        const uint64_t w = wordAt(data, size, i);
        for (int s = 0; shifts != 0; ++s, shifts >>= 1) {
            if (!(shifts & 1)) continue;
            const uint64_t bit = uint64_t{i} * 8 + static_cast<uint64_t>(s);
            if (bit + 48 <= endBits && ((w >> (16 - s)) & kMask48) == kBlockMagicBits) found.push_back(base + bit);
        }
    }
}

}  // namespace zor
