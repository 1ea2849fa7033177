// pack_ahead.cpp - the workers that compress small files into memory ahead of the packer, and the hand-over in item order.
#include "archive/pack_ahead.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <system_error>
#include <unistd.h>

#include "engine/compress_stream.h"
#include "platform/regular_file.h"

namespace zor {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr auto kPumpInterval = std::chrono::milliseconds(20);

// Closes the descriptor however the compression is left.
struct DescriptorCloser {
    int fd = -1;
    ~DescriptorCloser() {
        if (fd >= 0) ::close(fd);
    }
};

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
                                                  uint64_t limit, const std::atomic<bool>& stop,
                                                  std::vector<uint8_t>& chunk) {
    CompressedAhead result;
    const DescriptorCloser file{openRegularDescriptor(path, result.status)};
    if (file.fd < 0) return std::nullopt;
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

    // Exactly the size examined is read; a file that grows meanwhile shows in
    // its status afterwards, so no read waits for the end of the file.
    for (uint64_t bytesRead = 0; bytesRead < size;) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(chunk.size(), size - bytesRead));
        const ssize_t n = readFully(file.fd, chunk.data(), wanted);
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
    if (::fstat(file.fd, &after) != 0 || !sameFile(result.status, after)) return std::nullopt;
    return result;
}

}  // namespace

uint64_t PackAhead::smallFileLimit(const EngineSettings& settings) {
    return static_cast<uint64_t>(std::clamp(settings.blockSizeLevel, 1, 9)) * 100000;
}

PackAhead::PackAhead(const EngineSettings& settings) : settings_(settings) {
    if (settings.threads <= 1) return;
    const std::lock_guard<std::mutex> lock(mutex_);  // workers count themselves only once all are started
    try {
        for (int w = 1; w < settings.threads; ++w) workers_.emplace_back([this] { workerLoop(); });
    } catch (const std::system_error&) {
        // Fewer workers (even none) only make packing slower; the packer does what they do not.
    }
}

void PackAhead::listed(std::size_t index, const PackItem& item) {
    if (workers_.empty()) return;
    jobOfItem_.resize(index + 1, kNoJob);
    // A link's target text is in the item, not in a file a worker could read.
    if (item.isFolder || item.isLink || item.size == 0) return;
    if (item.size > smallFileLimit(settings_)) {
        startsAtTurn_ = index + 1;
        return;
    }
    bool startable = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(Job{item.diskPath, item.size, startsAtTurn_, false, std::nullopt});
        startable = mayStartNext();
    }
    jobOfItem_[index] = jobs_.size() - 1;
    if (startable) workAvailable_.notify_one();  // a worker woken for nothing would cost a switch per file
}

PackAhead::~PackAhead() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    workAvailable_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void PackAhead::reached(std::size_t index) {
    // Only a large file holds workers back, so the packer takes the lock just
    // when it passes the next one.
    while (barrierJob_ < jobs_.size() && jobs_[barrierJob_].startsAtTurn <= index) ++barrierJob_;
    if (barrierJob_ == passedBarrierJob_) return;
    passedBarrierJob_ = barrierJob_;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        turn_ = index;
    }
    workAvailable_.notify_all();
}

std::optional<CompressedAhead> PackAhead::take(std::size_t index, const std::function<bool()>& keepWaiting) {
    if (workers_.empty() || index >= jobOfItem_.size() || jobOfItem_[index] == kNoJob) return std::nullopt;
    reached(index);
    const std::size_t jobIndex = jobOfItem_[index];
    Job& job = jobs_[jobIndex];
    std::unique_lock<std::mutex> lock(mutex_);
    auto pump = [&] {
        lock.unlock();
        const bool keep = keepWaiting();
        lock.lock();
        return keep;
    };
    auto lastPump = std::chrono::steady_clock::now();
    while (!job.finished) {
        if (mayStartNext()) {
            // Rather than sleep, the packer compresses the next file itself:
            // this one if no worker has it yet, or one further on.
            runNextJob(lock, packerChunk_);
            const auto now = std::chrono::steady_clock::now();
            if (now - lastPump < kPumpInterval) continue;
            lastPump = now;
            if (!pump()) return std::nullopt;
            continue;
        }
        awaited_ = jobIndex;
        const bool ready =
            jobFinished_.wait_for(lock, kPumpInterval, [this, jobIndex] { return packerMayGoOn(jobIndex); });
        awaited_ = kNoJob;
        if (ready) break;
        if (!pump()) return std::nullopt;
    }
    std::optional<CompressedAhead> result = std::move(job.result);
    job.result.reset();
    --inHand_;
    bytesInHand_ -= heldFor(job);
    lock.unlock();
    workAvailable_.notify_all();
    return result;
}

bool PackAhead::mayStartNext() const {
    if (nextJob_ >= jobs_.size() || turn_ < jobs_[nextJob_].startsAtTurn) return false;
    return inHand_ == 0 || bytesInHand_ + heldFor(jobs_[nextJob_]) <= kBytesAheadPerThread * (workers_.size() + 1);
}

bool PackAhead::packerMayGoOn(std::size_t job) const {
    return jobs_[job].finished && (busy_ == 0 || jobs_[std::min(job + kJobsPerWake, nextJob_ - 1)].finished);
}

void PackAhead::runNextJob(std::unique_lock<std::mutex>& lock, std::vector<uint8_t>& chunk) {
    Job& job = jobs_[nextJob_++];
    ++inHand_;
    ++busy_;
    bytesInHand_ += heldFor(job);
    lock.unlock();
    std::optional<CompressedAhead> result;
    try {
        chunk.resize(kReadChunk);
        result = compressIntoMemory(job.diskPath, settings_, smallFileLimit(settings_), stopping_, chunk);
    } catch (const std::bad_alloc&) {
        result.reset();  // the packer meets the shortage itself and reports it
    }
    lock.lock();
    job.result = std::move(result);
    job.finished = true;
    --busy_;
}

void PackAhead::workerLoop() {
    std::vector<uint8_t> chunk;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        workAvailable_.wait(lock, [this] { return stopping_ || mayStartNext(); });
        if (stopping_) return;
        runNextJob(lock, chunk);
        if (awaited_ != kNoJob && packerMayGoOn(awaited_)) jobFinished_.notify_all();
    }
}

}  // namespace zor
