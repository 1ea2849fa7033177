// stream_endpoints.cpp - checking and opening the input, choosing how the output is written, putting a new output in place.
#include "cli/stream_endpoints.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "cli/exit_status.h"
#include "platform/regular_file.h"

namespace zor::cli {

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISCHR(mode)) return "a device";
    return "not a regular file";
}

int refuseTerminal(const char* direction, const char* remedy) {
    std::fprintf(stderr, "zor-cli: compressed data will not be %s a terminal (%s)\n", direction, remedy);
    return kUsage;
}

int reportOpenFailure(const std::string& name, const char* what, int error) {
    std::fprintf(stderr, "zor-cli: cannot open %s for %s: %s\n", name.c_str(), what, std::strerror(error));
    return kFailed;
}

int refuseOutput(const std::string& name, const std::string& why) {
    std::fprintf(stderr, "zor-cli: %s %s; nothing was written\n", name.c_str(), why.c_str());
    return kFailed;
}

}  // namespace

bool isStandardStream(const std::string& name) { return name.empty() || name == "-"; }

StreamInput::~StreamInput() {
    if (file_ && file_ != stdin) std::fclose(file_);
}

int StreamInput::open(const std::string& name, bool compressed) {
    if (isStandardStream(name)) {
        displayName_ = "(standard input)";
        if (compressed && ::isatty(STDIN_FILENO))
            return refuseTerminal("read from", "name an input file or redirect standard input");
        if (::fstat(STDIN_FILENO, &status_) != 0) return reportOpenFailure(displayName_, "reading", errno);
        file_ = stdin;
        return kSuccess;
    }
    displayName_ = name;
    const int fd = openRegularDescriptor(name, status_);
    if (fd < 0) {
        const int error = errno;
        struct stat found {};
        if (::stat(name.c_str(), &found) == 0 && !S_ISREG(found.st_mode)) {
            std::fprintf(stderr, "zor-cli: cannot open %s for reading: it is %s, not a regular file%s\n", name.c_str(),
                         kindOf(found.st_mode), S_ISDIR(found.st_mode) ? "" : " (give it on standard input)");
            return kFailed;
        }
        return reportOpenFailure(name, "reading", error);
    }
    file_ = ::fdopen(fd, "rb");
    if (!file_) {
        const int error = errno;
        ::close(fd);
        return reportOpenFailure(name, "reading", error);
    }
    return kSuccess;
}

bool StreamInput::isSameFile(const struct stat& status) const {
    return S_ISREG(status_.st_mode) && status.st_dev == status_.st_dev && status.st_ino == status_.st_ino;
}

StreamOutput::~StreamOutput() {
    // Whatever is still buffered goes to a file that is discarded, or to the
    // stream or device the failed run was already writing.
    if (file_) std::fclose(file_);
    if (ownsDescriptor_) ::close(descriptor_);
}

int StreamOutput::open(const std::string& name, bool force, bool compressed, const StreamInput& input) {
    if (!isStandardStream(name)) return openNamed(name, force, compressed, input);
    displayName_ = "(standard output)";
    if (compressed && ::isatty(STDOUT_FILENO))
        return refuseTerminal("written to", "name an output file or redirect standard output");
    struct stat status {};
    if (::fstat(STDOUT_FILENO, &status) != 0) return reportOpenFailure(displayName_, "writing", errno);
    // Appending to the file being read would never end.
    if (input.isSameFile(status)) return refuseOutput(displayName_, "is the input file " + input.displayName());
    descriptor_ = STDOUT_FILENO;
    return attachStream() ? kSuccess : reportOpenFailure(displayName_, "writing", errno);
}

int StreamOutput::openNamed(const std::string& name, bool force, bool compressed, const StreamInput& input) {
    displayName_ = name;
    struct stat self {};
    if (::lstat(name.c_str(), &self) != 0) {
        if (errno != ENOENT) return reportOpenFailure(name, "writing", errno);
        return openNewFile(name, false, nullptr);
    }
    struct stat target = self;
    const bool reachesTarget = !S_ISLNK(self.st_mode) || ::stat(name.c_str(), &target) == 0;
    if (reachesTarget && input.isSameFile(target))
        return refuseOutput(name, "is the same file as the input " + input.displayName());
    if (reachesTarget && S_ISCHR(target.st_mode)) return openDevice(name, compressed);
    if (S_ISLNK(self.st_mode) || S_ISREG(self.st_mode)) {
        if (!force) return refuseOutput(name, "already exists (--force replaces it)");
        return openNewFile(name, true, S_ISREG(self.st_mode) ? &self : nullptr);
    }
    return refuseOutput(name, std::string("is ") + kindOf(self.st_mode) + ", not a regular file");
}

int StreamOutput::openDevice(const std::string& name, bool compressed) {
    // O_NONBLOCK: a device that waits for a line (a modem) must not hold the open.
    descriptor_ = ::open(name.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor_ < 0) return reportOpenFailure(name, "writing", errno);
    ownsDescriptor_ = true;
    struct stat status {};
    // Something else may have taken the name since it was examined: write into nothing but a device.
    if (::fstat(descriptor_, &status) != 0 || !S_ISCHR(status.st_mode))
        return refuseOutput(name, "changed while it was opened");
    if (compressed && ::isatty(descriptor_))
        return refuseTerminal("written to", "name an output file or redirect standard output");
    const int flags = ::fcntl(descriptor_, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor_, F_SETFL, flags & ~O_NONBLOCK) != 0 || !attachStream())
        return reportOpenFailure(name, "writing", errno);
    return kSuccess;
}

int StreamOutput::openNewFile(const std::string& name, bool replace, const struct stat* replaced) {
    if (!newFile_.createBeside(name)) return reportOpenFailure(name, "writing", errno);
    descriptor_ = newFile_.descriptor();
    replace_ = replace;
    if (replaced && ::fchmod(descriptor_, replaced->st_mode & 0777) != 0)
        return reportOpenFailure(name, "writing", errno);
    return attachStream() ? kSuccess : reportOpenFailure(name, "writing", errno);
}

ssize_t StreamOutput::writeThrough(void* self, const char* bytes, size_t length) {
    auto* output = static_cast<StreamOutput*>(self);
    size_t written = 0;
    while (written < length) {
        const ssize_t n = ::write(output->descriptor_, bytes + written, length - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            int none = 0;
            output->failure_.compare_exchange_strong(none, n < 0 ? errno : EIO);
            break;
        }
    }
    // A short count marks the stream as failed.
    return static_cast<ssize_t>(written);
}

bool StreamOutput::attachStream() {
    cookie_io_functions_t functions{};
    functions.write = &StreamOutput::writeThrough;
    file_ = ::fopencookie(this, "wb", functions);
    return file_ != nullptr;
}

bool StreamOutput::finish() {
    std::FILE* file = file_;
    file_ = nullptr;
    const bool flushed = file && std::fclose(file) == 0 && failure_ == 0;
    if (!flushed && failure_ == 0) failure_ = EIO;
    if (!flushed || newFile_.descriptor() < 0) return flushed;
    // The name must never point at bytes still on their way to the disk.
    if (::fsync(descriptor_) != 0 || !newFile_.commit(replace_)) {
        failure_ = errno;
        newFile_.discard();
        return false;
    }
    return true;
}

}  // namespace zor::cli
