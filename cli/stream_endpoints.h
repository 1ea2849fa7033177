// stream_endpoints.h - the two ends of zor-cli compress/decompress, checked before a byte is written.
//
// The input is a regular file or standard input; a named FIFO, device or
// folder is refused (a pipe or device can always be given on standard
// input), so opening never waits.
//
// The output is one of:
// - standard output;
// - a character device named on purpose (/dev/null, also through a link
//   such as /dev/stdout), written into as it is: never created, truncated,
//   renamed or removed;
// - a new file (NewFile) in the output's folder that takes the output's name
//   only when the stream is complete and flushed, synced and closed without
//   error, so a failure or a fatal signal leaves nothing of this run. An
//   existing file or symbolic link at the name is replaced only with
//   `force`, by renaming the new file over it: a link is replaced itself,
//   never its target, and a replaced file keeps its permission bits.
// A folder, FIFO, socket or block device at the output's name is refused,
// and so is an output that is the input file itself (the same device and
// inode, whatever name or link leads there). Every refusal prints one line
// naming what it is about and leaves every file as it was.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "platform/new_file.h"

namespace zor::cli {

// "" and "-" stand for the standard streams.
bool isStandardStream(const std::string& name);

class StreamInput {
public:
    StreamInput() = default;
    StreamInput(const StreamInput&) = delete;
    StreamInput& operator=(const StreamInput&) = delete;
    ~StreamInput();

    // Opens `name`; kSuccess, or the exit status after the reason was
    // printed. `compressed`: the input holds compressed data, which is never
    // read from a terminal.
    int open(const std::string& name, bool compressed);

    std::FILE* file() const { return file_; }
    const std::string& displayName() const { return displayName_; }
    // True when the input is a regular file and `status` is that same file.
    bool isSameFile(const struct stat& status) const;

private:
    std::FILE* file_ = nullptr;
    std::string displayName_;
    struct stat status_ {};
};

class StreamOutput {
public:
    StreamOutput() = default;
    StreamOutput(const StreamOutput&) = delete;
    StreamOutput& operator=(const StreamOutput&) = delete;
    ~StreamOutput();  // discards a new file that was not finished

    // Prepares `name` as described above; kSuccess, or the exit status after
    // the reason was printed. `compressed`: the output will hold compressed
    // data, which is never written to a terminal.
    int open(const std::string& name, bool force, bool compressed, const StreamInput& input);

    std::FILE* file() const { return file_; }
    const std::string& displayName() const { return displayName_; }
    // The error of the first write, sync or placing that failed; 0 while none has.
    int failure() const { return failure_.load(); }

    // Called once the stream is complete: flushes, and for a new file syncs
    // it and puts it under its name. False when any of it failed (failure()
    // then says why); the new file is then gone.
    bool finish();

private:
    int openNamed(const std::string& name, bool force, bool compressed, const StreamInput& input);
    int openDevice(const std::string& name, bool compressed);
    int openNewFile(const std::string& name, bool replace, const struct stat* replaced);
    bool attachStream();
    static ssize_t writeThrough(void* self, const char* bytes, size_t length);

    std::FILE* file_ = nullptr;   // buffered writes to descriptor_, failures recorded in failure_
    int descriptor_ = -1;
    bool ownsDescriptor_ = false;  // a device this object opened
    NewFile newFile_;              // holds a file only when the output is a new file
    bool replace_ = false;         // whether the new file replaces what stands at the name
    std::string displayName_;
    std::atomic<int> failure_{0};  // set where the engine writes, read where it reports
};

}  // namespace zor::cli
