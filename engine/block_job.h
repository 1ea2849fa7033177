// block_job.h - one block of a stream encoded apart from the others: its own encoder record, work areas and bits.
//
// A parallel compressor keeps a few of these. The calling thread hands one
// a block it filled through the run-length stage (`takeBlock`; `state` is
// an ordinary encoder record), a worker thread sorts and writes it into the job's own output area
// starting at bit 0, and the calling thread then appends those bits to the
// stream with the two `append` calls below, at whatever bit position the stream has
// reached. The record comes from `compressInit` on a private handle, so a
// job costs exactly what a one-thread stream costs, taken through the same
// allocation callbacks, and its message pump is empty: a worker never
// reaches the user interface.
#pragma once

#include <cstdint>

#include "engine/bit_writer.h"
#include "engine/codec.h"
#include "engine/encoder_state.h"

namespace zor {

class BlockJob {
public:
    BlockJob() = default;
    BlockJob(const BlockJob&) = delete;
    BlockJob& operator=(const BlockJob&) = delete;
    ~BlockJob();

    // Takes the record and work areas for `level` through the callbacks
    // (empty ones mean the heap). Returns OK, MEM_ERROR or ARGUMENT_ERROR.
    int32_t open(int32_t level, int32_t workFactor, AllocateFunction allocate, ReleaseFunction release, void* opaque);

    EncoderState& state() { return *state_; }

    // Takes a block filled in another record (`staged`, its CRC final):
    // its text, the bytes it uses and its CRC, and `input` as inputBytes.
    void takeBlock(const EncoderState& staged, uint64_t input);

    // Sorts and writes the filled block (not empty, blockCrc final) into the
    // job's output area. Touches nothing outside the job: safe on a worker.
    void encode();

    // Input bytes that went into this block while it was filled.
    uint64_t inputBytes = 0;

private:
    CodecStream stream_{};
    EncoderState* state_ = nullptr;
};

// Joining a job's bits to the stream: its finished bytes (in pieces, if the
// stream's area is small), then its pending bits. `out` may stand at any
// bit position; it needs room for `count` + 4 bytes, and 4 for the latter.
void appendBytesAsBits(BitWriter& out, const uint8_t* bytes, int32_t count);
void appendPendingBits(BitWriter& out, const BitWriter& block);

}  // namespace zor
