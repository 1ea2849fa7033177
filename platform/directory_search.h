// directory_search.h - lists one folder's entries in the order the file system returns them.
//
// "." and ".." are skipped; hidden entries are included. Each entry's kind
// and size come from its status with symbolic links followed, so a link to a
// file looks like that file; `isLink` tells the caller it was a link (the tree
// walk never descends through a link to a folder, which could loop).
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
};

class DirectorySearch {
public:
    DirectorySearch() = default;
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;
    ~DirectorySearch();

    // Opens the folder; false when it cannot be searched.
    bool open(const std::string& folder);
    // The next entry; false at the end.
    bool next(DirectoryEntry& entry);
    void close();

private:
    DIR* directory_ = nullptr;
};

// Kind, size and identity of the file at `path` (links followed).
DirectoryEntry examinePath(const std::string& path);

}  // namespace zor
