// codec.h - status codes, compress actions and the caller-owned streaming handle shared by the whole engine.
//
// Every engine operation reports a signed status code. A stream is driven
// through one `CodecStream` that the caller owns: it carries the input and
// output windows, the 64-bit byte totals (as lo/hi halves), the engine's
// per-stream state and the memory callbacks. The engine takes all of its
// memory for a stream at initialisation through `allocate` (count = bytes,
// size = 1) and gives every block back through `release` in the end call.
//
// Threads: a handle and its state are used by one thread at a time; separate
// handles may be driven from separate threads at once. Nothing in the engine
// is global and mutable.
#pragma once

#include <cstdint>

#include "engine/message_pump.h"

namespace zor {

// Status codes (signed 32-bit).
enum Status : int32_t {
    OK = 0,
    RUN_OK = 1,
    FLUSH_OK = 2,
    FINISH_OK = 3,
    STREAM_END = 4,
    SEQUENCE_ERROR = -1,
    ARGUMENT_ERROR = -2,
    MEM_ERROR = -3,
    DATA_ERROR = -4,
    DATA_ERROR_MAGIC = -5,
    IO_ERROR = -6,
    UNEXPECTED_EOF = -7,
    OUTBUFF_FULL = -8,  // no operation of this engine returns it
    CONFIG_ERROR = -9,
};

// Compress actions.
enum Action : int32_t {
    RUN = 0,
    FLUSH = 1,
    FINISH = 2,
};

using AllocateFunction = void* (*)(void* opaque, int32_t count, int32_t size);
using ReleaseFunction = void (*)(void* opaque, void* block);

// The streaming handle. Zero-initialise it (`CodecStream s{}`) before the
// init call; empty callbacks are replaced by heap defaults at init.
struct CodecStream {
    const uint8_t* nextIn = nullptr;
    uint32_t availIn = 0;
    uint32_t totalInLo = 0;
    uint32_t totalInHi = 0;

    uint8_t* nextOut = nullptr;
    uint32_t availOut = 0;
    uint32_t totalOutLo = 0;
    uint32_t totalOutHi = 0;

    void* engineState = nullptr;  // EncoderState or DecoderState, owned by the engine

    AllocateFunction allocate = nullptr;
    ReleaseFunction release = nullptr;
    void* opaque = nullptr;

    // Lets a user interface stay live during long calls; unset costs nothing.
    MessagePump pump;
};

// Adds n to a lo/hi 64-bit total, carrying into hi when lo wraps.
inline void addToTotal(uint32_t& lo, uint32_t& hi, uint32_t n) {
    uint32_t before = lo;
    lo += n;
    if (lo < before) ++hi;
}

inline uint64_t totalOf(uint32_t lo, uint32_t hi) { return (uint64_t{hi} << 32) | lo; }

// Installs the heap-backed callbacks where the caller left them empty.
void installDefaultCallbacks(CodecStream& stream);

// The engine's configuration check (type sizes); always passes on supported
// platforms. Init calls return CONFIG_ERROR when it fails.
bool configurationIsSound();

}  // namespace zor
