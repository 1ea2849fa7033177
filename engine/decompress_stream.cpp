// decompress_stream.cpp - the decompress side of the streaming interface: creating, driving and ending a decoder.
#include "engine/decompress_stream.h"

#include <cstring>
#include <new>

#include "engine/block_decoder.h"
#include "engine/decoder_state.h"
#include "engine/output_stage.h"

namespace zor {

namespace {

// The handle's decoder state, or nullptr when the handle is missing, has no
// state, holds another kind of state or a state that belongs to another handle.
DecoderState* decoderOf(CodecStream* stream) {
    if (!stream || !stream->engineState) return nullptr;
    uint32_t signature;
    std::memcpy(&signature, stream->engineState, sizeof signature);
    if (signature != kDecoderSignature) return nullptr;
    auto* s = static_cast<DecoderState*>(stream->engineState);
    return s->stream == stream ? s : nullptr;
}

int32_t runDecoder(DecoderState& s) {
    CodecStream& stream = *s.stream;
    for (;;) {
        stream.pump.now();
        if (s.step == STEP_IDLE) return SEQUENCE_ERROR;
        if (s.step == STEP_OUTPUT) {
            if (s.smallMode)
                emitOutputSmall(s);
            else
                emitOutputFast(s);
            if (s.outRunLeft != 0 || !blockTextUsedUp(s)) return OK;  // the output room is full
            if (blockTextOverrun(s) || finishBlockCheck(s) != OK) return DATA_ERROR;
            continue;
        }
        const int32_t r = decodeStep(s);
        if (r == STREAM_END) return s.streamCrc == s.storedStreamCrc ? STREAM_END : DATA_ERROR;
        if (s.step != STEP_OUTPUT) return r;
    }
}

bool isFailure(int32_t status) {
    return status == DATA_ERROR || status == DATA_ERROR_MAGIC || status == MEM_ERROR;
}

}  // namespace

int32_t decompressInit(CodecStream* stream, int32_t verbosity, int32_t smallMode) {
    if (!configurationIsSound()) return CONFIG_ERROR;
    if (!stream || (smallMode != 0 && smallMode != 1) || verbosity < 0 || verbosity > 4) return ARGUMENT_ERROR;
    installDefaultCallbacks(*stream);
    void* memory = stream->allocate(stream->opaque, static_cast<int32_t>(sizeof(DecoderState)), 1);
    if (!memory) return MEM_ERROR;
    auto* s = new (memory) DecoderState;
    s->stream = stream;
    s->smallMode = smallMode == 1;
    s->verbosity = verbosity;
    stream->engineState = s;
    stream->totalInLo = stream->totalInHi = 0;
    stream->totalOutLo = stream->totalOutHi = 0;
    return OK;
}

int32_t decompressStep(CodecStream* stream) {
    if (stream) stream->pump.now();
    DecoderState* s = decoderOf(stream);
    if (!s) return ARGUMENT_ERROR;
    // A damaged stream stays failed: going on from the failing read could
    // only produce more damage.
    if (s->failure != OK) return s->failure;
    const int32_t status = runDecoder(*s);
    if (isFailure(status)) s->failure = status;
    return status;
}

int32_t decompressEnd(CodecStream* stream) {
    DecoderState* s = decoderOf(stream);
    if (!s) return ARGUMENT_ERROR;
    if (s->chain) stream->release(stream->opaque, s->chain);
    if (s->chainLow) stream->release(stream->opaque, s->chainLow);
    if (s->chainHigh) stream->release(stream->opaque, s->chainHigh);
    s->~DecoderState();
    stream->release(stream->opaque, s);
    stream->engineState = nullptr;
    return OK;
}

}  // namespace zor
