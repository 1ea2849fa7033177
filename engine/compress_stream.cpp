// compress_stream.cpp - the compress side of the streaming interface: state machine over blocks, input and output.
//
// A stream alternates between two phases: input (bytes from the caller's
// window fill the current block through the run-length stage) and output
// (the encoded block's bytes drain into the caller's window). RUN moves
// what it can; FLUSH and FINISH first record how much input the caller
// offers (`expectedInput`) and then insist on that same window until the
// block (and, for FINISH, the stream) is complete.
#include "engine/compress_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/block_encoder.h"
#include "engine/encoder_state.h"

namespace zor {

namespace {

EncoderState* encoderOf(CodecStream* stream) {
    if (!stream || !stream->engineState) return nullptr;
    // The state may be a decoder's; compare its first word (bytes are
    // always readable) before treating it as an encoder record.
    uint32_t signature;
    std::memcpy(&signature, stream->engineState, sizeof signature);
    if (signature != kEncoderSignature) return nullptr;
    auto* s = static_cast<EncoderState*>(stream->engineState);
    return s->stream == stream ? s : nullptr;
}

void releaseAll(CodecStream* stream, EncoderState* s) {
    for (void* area : {static_cast<void*>(s->workA), static_cast<void*>(s->workB), static_cast<void*>(s->bucketTable)})
        if (area) stream->release(stream->opaque, area);
    s->~EncoderState();
    stream->release(stream->opaque, s);
}

// Moves input into the block until it is full or the window (or, while
// flushing or finishing, the expected input) is used up.
bool takeInput(EncoderState& s) {
    CodecStream& stream = *s.stream;
    uint32_t offered = stream.availIn;
    if (s.mode != MODE_RUNNING) offered = std::min(offered, s.expectedInput);
    const uint8_t* in = stream.nextIn;
    uint32_t taken = 0;
    // In stretches that end where the pump's countdown runs out, so the
    // hook runs as often as with one pump point per byte.
    while (taken < offered && s.blockLength < s.blockLimit) {
        uint32_t start = taken;
        taken += static_cast<uint32_t>(
            addBytes(s, in + taken, std::min(offered - taken, static_cast<uint32_t>(stream.pump.countdown))));
        stream.pump.tick(static_cast<int32_t>(taken - start));
    }
    if (taken == 0) return false;
    stream.nextIn += taken;
    stream.availIn -= taken;
    addToTotal(stream.totalInLo, stream.totalInHi, taken);
    if (s.mode != MODE_RUNNING) s.expectedInput -= taken;
    return true;
}

bool giveOutput(EncoderState& s) {
    CodecStream& stream = *s.stream;
    uint32_t waiting = static_cast<uint32_t>(s.outputLength() - s.outputPosition);
    uint32_t n = std::min(stream.availOut, waiting);
    if (n == 0) return false;
    for (uint32_t copied = 0; copied < n;) {
        uint32_t stretch = std::min(n - copied, static_cast<uint32_t>(stream.pump.countdown));
        std::memcpy(stream.nextOut + copied, s.bits.output + s.outputPosition + copied, stretch);
        copied += stretch;
        stream.pump.tick(static_cast<int32_t>(stretch));
    }
    s.outputPosition += static_cast<int32_t>(n);
    stream.nextOut += n;
    stream.availOut -= n;
    addToTotal(stream.totalOutLo, stream.totalOutHi, n);
    return true;
}

bool flushOrFinishIsDone(const EncoderState& s) {
    return s.expectedInput == 0 && runIsEmpty(s);
}

// Moves data until neither input nor output can advance; true when any
// byte was taken in or handed out.
bool runEncoder(EncoderState& s) {
    bool moved = false;
    while (true) {
        s.stream->pump.now();
        if (s.phase == PHASE_OUTPUT) {
            moved |= giveOutput(s);
            if (s.outputPosition < s.outputLength()) break;
            if (s.mode == MODE_FINISHING && flushOrFinishIsDone(s)) break;
            startBlock(s);
            s.phase = PHASE_INPUT;
            if (s.mode == MODE_FLUSHING && flushOrFinishIsDone(s)) break;
        }
        if (s.phase == PHASE_INPUT) {
            moved |= takeInput(s);
            if (s.mode != MODE_RUNNING && s.expectedInput == 0) {
                flushRun(s);
                encodeBlock(s, s.mode == MODE_FINISHING);
                s.phase = PHASE_OUTPUT;
            } else if (s.blockLength >= s.blockLimit) {
                encodeBlock(s, false);
                s.phase = PHASE_OUTPUT;
            } else if (s.stream->availIn == 0) {
                break;
            }
        }
    }
    return moved;
}

}  // namespace

int32_t compressInit(CodecStream* stream, int32_t blockSizeLevel, int32_t verbosity, int32_t workFactor) {
    if (!configurationIsSound()) return CONFIG_ERROR;
    if (!stream || blockSizeLevel < kMinLevel || blockSizeLevel > kMaxLevel || workFactor < 0 || workFactor > kMaxWorkFactor)
        return ARGUMENT_ERROR;
    if (workFactor == 0) workFactor = 30;
    installDefaultCallbacks(*stream);

    void* record = stream->allocate(stream->opaque, static_cast<int32_t>(sizeof(EncoderState)), 1);
    if (!record) return MEM_ERROR;
    auto* s = new (record) EncoderState;
    s->stream = stream;
    auto take = [&](uint32_t bytes) {
        return static_cast<uint32_t*>(stream->allocate(stream->opaque, static_cast<int32_t>(bytes), 1));
    };
    uint32_t* workA = take(workABytes(blockSizeLevel));
    uint32_t* workB = take(workBBytes(blockSizeLevel));
    uint32_t* buckets = take(bucketTableBytes());
    attachWorkAreas(*s, workA, workB, buckets, blockSizeLevel);
    if (!workA || !workB || !buckets) {
        releaseAll(stream, s);
        return MEM_ERROR;
    }

    s->blockNumber = 0;
    s->phase = PHASE_INPUT;
    s->mode = MODE_RUNNING;
    s->streamCrc = 0;
    s->verbosity = verbosity;
    s->workFactor = workFactor;
    stream->engineState = s;
    stream->totalInLo = stream->totalInHi = 0;
    stream->totalOutLo = stream->totalOutHi = 0;
    startRun(*s);
    startBlock(*s);
    return OK;
}

int32_t compressStep(CodecStream* stream, int32_t action) {
    EncoderState* s = encoderOf(stream);
    if (!s) return ARGUMENT_ERROR;

    while (true) {
        switch (s->mode) {
            case MODE_IDLE:
                return SEQUENCE_ERROR;

            case MODE_RUNNING:
                if (action == RUN) return runEncoder(*s) ? RUN_OK : ARGUMENT_ERROR;
                if (action == FLUSH || action == FINISH) {
                    s->expectedInput = stream->availIn;
                    s->mode = action == FLUSH ? MODE_FLUSHING : MODE_FINISHING;
                    continue;
                }
                return ARGUMENT_ERROR;

            case MODE_FLUSHING:
                if (action != FLUSH || s->expectedInput != stream->availIn) return SEQUENCE_ERROR;
                runEncoder(*s);
                if (!flushOrFinishIsDone(*s) || s->outputPosition < s->outputLength()) return FLUSH_OK;
                s->mode = MODE_RUNNING;
                return RUN_OK;

            case MODE_FINISHING:
                if (action != FINISH || s->expectedInput != stream->availIn) return SEQUENCE_ERROR;
                if (!runEncoder(*s)) return SEQUENCE_ERROR;
                if (!flushOrFinishIsDone(*s) || s->outputPosition < s->outputLength()) return FINISH_OK;
                s->mode = MODE_IDLE;
                return STREAM_END;

            default:
                return SEQUENCE_ERROR;
        }
    }
}

int32_t compressEnd(CodecStream* stream) {
    EncoderState* s = encoderOf(stream);
    if (!s) return ARGUMENT_ERROR;
    releaseAll(stream, s);
    stream->engineState = nullptr;
    return OK;
}

}  // namespace zor
