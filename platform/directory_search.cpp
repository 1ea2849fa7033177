// directory_search.cpp - readdir order with each entry examined through its folder's descriptor.
#include "platform/directory_search.h"

#include <fcntl.h>
#include <sys/stat.h>

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
}

}  // namespace

DirectorySearch::~DirectorySearch() { close(); }

bool DirectorySearch::open(const std::string& folder) {
    close();
    directory_ = ::opendir(folder.empty() ? "." : folder.c_str());
    return directory_ != nullptr;
}

bool DirectorySearch::next(DirectoryEntry& entry) {
    if (!directory_) return false;
    for (;;) {
        const dirent* found = ::readdir(directory_);
        if (!found) return false;
        const std::string name = found->d_name;
        if (name == "." || name == "..") continue;
        entry = DirectoryEntry{};
        entry.name = name;
        const int folderFd = ::dirfd(directory_);
        struct stat status {};
        if (::fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return true;
        entry.isLink = S_ISLNK(status.st_mode);
        if (entry.isLink && ::fstatat(folderFd, name.c_str(), &status, 0) != 0) return true;
        describe(status, entry);
        return true;
    }
}

void DirectorySearch::close() {
    if (directory_) ::closedir(directory_);
    directory_ = nullptr;
}

DirectoryEntry examinePath(const std::string& path) {
    DirectoryEntry entry;
    const auto slash = path.rfind('/');
    entry.name = slash == std::string::npos ? path : path.substr(slash + 1);
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return entry;
    entry.isLink = S_ISLNK(status.st_mode);
    if (entry.isLink && ::stat(path.c_str(), &status) != 0) return entry;
    describe(status, entry);
    return entry;
}

}  // namespace zor
