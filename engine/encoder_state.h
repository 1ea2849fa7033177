// encoder_state.h - the per-stream state record of the compressor: work arrays, run-length stage, tables, bit writer.
//
// One record exists per compressed stream; the streaming interface takes it
// and its three work areas from the handle's allocator at initialisation and
// nothing is allocated afterwards. The per-block data shares the work areas:
//
//   workA  sortedPositions (32-bit rows), then the sorted block's last
//          column (bytes, in the area's last quarter), then overwritten from
//          the front by the 16-bit symbols; symbol i is written only after
//          row i is read.
//   workB  blockText (bytes 0..blockLength-1), then the sorter's 34-byte
//          overshoot and 16-bit rank cache; once sorting is done the
//          compressed bytes of the block are written behind the text.
#pragma once

#include <cstdint>

#include "engine/bit_writer.h"
#include "engine/codec.h"
#include "engine/stream_format.h"

namespace zor {

inline constexpr int32_t kBucketCount = 65537;
inline constexpr int32_t kOvershoot = 34;  // bytes past the text that a rotation comparison may read

// Streaming modes and phases of the compress side.
enum EncoderMode : int32_t { MODE_IDLE = 1, MODE_RUNNING = 2, MODE_FLUSHING = 3, MODE_FINISHING = 4 };
enum EncoderPhase : int32_t { PHASE_OUTPUT = 1, PHASE_INPUT = 2 };

// First word of every encoder record, so that a step can tell an encoder
// state from a decoder's before trusting any other field.
inline constexpr uint32_t kEncoderSignature = 0x52434E45u;  // "ENCR"

// Run byte value meaning "no pending run".
inline constexpr uint32_t kNoRun = 256;

struct EncoderState {
    uint32_t signature = kEncoderSignature;
    CodecStream* stream = nullptr;
    int32_t mode = MODE_RUNNING;
    int32_t phase = PHASE_INPUT;
    uint32_t expectedInput = 0;

    uint32_t* workA = nullptr;        // 100000 * level entries
    uint32_t* workB = nullptr;        // 100000 * level + 34 entries
    uint32_t* bucketTable = nullptr;  // 65537 entries

    int32_t originPointer = 0;
    uint32_t* sortedPositions = nullptr;  // view of workA
    uint8_t* blockText = nullptr;         // view of workB
    uint16_t* symbols = nullptr;          // view of workA

    int32_t workFactor = 30;
    uint32_t runByte = kNoRun;
    int32_t runLength = 0;
    int32_t blockLength = 0;
    int32_t blockLimit = 0;
    int32_t outputPosition = 0;  // bytes of the current block handed to the caller

    int32_t usedCount = 0;
    uint8_t usedBytes[256] = {};
    uint8_t seqOfByte[256] = {};

    // Finished bytes go to `bits.output` (the block's output area);
    // `bits.outputLength` is the block's compressed byte count.
    BitWriter bits;
    uint32_t blockCrc = 0;
    uint32_t streamCrc = 0;

    int32_t verbosity = 0;
    int32_t blockNumber = 0;
    int32_t blockSizeLevel = 9;
    int32_t symbolCount = 0;
    int32_t symbolFrequency[kMaxAlphabet] = {};

    int32_t tableCount = 0;
    int32_t selectorCount = 0;
    uint8_t codeLengths[kMaxTables][kMaxAlphabet] = {};
    // Written by each block before it reads them, so left uninitialised: a
    // stream that packs one small file would otherwise clear 50 KB for it.
    uint8_t selectors[kMaxSelectors];
    uint8_t selectorIndices[kMaxSelectors];
    int32_t codes[kMaxTables][kMaxAlphabet];
    int32_t tableFrequency[kMaxTables][kMaxAlphabet];

    int32_t outputLength() const { return bits.outputLength; }
};

// Bytes of each work area at a block size level (1 to 9).
inline constexpr uint32_t workABytes(int32_t level) { return static_cast<uint32_t>(kBlockUnit) * static_cast<uint32_t>(level) * 4u; }
inline constexpr uint32_t workBBytes(int32_t level) { return (static_cast<uint32_t>(kBlockUnit) * static_cast<uint32_t>(level) + 34u) * 4u; }
inline constexpr uint32_t bucketTableBytes() { return kBucketCount * 4u; }

// Points the record at its work areas (sized as above) and sets the views.
inline void attachWorkAreas(EncoderState& s, uint32_t* workA, uint32_t* workB, uint32_t* bucketTable,
                            int32_t level) {
    s.workA = workA;
    s.workB = workB;
    s.bucketTable = bucketTable;
    s.sortedPositions = workA;
    s.symbols = reinterpret_cast<uint16_t*>(workA);
    s.blockText = reinterpret_cast<uint8_t*>(workB);
    s.blockSizeLevel = level;
    s.blockLimit = kBlockUnit * level - 19;
}

}  // namespace zor
