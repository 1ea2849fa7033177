// compress_back_end.h - where the compress driver's bytes go: the one-thread file layer or the parallel compressor.
//
// The driver (file_drivers.cpp) owns the reading, the progress, the labels
// and every message; a back end only turns the bytes it is given into the
// stream and writes that to the archive. Both write the same stream byte
// for byte, with the same statuses for the same troubles.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "engine/codec_file.h"
#include "engine/file_drivers.h"
#include "engine/message_pump.h"

namespace zor {

class CompressBackEnd {
public:
    virtual ~CompressBackEnd() = default;
    // OK, or why the stream cannot be made (the back end holds nothing then).
    virtual int32_t status() const = 0;
    // Adds input bytes; returns the status so far.
    virtual int32_t write(const uint8_t* data, int32_t length) = 0;
    // Ends the stream; `bytesOut` is the stream's length. After a failing
    // status the stream stays open for abandon.
    virtual int32_t finish(uint64_t& bytesOut) = 0;
    // Drops the stream (after any failure).
    virtual void abandon() = 0;
};

// The back end for `settings`: the parallel compressor for more than one
// thread and an input larger than one block (`inputBytes` unknown: -1),
// the file layer otherwise.
std::unique_ptr<CompressBackEnd> compressBackEndFor(std::FILE* archive, const EngineSettings& settings,
                                                    int64_t inputBytes, MessagePump pump);

}  // namespace zor
