// parallel_decompress.cpp - decompressing or testing one input of concatenated streams on several threads, with the one-thread results.
//
// Method. The coordinator (the calling thread) reads the input into a
// window and looks in it for the block magic at every bit offset. Each
// match is a candidate block start; candidates are handed, in order, to
// workers, which decode them as blocks (parallel_block_decoder.h) and hand
// their bytes back in pieces. The coordinator knows where the next block
// of the chain must start: 32 bits into the stream for the first, and
// where the previous accepted block ended for every other. A decoded
// candidate is accepted only when it starts exactly there and its CRC
// matches; a candidate that starts earlier lay inside an accepted block and
// is dropped. At the chain's end the end marker and the stream CRC must
// follow and agree. The bytes of accepted blocks are written in order.
//
// Anything else - a damaged or over-long block, a chain that neither goes
// on nor ends properly, a truncated input, a failed write - is doubtful,
// and the one-thread driver is run again over the whole input
// (parallel_replay.h), dropping the bytes already written. That keeps every
// status, message and written byte the one-thread driver's: it writes
// what a stream delivers in reads of 5000 bytes and loses the read that
// fails, so the bytes of a stream are written here only up to the last
// 5000-byte boundary that lies before the newest delivered byte, a
// prefix of what the one-thread driver writes before any later failure.
#include "engine/parallel_decompress.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/codec_file.h"
#include "engine/crc32.h"
#include "engine/driver_reports.h"
#include "engine/parallel_block_decoder.h"
#include "engine/parallel_block_scan.h"
#include "engine/parallel_replay.h"

namespace zor {

namespace {

// Larger than any block an encoder writes: 900000 incompressible bytes
// take about 905000 bytes. A longer block is left to the one-thread driver.
constexpr size_t kJobInput = 1200000;
// A job normally ends this far past the next candidate: enough for the
// block's last bits and the decoder's look-ahead.
constexpr size_t kJobTail = 16;
// A decoded block's bytes are handed out through its job's memory, which
// the compressed bytes no longer need: pieces as large as the compressed
// block (fewer hand-overs where the data hardly compress), at least this.
constexpr size_t kSmallestPiece = 64 * 1024;
constexpr size_t kReadPiece = 128 * 1024;
constexpr uint64_t kOutputUnit = kFileBufferSize;  // the one-thread driver's read size
constexpr auto kPumpInterval = std::chrono::milliseconds(20);

// Where one worker's job stands. The coordinator owns a slot while it is
// Idle or holds a result for it (Failed, PieceReady); the worker otherwise.
enum class Stage { Idle, Assigned, Decoding, Failed, Emitting, PieceReady };

struct Slot {
    Stage stage = Stage::Idle;
    bool abandon = false;
    int32_t level = 9;
    uint64_t inputBase = 0;  // input byte of job[0]
    uint64_t startBit = 0;   // input bit of the candidate
    std::vector<uint8_t> job;
    // The job stops at the next candidate rather than at kJobInput or the
    // input's end; running out of it means that candidate was a false one.
    bool cutShort = false;
    bool outOfInput = false;
    uint64_t endBit = 0;
    size_t pieceSize = 0;  // bytes of the piece at the start of `job`
    bool lastPiece = false;
    bool sound = false;
    uint32_t crc = 0;
};

class WorkerPool {
public:
    explicit WorkerPool(int32_t count) : slots_(static_cast<size_t>(count)) {
        for (int32_t i = 0; i < count; ++i) threads_.emplace_back([this, i] { work(slots_[static_cast<size_t>(i)]); });
    }
    ~WorkerPool() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        workerWake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    std::mutex& mutex() { return mutex_; }
    std::vector<Slot>& slots() { return slots_; }
    void wakeWorkers() { workerWake_.notify_all(); }
    // Waits (lock held) until a worker reports or the interval passes.
    void waitForWorkers(std::unique_lock<std::mutex>& lock) { coordinatorWake_.wait_for(lock, kPumpInterval); }

    // Drops a job (lock held): a slot the worker has let go of becomes
    // idle at once, a worker still on it gives it back when it next looks.
    void abandon(Slot& slot) {
        const bool workerLetGo = slot.stage == Stage::Assigned || slot.stage == Stage::Failed ||
                                 (slot.stage == Stage::PieceReady && slot.lastPiece);
        if (workerLetGo)
            slot.stage = Stage::Idle;
        else if (slot.stage != Stage::Idle)
            slot.abandon = true;
        workerWake_.notify_all();
    }

private:
    void work(Slot& slot) {
        ParallelBlockDecoder decoder;
        std::unique_lock lock(mutex_);
        for (;;) {
            workerWake_.wait(lock, [&] { return stopping_ || slot.stage == Stage::Assigned; });
            if (stopping_) return;
            slot.stage = Stage::Decoding;
            lock.unlock();
            ParallelBlockDecoder::Outcome outcome = ParallelBlockDecoder::Outcome::Failed;
            if (decoder.usable())
                outcome = decoder.decode(slot.job.data(), slot.job.size(), slot.level,
                                         slot.startBit - slot.inputBase * 8);
            lock.lock();
            if (outcome == ParallelBlockDecoder::Outcome::Ready) {
                slot.endBit = slot.inputBase * 8 + decoder.endBit();
                slot.stage = Stage::Emitting;
                if (emitPieces(slot, decoder, lock)) continue;
                if (stopping_) return;
            }
            // A failed candidate is reported unless it was dropped meanwhile.
            slot.outOfInput = outcome == ParallelBlockDecoder::Outcome::OutOfInput;
            slot.stage = outcome == ParallelBlockDecoder::Outcome::Ready || slot.abandon ? Stage::Idle : Stage::Failed;
            slot.abandon = false;
            coordinatorWake_.notify_all();
        }
    }

    // Hands out the block's bytes piece by piece, each once the coordinator
    // has taken the one before. True when the last piece was handed over
    // (the coordinator then owns the slot); false when the job was dropped
    // or the pool is stopping.
    bool emitPieces(Slot& slot, ParallelBlockDecoder& decoder, std::unique_lock<std::mutex>& lock) {
        if (slot.job.size() < kSmallestPiece) slot.job.resize(kSmallestPiece);  // within its reserve
        for (;;) {
            if (slot.abandon || stopping_) return false;
            lock.unlock();
            const size_t n = decoder.emit(slot.job.data(), slot.job.size());
            const bool last = decoder.finished();
            const bool sound = last && decoder.sound();
            lock.lock();
            if (slot.abandon || stopping_) return false;
            slot.pieceSize = n;
            slot.lastPiece = last;
            slot.sound = sound;
            slot.crc = decoder.blockCrc();
            slot.stage = Stage::PieceReady;
            coordinatorWake_.notify_all();
            if (last) return true;
            workerWake_.wait(lock, [&] { return stopping_ || slot.stage != Stage::PieceReady || slot.abandon; });
        }
    }

    std::mutex mutex_;
    std::condition_variable workerWake_;
    std::condition_variable coordinatorWake_;
    std::vector<Slot> slots_;
    std::vector<std::thread> threads_;
    bool stopping_ = false;
};

// How a stream, or the whole input, came out.
enum class Verdict { Complete, Doubtful };

class ParallelDecoder {
public:
    ParallelDecoder(std::FILE* source, std::FILE* output, DriverContext& context, int32_t threads)
        : source_(source), output_(output), context_(context), pool_(threads), origin_(ftello(source)),
          readAhead_(kJobInput * static_cast<uint64_t>(threads)) {
        for (Slot& slot : pool_.slots()) slot.job.reserve(kJobInput);  // kept for every block: never grown by doubling
        window_.reserve(kReadPiece + 8);
    }

    uint64_t written() const { return written_; }

    // Decodes every stream of the input. Complete with `result` set, or
    // Doubtful when the one-thread driver must decide.
    Verdict run(bool& result) {
        DriverUi& ui = context_.ui;
        uint64_t streamStart = 0;
        for (int32_t streams = 0;; ++streams) {
            if (!readAt(streamStart, kStreamHeaderBytes, near_)) return Verdict::Doubtful;
            const size_t have = near_.size();
            const uint8_t* header = near_.data();
            int32_t level = 0;
            for (size_t i = 0; i < have; ++i) {
                const bool fits = i < 3 ? header[i] == kStreamSignature[i]
                                        : header[i] >= levelDigit(kMinLevel) && header[i] <= levelDigit(kMaxLevel);
                if (!fits) {
                    // Bytes after a complete stream that do not begin another one end the input successfully.
                    if (streams == 0) return Verdict::Doubtful;
                    return succeed(result);
                }
                if (i == 3) level = header[i] - levelDigit(0);
            }
            if (level == 0) return Verdict::Doubtful;  // the input ends inside a stream header

            uint64_t streamEnd = 0;
            if (decodeStream(streamStart, level, streamEnd) != Verdict::Complete) return Verdict::Doubtful;
            if (!flushPending()) return Verdict::Doubtful;
            if (ui.abortRequested()) {
                result = false;
                return Verdict::Complete;
            }
            if (output_) ui.setActionLabel("Writing to disk and cleaning unused memory...");
            streamStart = streamEnd;
            if (!readAt(streamStart, 1, near_)) return Verdict::Doubtful;
            if (near_.empty()) break;
        }
        if (std::ferror(source_) || (output_ && (std::ferror(output_) || std::fflush(output_) != 0)))
            return Verdict::Doubtful;
        return succeed(result);
    }

private:
    // The streams are complete and sound: a known length must have been met
    // exactly (more never gets this far, see deliver).
    Verdict succeed(bool& result) {
        const std::optional<uint64_t>& expected = context_.expectedLength;
        result = !expected || written_ == *expected;
        if (!result) reportShorterThanExpected(context_.ui);
        return Verdict::Complete;
    }

    uint64_t windowEnd() const { return windowBase_ + window_.size(); }

    // Reads the next piece of input into the window, which serves only the
    // scan for candidates: what lies before the scan's last 7 bytes goes.
    // False at the input's end or on a read error.
    bool readMore() {
        if (atEnd_) return false;
        const uint64_t keep = std::clamp<uint64_t>(scannedTo_ - std::min<uint64_t>(scannedTo_, 7), windowBase_, windowEnd());
        window_.erase(window_.begin(), window_.begin() + static_cast<ptrdiff_t>(keep - windowBase_));
        windowBase_ = keep;
        const size_t before = window_.size();
        window_.resize(before + kReadPiece);
        const size_t n = std::fread(window_.data() + before, 1, kReadPiece, source_);
        window_.resize(before + n);
        // A read error also ends the reading; the chain then finds the input doubtful.
        if (n < kReadPiece) atEnd_ = true;
        return n > 0;
    }

    // Input bytes [first, first + length) into `into`, fewer at the input's
    // end: from the window when it holds them, else read from the source,
    // which then goes back to where the window ends. False on an error.
    bool readAt(uint64_t first, uint64_t length, std::vector<uint8_t>& into) {
        if (first >= windowBase_ && first + length <= windowEnd()) {
            const uint8_t* from = window_.data() + (first - windowBase_);
            into.assign(from, from + length);
            return true;
        }
        into.clear();  // resizing from empty takes no more room than asked
        into.resize(static_cast<size_t>(length));
        if (fseeko(source_, origin_ + static_cast<off_t>(first), SEEK_SET) != 0) return false;
        into.resize(std::fread(into.data(), 1, into.size(), source_));
        const bool read = !std::ferror(source_);
        return fseeko(source_, origin_ + static_cast<off_t>(windowEnd()), SEEK_SET) == 0 && read;
    }

    void pumpWhenDue() {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastPump_ < kPumpInterval) return;
        lastPump_ = now;
        context_.ui.pumpMessages();
    }

    void updateProgress(uint64_t n) {
        DriverProgress& p = context_.progress;
        p.FileBytesDone += static_cast<int64_t>(n);
        p.TotalBytesDone += static_cast<int64_t>(n);
        auto percent = [](int64_t done, uint32_t whole) {
            return whole == 0 ? 0.0f : static_cast<float>(std::floor(static_cast<double>(done) / whole * 100.0));
        };
        p.FileProgressPercent = percent(p.FileBytesDone, p.fileSize);
        p.TotalProgressPercent = percent(p.TotalBytesDone, p.totalSize);
        context_.ui.setProgressBars(static_cast<int>(p.FileProgressPercent), static_cast<int>(p.TotalProgressPercent));
    }

    bool writeOut(const uint8_t* data, size_t n) {
        if (n == 0) return true;
        if (output_ && std::fwrite(data, 1, n, output_) != n) return false;
        written_ += n;
        updateProgress(n);
        return !output_ || !std::ferror(output_);
    }

    // Takes a piece of the stream's output: writes up to the last 5000-byte
    // boundary before its newest byte and keeps the rest.
    // Streams that go past a known length are doubtful from their first
    // byte beyond it: the one-thread driver writes up to it and says so.
    bool deliver(const uint8_t* data, size_t n) {
        if (n == 0) return true;
        const std::optional<uint64_t>& expected = context_.expectedLength;
        if (expected && written_ + pending_.size() + n > *expected) return false;
        const uint64_t delivered = streamDelivered_ + n;
        streamDelivered_ = delivered;
        const uint64_t safe = (delivered - 1) / kOutputUnit * kOutputUnit;
        if (safe <= streamWritten_) {
            pending_.insert(pending_.end(), data, data + n);
            return true;
        }
        const size_t fromPiece = static_cast<size_t>(safe - streamWritten_) - pending_.size();
        if (!writeOut(pending_.data(), pending_.size()) || !writeOut(data, fromPiece)) return false;
        streamWritten_ = safe;
        pending_.assign(data + fromPiece, data + n);
        return true;
    }

    bool flushPending() {
        const bool ok = writeOut(pending_.data(), pending_.size());
        pending_.clear();
        streamDelivered_ = streamWritten_ = 0;
        return ok;
    }

    // Hands the next candidates to idle workers (lock held).
    void dispatch(int32_t level) {
        for (Slot& slot : pool_.slots()) {
            if (slot.stage != Stage::Idle || slot.abandon) continue;
            uint64_t candidate = 0;
            if (jobs_.empty()) {
                candidate = expected_;
            } else if (!nextCandidate(jobs_.back()->startBit, expected_ / 8 + readAhead_, candidate)) {
                return;
            }
            // A block holds a false magic only by rare chance, so the job
            // ends just past the next candidate: it holds about one
            // compressed block, not the longest one possible.
            const uint64_t first = candidate / 8;
            uint64_t next = 0;
            const bool cut = nextCandidate(candidate, first + kJobInput, next) && next / 8 + kJobTail < first + kJobInput;
            if (!assign(slot, candidate, level, cut ? next / 8 + kJobTail - first : kJobInput, cut)) return;
            jobs_.push_back(&slot);
        }
    }

    // Gives `slot` the candidate at input bit `candidate` with up to
    // `length` bytes of input (lock held); false when they cannot be read.
    bool assign(Slot& slot, uint64_t candidate, int32_t level, uint64_t length, bool cut) {
        const uint64_t first = candidate / 8;
        if (!readAt(first, length, slot.job)) {
            readFailed_ = true;
            return false;
        }
        slot.cutShort = cut && slot.job.size() == length;
        slot.outOfInput = false;
        slot.inputBase = first;
        slot.startBit = candidate;
        slot.level = level;
        slot.stage = Stage::Assigned;
        pool_.wakeWorkers();
        return true;
    }

    // The first candidate after bit `after`, scanning further as needed but
    // not past input byte `limit`.
    bool nextCandidate(uint64_t after, uint64_t limit, uint64_t& candidate) {
        for (;;) {
            while (!candidates_.empty() && candidates_.front() <= after) candidates_.pop_front();
            if (!candidates_.empty()) {
                candidate = candidates_.front();
                return candidate / 8 < limit;
            }
            if (scannedTo_ >= limit) return false;
            if (scannedTo_ < windowBase_ && !restartScanAt(scannedTo_)) return false;
            if (scannedTo_ + 8 > windowEnd() && !readMore()) return false;
            const uint64_t end = windowEnd();
            const uint64_t to = atEnd_ ? end : end - std::min<uint64_t>(end, 7);
            if (to <= scannedTo_) return false;
            std::vector<uint64_t> found;
            findBlockMagic(window_.data(), window_.size(), static_cast<size_t>(scannedTo_ - windowBase_),
                           static_cast<size_t>(to - windowBase_), windowBase_ * 8, found);
            candidates_.insert(candidates_.end(), found.begin(), found.end());
            scannedTo_ = to;
        }
    }

    // Moves the scan back to input byte `first` (a new stream's start
    // behind what the window holds).
    bool restartScanAt(uint64_t first) {
        if (fseeko(source_, origin_ + static_cast<off_t>(first), SEEK_SET) != 0) return false;
        window_.clear();
        windowBase_ = first;
        atEnd_ = false;
        return true;
    }

    void abandonAll() {
        for (Slot* slot : jobs_) pool_.abandon(*slot);
        jobs_.clear();
        candidates_.clear();
    }

    // Decodes the stream whose header (level read) starts at input byte
    // `start`; on Complete `end` is the input byte just behind it.
    Verdict decodeStream(uint64_t start, int32_t level, uint64_t& end) {
        std::unique_lock lock(pool_.mutex());
        const Verdict verdict = followChain(lock, start, level, end);
        abandonAll();
        return verdict;
    }

    Verdict followChain(std::unique_lock<std::mutex>& lock, uint64_t start, int32_t level, uint64_t& end) {
        expected_ = (start + kStreamHeaderBytes) * 8;
        scannedTo_ = start + 4;
        uint32_t streamCrc = 0;
        for (;;) {
            // The next block's magic, or the end marker and the stream CRC.
            if (!readAt(expected_ / 8, 11, near_)) return Verdict::Doubtful;
            const uint64_t bit = expected_ % 8;
            const uint64_t bitsHeld = near_.size() * 8;
            if (bit + 48 > bitsHeld) return Verdict::Doubtful;
            const uint64_t magic = bitsAt(near_.data(), near_.size(), bit, 48);
            if (magic == kEndMagicBits) {
                if (bit + kEndMarkerBits > bitsHeld) return Verdict::Doubtful;
                if (bitsAt(near_.data(), near_.size(), bit + 48, 32) != streamCrc) return Verdict::Doubtful;
                end = (expected_ + kEndMarkerBits + 7) / 8;
                return Verdict::Complete;
            }
            if (magic != kBlockMagicBits) return Verdict::Doubtful;

            while (!jobs_.empty() && jobs_.front()->startBit != expected_) {
                pool_.abandon(*jobs_.front());
                jobs_.pop_front();
            }
            if (jobs_.empty()) candidates_.clear();
            // Wait for this block's first piece (or its failure), keeping the other workers busy.
            Slot* slot = nullptr;
            for (;;) {
                dispatch(level);
                if (!jobs_.empty()) slot = jobs_.front();
                if (readFailed_) return Verdict::Doubtful;
                if (slot && slot->stage == Stage::Failed && slot->cutShort && slot->outOfInput) {
                    // The block runs past the candidate its job stopped at: read it again whole.
                    if (!assign(*slot, slot->startBit, level, kJobInput, false)) return Verdict::Doubtful;
                    continue;
                }
                if (slot && (slot->stage == Stage::Failed || slot->stage == Stage::PieceReady)) break;
                waitAndPump(lock);
            }
            if (slot->stage == Stage::Failed) return Verdict::Doubtful;
            for (;;) {
                const bool last = slot->lastPiece;
                const bool sound = slot->sound;
                lock.unlock();
                const bool delivered = deliver(slot->job.data(), slot->pieceSize);
                pumpWhenDue();
                lock.lock();
                if (!delivered) return Verdict::Doubtful;
                if (last) {
                    if (!sound) return Verdict::Doubtful;
                    streamCrc = foldStreamCrc(streamCrc, slot->crc);
                    expected_ = slot->endBit;
                    slot->stage = Stage::Idle;
                    jobs_.pop_front();
                    break;
                }
                slot->stage = Stage::Emitting;
                pool_.wakeWorkers();
                while (slot->stage != Stage::PieceReady) {
                    dispatch(level);
                    waitAndPump(lock);
                }
            }
        }
    }

    void waitAndPump(std::unique_lock<std::mutex>& lock) {
        pool_.waitForWorkers(lock);
        lock.unlock();
        pumpWhenDue();
        lock.lock();
    }

    std::FILE* source_;
    std::FILE* output_;
    DriverContext& context_;
    WorkerPool pool_;
    const off_t origin_;           // where the input starts in the source
    const uint64_t readAhead_;     // how far past the chain's next block candidates are looked for
    bool readFailed_ = false;
    std::vector<uint8_t> near_;    // a few bytes read at a stream's start or between blocks

    std::vector<uint8_t> window_;  // input bytes windowBase_ to windowEnd(), for the scan
    uint64_t windowBase_ = 0;
    bool atEnd_ = false;
    uint64_t scannedTo_ = 0;
    std::deque<uint64_t> candidates_;
    std::deque<Slot*> jobs_;  // in candidate order, the first at expected_ or later
    uint64_t expected_ = 0;   // input bit where the chain's next block or end marker must start

    std::vector<uint8_t> pending_;
    uint64_t streamDelivered_ = 0;
    uint64_t streamWritten_ = 0;
    uint64_t written_ = 0;
    std::chrono::steady_clock::time_point lastPump_{};
};

// Bytes left from the current position of a regular file; -1 for anything else.
int64_t bytesLeft(std::FILE* file, int64_t position) {
    struct stat info {};
    if (position < 0 || fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return info.st_size - position;
}

bool driveParallel(std::FILE* source, std::FILE* output, DriverContext& context,
                   const ParallelDecodeOptions& options) {
    const int64_t start = ftello(source);
    const int64_t left = options.inputLength < 0 ? bytesLeft(source, start) : start < 0 ? -1 : options.inputLength;
    if (options.threads <= 1 || left < 0 || left < options.smallestParallelInput)
        return output ? decompressFile(source, output, context) : testFile(source, context);

    const DriverProgress progressAtStart = context.progress;
    if (output) context.ui.setActionLabel("Decompressing in memory...");
    uint64_t written = 0;
    bool result = false;
    {
        ParallelDecoder decoder(source, output, context, options.threads);
        const Verdict verdict = decoder.run(result);
        written = decoder.written();
        if (verdict == Verdict::Complete) return result;
    }
    return replayOneThread(source, start, output, written, context, progressAtStart);
}

}  // namespace

bool decompressFileParallel(std::FILE* source, std::FILE* output, DriverContext& context,
                            const ParallelDecodeOptions& options) {
    return driveParallel(source, output, context, options);
}

bool testFileParallel(std::FILE* source, DriverContext& context, const ParallelDecodeOptions& options) {
    return driveParallel(source, nullptr, context, options);
}

}  // namespace zor
