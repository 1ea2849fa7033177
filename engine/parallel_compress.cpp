// parallel_compress.cpp - fills blocks in order on the calling thread, encodes them on workers, joins their bits in order.
//
// Each job is in one of four phases: Free, Filling (the calling thread runs
// the run-length stage into it), Queued (handed to the workers; a worker
// sorts and writes it) and Done (its bits wait to be joined). Only the
// calling thread moves a job out of Done, and it joins jobs strictly in the
// order it queued them, so a block finished early simply waits. The block
// CRC is completed and folded into the stream CRC when a block is queued,
// which happens in input order. A block is cut exactly where the one-thread
// encoder cuts it: as soon as its text reaches the block limit, and at the
// end of the input after the pending run is added.
#include "engine/parallel_compress.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "engine/block_encoder.h"
#include "engine/crc32.h"
#include "engine/stream_format.h"

namespace zor {

namespace {

constexpr int32_t kMaxThreads = 256;
constexpr int32_t kPiece = 65536;  // joined bytes handed to the sink at a time
constexpr auto kPumpWait = std::chrono::milliseconds(50);

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
        phases_.push_back(JobPhase::Free);
    }
    area_.resize(kPiece + 64);  // a piece, plus the few bytes that bit joining and the stream's ends add
    out_.retarget(area_.data());
    out_.startBits();
    for (uint8_t b : kStreamSignature) out_.putByte(b);
    out_.putByte(levelDigit(level_));

    startWorkers(settings.threads);
    if (status_ != OK) return;
    phases_[0] = JobPhase::Filling;
    current_ = 0;
}

ParallelCompressor::~ParallelCompressor() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    workReady_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void ParallelCompressor::startWorkers(int32_t count) {
    try {
        for (int32_t i = 0; i < count; ++i) workers_.emplace_back([this] { workerLoop(); });
    } catch (const std::system_error&) {
        // Fewer workers only slow the stream down; none at all cannot make it.
        if (workers_.empty()) status_ = MEM_ERROR;
    }
}

void ParallelCompressor::workerLoop() {
    for (;;) {
        int32_t index;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            workReady_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            index = queue_.front();
            queue_.pop_front();
        }
        jobs_[index]->encode();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            phases_[index] = JobPhase::Done;
        }
        jobDone_.notify_all();
    }
}

int32_t ParallelCompressor::write(const uint8_t* data, size_t length) {
    if (finished_ && status_ == OK) return SEQUENCE_ERROR;
    size_t taken = 0;
    while (status_ == OK && taken < length) {
        BlockJob& job = *jobs_[current_];
        EncoderState& s = job.state();
        // In stretches that end where the pump's countdown runs out, so the
        // hook runs as often as with one pump point per byte.
        const size_t start = taken;
        taken += addBytes(s, data + taken, std::min(length - taken, static_cast<size_t>(pump_.countdown)));
        job.inputBytes += taken - start;
        pump_.tick(static_cast<int32_t>(taken - start));
        if (s.blockLength >= s.blockLimit) dispatchCurrent(false);
    }
    joinBlocks(jobs_.size());
    return status_;
}

int32_t ParallelCompressor::finish() {
    if (status_ != OK) return status_;
    if (finished_) return SEQUENCE_ERROR;
    finished_ = true;
    dispatchCurrent(true);
    joinBlocks(0);
    if (status_ != OK) return status_;
    for (uint8_t b : kEndMagic) out_.putByte(b);
    out_.putUInt32(streamCrc_);
    out_.finishBits();
    drainOutput();
    return status_;
}

void ParallelCompressor::dispatchCurrent(bool last) {
    const int32_t index = current_;
    EncoderState& s = jobs_[index]->state();
    if (last) flushRun(s);
    const uint32_t runByte = s.runByte;
    const int32_t runLength = s.runLength;
    current_ = -1;
    if (s.blockLength == 0) {
        // Only a stream without input ends on an empty block, which writes nothing.
        std::lock_guard<std::mutex> lock(mutex_);
        phases_[index] = JobPhase::Free;
    } else {
        s.blockCrc = crcFinish(s.blockCrc);
        streamCrc_ = foldStreamCrc(streamCrc_, s.blockCrc);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            phases_[index] = JobPhase::Queued;
            queue_.push_back(index);
        }
        inOrder_.push_back(index);
        workReady_.notify_one();
    }
    if (!last) takeFreeJob(runByte, runLength);
}

void ParallelCompressor::takeFreeJob(uint32_t runByte, int32_t runLength) {
    // With every job in flight, the oldest must be joined before the next
    // block can be filled.
    joinBlocks(jobs_.size() - 1);
    if (status_ != OK) return;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto free = std::find(phases_.begin(), phases_.end(), JobPhase::Free);
    current_ = static_cast<int32_t>(free - phases_.begin());
    phases_[current_] = JobPhase::Filling;
    jobs_[current_]->continueRun(runByte, runLength);
}

void ParallelCompressor::joinBlocks(size_t mayRemain) {
    while (status_ == OK && !inOrder_.empty()) {
        const int32_t oldest = inOrder_.front();
        const bool mustWait = inOrder_.size() > mayRemain;
        bool done;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (mustWait) jobDone_.wait_for(lock, kPumpWait, [&] { return phases_[oldest] == JobPhase::Done; });
            done = phases_[oldest] == JobPhase::Done;
        }
        if (!done) {
            if (!mustWait) return;
            pump_.now();
            continue;
        }
        joinBlock(*jobs_[oldest]);
        inOrder_.pop_front();
        std::lock_guard<std::mutex> lock(mutex_);
        phases_[oldest] = JobPhase::Free;
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
