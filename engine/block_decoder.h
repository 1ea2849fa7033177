// block_decoder.h - the resumable reader of the compressed stream: header, block headers, tables and symbols.
#pragma once

#include <cstdint>

#include "engine/decoder_state.h"

namespace zor {

// Reads input from the state's handle from where the last call stopped.
// Returns OK when the input ran out (the next call continues at the same
// bit) or when a whole block has been read and set up for output (`step`
// is then STEP_OUTPUT); STREAM_END when the stream CRC has been read
// (`step` is then STEP_IDLE; the caller compares the CRCs); MEM_ERROR,
// DATA_ERROR or DATA_ERROR_MAGIC on failure. Called only while `step` >= 10.
int32_t decodeStep(DecoderState& s);

}  // namespace zor
