// decompress_stream.h - the decompress side of the streaming interface.
//
// How to: zero a `CodecStream`, call `decompressInit`, then feed input
// through nextIn/availIn and give output room through nextOut/availOut and
// call `decompressStep` until it returns STREAM_END (OK means it needs more
// input or more output room). Any other status ends the stream's use;
// `decompressEnd` releases everything. The block store is allocated once,
// when the stream's level is known: 4 bytes per block position in fast mode,
// 2.5 in small mode.
#pragma once

#include <cstdint>

#include "engine/codec.h"

namespace zor {

// smallMode 0 or 1, verbosity 0..4. Returns OK, ARGUMENT_ERROR, MEM_ERROR or CONFIG_ERROR.
int32_t decompressInit(CodecStream* stream, int32_t verbosity, int32_t smallMode);

// Returns OK, STREAM_END, DATA_ERROR, DATA_ERROR_MAGIC, MEM_ERROR, SEQUENCE_ERROR or ARGUMENT_ERROR.
int32_t decompressStep(CodecStream* stream);

// Returns OK or ARGUMENT_ERROR.
int32_t decompressEnd(CodecStream* stream);

}  // namespace zor
