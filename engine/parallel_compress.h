// parallel_compress.h - one compressed stream made on several threads, byte for byte the one-thread stream.
//
// How to: construct with the settings and the three callbacks, check
// `status()`, hand the input to `write` in pieces of any size, then call
// `finish` once. The stream's bytes reach `sink` in order; `blockDone`
// reports each block as it is joined, in block order, with the input bytes
// it covered. Every callback runs on the calling thread, and so does
// `pump`, which is served at least every kPumpWaitInterval while the
// caller waits for a worker.
//
// Method. The run-length stage decides where each block ends and is cheap,
// so it stays on the calling thread and in input order, filling a staging
// area while the workers encode. Each filled block is handed to a worker, which sorts and writes it into its own bit
// sequence; the calling thread appends the finished blocks' bits in block
// order (blocks are not byte-aligned) and folds the stream CRC in order.
// There are as many blocks in hand as threads, each costing one one-thread
// stream's memory, so memory grows linearly with the thread count; the
// staging area adds one block's text (at most 900 KB) per stream. The
// workers are those of a WorkerPool (worker_pool.h); the blocks come back
// from it in order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/bit_writer.h"
#include "engine/block_job.h"
#include "engine/codec.h"
#include "engine/message_pump.h"
#include "engine/worker_pool.h"

namespace zor {

struct ParallelCompressSettings {
    int32_t threads = 2;         // workers; each also holds one block
    int32_t blockSizeLevel = 9;  // 1 to 9
    int32_t workFactor = 30;     // 0 to 250, 0 meaning 30
    // Where the blocks' memory comes from; empty means the heap.
    AllocateFunction allocate = nullptr;
    ReleaseFunction release = nullptr;
    void* opaque = nullptr;
};

class ParallelCompressor {
public:
    // Returns false when the bytes could not be written; the compressor then stops.
    using Sink = std::function<bool(const uint8_t* data, size_t length)>;
    using BlockDone = std::function<void(uint64_t inputBytes)>;

    ParallelCompressor(const ParallelCompressSettings& settings, Sink sink, BlockDone blockDone, MessagePump pump);
    ParallelCompressor(const ParallelCompressor&) = delete;
    ParallelCompressor& operator=(const ParallelCompressor&) = delete;
    ~ParallelCompressor();

    // OK, or the failure so far: ARGUMENT_ERROR (settings), MEM_ERROR (no
    // memory or no thread), IO_ERROR (the sink refused bytes).
    int32_t status() const { return status_; }

    // Returns status().
    int32_t write(const uint8_t* data, size_t length);
    // Ends the stream; returns status().
    int32_t finish();

    uint64_t bytesWritten() const { return bytesWritten_; }

private:
    // Hands the staged block to a free job and starts the next one.
    void dispatchStaged(bool last);
    // Joins finished blocks in order, waiting (and pumping) while more than
    // `mayRemain` blocks are still unjoined.
    void joinBlocks(size_t mayRemain);
    void joinBlock(BlockJob& job);
    void drainOutput();

    Sink sink_;
    BlockDone blockDone_;
    MessagePump pump_;
    int32_t status_ = OK;
    int32_t level_ = 9;
    uint32_t streamCrc_ = 0;
    uint64_t bytesWritten_ = 0;
    bool finished_ = false;

    std::vector<std::unique_ptr<BlockJob>> jobs_;
    std::vector<int32_t> freeJobs_;
    std::unique_ptr<EncoderState> staging_;  // the block being filled
    std::unique_ptr<uint8_t[]> stagingText_;
    uint64_t stagedInput_ = 0;  // input bytes in the staged block

    std::vector<uint8_t> area_;  // the joined stream's bytes on their way to the sink
    BitWriter out_;

    // Declared last: the tasks in hand go, and the workers stop, before the jobs they encode.
    std::unique_ptr<WorkerPool> pool_;
    std::unique_ptr<OrderedTasks<int32_t>> encoded_;  // job indexes, in the order queued
    PumpCadence cadence_;
};

}  // namespace zor
