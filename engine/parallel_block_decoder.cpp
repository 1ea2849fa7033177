// parallel_block_decoder.cpp - a worker's decoder: one block read from any bit of a buffer, its bytes handed out in pieces.
//
// The record comes from decompressInit like any stream's; its block store is
// taken once, at the largest level, so one decoder serves streams of every
// level. Entering at a block means setting what the stream header would
// have set (the level, the store) and placing the bits of the first,
// partly used byte in the bit buffer; the reader then starts at the magic.
// Everything a block reads is set up by the block's own steps, so a record
// that read another block (or failed on one) before needs nothing reset
// but the save area.
#include "engine/parallel_block_decoder.h"

#include "engine/block_decoder.h"
#include "engine/decoder_state.h"
#include "engine/decompress_stream.h"
#include "engine/output_stage.h"

namespace zor {

namespace {

constexpr int32_t kLargestLevel = 9;

}  // namespace

ParallelBlockDecoder::ParallelBlockDecoder() {
    if (decompressInit(&stream_, 0, 0) != OK) return;
    auto* s = static_cast<DecoderState*>(stream_.engineState);
    s->chain = static_cast<uint32_t*>(stream_.allocate(stream_.opaque, chainBytes(kLargestLevel), 1));
    if (!s->chain) {
        decompressEnd(&stream_);
        return;
    }
    state_ = s;
}

ParallelBlockDecoder::~ParallelBlockDecoder() {
    if (state_) decompressEnd(&stream_);
}

ParallelBlockDecoder::Outcome ParallelBlockDecoder::decode(const uint8_t* data, size_t size, int32_t level,
                                                           uint64_t startBit) {
    DecoderState& s = *state_;
    s.save = DecoderSaveArea{};
    s.step = BLOCK_MAGIC_1;
    s.blockSizeLevel = level;
    const uint8_t* next = data + startBit / 8;
    const int32_t skip = static_cast<int32_t>(startBit % 8);
    s.bitBuffer = 0;
    s.bitCount = 0;
    if (skip != 0) {
        s.bitBuffer = *next++ & (0xFFu >> skip);
        s.bitCount = 8 - skip;
    }
    stream_.nextIn = next;
    stream_.availIn = static_cast<uint32_t>(data + size - next);
    const int32_t status = decodeStep(s);
    if (status != OK) return Outcome::Failed;
    if (s.step != STEP_OUTPUT) return Outcome::OutOfInput;
    endBit_ = uint64_t(stream_.nextIn - data) * 8 - static_cast<uint64_t>(s.bitCount);
    return Outcome::Ready;
}

size_t ParallelBlockDecoder::emit(uint8_t* out, size_t room) {
    stream_.nextOut = out;
    stream_.availOut = static_cast<uint32_t>(room);
    emitOutputFast(*state_);
    return room - stream_.availOut;
}

bool ParallelBlockDecoder::finished() const { return state_->outRunLeft == 0 && blockTextUsedUp(*state_); }

bool ParallelBlockDecoder::sound() {
    if (blockTextOverrun(*state_)) return false;
    state_->streamCrc = 0;
    return finishBlockCheck(*state_) == OK;
}

uint32_t ParallelBlockDecoder::blockCrc() const { return state_->blockCrc; }

}  // namespace zor
