// pack_ahead.cpp - compressing a small file into memory, and handing the files to the worker pool and back in item order.
#include "archive/pack_ahead.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <new>
#include <unistd.h>

#include "engine/compress_stream.h"
#include "platform/regular_file.h"
#include "platform/unique_descriptor.h"

namespace zor {
namespace {

// The most read from a file at once.
constexpr std::size_t kReadChunk = 64 * 1024;

// Reads up to `length` bytes; fewer only at the end of the file, and -1 on an error.
ssize_t readFully(int fd, uint8_t* into, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::read(fd, into + done, length - done);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// Ends the engine stream however the compression is left.
struct EncoderGuard {
    CodecStream stream{};
    bool open = false;
    ~EncoderGuard() {
        if (open) compressEnd(&stream);
    }
};

bool sameFile(const struct stat& before, const struct stat& after) {
    return before.st_size == after.st_size && before.st_mode == after.st_mode &&
           before.st_mtim.tv_sec == after.st_mtim.tv_sec && before.st_mtim.tv_nsec == after.st_mtim.tv_nsec &&
           before.st_ctim.tv_sec == after.st_ctim.tv_sec && before.st_ctim.tv_nsec == after.st_ctim.tv_nsec;
}

// The most a stream may take for `size` input bytes; a stream that needs
// more (none should) is left to the packer.
std::size_t streamRoomFor(uint64_t size) { return static_cast<std::size_t>(size + size / 100 + 600); }

// Points the stream's output window at the free room after what it has produced; false when there is none.
bool makeRoom(CodecStream& stream, CompressedAhead& out, std::size_t room) {
    out.length = static_cast<std::size_t>(totalOf(stream.totalOutLo, stream.totalOutHi));
    if (out.length >= room) return false;
    stream.nextOut = out.stream.get() + out.length;
    stream.availOut = static_cast<uint32_t>(room - out.length);
    return true;
}

// The whole compressed stream of the file at `path`, or nothing on any
// trouble (which the packer then meets again itself) or when `stop` is set.
std::optional<CompressedAhead> compressIntoMemory(const std::string& path, const EngineSettings& settings,
                                                  uint64_t limit, const std::atomic<bool>& stop) {
    CompressedAhead result;
    const UniqueDescriptor file(openRegularDescriptor(path, result.status));
    if (!file.open()) return std::nullopt;
    const uint64_t size = static_cast<uint64_t>(result.status.st_size);
    if (size == 0 || size > limit) return std::nullopt;

    EncoderGuard encoder;
    CodecStream& stream = encoder.stream;
    if (compressInit(&stream, settings.blockSizeLevel, settings.verbosity, settings.workFactor) != OK) {
        return std::nullopt;
    }
    encoder.open = true;
    // Left uninitialised: only the pages the stream reaches take memory.
    const std::size_t room = streamRoomFor(size);
    result.stream.reset(new uint8_t[room]);
    std::vector<uint8_t> chunk(static_cast<std::size_t>(std::min<uint64_t>(size, kReadChunk)));

    // Exactly the size examined is read; a file that grows meanwhile shows in
    // its status afterwards, so no read waits for the end of the file.
    for (uint64_t bytesRead = 0; bytesRead < size;) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(chunk.size(), size - bytesRead));
        const ssize_t n = readFully(file.get(), chunk.data(), wanted);
        if (n != static_cast<ssize_t>(wanted) || stop.load(std::memory_order_relaxed)) return std::nullopt;
        bytesRead += wanted;
        stream.nextIn = chunk.data();
        stream.availIn = static_cast<uint32_t>(wanted);
        while (stream.availIn > 0) {
            if (!makeRoom(stream, result, room) || compressStep(&stream, RUN) != RUN_OK) return std::nullopt;
        }
    }
    for (int32_t status = FINISH_OK; status != STREAM_END;) {
        if (stop.load(std::memory_order_relaxed) || !makeRoom(stream, result, room)) return std::nullopt;
        status = compressStep(&stream, FINISH);
        if (status != FINISH_OK && status != STREAM_END) return std::nullopt;
    }
    result.length = static_cast<std::size_t>(totalOf(stream.totalOutLo, stream.totalOutHi));

    // A file changed while it was read is left to the packer, which reads it at its own turn.
    struct stat after {};
    if (::fstat(file.get(), &after) != 0 || !sameFile(result.status, after)) return std::nullopt;
    return result;
}

}  // namespace

uint64_t PackAhead::smallFileLimit(const EngineSettings& settings) {
    return static_cast<uint64_t>(std::clamp(settings.blockSizeLevel, 1, 9)) * 100000;
}

PackAhead::PackAhead(const EngineSettings& settings)
    : settings_(settings),
      pool_(std::max(settings.threads - 1, 0)),
      tasks_(pool_, kBytesAheadPerThread * static_cast<uint64_t>(pool_.workerCount() + 1)) {}

PackAhead::~PackAhead() {
    pool_.cancel();  // the running files stop at their next step; the tasks then wait for them
}

void PackAhead::listed(std::size_t index, const PackItem& item) {
    // Without a worker the packer does every file itself.
    if (pool_.workerCount() == 0) return;
    jobOfItem_.resize(index + 1, kNoJob);
    // A link's target text is in the item, not in a file a worker could read.
    if (item.isFolder || item.isLink || item.size == 0) return;
    if (item.size > smallFileLimit(settings_)) {
        startsAtTurn_ = index + 1;
        return;
    }
    jobs_.push_back(Job{item.diskPath, item.size, startsAtTurn_});
    jobOfItem_[index] = jobs_.size() - 1;
    handOver();
}

void PackAhead::handOver() {
    while (handedOver_ < jobs_.size() && jobs_[handedOver_].startsAtTurn <= turn_ &&
           tasks_.hasRoomFor(heldFor(jobs_[handedOver_]))) {
        const Job& job = jobs_[handedOver_++];
        const std::atomic<bool>& stop = pool_.stopFlag();
        tasks_.submit(
            [path = job.diskPath, settings = settings_, &stop]() -> std::optional<CompressedAhead> {
                try {
                    return compressIntoMemory(path, settings, smallFileLimit(settings), stop);
                } catch (const std::bad_alloc&) {
                    return std::nullopt;  // the packer meets the shortage itself and reports it
                }
            },
            heldFor(job));
    }
}

void PackAhead::reached(std::size_t index) {
    turn_ = index;
    handOver();
}

std::optional<CompressedAhead> PackAhead::take(std::size_t index, const std::function<bool()>& keepWaiting) {
    if (pool_.workerCount() == 0 || index >= jobOfItem_.size() || jobOfItem_[index] == kNoJob) return std::nullopt;
    const std::size_t job = jobOfItem_[index];
    if (job != taken_) {
        // The packer passed files it did not take (it gave up waiting on
        // one): what is in hand is of no more use, and the hand-over goes on from here.
        tasks_.dropAll();
        taken_ = handedOver_ = job;
    }
    reached(index);
    // Rather than sleep, the packer compresses the next file no worker has
    // taken itself: this one, or one further on.
    std::optional<std::optional<CompressedAhead>> result = tasks_.takeOldest(keepWaiting, Help::Yes);
    if (!result) return std::nullopt;  // given up: the file stays in hand
    ++taken_;
    handOver();
    return std::move(*result);
}

}  // namespace zor
