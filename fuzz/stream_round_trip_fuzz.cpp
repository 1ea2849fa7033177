// stream_round_trip_fuzz.cpp - compresses arbitrary bytes and decompresses them again; the result must be identical.
//
// The first byte picks the work factor, so that the main sort's budget
// and the fallback sort are both reached.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/compress_stream.h"
#include "engine/decompress_stream.h"

namespace {

std::vector<uint8_t> compress(const uint8_t* data, size_t size, int32_t workFactor) {
    zor::CodecStream stream{};
    if (zor::compressInit(&stream, 9, 0, workFactor) != zor::OK) std::abort();
    std::vector<uint8_t> out(size + size / 50 + 1024);
    stream.nextIn = data;
    stream.availIn = static_cast<uint32_t>(size);
    stream.nextOut = out.data();
    stream.availOut = static_cast<uint32_t>(out.size());
    if (zor::compressStep(&stream, zor::FINISH) != zor::STREAM_END) std::abort();
    out.resize(out.size() - stream.availOut);
    zor::compressEnd(&stream);
    return out;
}

std::vector<uint8_t> decompress(const std::vector<uint8_t>& packed, size_t expected) {
    zor::CodecStream stream{};
    if (zor::decompressInit(&stream, 0, 0) != zor::OK) std::abort();
    std::vector<uint8_t> out(expected + 1);
    stream.nextIn = packed.data();
    stream.availIn = static_cast<uint32_t>(packed.size());
    stream.nextOut = out.data();
    stream.availOut = static_cast<uint32_t>(out.size());
    if (zor::decompressStep(&stream) != zor::STREAM_END) std::abort();
    out.resize(out.size() - stream.availOut);
    zor::decompressEnd(&stream);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int32_t workFactor = size > 0 ? data[0] % 101 : 30;
    const std::vector<uint8_t> packed = compress(data, size, workFactor);
    if (decompress(packed, size) != std::vector<uint8_t>(data, data + size)) std::abort();
    return 0;
}
