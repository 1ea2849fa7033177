// block_scan_fuzz.cpp - the block-magic scan against a bit-by-bit search, on arbitrary bytes shifted by 0 to 7 bits.
//
// The scan finds the magic through a table of the second byte's fits; a
// search that compares 48 single bits at every bit offset must find exactly
// the same offsets, over the whole input and over a range of it, whether or
// not a magic is planted at a chosen bit. Shifting the input by k bits must
// move every match that lies inside the input by k, and add or drop none.
// The input: four bytes of the planted magic's bit offset, one flag byte
// (bit 0: plant it), two bytes each of the range's first and end byte, then
// the bytes scanned.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "engine/parallel_block_scan.h"

namespace {

constexpr size_t kHeader = 9;
constexpr int kMagicBits = 48;

int bitAt(const std::vector<uint8_t>& bytes, uint64_t bit) { return (bytes[bit / 8] >> (7 - bit % 8)) & 1; }

// Every bit offset in bytes [from, to) at which the magic starts and ends within the bytes, plus base.
std::vector<uint64_t> searchBitByBit(const std::vector<uint8_t>& bytes, size_t from, size_t to, uint64_t base) {
    std::vector<uint64_t> found;
    const uint64_t endBits = uint64_t{bytes.size()} * 8;
    for (uint64_t p = uint64_t{from} * 8; p < uint64_t{to} * 8 && p + kMagicBits <= endBits; ++p) {
        int k = 0;
        while (k < kMagicBits && bitAt(bytes, p + k) == static_cast<int>((zor::kBlockMagicBits >> (47 - k)) & 1)) ++k;
        if (k == kMagicBits) found.push_back(base + p);
    }
    return found;
}

std::vector<uint64_t> scan(const std::vector<uint8_t>& bytes, size_t from, size_t to, uint64_t base) {
    std::vector<uint64_t> found;
    zor::findBlockMagic(bytes.data(), bytes.size(), from, to, base, found);
    return found;
}

// `data` after `shift` zero bits, the last byte filled up with zero bits.
std::vector<uint8_t> shifted(const uint8_t* data, size_t size, int shift) {
    std::vector<uint8_t> bytes(size + (shift > 0 ? 1 : 0), 0);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(bytes[i] | (data[i] >> shift));
        if (shift > 0) bytes[i + 1] = static_cast<uint8_t>(data[i] << (8 - shift));
    }
    return bytes;
}

void plantMagic(std::vector<uint8_t>& bytes, uint64_t bit) {
    for (int k = 0; k < kMagicBits; ++k, ++bit) {
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (bit % 8));
        if ((zor::kBlockMagicBits >> (47 - k)) & 1) bytes[bit / 8] = static_cast<uint8_t>(bytes[bit / 8] | mask);
        else bytes[bit / 8] = static_cast<uint8_t>(bytes[bit / 8] & ~mask);
    }
}

uint32_t bigEndian(const uint8_t* p, int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) value = (value << 8) | p[i];
    return value;
}

void requireSameAsBitByBit(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
    const uint64_t base = 12345;
    if (scan(bytes, 0, bytes.size(), 0) != searchBitByBit(bytes, 0, bytes.size(), 0)) std::abort();
    if (scan(bytes, from, to, base) != searchBitByBit(bytes, from, to, base)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader) return 0;
    const uint32_t plantAt = bigEndian(data, 4);
    const bool plant = data[4] & 1;
    const uint32_t rangeFrom = bigEndian(data + 5, 2);
    const uint32_t rangeTo = bigEndian(data + 7, 2);
    data += kHeader;
    size -= kHeader;

    const std::vector<uint8_t> unshifted = shifted(data, size, 0);
    const std::vector<uint64_t> matches = scan(unshifted, 0, unshifted.size(), 0);
    for (int shift = 0; shift < 8; ++shift) {
        std::vector<uint8_t> bytes = shifted(data, size, shift);
        // A range that may start or end past the bytes.
        const size_t from = rangeFrom % (bytes.size() + 2);
        const size_t to = from + rangeTo % (bytes.size() + 3 - from);
        requireSameAsBitByBit(bytes, from, to);

        // The matches inside the input, moved by the shift.
        std::vector<uint64_t> moved;
        for (const uint64_t bit : scan(bytes, 0, bytes.size(), 0)) {
            if (bit >= static_cast<uint64_t>(shift) && bit - shift + kMagicBits <= uint64_t{size} * 8) {
                moved.push_back(bit - shift);
            }
        }
        if (moved != matches) std::abort();

        const uint64_t bits = uint64_t{bytes.size()} * 8;
        if (plant && bits >= kMagicBits) {
            const uint64_t at = plantAt % (bits - kMagicBits + 1);
            plantMagic(bytes, at);
            requireSameAsBitByBit(bytes, from, to);
            const std::vector<uint64_t> found = scan(bytes, 0, bytes.size(), 0);
            if (std::find(found.begin(), found.end(), at) == found.end()) std::abort();
        }
    }
    return 0;
}
