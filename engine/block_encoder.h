// block_encoder.h - turns input bytes into blocks of the compressed stream: run-length stage, then block encoding.
//
// Bytes enter through `addBytes`, which cuts them into runs of at most 255
// equal bytes and appends each run to the block text: runs of 1 to 3 bytes
// as themselves, longer runs as four copies plus a count byte (length - 4).
// A run stays pending until a different byte (or the 256th equal one)
// arrives, so the run open when a block fills goes whole into the next
// block. `encodeBlock` sorts the block, codes it (move-to-front, zero runs,
// Huffman tables) and leaves its bytes in the state's output area.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/crc32.h"
#include "engine/encoder_state.h"

namespace zor {

// Appends the pending run (runByte, runLength 1..255) to the block text;
// its bytes are already in the block CRC.
inline void addRunToBlock(EncoderState& s) {
    uint8_t c = static_cast<uint8_t>(s.runByte);
    int32_t length = s.runLength;
    s.usedBytes[c] = 1;
    uint8_t* text = s.blockText + s.blockLength;
    if (length < 4) {
        for (int32_t i = 0; i < length; ++i) text[i] = c;
        s.blockLength += length;
    } else {
        uint8_t count = static_cast<uint8_t>(length - 4);
        s.usedBytes[count] = 1;
        text[0] = text[1] = text[2] = text[3] = c;
        text[4] = count;
        s.blockLength += 5;
    }
}

inline void startRun(EncoderState& s) {
    s.runByte = kNoRun;
    s.runLength = 0;
}

// Input bytes through the run-length stage while the block has room (one
// byte appends at most 5 to the text); returns how many were taken. The
// state lives in locals meanwhile: a byte stored into the text could alias
// the record's fields, which would otherwise be reloaded after every byte.
//
// The block CRC covers the input of the runs in the block. The runs closed
// here are, in input order, the rest of the run left open by the previous
// call (its byte, repeated) and then this call's bytes up to the run left
// open now, so the CRC takes them in one stretch afterwards, eight bytes at
// a time, rather than a byte at a time in the loop.
inline size_t addBytes(EncoderState& s, const uint8_t* data, size_t count) {
    uint32_t runByte = s.runByte;
    int32_t runLength = s.runLength;
    const uint8_t carriedByte = static_cast<uint8_t>(runByte);
    const size_t carried = runByte < kNoRun ? static_cast<size_t>(runLength) : 0;
    int32_t blockLength = s.blockLength;
    const int32_t blockLimit = s.blockLimit;
    uint8_t* const text = s.blockText;
    uint8_t* const used = s.usedBytes;
    size_t taken = 0;
    while (taken < count && blockLength < blockLimit) {
        const uint8_t b = data[taken++];
        if (b != runByte && runLength == 1) {
            // The common case: a single byte followed by a different one.
            const uint8_t c = static_cast<uint8_t>(runByte);
            used[c] = 1;
            text[blockLength++] = c;
            runByte = b;
        } else if (b != runByte || runLength == 255) {
            if (runByte < kNoRun) {
                s.runByte = runByte;
                s.runLength = runLength;
                s.blockLength = blockLength;
                addRunToBlock(s);
                blockLength = s.blockLength;
            }
            runByte = b;
            runLength = 1;
        } else {
            ++runLength;
        }
    }
    s.runByte = runByte;
    s.runLength = runLength;
    s.blockLength = blockLength;

    const size_t closed = carried + taken - static_cast<size_t>(runByte < kNoRun ? runLength : 0);
    uint32_t crc = s.blockCrc;
    for (size_t i = 0; i < std::min(closed, carried); ++i) crc = crcUpdate(crc, carriedByte);
    if (closed > carried) crc = crcUpdate(crc, data, closed - carried);
    s.blockCrc = crc;
    return taken;
}

inline void flushRun(EncoderState& s) {
    if (s.runByte < kNoRun) {
        for (int32_t i = 0; i < s.runLength; ++i) s.blockCrc = crcUpdate(s.blockCrc, static_cast<uint8_t>(s.runByte));
        addRunToBlock(s);
    }
    startRun(s);
}

inline bool runIsEmpty(const EncoderState& s) { return !(s.runByte < kNoRun && s.runLength > 0); }

// Starts an empty block (the first one is number 1).
void startBlock(EncoderState& s);

// Writes the current block (nothing for an empty one), preceded by the
// stream header when this is block 1 and followed by the end-of-stream
// marker and stream CRC when `last`. Afterwards outputLength() bytes wait
// at bits.output.
void encodeBlock(EncoderState& s, bool last);

// Writes one non-empty block, block magic to the last symbol code, through
// s.bits: needs the final blockCrc and the sorted block (sortBlock). Blocks
// encoded apart from their stream (on worker threads) come from here too.
void writeSortedBlock(EncoderState& s);

// The coding steps of encodeBlock, exposed for checking in isolation.
//
// buildSymbols: move-to-front and zero-run coding of the sorted block into
// `symbols`, `symbolCount` and `symbolFrequency` (needs sortedPositions).
void buildSymbols(EncoderState& s);
// chooseTables: table count, initial tables and up to four refinement
// passes; sets tableCount, selectorCount, selectors and codeLengths.
void chooseTables(EncoderState& s);
// makeInitialTables: the starting point of chooseTables for `tableCount`
// tables: consecutive alphabet slices of about equal frequency, each cheap
// (length 0) in its own table and expensive (15) elsewhere; table T-1 gets
// the lowest symbols.
void makeInitialTables(EncoderState& s, int32_t alphabetSize);
// writeSymbols: chooseTables, then writes mapping, selectors, code lengths
// and symbol codes through the bit writer.
void writeSymbols(EncoderState& s);

}  // namespace zor
