// compress_stream.h - the compress side of the streaming interface.
//
// How to: zero a `CodecStream`, call `compressInit`, then point
// nextIn/availIn and nextOut/availOut at your buffers and call
// `compressStep` with RUN while you have input, and with FINISH until it
// returns STREAM_END (FINISH_OK means: drain the output and call again).
// `compressEnd` releases everything. Every call first checks that the
// handle holds this engine's encoder state (ARGUMENT_ERROR otherwise).
#pragma once

#include <cstdint>

#include "engine/codec.h"

namespace zor {

// level 1..9, verbosity unchecked, workFactor 0..250 (0 means 30).
// Returns OK, ARGUMENT_ERROR, MEM_ERROR or CONFIG_ERROR.
int32_t compressInit(CodecStream* stream, int32_t blockSizeLevel, int32_t verbosity, int32_t workFactor);

// Returns RUN_OK, FLUSH_OK, FINISH_OK, STREAM_END, SEQUENCE_ERROR or ARGUMENT_ERROR.
int32_t compressStep(CodecStream* stream, int32_t action);

// Returns OK or ARGUMENT_ERROR.
int32_t compressEnd(CodecStream* stream);

}  // namespace zor
