// stream_format.h - the compressed stream's fixed numbers: signature, block and end magics, block sizes and table limits.
//
// A stream is 3 zero bytes and the level digit '1' to '9', then blocks that
// follow one another bit by bit, each opened by the 48-bit block magic, and
// last the 48-bit end magic with the 32-bit stream CRC.
#pragma once

#include <cstdint>

namespace zor {

inline constexpr uint8_t kStreamSignature[3] = {0x00, 0x00, 0x00};
inline constexpr int32_t kStreamHeaderBytes = 4;  // the signature and the level digit
inline constexpr int32_t kMinLevel = 1;
inline constexpr int32_t kMaxLevel = 9;
inline constexpr uint8_t levelDigit(int32_t level) { return static_cast<uint8_t>('0' + level); }

inline constexpr uint8_t kBlockMagic[6] = {0x32, 0x42, 0x60, 0x27, 0x54, 0x60};
inline constexpr uint8_t kEndMagic[6] = {0x17, 0x72, 0x45, 0x38, 0x50, 0x90};
inline constexpr uint64_t kBlockMagicBits = 0x324260275460ull;
inline constexpr uint64_t kEndMagicBits = 0x177245385090ull;
// The end magic and the stream CRC behind the last block.
inline constexpr int32_t kEndMarkerBits = 48 + 32;

// A level-n block holds at most n * kBlockUnit bytes of run-length text.
inline constexpr int32_t kBlockUnit = 100000;
inline constexpr int32_t kMaxTables = 6;
inline constexpr int32_t kMaxAlphabet = 258;
inline constexpr int32_t kMaxSelectors = 18002;
inline constexpr int32_t kGroupSize = 50;
inline constexpr int32_t kMaxCodeLength = 20;

// Work factors the encoder accepts; 0 means the default 30.
inline constexpr int32_t kMaxWorkFactor = 250;

}  // namespace zor
