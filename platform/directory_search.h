// directory_search.h - lists one folder's entries in the order the file system returns them.
//
// "." and ".." are skipped; hidden entries are included. Each entry's kind
// and size come from its status with symbolic links followed, so a link to a
// file looks like that file; `isLink` tells the caller it was a link (the tree
// walk never descends through a link to a folder, which could loop).
//
// A folder may be searched by path or through an open descriptor of it; the
// latter, with openFolder(), lets a caller walk a tree of any depth and path
// length by names relative to descriptors.
#pragma once

#include <cstdint>
#include <dirent.h>
#include <string>
#include <sys/types.h>

namespace zor {

struct DirectoryEntry {
    enum class Kind { File, Folder, Other, Missing };  // Missing: a dangling link or a vanished entry

    std::string name;
    Kind kind = Kind::Missing;
    bool isLink = false;
    uint64_t size = 0;
    dev_t device = 0;
    ino_t inode = 0;
    mode_t type = 0;  // the S_IFMT bits of the status (after the link), 0 for Missing
    int error = 0;    // for Missing: why the status could not be read (errno)
};

class DirectorySearch {
public:
    DirectorySearch() = default;
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;
    ~DirectorySearch();

    // Opens the folder; false when it cannot be searched (error() says why).
    bool open(const std::string& folder);
    // Opens the folder open as `folder`, which stays the caller's; the
    // search reads from a descriptor of its own, from the first entry.
    bool open(int folder);
    // The next entry; false at the end, or when reading failed (error() then says why).
    bool next(DirectoryEntry& entry);
    void close();
    // The errno of a failed open or read; 0 after a clean end.
    int error() const { return error_; }

private:
    // Searches the folder open as `fd` (taken over); -1 records errno.
    bool adopt(int fd);

    DIR* directory_ = nullptr;
    int error_ = 0;
};

// The descriptor of the folder `name` inside the folder open as `at`
// (AT_FDCWD: the current folder; `name` may be a path of any length), open
// for searching; -1 with errno set when it cannot be opened or is no
// folder. Without `followLink` a link at `name` itself is refused (ENOTDIR),
// so the folder opened is the one that was listed, not one a link swapped in
// since leads to.
int openFolder(int at, const std::string& name, bool followLink);

// Kind, size and identity of the file at `path` (links followed); for
// Missing, `error` says why.
DirectoryEntry examinePath(const std::string& path);

// Kind, size and identity of the file open as `fd` (no name).
DirectoryEntry examineDescriptor(int fd);

}  // namespace zor
