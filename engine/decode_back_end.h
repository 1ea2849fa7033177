// decode_back_end.h - where the decompress and test driver gets a stream's bytes: the one-thread file layer or the parallel decoder.
//
// The driver (file_drivers.cpp) owns the chunking, the progress, the labels
// and every message; a back end only hands it each stream's bytes in the
// pieces it asks for, with the file layer's statuses. Both back ends hand
// out the same bytes in the same pieces, so the driver shows the same
// things whichever one feeds it. The parallel one answers kDoubtful when
// anything is not plainly sound: the driver then runs the one-thread back
// end over the input again for its exact report.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/codec.h"
#include "engine/codec_file.h"
#include "engine/message_pump.h"

namespace zor {

// Not a status of the file layer: the parallel back end leaves the input to the one-thread one.
inline constexpr int32_t kDoubtful = -100;

class DecodeBackEnd {
public:
    virtual ~DecodeBackEnd() = default;
    // Begins the next stream; OK, or the failing status (nothing to abandon then).
    virtual int32_t open() = 0;
    // Up to `wanted` (1 to kFileBufferSize) bytes of the stream into `into`:
    // `wanted` of them with OK, the rest of the stream with STREAM_END, or
    // none with a failing status.
    virtual int32_t read(uint8_t* into, int32_t wanted, int32_t& status) = 0;
    // Closes the stream after a failing status.
    virtual void abandon() = 0;
    // Closes the stream after STREAM_END, keeping what follows it; false
    // when that could not be had (the stream is closed all the same).
    virtual bool finishStream() = 0;
    // After finishStream: whether the input ends there.
    virtual bool atEnd() = 0;
};

// The file layer, one handle per stream, each passing on the bytes it read past its stream's end.
class OneThreadDecoding : public DecodeBackEnd {
public:
    OneThreadDecoding(std::FILE* source, int32_t verbosity, int32_t smallMode, MessagePump pump)
        : source_(source), verbosity_(verbosity), smallMode_(smallMode), pump_(pump) {}
    ~OneThreadDecoding() override;

    int32_t open() override;
    int32_t read(uint8_t* into, int32_t wanted, int32_t& status) override;
    void abandon() override;
    bool finishStream() override;
    bool atEnd() override;

private:
    std::FILE* source_;
    const int32_t verbosity_;
    const int32_t smallMode_;
    const MessagePump pump_;
    CodecFile* handle_ = nullptr;
    uint8_t carried_[kFileBufferSize];
    int32_t carriedCount_ = 0;
};

}  // namespace zor
