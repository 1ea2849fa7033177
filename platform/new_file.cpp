// new_file.cpp - O_TMPFILE with a linkat into place, or an O_EXCL part file with a rename, and the clean-up of either.
#include "platform/new_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/signal_cleanup.h"

namespace zor {
namespace {

// Room left in a 255-byte name for ".part-PID-N".
constexpr std::size_t kLongestPartStem = 200;

std::string freshPartName(const std::string& name) {
    static std::atomic<unsigned> counter{0};
    return name.substr(0, kLongestPartStem) + ".part-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

// Keeps errno across clean-up calls that may change it.
class ErrnoKept {
public:
    ErrnoKept() : saved_(errno) {}
    ~ErrnoKept() { errno = saved_; }

private:
    int saved_;
};

}  // namespace

bool NewFile::create(int folder, const std::string& name, mode_t mode, bool allowUnnamed) {
    discard();
    folder_ = folder == AT_FDCWD ? ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (folder_ < 0) return false;
    name_ = name;
    if (allowUnnamed) {
        file_ = ::openat(folder_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
        if (file_ >= 0) return true;
    }
    // No O_TMPFILE on this file system: a registered part file instead.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string part = freshPartName(name);
        FatalSignalsBlocked blocked;
        file_ = ::openat(folder_, part.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (file_ < 0) {
            if (errno == EEXIST) continue;
            break;
        }
        registration_ = registerPartFile(folder_, part);
        if (registration_ < 0) {
            ::unlinkat(folder_, part.c_str(), 0);
            ::close(file_);
            file_ = -1;
            errno = EMFILE;
            break;
        }
        partName_ = part;
        return true;
    }
    ErrnoKept kept;
    closeAll();
    return false;
}

bool NewFile::createBeside(const std::string& path, mode_t mode) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return create(AT_FDCWD, path, mode);
    const std::string folderPath = slash == 0 ? "/" : path.substr(0, slash);
    const int folder = ::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return false;
    const bool created = create(folder, path.substr(slash + 1), mode);
    ErrnoKept kept;
    ::close(folder);
    return created;
}

bool NewFile::linkUnnamed(const std::string& as) const {
    const std::string self = "/proc/self/fd/" + std::to_string(file_);
    if (::linkat(AT_FDCWD, self.c_str(), folder_, as.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == EEXIST) return false;
    // Without /proc, a process that may link any descriptor still can.
    return ::linkat(file_, "", folder_, as.c_str(), AT_EMPTY_PATH) == 0;
}

bool NewFile::commit(bool replace) {
    if (file_ < 0) {
        errno = EBADF;
        return false;
    }
    bool placed = false;
    if (partName_.empty() && !replace) {
        placed = linkUnnamed(name_);
    } else {
        FatalSignalsBlocked blocked;
        if (partName_.empty()) {
            // An unnamed file can only be linked to a free name: link it to a
            // part name, then rename that over the target.
            const std::string part = freshPartName(name_);
            registration_ = registerPartFile(folder_, part);
            if (registration_ < 0) errno = EMFILE;
            else if (linkUnnamed(part)) partName_ = part;
        }
        if (!partName_.empty()) {
            if (replace) {
                placed = ::renameat(folder_, partName_.c_str(), folder_, name_.c_str()) == 0;
            } else if (::renameat2(folder_, partName_.c_str(), folder_, name_.c_str(), RENAME_NOREPLACE) == 0) {
                placed = true;
            } else if (errno == EINVAL || errno == ENOSYS) {
                // A file system without RENAME_NOREPLACE: a link fails on an existing name just as well.
                placed = ::linkat(folder_, partName_.c_str(), folder_, name_.c_str(), 0) == 0;
                if (placed) ::unlinkat(folder_, partName_.c_str(), 0);
            }
            if (placed) {
                unregisterPartFile(registration_);
                registration_ = -1;
                partName_.clear();
            }
        }
    }
    ErrnoKept kept;
    if (placed) {
        ::close(file_);  // the data are in place; a close reports nothing a local file still owes
        file_ = -1;
    }
    discard();
    return placed;
}

void NewFile::discard() {
    if (!partName_.empty()) {
        ::unlinkat(folder_, partName_.c_str(), 0);
        partName_.clear();
    }
    closeAll();
}

void NewFile::closeAll() {
    unregisterPartFile(registration_);
    registration_ = -1;
    if (file_ >= 0) ::close(file_);
    if (folder_ >= 0) ::close(folder_);
    file_ = -1;
    folder_ = -1;
}

}  // namespace zor
