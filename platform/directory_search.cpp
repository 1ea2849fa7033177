// directory_search.cpp - readdir order with each entry examined through its folder's descriptor.
#include "platform/directory_search.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/long_path.h"

namespace zor {
namespace {

void describe(const struct stat& status, DirectoryEntry& entry) {
    if (S_ISREG(status.st_mode)) {
        entry.kind = DirectoryEntry::Kind::File;
        entry.size = static_cast<uint64_t>(status.st_size);
    } else if (S_ISDIR(status.st_mode)) {
        entry.kind = DirectoryEntry::Kind::Folder;
    } else {
        entry.kind = DirectoryEntry::Kind::Other;
    }
    entry.device = status.st_dev;
    entry.inode = status.st_ino;
    entry.type = status.st_mode & S_IFMT;
}

// fstatat(at, name, ...), for a `name` too long for one call through a descriptor of it.
bool statAt(int at, const std::string& name, bool followLink, struct stat& status) {
    if (::fstatat(at, name.c_str(), &status, followLink ? 0 : AT_SYMLINK_NOFOLLOW) == 0) return true;
    if (errno != ENAMETOOLONG) return false;
    const int fd = openLongPath(at, name, O_PATH | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0) return false;
    const bool done = ::fstat(fd, &status) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return done;
}

// Fills `entry` (whose name is set) from the status of `name` in the folder open as `at`.
void examine(int at, const std::string& name, DirectoryEntry& entry) {
    struct stat status {};
    if (!statAt(at, name, false, status)) {
        entry.error = errno;
        return;
    }
    entry.isLink = S_ISLNK(status.st_mode);
    if (entry.isLink && !statAt(at, name, true, status)) {
        entry.error = errno;
        return;
    }
    describe(status, entry);
}

}  // namespace

DirectorySearch::~DirectorySearch() { close(); }

bool DirectorySearch::open(const std::string& folder) {
    close();
    return adopt(openFolder(AT_FDCWD, folder.empty() ? "." : folder, true));
}

bool DirectorySearch::open(int folder) {
    close();
    // A descriptor of its own gives the search its own reading position.
    return adopt(folder < 0 ? -1 : ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

bool DirectorySearch::adopt(int fd) {
    directory_ = fd < 0 ? nullptr : ::fdopendir(fd);
    error_ = directory_ ? 0 : errno;
    if (!directory_ && fd >= 0) ::close(fd);
    return directory_ != nullptr;
}

bool DirectorySearch::next(DirectoryEntry& entry) {
    if (!directory_) return false;
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(directory_);
        if (!found) {
            error_ = errno;
            return false;
        }
        const std::string name = found->d_name;
        if (name == "." || name == "..") continue;
        entry = DirectoryEntry{};
        entry.name = name;
        examine(::dirfd(directory_), name, entry);
        return true;
    }
}

void DirectorySearch::close() {
    if (directory_) ::closedir(directory_);
    directory_ = nullptr;
}

int openFolder(int at, const std::string& name, bool followLink) {
    return openLongPath(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
}

DirectoryEntry examinePath(const std::string& path) {
    DirectoryEntry entry;
    const auto slash = path.rfind('/');
    entry.name = slash == std::string::npos ? path : path.substr(slash + 1);
    examine(AT_FDCWD, path, entry);
    return entry;
}

DirectoryEntry examineDescriptor(int fd) {
    DirectoryEntry entry;
    struct stat status {};
    if (::fstat(fd, &status) == 0) describe(status, entry);
    else entry.error = errno;
    return entry;
}

}  // namespace zor
