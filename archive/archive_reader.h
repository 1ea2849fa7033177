// archive_reader.h - opens an archive, validates its header and walks its entries with bounds checks.
//
// Every reader (extraction, testing, listing, information, locking) walks
// the entries the same way: from offset 76, record, name, data, for
// numberOfFiles + numberOfDirectories entries; bytes after the last counted
// entry are never read. The walk refuses what the file cannot hold instead
// of reading garbage: negative or impossible entry counts, a nameLength
// that is not positive, a name without its terminating zero, a name or
// data running past the end of the file, and a depth that is not the
// number of "\" in the name (a folder's final one not counted) all make
// the archive corrupt.
//
// When the archive ends with a sound exact-restore block (exact_block.h),
// each entry carries its record and is named by its exact name; otherwise
// each name component that is not UTF-8 is read as Windows-1252. Either
// way `name` is the name to show and extract, `storedName` the bytes stored.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_header.h"
#include "archive/entry_record.h"
#include "archive/exact_block.h"

namespace zor {

struct ArchiveEntry {
    EntryRecord record;
    std::string name;         // as text, exact when the block says so; may hold zero bytes if the archive says so
    std::string storedName;   // the name's bytes in the archive, without the terminating zero
    std::optional<ExactRecord> exact;  // from a sound exact-restore block
    uint64_t offset = 0;      // of the record
    uint64_t dataOffset = 0;  // of the compressed data (just after the name)
    uint64_t nextOffset = 0;  // of the next entry's record
};

// False when a record contradicts itself in a way the writer never
// produces: a folder carrying data or lacking the final "\" of its name, or
// an empty file carrying data. One flipped bit in isFolder or size makes
// such a record, and a reader that believed it would pass over the file's
// data without a word.
bool entryRecordAgrees(const ArchiveEntry& entry);

class ArchiveReader {
public:
    enum class Step { Entry, End, Corrupt };

    ArchiveReader() = default;
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;
    ~ArchiveReader();

    // Opens the file for reading; false when it cannot be opened.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return file_ != nullptr; }

    // Reads the header and checks it: the four refusals of a header, then
    // whether the file can hold the counted entries. The message, or nothing.
    std::optional<std::string> readHeader();
    const ArchiveHeader& header() const { return header_; }

    // Starts the walk at the first entry (the header must have been read).
    void rewindEntries();
    // The next counted entry; End after the last; Corrupt when a record does not fit the file.
    Step next(ArchiveEntry& entry);
    // Index of the entry `next` returns next.
    int64_t entryIndex() const { return index_; }

    // True when the archive's exact-restore block was found sound.
    bool hasExactBlock() const { return !exact_.empty(); }

    std::FILE* file() const { return file_; }
    uint64_t fileLength() const { return fileLength_; }

private:
    // Reads the exact-restore block, if there is a sound one, into `exact_`.
    void loadExactBlock();
    bool exactBlockAgrees();

    std::FILE* file_ = nullptr;
    std::vector<ExactRecord> exact_;  // one per counted entry, or none
    uint64_t fileLength_ = 0;
    ArchiveHeader header_;
    uint64_t position_ = 0;
    int64_t index_ = 0;
};

}  // namespace zor
