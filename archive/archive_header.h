// archive_header.h - the 76-byte archive header: its fields, creation values, byte layout and validation.
//
// Layout (little-endian, offsets in bytes): 0 signature "ZOR\0", 4
// archiveSize (signed, -1 while the archive is being written), 8 totalSize,
// 12 totalPackedSize, 16 numberOfFiles, 20 numberOfDirectories, 24 version
// (6-byte text), 30 blockSize, 32 ratio, 34 passwordProtected, 36 marker (12
// bytes), 48 markerLength, 50 minVersion (6-byte text), 56/58/60 reserved,
// 62 locked, 64 reserved text (12 bytes).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace zor {

inline constexpr std::size_t kArchiveHeaderSize = 76;
inline constexpr char kProgramVersion[] = "2.00";
inline constexpr char kStructureVersion[] = "1.56";

inline constexpr char kNotZorArchiveMessage[] = "The header signature is not ZOR, this is not a ZOR archive!";
inline constexpr char kCorruptArchiveMessage[] = "ZOR archive is corrupt";

struct ArchiveHeader {
    std::array<uint8_t, 4> signature {};
    int32_t archiveSize = 0;
    uint32_t totalSize = 0;
    uint32_t totalPackedSize = 0;
    int32_t numberOfFiles = 0;
    int32_t numberOfDirectories = 0;
    std::array<uint8_t, 6> version {};
    int16_t blockSize = 0;
    int16_t ratio = 0;
    int16_t passwordProtected = 0;
    std::array<uint8_t, 12> marker {};
    int16_t markerLength = 0;
    std::array<uint8_t, 6> minVersion {};
    int16_t reserved1 = 0;
    int16_t reserved2 = 0;
    int16_t reserved3 = 0;
    int16_t locked = 0;
    std::array<uint8_t, 12> reserved4 {};

    bool isPasswordProtected() const { return passwordProtected == 1; }
    bool isLocked() const { return locked == 1; }
    // numberOfFiles + numberOfDirectories, without overflow.
    int64_t entryCount() const { return int64_t{numberOfFiles} + int64_t{numberOfDirectories}; }
};

// A header with the values written when an archive is created: unfinished
// (archiveSize, totalPackedSize and ratio -1), no password, unlocked.
ArchiveHeader newArchiveHeader();

std::array<uint8_t, kArchiveHeaderSize> encodeArchiveHeader(const ArchiveHeader& header);
ArchiveHeader decodeArchiveHeader(const uint8_t* bytes);

// Read or write the 76 bytes at the stream's current position; false on a short read or a failed write.
bool readArchiveHeader(std::FILE* file, ArchiveHeader& header);
bool writeArchiveHeader(std::FILE* file, const ArchiveHeader& header);

// The text of a zero-terminated field (everything before its first zero byte).
std::string fieldText(const uint8_t* field, std::size_t width);
template <std::size_t N>
std::string fieldText(const std::array<uint8_t, N>& field) { return fieldText(field.data(), N); }

// The message that refuses this header, checked in order: signature,
// unfinished archive, older structure, newer program. Nothing when it is accepted.
std::optional<std::string> headerValidationError(const ArchiveHeader& header);

// packed x 100 / total in floating point, rounded to single precision and
// truncated; 0 for an empty total. Values beyond the 16-bit field are clamped.
int16_t computeRatio(uint32_t totalPackedSize, uint32_t totalSize);

}  // namespace zor
