// archive_streams.cpp - spooling standard input into an unnamed file, and packing for standard output.
#include "cli/archive_streams.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/file_messages.h"
#include "cli/exit_status.h"
#include "cli/terminal_ui.h"
#include "platform/folders.h"
#include "platform/unique_descriptor.h"

namespace zor::cli {
namespace {

constexpr char kStandardInputName[] = "(standard input)";
constexpr char kStandardOutputName[] = "(standard output)";

// Copies everything from `from` to `to`; 0, or the errno of the read (`readFailed` set) or write that failed.
int copyAll(int from, int to, bool& readFailed) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        readFailed = got < 0;
        if (got <= 0) return got < 0 ? errno : 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) return errno;
            done += put;
        }
    }
}

}  // namespace

int ArchiveInput::take(const std::string& given) {
    path_ = shown_ = given;
    if (given != kStandardStream) return kSuccess;
    shown_ = kStandardInputName;
    struct stat status {};
    if (::fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode)) {
        path_ = "/proc/self/fd/0";  // a file: read where it is
        return kSuccess;
    }
    if (::isatty(STDIN_FILENO)) {
        printMessage("an archive will not be read from a terminal (give its name, or redirect standard input)");
        return kUsage;
    }
    const std::string spool = temporaryFolder() + "zor-cli-standard-input";
    if (!spool_.createBeside(spool, 0600)) {
        printMessage(aboutFile(spool, "Cannot open file", errno));
        return kFailed;
    }
    bool readFailed = false;
    if (const int error = copyAll(STDIN_FILENO, spool_.descriptor(), readFailed)) {
        printMessage(aboutFile(readFailed ? kStandardInputName : spool, kWriteFailedMessage, error));
        return kFailed;
    }
    path_ = "/proc/self/fd/" + std::to_string(spool_.descriptor());
    return kSuccess;
}

ArchiveOutput::~ArchiveOutput() {
    if (folder_.empty()) return;
    ::unlink(archive_.c_str());
    ::rmdir(folder_.c_str());
}

int ArchiveOutput::prepare() {
    if (::isatty(STDOUT_FILENO)) {
        printMessage("the archive will not be written to a terminal (redirect standard output)");
        return kUsage;
    }
    std::string pattern = temporaryFolder() + "zor-cli-XXXXXX";
    if (!::mkdtemp(pattern.data())) {  // a folder only this user can enter
        printMessage(aboutFile(pattern, "Cannot create archive", errno));
        return kFailed;
    }
    folder_ = pattern;
    archive_ = folder_ + "/archive.zor";
    return kSuccess;
}

bool ArchiveOutput::deliver() {
    const UniqueDescriptor archive(::open(archive_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!archive.open()) {
        printMessage(aboutFile(archive_, "Cannot open file", errno));
        return false;
    }
    // Nothing of it stays on the disk from here on, whatever ends the copy.
    ::unlink(archive_.c_str());
    ::rmdir(folder_.c_str());
    folder_.clear();
    bool readFailed = false;
    const int error = copyAll(archive.get(), STDOUT_FILENO, readFailed);
    if (error != 0) {
        printMessage(aboutFile(readFailed ? archive_ : kStandardOutputName, kWriteFailedMessage, error));
    }
    return error == 0;
}

}  // namespace zor::cli
