// parallel_decompress.cpp - the parallel back end of the decompress and test driver: candidate blocks decoded on workers, the chain followed in order.
//
// Method. The calling thread reads the input into a window and looks in it
// for the block magic at every bit offset. Each match is a candidate block
// start; candidates are handed, in order, to workers, which decode them as
// blocks (parallel_block_decoder.h) and hand their bytes back in pieces.
// The calling thread knows where the next block of the chain must start: 32
// bits into the stream for the first, and where the previous accepted block
// ended for every other. A decoded candidate is accepted only when it starts
// exactly there and its CRC matches; a candidate that starts earlier lay
// inside an accepted block and is dropped. At the chain's end the end marker
// and the stream CRC must follow and agree.
//
// The driver asks for the stream's bytes in pieces of its own size, as it
// does of the one-thread back end, and gets a piece only when the one-thread
// back end would deliver it with OK too: when bytes of the stream follow it
// (the one-thread decoder could only fail at a later byte: a block's bytes
// come out only once the block has been read, and its CRC is checked at
// its end, which lies beyond), or when the whole stream has been checked.
// Anything else - a damaged or over-long block, a chain that neither goes on
// nor ends properly, a truncated input, a failed read - is kDoubtful, and
// the driver lets the one-thread back end decide.
//
// Threads. The workers are those of a WorkerPool, each running one slot's
// loop for the decoder's lifetime; a slot and the hand-over of its pieces
// are guarded by the pool's lock, and every change is announced with the
// pool's notifyAll.
#include "engine/parallel_decompress.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

#include "engine/crc32.h"
#include "engine/parallel_block_decoder.h"
#include "engine/parallel_block_scan.h"
#include "engine/stream_format.h"
#include "engine/worker_pool.h"

namespace zor {

namespace {

// Larger than any block an encoder writes: 900000 incompressible bytes
// take about 905000 bytes. A longer block is left to the one-thread back end.
constexpr size_t kJobInput = 1200000;
// A job normally ends this far past the next candidate: enough for the
// block's last bits and the decoder's look-ahead.
constexpr size_t kJobTail = 16;
// A decoded block's bytes are handed out through its job's memory, which
// the compressed bytes no longer need, in pieces as large as all of it:
// most blocks then come out in one piece, which a worker makes while the
// block before is still being taken, and the memory is what a block of
// bytes that hardly compress needs anyway.
constexpr size_t kReadPiece = 128 * 1024;

// Where one worker's job stands. The calling thread owns a slot while it is
// Idle or holds a result for it (Failed, PieceReady); the worker otherwise.
enum class Stage { Idle, Assigned, Decoding, Failed, Emitting, PieceReady };

struct Slot {
    Stage stage = Stage::Idle;
    bool abandon = false;
    int32_t level = 9;
    uint64_t inputBase = 0;  // input byte of job[0]
    uint64_t startBit = 0;   // input bit of the candidate
    // The job's compressed bytes, then its pieces of output; left
    // uninitialised, so only the pages a block reaches take memory.
    std::unique_ptr<uint8_t[]> job{new uint8_t[kJobInput]};
    size_t jobSize = 0;
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

// Hands out the block's bytes piece by piece, each once the calling thread
// has taken the one before (lock held). True when the last piece was handed
// over (the calling thread then owns the slot); false when the job was
// dropped or the pool is stopping.
bool emitPieces(WorkerPool& pool, Slot& slot, ParallelBlockDecoder& decoder, std::unique_lock<std::mutex>& lock) {
    for (;;) {
        if (slot.abandon || pool.stopping()) return false;
        lock.unlock();
        const size_t n = decoder.emit(slot.job.get(), kJobInput);
        const bool last = decoder.finished();
        const bool sound = last && decoder.sound();
        lock.lock();
        if (slot.abandon || pool.stopping()) return false;
        slot.pieceSize = n;
        slot.lastPiece = last;
        slot.sound = sound;
        slot.crc = decoder.blockCrc();
        slot.stage = Stage::PieceReady;
        pool.notifyAll();
        if (last) return true;
        while (!pool.stopping() && slot.stage == Stage::PieceReady && !slot.abandon) pool.waitABit(lock);
    }
}

// One worker's loop: decodes each job given to `slot` until the pool stops.
void serveSlot(WorkerPool& pool, Slot& slot) {
    ParallelBlockDecoder decoder;
    std::unique_lock<std::mutex> lock(pool.mutex());
    for (;;) {
        while (!pool.stopping() && slot.stage != Stage::Assigned) pool.waitABit(lock);
        if (pool.stopping()) return;
        slot.stage = Stage::Decoding;
        lock.unlock();
        ParallelBlockDecoder::Outcome outcome = ParallelBlockDecoder::Outcome::Failed;
        if (decoder.usable())
            outcome = decoder.decode(slot.job.get(), slot.jobSize, slot.level, slot.startBit - slot.inputBase * 8);
        lock.lock();
        if (outcome == ParallelBlockDecoder::Outcome::Ready) {
            slot.endBit = slot.inputBase * 8 + decoder.endBit();
            slot.stage = Stage::Emitting;
            if (emitPieces(pool, slot, decoder, lock)) continue;
            if (pool.stopping()) return;
        }
        // A failed candidate is reported unless it was dropped meanwhile.
        slot.outOfInput = outcome == ParallelBlockDecoder::Outcome::OutOfInput;
        slot.stage = outcome == ParallelBlockDecoder::Outcome::Ready || slot.abandon ? Stage::Idle : Stage::Failed;
        slot.abandon = false;
        pool.notifyAll();
    }
}

}  // namespace

class ParallelDecoding::Decoder {
public:
    Decoder(std::FILE* source, int32_t threads, MessagePump pump)
        : source_(source), origin_(ftello(source)), pump_(pump), pool_(threads) {
        slots_.resize(static_cast<size_t>(pool_.workerCount()));
        readAhead_ = kJobInput * slots_.size();
        for (Slot& slot : slots_) {
            pool_.post([this, &slot] { serveSlot(pool_, slot); });
        }
        window_.reserve(kReadPiece + 8);
        carried_.reserve(kFileBufferSize);
    }
    // Leaves the source just behind what the chain has taken: a stream's
    // end, or the start of the block it stopped in.
    ~Decoder() {
        pool_.cancel();
        const uint64_t taken = current_ || !streamDone_ ? expected_ / 8 : streamEnd_;
        if (fseeko(source_, origin_ + static_cast<off_t>(taken), SEEK_SET) != 0) {
            // The driver is done with the source, or seeks it to the input's start again.
        }
    }

    // Begins the stream behind the last one (or the input's first); see DecodeBackEnd::open.
    int32_t open() {
        if (slots_.empty()) return kDoubtful;
        if (streams_ > 0) {
            const std::lock_guard<std::mutex> lock(pool_.mutex());
            abandonAll();
        }
        const uint64_t start = streamEnd_;
        if (!readAt(start, kStreamHeaderBytes, near_)) return kDoubtful;
        const size_t have = near_.size();
        const uint8_t* header = near_.data();
        int32_t level = 0;
        for (size_t i = 0; i < have; ++i) {
            const bool fits = i < 3 ? header[i] == kStreamSignature[i]
                                    : header[i] >= levelDigit(kMinLevel) && header[i] <= levelDigit(kMaxLevel);
            if (!fits) {
                // Bytes after a complete stream that do not begin another one end the input successfully.
                if (streams_ == 0) return kDoubtful;
                notAStream_ = true;
                return OK;
            }
            if (i == 3) level = header[i] - levelDigit(0);
        }
        if (level == 0) return kDoubtful;  // the input ends inside a stream header
        ++streams_;
        level_ = level;
        expected_ = (start + kStreamHeaderBytes) * 8;
        scannedTo_ = start + 4;
        streamCrc_ = 0;
        streamDone_ = false;
        current_ = nullptr;
        piece_ = nullptr;
        carried_.clear();
        return OK;
    }

    int32_t read(uint8_t* into, int32_t wanted, int32_t& status) {
        if (notAStream_) {
            status = DATA_ERROR_MAGIC;
            return 0;
        }
        const size_t asked = static_cast<size_t>(wanted);
        for (;;) {
            if (carried_.size() + inPiece() > asked || streamDone_) break;
            if (piece_) {
                // What is left of the piece (fewer bytes than asked) waits
                // here while the piece's memory goes back to its worker.
                carried_.insert(carried_.end(), piece_->job.get() + pieceOffset_,
                                piece_->job.get() + piece_->pieceSize);
                if (!releasePiece()) break;
            } else if (!takePiece()) {
                break;
            }
        }
        if (doubtful_) {
            status = kDoubtful;
            return 0;
        }
        const size_t fromCarried = std::min(asked, carried_.size());
        std::copy_n(carried_.data(), fromCarried, into);
        carried_.erase(carried_.begin(), carried_.begin() + static_cast<ptrdiff_t>(fromCarried));
        const size_t fromPiece = std::min(asked - fromCarried, inPiece());
        if (fromPiece > 0) std::copy_n(piece_->job.get() + pieceOffset_, fromPiece, into + fromCarried);
        pieceOffset_ += fromPiece;
        status = streamDone_ && carried_.empty() ? STREAM_END : OK;
        return static_cast<int32_t>(fromCarried + fromPiece);
    }

    // Whether no byte follows the stream just ended (a failed read says
    // no: the next stream's start then finds it).
    bool atEnd() { return readAt(streamEnd_, 1, near_) && near_.empty(); }

private:
    size_t inPiece() const { return piece_ ? piece_->pieceSize - pieceOffset_ : 0; }

    // Makes the stream's next piece of bytes the one handed out, or ends the
    // stream at its end marker; false (and doubtful) when the input is doubtful.
    bool takePiece() {
        std::unique_lock<std::mutex> lock(pool_.mutex());
        if (!current_) {
            if (!startBlock(lock)) return doubt();
            if (streamDone_) return true;
        }
        Slot& slot = *current_;
        auto ready = [&] {
            dispatch(level_);
            return slot.stage == Stage::PieceReady || readFailed_;
        };
        waitPumping(pool_, lock, ready, [this] { return pumpNow(); }, cadence_);
        if (readFailed_) return doubt();
        piece_ = &slot;
        pieceOffset_ = 0;
        return true;
    }

    // Gives the piece handed out back to its worker, for its next piece, or
    // ends its block: accepted when it ended cleanly and its CRC matched.
    bool releasePiece() {
        std::unique_lock<std::mutex> lock(pool_.mutex());
        Slot& slot = *piece_;
        piece_ = nullptr;
        if (slot.lastPiece) {
            if (!slot.sound) return doubt();
            streamCrc_ = foldStreamCrc(streamCrc_, slot.crc);
            expected_ = slot.endBit;
            slot.stage = Stage::Idle;
            jobs_.pop_front();
            current_ = nullptr;
        } else {
            slot.stage = Stage::Emitting;
        }
        dispatch(level_);
        pool_.notifyAll();
        lock.unlock();
        if (cadence_.due()) pumpNow();
        return true;
    }

    bool doubt() {
        doubtful_ = true;
        return false;
    }

    bool pumpNow() {
        pump_.now();
        return true;
    }

    // At expected_: the end marker (the stream is done when its CRC
    // agrees) or the next block, whose first piece (or failure) is waited
    // for, keeping the other workers busy. Lock held.
    bool startBlock(std::unique_lock<std::mutex>& lock) {
        if (!readAt(expected_ / 8, 11, near_)) return false;
        const uint64_t bit = expected_ % 8;
        const uint64_t bitsHeld = near_.size() * 8;
        if (bit + 48 > bitsHeld) return false;
        const uint64_t magic = bitsAt(near_.data(), near_.size(), bit, 48);
        if (magic == kEndMagicBits) {
            if (bit + kEndMarkerBits > bitsHeld) return false;
            if (bitsAt(near_.data(), near_.size(), bit + 48, 32) != streamCrc_) return false;
            streamEnd_ = (expected_ + kEndMarkerBits + 7) / 8;
            streamDone_ = true;
            return true;
        }
        if (magic != kBlockMagicBits) return false;

        while (!jobs_.empty() && jobs_.front()->startBit != expected_) {
            abandon(*jobs_.front());
            jobs_.pop_front();
        }
        if (jobs_.empty()) candidates_.clear();
        Slot* slot = nullptr;
        auto ready = [&] {
            dispatch(level_);
            slot = jobs_.empty() ? nullptr : jobs_.front();
            if (readFailed_) return true;
            if (slot && slot->stage == Stage::Failed && slot->cutShort && slot->outOfInput) {
                // The block runs past the candidate its job stopped at: read it again whole.
                if (!assign(*slot, slot->startBit, level_, kJobInput, false)) return true;
            }
            return slot && (slot->stage == Stage::Failed || slot->stage == Stage::PieceReady);
        };
        waitPumping(pool_, lock, ready, [this] { return pumpNow(); }, cadence_);
        if (readFailed_ || !slot || slot->stage == Stage::Failed) return false;
        current_ = slot;
        return true;
    }

    // Drops a job (lock held): a slot the worker has let go of becomes
    // idle at once, a worker still on it gives it back when it next looks.
    void abandon(Slot& slot) {
        const bool workerLetGo = slot.stage == Stage::Assigned || slot.stage == Stage::Failed ||
                                 (slot.stage == Stage::PieceReady && slot.lastPiece);
        if (workerLetGo)
            slot.stage = Stage::Idle;
        else if (slot.stage != Stage::Idle)
            slot.abandon = true;
        pool_.notifyAll();
    }

    void abandonAll() {
        for (Slot* slot : jobs_) abandon(*slot);
        jobs_.clear();
        candidates_.clear();
        current_ = nullptr;
        piece_ = nullptr;
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

    // Input bytes [first, first + length) into `into` (room for `length`),
    // `got` of them, fewer at the input's end: from the window when it holds them, else read from the source,
    // which then goes back to where the window ends. False on an error.
    bool readAt(uint64_t first, uint64_t length, uint8_t* into, size_t& got) {
        got = static_cast<size_t>(length);
        if (first >= windowBase_ && first + length <= windowEnd()) {
            std::copy_n(window_.data() + (first - windowBase_), got, into);
            return true;
        }
        if (fseeko(source_, origin_ + static_cast<off_t>(first), SEEK_SET) != 0) return false;
        got = std::fread(into, 1, got, source_);
        const bool read = !std::ferror(source_);
        return fseeko(source_, origin_ + static_cast<off_t>(windowEnd()), SEEK_SET) == 0 && read;
    }
    bool readAt(uint64_t first, uint64_t length, std::vector<uint8_t>& into) {
        into.resize(static_cast<size_t>(length));
        size_t got = 0;
        const bool read = readAt(first, length, into.data(), got);
        into.resize(got);
        return read;
    }

    // Hands the next candidates to idle workers (lock held).
    void dispatch(int32_t level) {
        for (Slot& slot : slots_) {
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
        if (!readAt(first, length, slot.job.get(), slot.jobSize)) {
            readFailed_ = true;
            return false;
        }
        slot.cutShort = cut && slot.jobSize == length;
        slot.outOfInput = false;
        slot.inputBase = first;
        slot.startBit = candidate;
        slot.level = level;
        slot.stage = Stage::Assigned;
        pool_.notifyAll();
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

    std::FILE* source_;
    const off_t origin_;  // where the input starts in the source
    MessagePump pump_;
    PumpCadence cadence_;
    std::deque<Slot> slots_;  // one per worker; declared before the pool, which stops their loops first
    WorkerPool pool_;
    uint64_t readAhead_ = 0;  // how far past the chain's next block candidates are looked for
    bool readFailed_ = false;
    std::vector<uint8_t> near_;  // a few bytes read at a stream's start or between blocks

    std::vector<uint8_t> window_;  // input bytes windowBase_ to windowEnd(), for the scan
    uint64_t windowBase_ = 0;
    bool atEnd_ = false;
    uint64_t scannedTo_ = 0;
    std::deque<uint64_t> candidates_;
    std::deque<Slot*> jobs_;  // in candidate order, the first at expected_ or later

    int32_t streams_ = 0;       // streams begun
    bool notAStream_ = false;   // what follows the last stream is none
    int32_t level_ = 9;
    uint64_t expected_ = 0;     // input bit where the chain's next block or end marker must start
    uint32_t streamCrc_ = 0;
    bool streamDone_ = false;   // the end marker was met and the stream CRC agrees
    uint64_t streamEnd_ = 0;    // input byte just behind the last stream done
    Slot* current_ = nullptr;   // the accepted block whose pieces are being taken

    Slot* piece_ = nullptr;        // the slot whose piece is being handed out, from pieceOffset_
    size_t pieceOffset_ = 0;
    std::vector<uint8_t> carried_;  // the end of the piece before, to go out ahead of the next
    bool doubtful_ = false;
};

ParallelDecoding::ParallelDecoding(std::FILE* source, int32_t threads, MessagePump pump)
    : decoder_(std::make_unique<Decoder>(source, threads, pump)) {}
ParallelDecoding::~ParallelDecoding() = default;

int32_t ParallelDecoding::open() { return decoder_->open(); }
int32_t ParallelDecoding::read(uint8_t* into, int32_t wanted, int32_t& status) {
    return decoder_->read(into, wanted, status);
}
bool ParallelDecoding::atEnd() { return decoder_->atEnd(); }

}  // namespace zor
