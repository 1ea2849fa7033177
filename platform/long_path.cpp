// long_path.cpp - openLongPath: one openat when the path fits, stretches of whole components when not.
#include "platform/long_path.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace zor {
namespace {

// Where the stretch starting at `from` ends: after as many whole components
// (with the slashes that follow them) as fit below PATH_MAX, but at least one.
std::size_t stretchEnd(const std::string& path, std::size_t from) {
    std::size_t end = from;
    for (;;) {
        std::size_t next = path.find('/', end);
        next = next == std::string::npos ? path.size() : path.find_first_not_of('/', next);
        if (next == std::string::npos) next = path.size();
        if (end != from && next - from >= PATH_MAX) return end;
        end = next;
        if (end == path.size()) return end;
    }
}

}  // namespace

int openLongPath(int folder, const std::string& path, int flags, mode_t mode) {
    const int direct = ::openat(folder, path.c_str(), flags, mode);
    if (direct >= 0 || errno != ENAMETOOLONG || path.size() < PATH_MAX) return direct;

    std::size_t from = 0;
    int at = folder;
    if (path.front() == '/') {
        at = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (at < 0) return -1;
        from = path.find_first_not_of('/');
        if (from == std::string::npos) from = path.size() - 1;  // nothing but slashes: the root itself
    }
    for (;;) {
        const std::size_t end = stretchEnd(path, from);
        const std::string stretch = path.substr(from, end - from);
        const bool last = end == path.size();
        const int opened = last ? ::openat(at, stretch.c_str(), flags, mode)
                                : ::openat(at, stretch.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int error = errno;
        if (at != folder) ::close(at);
        if (opened < 0 || last) {
            errno = error;
            return opened;
        }
        at = opened;
        from = end;
    }
}

}  // namespace zor
