// codec_file.h - the file layer: one compressed stream bound to an open C stdio stream through a 5000-byte buffer.
//
// How to write: `fileWriteOpen` -> any number of `fileWrite` ->
// `fileWriteClose`. How to read: `fileReadOpen` -> `fileRead` until a status
// other than OK -> `fileReadGetUnused` (only after STREAM_END) ->
// `fileReadClose`. Several streams stored back to back in one file are read
// with one handle each, opening the next with the previous handle's unused
// bytes as its carried bytes.
//
// Every operation takes a status out-parameter first (it may be null); the
// status is also kept in the handle's `lastStatus`. The caller owns the
// FILE*; the layer never opens or closes it. A handle is heap-allocated by
// the open call and freed by the close call, except for the close calls'
// early refusals (a missing handle, the wrong direction, a file with its
// error flag set), which leave it allocated, as does any failing close that
// does not abandon. Closing with abandon = true always releases the handle.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/codec.h"

namespace zor {

constexpr int32_t kFileBufferSize = 5000;

struct CodecFile {
    std::FILE* handle = nullptr;
    uint8_t buffer[kFileBufferSize];
    int32_t bufferCount = 0;
    bool writing = false;
    CodecStream stream;
    int32_t lastStatus = OK;
    bool initialised = false;
};

// level 1..9, verbosity 0..4, workFactor 0..250 (0 means 30). `pump` is
// installed into the embedded stream.
CodecFile* fileWriteOpen(int32_t* status, std::FILE* file, int32_t blockSizeLevel, int32_t verbosity,
                         int32_t workFactor, MessagePump pump = {});

void fileWrite(int32_t* status, CodecFile* handle, const void* data, int32_t length);

// The four totals are out-parameters and may be null.
void fileWriteClose(int32_t* status, CodecFile* handle, bool abandon, uint32_t* inLo, uint32_t* inHi,
                    uint32_t* outLo, uint32_t* outHi);

// carried: bytes read from the file past the end of an earlier stream (0..5000 of them).
CodecFile* fileReadOpen(int32_t* status, std::FILE* file, int32_t verbosity, int32_t smallMode,
                        const void* carried, int32_t carriedCount, MessagePump pump = {});

// Returns the number of bytes delivered; 0 with a failing status.
int32_t fileRead(int32_t* status, CodecFile* handle, void* data, int32_t length);

// After STREAM_END: the bytes read from the file that lie behind the stream's
// end. They stay inside the handle and are valid until it is closed.
void fileReadGetUnused(int32_t* status, CodecFile* handle, const uint8_t** unused, int32_t* unusedCount);

void fileReadClose(int32_t* status, CodecFile* handle);

// Reads one byte; at end of file returns true, otherwise pushes it back.
bool atEndOfFile(std::FILE* file);

}  // namespace zor
