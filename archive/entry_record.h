// entry_record.h - the 40-byte record that opens every archive entry, and its byte layout.
//
// Layout (little-endian): 0 fileTime (DOS date/time), 4 isFolder, 8 size,
// 12 packedSize, 16 attributes, 20 nameLength (counts the name's zero
// byte), 22 reserved, 24 entryType (3 folder, 0 file; written, never read),
// 28 depth, 30 ten reserved bytes. The record is followed by the name and,
// for a file, packedSize bytes of compressed data.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

namespace zor {

inline constexpr std::size_t kEntryRecordSize = 40;
inline constexpr int32_t kEntryTypeFile = 0;
inline constexpr int32_t kEntryTypeFolder = 3;

struct EntryRecord {
    uint32_t fileTime = 0;
    int32_t isFolder = 0;
    uint32_t size = 0;
    uint32_t packedSize = 0;
    int32_t attributes = 0;
    int16_t nameLength = 0;
    uint16_t reserved1 = 0;
    int32_t entryType = 0;
    int16_t depth = 0;
    std::array<uint8_t, 10> reserved2 {};

    // Readers tell files from folders by isFolder alone.
    bool folder() const { return isFolder == 1; }
};

std::array<uint8_t, kEntryRecordSize> encodeEntryRecord(const EntryRecord& record);
EntryRecord decodeEntryRecord(const uint8_t* bytes);

// Read or write the 40 bytes at the stream's current position.
bool readEntryRecord(std::FILE* file, EntryRecord& record);
bool writeEntryRecord(std::FILE* file, const EntryRecord& record);

}  // namespace zor
