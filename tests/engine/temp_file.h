// temp_file.h - anonymous temporary stdio files holding given bytes, for engine tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/unique_file.h"

namespace zor::testing {

using TempFile = UniqueFile;

inline TempFile tempFileWith(const std::vector<uint8_t>& bytes) {
    TempFile file(std::tmpfile());
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    std::rewind(file.get());
    return file;
}

inline std::vector<uint8_t> contentsOf(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    return bytes;
}

// Deterministic mixed data: text-like with runs, so blocks exercise every stage.
inline std::vector<uint8_t> sampleBytes(size_t size, uint32_t seed = 1) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        const uint32_t r = x >> 16;
        bytes[i] = (r % 7 == 0 && i > 0) ? bytes[i - 1] : static_cast<uint8_t>('a' + r % 23);
    }
    return bytes;
}

}  // namespace zor::testing
