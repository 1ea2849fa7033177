// regular_file.cpp - a non-blocking open, a type check, then an ordinary descriptor or stdio stream.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/long_path.h"

namespace zor {

int openRegularDescriptor(const std::string& path, struct stat& status) {
    // O_NONBLOCK keeps open() from waiting for a writer when the name is a
    // FIFO. It is the only status flag asked for, so setting the flags to
    // none clears it without reading them first. A path too long for one
    // call (a file deep in a tree) is opened a stretch at a time.
    const int fd = openLongPath(AT_FDCWD, path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::FILE* openRegularFile(const std::string& path) {
    struct stat status {};
    const int fd = openRegularDescriptor(path, status);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) ::close(fd);
    return file;
}

}  // namespace zor
