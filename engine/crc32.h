// crc32.h - the stream format's CRC-32: polynomial 0x04C11DB7, most significant bit first, not reflected.
//
// A block CRC starts at 0xFFFFFFFF and is complemented at the end; the
// stream CRC folds block CRCs with a one-bit left rotation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zor {

// Entry i: the register after shifting byte i (in the top 8 bits) through
// 8 division steps by the generator.
constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i << 24;
        for (int step = 0; step < 8; ++step) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : (r << 1);
        table[i] = r;
    }
    return table;
}

inline constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

constexpr uint32_t kCrcStart = 0xFFFFFFFFu;

inline uint32_t crcUpdate(uint32_t crc, uint8_t byte) { return (crc << 8) ^ kCrcTable[(crc >> 24) ^ byte]; }

inline uint32_t crcUpdate(uint32_t crc, const uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; ++i) crc = crcUpdate(crc, data[i]);
    return crc;
}

inline uint32_t crcFinish(uint32_t crc) { return ~crc; }

inline uint32_t foldStreamCrc(uint32_t streamCrc, uint32_t blockCrc) {
    return ((streamCrc << 1) | (streamCrc >> 31)) ^ blockCrc;
}

}  // namespace zor
