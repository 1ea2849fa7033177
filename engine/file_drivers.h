// file_drivers.h - whole-stream drivers: compress an open file into an archive, decompress or test one entry's stream.
//
// The drivers move data in 5000-byte chunks, keep the progress counters,
// honour the abort request once a stream is complete, and turn every
// failing status into the user-visible message, shown through the
// `DriverUi` they are given. They never open or close the files they are
// given. With `settings.threads` above one they make or decode the stream
// on that many threads where the input allows it; the bytes written, the
// result, the messages, labels and progress are those of one thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace zor {

// Fixed at start-up and never changed: level 9, work factor 30, verbosity 0, fast memory mode.
struct EngineSettings {
    int32_t blockSizeLevel = 9;
    int32_t workFactor = 30;
    int32_t verbosity = 0;
    int32_t smallMode = 0;
    // Worker threads for one stream; 1 is the one-thread engine. The bytes
    // written are the same for every count.
    int32_t threads = 1;
    // Compressed inputs shorter than this decode on one thread, where
    // starting workers would cost more than they save.
    int64_t smallestParallelDecode = int64_t{1} << 20;
};

// The thread count the front ends use unless told otherwise: one per core.
int32_t coreCount();

// What the drivers need from the person-facing side. The archive layer's
// operation interface implements it.
class DriverUi {
public:
    virtual ~DriverUi() = default;
    // Recoverable: closes the progress window, shows the box and returns.
    // Fatal: shows the box and ends the process with status 3; an
    // implementation that returns (a test double) makes the driver give up.
    virtual void reportError(const std::string& text, bool fatal) = 0;
    virtual void setActionLabel(const std::string& text) = 0;
    // The progress window's ProgressBar and TotalProgress positions.
    virtual void setProgressBars(int filePercent, int totalPercent) = 0;
    virtual bool abortRequested() const = 0;
    // Lets the window system process pending events; must be cheap (the
    // engine may call it often).
    virtual void pumpMessages() = 0;
};

// The progress hand-over between an archive operation and the drivers.
// Counters are 64-bit so that files beyond 2 GiB cannot overflow them.
struct DriverProgress {
    int64_t FileBytesDone = 0;    // reset by the operation before each file
    int64_t TotalBytesDone = 0;   // reset at the start of an operation
    uint32_t fileSize = 0;        // the current entry's size (divisor of FileProgressPercent)
    uint32_t totalSize = 0;       // the header's totalSize (divisor of TotalProgressPercent)
    float FileProgressPercent = 0;
    float TotalProgressPercent = 0;

    // Counts `n` more bytes done of the file and of the operation, and sets both percentages.
    void advance(int64_t n);
    // Counts n bytes of the whole as done without reading them (a skipped entry): the file's figures stay.
    void skipTotal(int64_t n);
};

struct DriverContext {
    DriverUi& ui;
    DriverProgress& progress;
    EngineSettings settings;
    // When known, the number of bytes the streams must decode to. The
    // decompress and test drivers then write no byte beyond it, stop as
    // soon as the streams go past it, and report a stream that holds more
    // or fewer bytes as damaged (false).
    std::optional<uint64_t> expectedLength = std::nullopt;
    // For the decompress and test drivers: the compressed bytes from the
    // source's position when the source is a seekable stream that is no
    // regular file and ends there (a stream bounded to a part of a file).
    // A regular file's length is found out; any other source without one
    // is decoded on one thread.
    std::optional<uint64_t> inputLength = std::nullopt;
};

// Whether the decompress and test drivers decode `inputBytes` of a seekable
// source on several threads with these settings.
bool decodesInParallel(int64_t inputBytes, const EngineSettings& settings);

// Appends one compressed stream made from `input` (at its start) to
// `archive` (at its end) and returns the number of compressed bytes written.
// A read or write failure (a full disk) is reported as the recoverable
// "I/O or other error, bailing out." so that the packer can clean up and go
// on; every other failure is fatal. `failed` is set whenever the caller must
// not use the result.
struct CompressResult {
    uint32_t LastPackedSize = 0;
    bool failed = false;
};
CompressResult compressFile(std::FILE* input, std::FILE* archive, DriverContext& context);

// Decompresses the streams stored back to back from the current position of
// `source` into `output`; true on success, false on failure or abort.
bool decompressFile(std::FILE* source, std::FILE* output, DriverContext& context);

// Decodes and checks the stream at the current position of `source`.
bool testFile(std::FILE* source, DriverContext& context);

}  // namespace zor
