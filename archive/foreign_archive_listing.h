// foreign_archive_listing.h - recognises other archive types (zip, tar, 7z, rar, iso, cpio) and reads their directory.
//
// Read-only, through libarchive. Recognition looks at the file's content,
// not its name: a file libarchive does not read as one of the supported
// types (a ZOR archive among them) is left to the caller. Tar and cpio are
// also recognised inside gzip, bzip2, xz, lzma, zstd, lz4 and compress
// wrappers. An empty file is not an archive of any kind here.
//
// libarchive does not report how many bytes an entry takes in the archive,
// so no packed size is given: the formats' own records are not parsed here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zor {

struct ForeignArchiveType {
    std::string name;  // libarchive's name of the format, such as "ZIP 2.0 (deflation)" or "GNU tar format"
};

// The archive type of the file at `path`, or nothing when it is not one of
// the supported types (or cannot be read).
std::optional<ForeignArchiveType> recogniseForeignArchive(const std::string& path);

// One entry of a foreign archive's directory.
struct ForeignArchiveEntry {
    std::string path;          // as stored, "/" between components, a folder's without its final "/"
    bool isFolder = false;
    uint64_t size = 0;         // unpacked bytes (0 when the archive does not say)
    // `path` split at its last "/": the name, and the folder part ("" at the
    // top, else ending with "/").
    std::string fileName() const;
    std::string folderPart() const;
};

// Called between the blocks read from the file, with the number of
// entries reported so far: reading a compressed tar means decompressing all
// of it, so the caller keeps its window served from here.
using ForeignReadProgress = std::function<void(uint64_t entriesRead)>;

// Reads the directory of the archive at `path` and calls `onEntry` once per
// entry, in archive order; the archive's own root ("." or "./") and "."
// or ".." components are no entries. False when the file cannot be opened
// as a supported archive, or its directory breaks off (the entries before
// the damage have been reported); `error` then says why.
bool readForeignArchiveDirectory(const std::string& path,
                                 const std::function<void(const ForeignArchiveEntry&)>& onEntry,
                                 std::string* error = nullptr, const ForeignReadProgress& progress = {});

}  // namespace zor
