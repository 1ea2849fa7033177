// safe_destination.cpp - openat/mkdirat walks below the destination that replace links instead of following them.
#include "archive/safe_destination.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/folders.h"

namespace zor {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

}  // namespace

SafeDestination::~SafeDestination() {
    if (root_ >= 0) ::close(root_);
}

bool SafeDestination::open(const std::string& folder) {
    if (!createFolderPath(folder)) return false;
    root_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return root_ >= 0;
}

int SafeDestination::enterFolder(int parent, const std::string& name) {
    int fd = ::openat(parent, name.c_str(), kFolderFlags);
    if (fd >= 0) return fd;
    struct stat status {};
    if (::fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISLNK(status.st_mode) || ::unlinkat(parent, name.c_str(), 0) != 0) return -1;
    }
    if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) return -1;
    return ::openat(parent, name.c_str(), kFolderFlags);
}

int SafeDestination::openParent(const std::vector<std::string>& components) {
    if (root_ < 0 || components.empty()) return -1;
    int fd = ::dup(root_);
    for (std::size_t i = 0; fd >= 0 && i + 1 < components.size(); ++i) {
        const int inner = enterFolder(fd, components[i]);
        ::close(fd);
        fd = inner;
    }
    return fd;
}

bool SafeDestination::makeFolder(const std::vector<std::string>& components) {
    const int parent = openParent(components);
    if (parent < 0) return false;
    const int folder = enterFolder(parent, components.back());
    ::close(parent);
    if (folder < 0) return false;
    ::close(folder);
    return true;
}

std::vector<std::string> splitEntryName(const std::string& entryName) {
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start < entryName.size()) {
        std::size_t end = entryName.find('\\', start);
        if (end == std::string::npos) end = entryName.size();
        components.push_back(entryName.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

}  // namespace zor
