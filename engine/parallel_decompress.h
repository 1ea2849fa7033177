// parallel_decompress.h - the parallel back end of the decompress and test driver: one input of concatenated streams decoded on several threads.
//
// It hands the driver exactly the bytes, in exactly the pieces, that the
// one-thread back end hands it for sound input, and answers kDoubtful for
// anything else (decode_back_end.h). It needs a seekable source whose
// input length from the current position is known, and leaves it just
// behind the bytes it has taken.
//
// Memory: each worker holds one block store (3.6 MB) and room for the
// compressed bytes of its block (1.2 MB), which once the block is read
// carries its output out in pieces of that size; the calling thread scans
// the input through a window of 128 KB, reads each job's bytes from the
// source, and holds one piece on its way to the driver.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "engine/decode_back_end.h"

namespace zor {

class ParallelDecoding : public DecodeBackEnd {
public:
    // `threads` workers; `pump` is served while the calling thread waits for them.
    ParallelDecoding(std::FILE* source, int32_t threads, MessagePump pump);
    ~ParallelDecoding() override;

    int32_t open() override;
    int32_t read(uint8_t* into, int32_t wanted, int32_t& status) override;
    void abandon() override {}
    bool finishStream() override { return true; }
    bool atEnd() override;

private:
    class Decoder;
    std::unique_ptr<Decoder> decoder_;
};

}  // namespace zor
