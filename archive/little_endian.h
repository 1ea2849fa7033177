// little_endian.h - reads and writes little-endian integers in byte buffers, for the archive records.
#pragma once

#include <cstdint>

namespace zor::le {

inline void putU16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

inline void putU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void putI16(uint8_t* at, int16_t value) { putU16(at, static_cast<uint16_t>(value)); }
inline void putI32(uint8_t* at, int32_t value) { putU32(at, static_cast<uint32_t>(value)); }

inline uint16_t getU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

inline uint32_t getU32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) | (static_cast<uint32_t>(at[2]) << 16) |
           (static_cast<uint32_t>(at[3]) << 24);
}

inline int16_t getI16(const uint8_t* at) { return static_cast<int16_t>(getU16(at)); }
inline int32_t getI32(const uint8_t* at) { return static_cast<int32_t>(getU32(at)); }

}  // namespace zor::le
