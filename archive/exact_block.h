// exact_block.h - the block after an archive's entries that restores names, permissions, times and links exactly.
//
// The entries of an archive hold names in lower case, a read-only bit and a
// two-second local time, and know no links. Where that would lose
// something, the packer appends this block after everything the entry walk
// reads (the trailing record copy included), so other readers never see
// it. It holds one record per counted entry, in entry order, and ends with
// a fixed trailer (length, CRC-32, signature) so a reader finds it from the
// file's end. docs/exact-restore-block.md gives the layout.
//
// A reader believes the block only as a whole: signature, version, length,
// CRC, exactly one record per entry, and each record agreeing with its
// entry (same kind, and the stored name being what the packer makes of the
// exact name). Anything else, and the archive is read as a plain one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zor {

enum class ExactKind : uint8_t { File = 0, Folder = 1, Link = 2 };

struct ExactRecord {
    ExactKind kind = ExactKind::File;
    uint16_t mode = 0;         // permission bits, 0777 at most
    int64_t seconds = 0;       // modification time since 1970 (UTC)
    uint32_t nanoseconds = 0;  // below 1 000 000 000
    std::string name;          // the name on disk, "\" between components, a folder's ending with "\"
    std::string target;        // a link's target text; empty otherwise
};

inline constexpr std::size_t kExactTrailerSize = 16;

// The block and its trailer, ready to append.
std::vector<uint8_t> encodeExactBlock(const std::vector<ExactRecord>& records);

// The records of a block body (without its trailer) that holds exactly
// `entryCount` sound records; nothing otherwise. Allocates no more than the body's size.
std::optional<std::vector<ExactRecord>> decodeExactBlock(const uint8_t* body, std::size_t size, uint64_t entryCount);

// Where the body of the block ends: its trailer, read from the last
// kExactTrailerSize bytes of a file `fileLength` long. The body's offset
// and length, when the trailer's signature is there, the body fits
// between `entriesEnd` and the trailer, and the CRC is left to check.
struct ExactTrailer {
    uint64_t bodyOffset = 0;
    uint32_t bodyLength = 0;
    uint32_t crc = 0;
};
std::optional<ExactTrailer> decodeExactTrailer(const uint8_t* trailer, uint64_t fileLength, uint64_t entriesEnd);

// The block's CRC-32 of `size` bytes.
uint32_t exactBlockCrc(const uint8_t* data, std::size_t size);

}  // namespace zor
