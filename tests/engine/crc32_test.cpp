// crc32_test.cpp - the stream CRC: known check values, table entries, run feeding and the stream fold.
#include "engine/crc32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zor {
namespace {

uint32_t crcOf(const char* text) {
    return crcFinish(crcUpdate(kCrcStart, reinterpret_cast<const uint8_t*>(text), std::strlen(text)));
}

// A reflected CRC-32 (the zip one) or a different start value would give
// other values here; the archive's streams would then fail their checks.
TEST(Crc32, MatchesTheFormatsCheckValues) {
    EXPECT_EQ(crcOf("123456789"), 0xFC891918u);
    EXPECT_EQ(crcOf("abc"), 0x648CBB73u);
    EXPECT_EQ(crcOf(""), 0u);
}

TEST(Crc32, TableHoldsTheGeneratorRemainders) {
    EXPECT_EQ(kCrcTable[0], 0u);
    EXPECT_EQ(kCrcTable[1], 0x04C11DB7u);
    EXPECT_EQ(kCrcTable[255], 0xB1F740B4u);
}

TEST(Crc32, ByteAtATimeEqualsBufferUpdate) {
    const char* text = "The quick brown fox";
    uint32_t single = kCrcStart;
    for (const char* p = text; *p; ++p) single = crcUpdate(single, static_cast<uint8_t>(*p));
    EXPECT_EQ(crcFinish(single), crcOf(text));
}

TEST(Crc32, EightByteStepsEqualByteAtATimeForEveryLengthAndStart) {
    uint8_t data[64];
    for (size_t i = 0; i < sizeof data; ++i) data[i] = static_cast<uint8_t>(i * 151 + 7);
    for (size_t start = 0; start < 8; ++start)
        for (size_t length = 0; start + length <= sizeof data; ++length) {
            uint32_t single = 0x12345678u;
            for (size_t i = 0; i < length; ++i) single = crcUpdate(single, data[start + i]);
            EXPECT_EQ(crcUpdate(0x12345678u, data + start, length), single) << start << " " << length;
        }
}

TEST(Crc32, StreamFoldRotatesThenXors) {
    EXPECT_EQ(foldStreamCrc(0, 0x648CBB73u), 0x648CBB73u);
    // The top bit must come round to bit 0, not fall off.
    EXPECT_EQ(foldStreamCrc(0x80000001u, 0), 0x00000003u);
    EXPECT_EQ(foldStreamCrc(0x80000000u, 0xFFFFFFFFu), 0xFFFFFFFEu);
}

}  // namespace
}  // namespace zor
