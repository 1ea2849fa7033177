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

// Table k, entry i: the register after byte i and k zero bytes, so that
// eight bytes are taken in one step of independent lookups.
constexpr std::array<std::array<uint32_t, 256>, 8> makeCrcSliceTables() {
    std::array<std::array<uint32_t, 256>, 8> tables{};
    tables[0] = makeCrcTable();
    for (size_t k = 1; k < 8; ++k)
        for (size_t i = 0; i < 256; ++i) {
            const uint32_t r = tables[k - 1][i];
            tables[k][i] = (r << 8) ^ tables[0][r >> 24];
        }
    return tables;
}

inline constexpr std::array<std::array<uint32_t, 256>, 8> kCrcSliceTables = makeCrcSliceTables();

inline uint32_t crcUpdate(uint32_t crc, const uint8_t* data, size_t length) {
    const auto& t = kCrcSliceTables;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const uint8_t* p = data + i;
        const uint32_t x = crc ^ (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]);
        crc = t[7][x >> 24] ^ t[6][(x >> 16) & 0xFF] ^ t[5][(x >> 8) & 0xFF] ^ t[4][x & 0xFF] ^ t[3][p[4]] ^
              t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; i < length; ++i) crc = crcUpdate(crc, data[i]);
    return crc;
}

inline uint32_t crcFinish(uint32_t crc) { return ~crc; }

inline uint32_t foldStreamCrc(uint32_t streamCrc, uint32_t blockCrc) {
    return ((streamCrc << 1) | (streamCrc >> 31)) ^ blockCrc;
}

}  // namespace zor
