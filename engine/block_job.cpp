// block_job.cpp - encodes one block on its own and joins its bits to a stream at any bit position.
//
// Joining: a stream writer whose pending bits number k (0 to 7, once its
// whole bytes are out) takes each block byte b as two pieces: the top
// 8 - k bits of b complete the pending byte, the low k bits become the new
// pending bits. So a block is shifted into place a byte at a time instead
// of being rewritten bit by bit.
#include "engine/block_job.h"

#include <cstring>

#include "engine/block_encoder.h"
#include "engine/block_sort.h"
#include "engine/compress_stream.h"

namespace zor {

BlockJob::~BlockJob() {
    if (state_) compressEnd(&stream_);
}

int32_t BlockJob::open(int32_t level, int32_t workFactor, AllocateFunction allocate, ReleaseFunction release,
                       void* opaque) {
    stream_.allocate = allocate;
    stream_.release = release;
    stream_.opaque = opaque;
    const int32_t status = compressInit(&stream_, level, 0, workFactor);
    if (status == OK) state_ = static_cast<EncoderState*>(stream_.engineState);
    return status;
}

void BlockJob::takeBlock(const EncoderState& staged, uint64_t input) {
    startBlock(*state_);
    std::memcpy(state_->blockText, staged.blockText, static_cast<size_t>(staged.blockLength));
    std::memcpy(state_->usedBytes, staged.usedBytes, sizeof staged.usedBytes);
    state_->blockLength = staged.blockLength;
    state_->blockCrc = staged.blockCrc;
    inputBytes = input;
}

void BlockJob::encode() {
    EncoderState& s = *state_;
    sortBlock(s);
    // As in the one-thread encoder, the bytes go behind the text, over the
    // sorter's scratch; but this block starts its own bit sequence.
    s.bits.retarget(s.blockText + s.blockLength);
    s.bits.startBits();
    writeSortedBlock(s);
}

void appendBytesAsBits(BitWriter& out, const uint8_t* bytes, int32_t count) {
    out.moveWholeBytes();
    const int shift = out.bitCount;
    uint8_t* dst = out.output + out.outputLength;
    if (shift == 0) {
        std::memcpy(dst, bytes, static_cast<size_t>(count));
    } else {
        uint32_t pending = out.bitBuffer >> 24;
        for (int32_t i = 0; i < count; ++i) {
            dst[i] = static_cast<uint8_t>(pending | (bytes[i] >> shift));
            pending = (static_cast<uint32_t>(bytes[i]) << (8 - shift)) & 0xFFu;
        }
        out.bitBuffer = pending << 24;
    }
    out.outputLength += count;
}

void appendPendingBits(BitWriter& out, const BitWriter& block) {
    uint32_t buffer = block.bitBuffer;
    int32_t count = block.bitCount;
    while (count >= 8) {
        out.putBits(8, buffer >> 24);
        buffer <<= 8;
        count -= 8;
    }
    if (count > 0) out.putBits(count, buffer >> (32 - count));
}

}  // namespace zor
