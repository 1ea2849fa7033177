// output_stage.h - rebuilding a decoded block's text and handing its bytes to the caller.
//
// Once the block decoder has stored a block's transformed text, the output
// stage links it into the chain that undoes the block transform, then walks
// the chain byte by byte, undoing the run-length stage (four equal bytes and
// a count) and the optional randomisation, as far as the caller's output
// room allows; the block CRC is kept up to date over the delivered bytes.
#pragma once

#include <cstdint>

#include "engine/decoder_state.h"

namespace zor {

// Links the block store for the output walk and fetches the first byte;
// `step` becomes STEP_OUTPUT. The block's text length and originPointer
// must have been checked (originPointer below the text length).
void prepareBlockOutput(DecoderState& s);

// Deliver bytes into the handle's output room until it is full or the
// block is used up. Fast mode walks `chain`; small mode `chainLow`/`chainHigh`.
void emitOutputFast(DecoderState& s);
void emitOutputSmall(DecoderState& s);

// Whether the block's text has been used up, and whether it ended where a
// run's count byte was due (a damaged block whose output would never end).
inline bool blockTextUsedUp(const DecoderState& s) { return s.bytesFetched >= s.save.textLength + 1; }
inline bool blockTextOverrun(const DecoderState& s) { return s.bytesFetched > s.save.textLength + 1; }

// Completes and checks the block CRC, folds it into the stream CRC and
// makes the decoder read the next block. Returns OK or DATA_ERROR.
int32_t finishBlockCheck(DecoderState& s);

// The largest byte value c with cumCounts[c] <= position (binary search).
int32_t byteAtPosition(uint32_t position, const int32_t* cumCounts);

}  // namespace zor
