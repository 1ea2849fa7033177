// safe_destination.cpp - openat/mkdirat walks below the destination that stop at anything but a folder.
#include "archive/safe_destination.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "archive/file_messages.h"
#include "platform/folders.h"

namespace zor {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Why `name` in `parent` (shown as `path`) could not be entered, `error` being what the walk met.
std::string whyNotAFolder(int parent, const std::string& name, int error, const std::string& path) {
    struct stat status {};
    if (::fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(status.st_mode)) {
        return path + " is " + kindOfFile(status) + ", not a folder";
    }
    return aboutFile(path, "cannot be opened or created as a folder", error);
}

}  // namespace

SafeDestination::~SafeDestination() {
    if (root_ >= 0) ::close(root_);
}

bool SafeDestination::open(const std::string& folder) {
    folder_ = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    if (!createFolderPath(folder)) return false;
    root_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return root_ >= 0;
}

std::string SafeDestination::diskPath(const std::vector<std::string>& components, std::size_t count) const {
    std::string path = folder_;
    for (std::size_t i = 0; i < count && i < components.size(); ++i) path += (i > 0 ? "/" : "") + components[i];
    return path;
}

int SafeDestination::openFolder(const std::vector<std::string>& components, std::size_t count,
                                std::string& refusal, bool* createdLast) {
    if (createdLast) *createdLast = false;
    int fd = root_ < 0 ? -1 : ::fcntl(root_, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        refusal = aboutFile(folder_, "cannot be opened as a folder", root_ < 0 ? EBADF : errno);
        return -1;
    }
    for (std::size_t i = 0; fd >= 0 && i < count; ++i) {
        const std::string& name = components[i];
        int inner = ::openat(fd, name.c_str(), kFolderFlags);
        if (inner < 0 && errno == ENOENT) {
            // A folder made by someone else in the meantime is as good as our own.
            const bool made = ::mkdirat(fd, name.c_str(), 0777) == 0;
            if (made && createdLast && i + 1 == count) *createdLast = true;
            if (made || errno == EEXIST) inner = ::openat(fd, name.c_str(), kFolderFlags);
        }
        if (inner < 0) refusal = whyNotAFolder(fd, name, errno, diskPath(components, i + 1));
        ::close(fd);
        fd = inner;
    }
    return fd;
}

int SafeDestination::openParent(const std::vector<std::string>& components, std::string& refusal) {
    if (components.empty()) {
        refusal = "it has no name";
        return -1;
    }
    return openFolder(components, components.size() - 1, refusal);
}

int SafeDestination::openFolderAt(const std::vector<std::string>& components, std::string& refusal) {
    return openFolder(components, components.size(), refusal);
}

bool SafeDestination::makeFolder(const std::vector<std::string>& components, std::string& refusal, bool* created) {
    const int folder = openFolder(components, components.size(), refusal, created);
    if (folder < 0) return false;
    ::close(folder);
    return true;
}

std::string kindOfFile(const struct stat& status) {
    if (S_ISREG(status.st_mode)) return "a file";
    if (S_ISDIR(status.st_mode)) return "a folder";
    if (S_ISLNK(status.st_mode)) return "a symbolic link";
    if (S_ISFIFO(status.st_mode)) return "a named pipe";
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return "a device";
    if (S_ISSOCK(status.st_mode)) return "a socket";
    return "neither a file nor a folder";
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
