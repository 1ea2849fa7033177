// stream_decode_fuzz.cpp - feeds arbitrary bytes to the stream decoder, in fast and small memory modes and in odd slices.
//
// Whatever the input, decoding must end with a status (never crash, hang or
// touch memory outside its buffers), and the answer must not depend on the
// memory mode or on how input and output are sliced: the whole input in one
// call, one byte or seven bytes at a time, must give the same output and the
// same final status in both modes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/decompress_stream.h"

namespace {

constexpr size_t kOutputCap = 64u << 20;  // enough for any single small input's blocks

struct Outcome {
    int32_t status;
    std::vector<uint8_t> output;
};

Outcome decode(const uint8_t* data, size_t size, int32_t smallMode, size_t inSlice, size_t outSlice) {
    zor::CodecStream stream{};
    Outcome outcome{zor::decompressInit(&stream, 0, smallMode), {}};
    if (outcome.status != zor::OK) return outcome;
    uint8_t room[4096];
    size_t offset = 0;
    for (;;) {
        const size_t give = std::min(inSlice, size - offset);
        stream.nextIn = data + offset;
        stream.availIn = static_cast<uint32_t>(give);
        stream.nextOut = room;
        stream.availOut = static_cast<uint32_t>(std::min(outSlice, sizeof room));
        const int32_t status = zor::decompressStep(&stream);
        offset += give - stream.availIn;
        outcome.output.insert(outcome.output.end(), room, stream.nextOut);
        if (status != zor::OK) {
            outcome.status = status;
            break;
        }
        const bool stalled = offset == size && stream.nextOut == room;
        if (stalled || outcome.output.size() > kOutputCap) {
            outcome.status = zor::UNEXPECTED_EOF;
            break;
        }
    }
    zor::decompressEnd(&stream);
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    struct Slicing {
        int32_t smallMode;
        size_t inSlice;
        size_t outSlice;
    };
    // The whole input at once in fast mode is the reference.
    constexpr Slicing kOthers[] = {{1, SIZE_MAX, 4096}, {0, 1, 4096}, {1, 1, 4096}, {0, 7, 13}, {1, 7, 13}};
    const Outcome whole = decode(data, size, 0, SIZE_MAX, 4096);
    if (whole.output.size() > kOutputCap) return 0;  // cut off where the slicing happened to stop
    for (const Slicing& slicing : kOthers) {
        const Outcome other = decode(data, size, slicing.smallMode, slicing.inSlice, slicing.outSlice);
        if (other.status != whole.status || other.output != whole.output) std::abort();
    }
    return 0;
}
