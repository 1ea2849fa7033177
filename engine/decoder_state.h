// decoder_state.h - the per-stream record of the block decoder and its output stage.
//
// One record exists per stream being decoded. `decompressInit` takes it from
// the handle's allocator; the block store (the only large area) is taken
// once, when the stream header's level byte says how big a block can be, and
// both are given back by `decompressEnd`. Nothing else is ever allocated.
//
// The decoder is a resumable state machine: `step` names the read it is
// waiting for, and every local that must survive a suspension lives in
// `save`, so a call may stop at any bit and the next call picks up there.
#pragma once

#include <cstdint>

#include "engine/codec.h"
#include "engine/stream_format.h"

namespace zor {

// Steps of the decoder. Reading steps run from SIGNATURE_1 to STREAM_CRC_4;
// IDLE (stream finished) and OUTPUT (a block is being delivered) read nothing.
enum DecodeStep : int32_t {
    STEP_IDLE = 1,
    STEP_OUTPUT = 2,
    SIGNATURE_1 = 10,
    SIGNATURE_2 = 11,
    SIGNATURE_3 = 12,
    LEVEL = 13,
    BLOCK_MAGIC_1 = 14,
    BLOCK_MAGIC_2 = 15,
    BLOCK_MAGIC_6 = 19,
    BLOCK_CRC_1 = 20,
    BLOCK_CRC_4 = 23,
    RANDOMISED_BIT = 24,
    ORIGIN_1 = 25,
    ORIGIN_3 = 27,
    MAPPING_1 = 28,
    MAPPING_2 = 29,
    SELECTOR_1 = 30,
    SELECTOR_2 = 31,
    SELECTOR_3 = 32,
    CODING_1 = 33,
    CODING_2 = 34,
    CODING_3 = 35,
    SYMBOL_1 = 36,  // first symbol of a block: first read of the code
    SYMBOL_2 = 37,  //   ... one more bit of a longer code
    SYMBOL_3 = 38,  // symbol after a run digit
    SYMBOL_4 = 39,
    SYMBOL_5 = 40,  // symbol after a move-to-front index
    SYMBOL_6 = 41,
    END_MAGIC_2 = 42,
    END_MAGIC_6 = 46,
    STREAM_CRC_1 = 47,
    STREAM_CRC_4 = 50,
};

// Locals of the decoder that live across a suspension.
struct DecoderSaveArea {
    int32_t i = 0, j = 0, t = 0;
    int32_t alphaSize = 0;
    int32_t tableCount = 0;
    int32_t selectorCount = 0;
    int32_t endSymbol = 0;
    int32_t groupNumber = 0;
    int32_t groupLeft = 0;
    int32_t symbol = 0;
    int32_t blockMax = 0;
    int32_t textLength = 0;  // symbols stored in the block store
    int32_t runLength = 0;
    int32_t runWeight = 0;
    int32_t currentLength = 0;
    int32_t codeLength = 0;
    int32_t codeValue = 0;
    int32_t groupTable = 0;
    int32_t groupMinLength = 0;
};

// First word of every decoder record, so that a step can tell it from an
// encoder's record before trusting any other field.
inline constexpr uint32_t kDecoderSignature = 0x52434544u;  // "DECR"

struct DecoderState {
    static constexpr int32_t kLimitRows = kMaxCodeLength + 3;
    // Codes up to this many bits are decoded by one table lookup.
    static constexpr int32_t kLookupBits = 10;
    // An index whose canonical slot holds no symbol decodes to this value,
    // which lies above every end symbol and is refused.
    static constexpr int32_t kNoSymbol = 511;

    uint32_t signature = kDecoderSignature;
    CodecStream* stream = nullptr;
    int32_t step = SIGNATURE_1;
    // The first failure of the stream; later calls repeat it and do nothing.
    int32_t failure = OK;

    uint8_t outByte = 0;
    int32_t outRunLeft = 0;
    bool randomised = false;
    int32_t randCounter = 0;
    int32_t randIndex = 0;

    // Unread bits are the low `bitCount` bits.
    uint64_t bitBuffer = 0;
    int32_t bitCount = 0;

    int32_t blockSizeLevel = 0;
    bool smallMode = false;
    int32_t blockNumber = 0;
    int32_t verbosity = 0;  // stored, not used
    int32_t originPointer = 0;

    uint32_t chainPosition = 0;
    // Fast mode: the block's text was read out into the low bytes of
    // `chain`, in pieces (chainPosition is then a position within piece
    // `textPiece`), rather than the links being followed as the output goes.
    bool textReadOut = false;
    int32_t textPiece = 0;
    int32_t nextByte = 0;
    int32_t byteCounts[256] = {};
    // Fast mode: the counts of the block's first `halfLength` bytes, taken
    // once the block passes half its size (0 before), so that the links of
    // the two parts can be laid independently.
    int32_t halfLength = 0;
    int32_t halfCounts[256] = {};
    int32_t bytesFetched = 0;
    int32_t cumCounts[257] = {};
    int32_t cumCountsCopy[257] = {};

    // Block store: fast mode `chain` (byte in the low 8 bits, link above);
    // small mode `chainLow` (byte, later the low 16 link bits) and
    // `chainHigh` (top 4 link bits, two positions per byte).
    uint32_t* chain = nullptr;
    uint16_t* chainLow = nullptr;
    uint8_t* chainHigh = nullptr;

    uint32_t storedBlockCrc = 0;
    uint32_t storedStreamCrc = 0;
    uint32_t blockCrc = 0;
    uint32_t streamCrc = 0;

    int32_t usedCount = 0;
    bool usedBytes[256] = {};
    bool usedGroups[16] = {};
    uint8_t byteOfSeq[256] = {};
    uint8_t mtfList[4096] = {};
    int32_t mtfBase[16] = {};

    uint8_t selectors[kMaxSelectors] = {};
    uint8_t selectorIndices[kMaxSelectors] = {};
    uint8_t codeLengths[kMaxTables][kMaxAlphabet] = {};
    int32_t limit[kMaxTables][kLimitRows] = {};
    int32_t base[kMaxTables][kLimitRows] = {};
    int32_t perm[kMaxTables][kMaxAlphabet] = {};
    int32_t minLength[kMaxTables] = {};
    // Per table and next kLookupBits bits: (code length << 9) | symbol, or 0
    // when the code is longer or the bits need the careful path.
    uint16_t lookup[kMaxTables][1 << kLookupBits] = {};

    // The pieces the text was read out into: piece k holds the text bytes
    // in the low bytes of chain[start, end), and piece `next` follows it;
    // the last piece is followed by the first.
    struct TextPiece {
        uint32_t start;
        uint32_t end;
        int32_t next;
    };
    static constexpr int32_t kMaxTextPieces = 4096;
    TextPiece textPieces[kMaxTextPieces] = {};

    DecoderSaveArea save;

    int32_t blockCapacity() const { return kBlockUnit * blockSizeLevel; }
};

// Sizes in bytes of the block store parts at a level.
inline constexpr int32_t chainBytes(int32_t level) { return kBlockUnit * level * 4; }
inline constexpr int32_t chainLowBytes(int32_t level) { return kBlockUnit * level * 2; }
inline constexpr int32_t chainHighBytes(int32_t level) { return (kBlockUnit * level + 1) / 2; }

}  // namespace zor
