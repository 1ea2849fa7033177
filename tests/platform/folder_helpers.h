// folder_helpers.h - folders for walk tests: a chain nested deeper than one system call's path, and a folder's names in list order.
#pragma once

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/directory_search.h"

namespace zor::test {

// Makes `depth` nested folders named `name` below `base` and a 4-byte file
// "bottom" in the deepest, then calls `inDeepest` with that folder's
// descriptor; returns the path of that folder relative to `base`.
inline std::string makeNestedFolders(const std::string& base, int depth, const std::string& name,
                                     const std::function<void(int)>& inDeepest = {}) {
    int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY);
    std::string path;
    for (int level = 0; level < depth && fd >= 0; ++level) {
        ::mkdirat(fd, name.c_str(), 0755);
        const int inner = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = inner;
        path += (path.empty() ? "" : "/") + name;
    }
    EXPECT_GE(fd, 0);
    const int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT, 0644);
    EXPECT_EQ(::write(file, "deep", 4), 4);
    ::close(file);
    if (inDeepest) inDeepest(fd);
    ::close(fd);
    return path;
}

// The names of a folder in the order the file system lists them.
inline std::vector<std::string> namesInListOrder(const std::string& path) {
    std::vector<std::string> names;
    DirectorySearch search;
    DirectoryEntry entry;
    search.open(path);
    while (search.next(entry)) names.push_back(entry.name);
    return names;
}

}  // namespace zor::test
