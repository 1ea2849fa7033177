// parallel_block_decoder.h - a worker's decoder: one block read from any bit of a buffer, its bytes handed out in pieces.
//
// It drives the one-thread decoder's own steps (block reading, the output
// stage, the block CRC check) on a record of its own, entered at the block
// magic instead of the stream header, so a block decoded here yields
// exactly the bytes and the verdict the one-thread decoder gives it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/codec.h"

namespace zor {

struct DecoderState;

class ParallelBlockDecoder {
public:
    enum class Outcome {
        Ready,       // the block was read and its bytes can be taken
        Failed,      // the block is damaged (or the magic was a false one)
        OutOfInput,  // the buffer ended inside the block
    };

    ParallelBlockDecoder();
    ~ParallelBlockDecoder();
    ParallelBlockDecoder(const ParallelBlockDecoder&) = delete;
    ParallelBlockDecoder& operator=(const ParallelBlockDecoder&) = delete;

    // False when the record or its block store could not be had.
    bool usable() const { return state_ != nullptr; }

    // Reads the block whose magic starts at bit `startBit` of data[0..size)
    // of a stream of the given level (1 to 9).
    Outcome decode(const uint8_t* data, size_t size, int32_t level, uint64_t startBit);
    // After Ready: the bit of data just behind the block.
    uint64_t endBit() const { return endBit_; }

    // Hands out up to `room` of the block's bytes; returns how many.
    size_t emit(uint8_t* out, size_t room);
    // Whether every byte of the block has been handed out.
    bool finished() const;
    // Once finished: whether the block ended cleanly and its CRC matched;
    // `blockCrc` is then the CRC of its bytes.
    bool sound();
    uint32_t blockCrc() const;

private:
    CodecStream stream_{};
    DecoderState* state_ = nullptr;
    uint64_t endBit_ = 0;
};

}  // namespace zor
