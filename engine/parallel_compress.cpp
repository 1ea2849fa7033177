// parallel_compress.cpp - fills blocks in order on the calling thread, encodes them on workers, joins their bits in order.
//
// The calling thread runs the run-length stage into a staging record of its
// own, which holds only a block's text, so it fills the next block while
// every job is being encoded. A filled block is copied into a free job
// (joining the oldest first if none is free), which is queued as a task
// that encodes it; the calling thread takes the results (the jobs' indexes)
// back in the order it queued them and joins them, so a block finished
// early simply waits. The block
// CRC is completed and folded into the stream CRC when a block is queued,
// which happens in input order. A block is cut exactly where the one-thread
// encoder cuts it: as soon as its text reaches the block limit, and at the
// end of the input after the pending run is added.
#include "engine/parallel_compress.h"

#include <algorithm>

#include "engine/block_encoder.h"
#include "engine/crc32.h"
#include "engine/stream_format.h"

namespace zor {

namespace {

constexpr int32_t kMaxThreads = 256;
constexpr int32_t kPiece = 65536;  // joined bytes handed to the sink at a time

}  // namespace

ParallelCompressor::ParallelCompressor(const ParallelCompressSettings& settings, Sink sink, BlockDone blockDone,
                                       MessagePump pump)
    : sink_(std::move(sink)), blockDone_(std::move(blockDone)), pump_(pump), level_(settings.blockSizeLevel) {
    if (settings.threads < 1 || settings.threads > kMaxThreads || level_ < kMinLevel || level_ > kMaxLevel ||
        settings.workFactor < 0 || settings.workFactor > kMaxWorkFactor) {
        status_ = ARGUMENT_ERROR;
        return;
    }
    for (int32_t i = 0; i < settings.threads; ++i) {
        auto job = std::make_unique<BlockJob>();
        status_ = job->open(level_, settings.workFactor, settings.allocate, settings.release, settings.opaque);
        if (status_ != OK) return;
        jobs_.push_back(std::move(job));
    }
    area_.resize(kPiece + 64);  // a piece, plus the few bytes that bit joining and the stream's ends add
    out_.retarget(area_.data());
    out_.startBits();
    for (uint8_t b : kStreamSignature) out_.putByte(b);
    out_.putByte(levelDigit(level_));

    pool_ = std::make_unique<WorkerPool>(settings.threads);
    // Fewer workers only slow the stream down; none at all cannot make it.
    if (pool_->workerCount() == 0) {
        status_ = MEM_ERROR;
        return;
    }
    encoded_ = std::make_unique<OrderedTasks<int32_t>>(*pool_, jobs_.size());
    for (int32_t i = settings.threads - 1; i >= 0; --i) freeJobs_.push_back(i);

    // The staging record needs only what the run-length stage touches.
    staging_ = std::make_unique<EncoderState>();
    stagingText_ = std::make_unique<uint8_t[]>(static_cast<size_t>(level_) * kBlockUnit);
    staging_->blockText = stagingText_.get();
    staging_->blockLimit = kBlockUnit * level_ - 19;
    startBlock(*staging_);
    startRun(*staging_);
}

ParallelCompressor::~ParallelCompressor() {
    if (pool_) pool_->cancel();
    encoded_.reset();
}

int32_t ParallelCompressor::write(const uint8_t* data, size_t length) {
    if (finished_ && status_ == OK) return SEQUENCE_ERROR;
    size_t taken = 0;
    EncoderState& s = *staging_;
    while (status_ == OK && taken < length) {
        // In stretches that end where the pump's countdown runs out, so the
        // hook runs as often as with one pump point per byte.
        const size_t start = taken;
        taken += addBytes(s, data + taken, std::min(length - taken, static_cast<size_t>(pump_.countdown)));
        stagedInput_ += taken - start;
        pump_.tick(static_cast<int32_t>(taken - start));
        if (s.blockLength >= s.blockLimit) dispatchStaged(false);
    }
    joinBlocks(jobs_.size());
    return status_;
}

int32_t ParallelCompressor::finish() {
    if (status_ != OK) return status_;
    if (finished_) return SEQUENCE_ERROR;
    finished_ = true;
    dispatchStaged(true);
    joinBlocks(0);
    if (status_ != OK) return status_;
    for (uint8_t b : kEndMagic) out_.putByte(b);
    out_.putUInt32(streamCrc_);
    out_.finishBits();
    drainOutput();
    return status_;
}

void ParallelCompressor::dispatchStaged(bool last) {
    EncoderState& s = *staging_;
    if (last) flushRun(s);
    // Only a stream without input ends on an empty block, which writes nothing.
    if (s.blockLength > 0) {
        // With every job in flight, the oldest must be joined before this block gets one.
        if (freeJobs_.empty()) joinBlocks(jobs_.size() - 1);
        if (status_ != OK) return;
        const int32_t index = freeJobs_.back();
        freeJobs_.pop_back();
        s.blockCrc = crcFinish(s.blockCrc);
        streamCrc_ = foldStreamCrc(streamCrc_, s.blockCrc);
        BlockJob* job = jobs_[static_cast<size_t>(index)].get();
        job->takeBlock(s, stagedInput_);
        encoded_->submit([job, index] {
            job->encode();
            return index;
        });
    }
    // The run still open belongs at the start of the next block.
    const uint32_t runByte = s.runByte;
    const int32_t runLength = s.runLength;
    startBlock(s);
    s.runByte = runByte;
    s.runLength = runLength;
    stagedInput_ = 0;
}

void ParallelCompressor::joinBlocks(size_t mayRemain) {
    auto pump = [this] {
        pump_.now();
        return true;
    };
    while (status_ == OK && encoded_->inHand() > 0) {
        if (encoded_->inHand() <= mayRemain && !encoded_->oldestReady()) return;
        const std::optional<int32_t> index = encoded_->takeOldest(pump, cadence_);
        if (!index) {
            status_ = MEM_ERROR;  // the pool stopped: it cannot, while this object lives
            return;
        }
        joinBlock(*jobs_[static_cast<size_t>(*index)]);
        freeJobs_.push_back(*index);
    }
}

void ParallelCompressor::joinBlock(BlockJob& job) {
    const BitWriter& bits = job.state().bits;
    for (int32_t offset = 0; offset < bits.outputLength && status_ == OK; offset += kPiece) {
        appendBytesAsBits(out_, bits.output + offset, std::min(kPiece, bits.outputLength - offset));
        drainOutput();
    }
    appendPendingBits(out_, bits);
    if (blockDone_) blockDone_(job.inputBytes);
}

void ParallelCompressor::drainOutput() {
    // After a refused write the bytes are dropped, but the area is still
    // emptied: it only ever holds one piece.
    if (out_.outputLength > 0 && status_ == OK) {
        if (sink_(area_.data(), static_cast<size_t>(out_.outputLength)))
            bytesWritten_ += static_cast<uint64_t>(out_.outputLength);
        else
            status_ = IO_ERROR;
    }
    out_.retarget(area_.data());
}

}  // namespace zor
