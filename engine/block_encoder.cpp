// block_encoder.cpp - encodes one sorted block: move-to-front and zero-run coding, then writes the block's bits.
//
// After the rotations are sorted, the last byte of each sorted rotation is
// replaced by its index in a move-to-front list of the block's byte values,
// which turns the transform's local repetitiveness into many zeros. Runs of
// zeros are written as a number in bijective base 2 with the digits RUN1
// (1) and RUN2 (2), least significant first; index k >= 1 becomes symbol
// k + 1; END_OF_BLOCK closes the sequence. The symbols are then Huffman
// coded with tables chosen in table_selection.cpp.
#include "engine/block_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/block_sort.h"
#include "engine/huffman_code_lengths.h"
#include "engine/internal_error.h"

namespace zor {

namespace {

constexpr uint16_t RUN1 = 0;
constexpr uint16_t RUN2 = 1;

void buildByteMap(EncoderState& s) {
    s.usedCount = 0;
    for (int32_t v = 0; v < 256; ++v) {
        if (s.usedBytes[v]) s.seqOfByte[v] = static_cast<uint8_t>(s.usedCount++);
    }
}

// Sixteen bits telling which groups of 16 byte values occur, then sixteen
// bits for each group that does.
void writeMapping(const EncoderState& s, BitWriter::Run& run) {
    uint32_t groupsPresent = 0;
    uint32_t groupBits[16];
    for (int32_t i = 0; i < 16; ++i) {
        uint32_t bits = 0;
        for (int32_t j = 0; j < 16; ++j) bits |= uint32_t{s.usedBytes[16 * i + j] != 0} << (15 - j);
        groupBits[i] = bits;
        groupsPresent |= uint32_t{bits != 0} << (15 - i);
    }
    run.put(16, groupsPresent);
    for (int32_t i = 0; i < 16; ++i) {
        if (groupBits[i]) run.put(16, groupBits[i]);
    }
}

// Selectors are written move-to-front coded, each index in unary.
void writeSelectors(EncoderState& s, BitWriter::Run& run) {
    uint8_t list[kMaxTables];
    for (int32_t t = 0; t < s.tableCount; ++t) list[t] = static_cast<uint8_t>(t);
    for (int32_t i = 0; i < s.selectorCount; ++i) {
        uint8_t table = s.selectors[i];
        int32_t j = 0;
        uint8_t moving = list[0];
        while (moving != table) {
            ++j;
            std::swap(moving, list[j]);
        }
        list[0] = moving;
        s.selectorIndices[i] = static_cast<uint8_t>(j);
    }

    run.put(3, static_cast<uint32_t>(s.tableCount));
    run.put(15, static_cast<uint32_t>(s.selectorCount));
    for (int32_t i = 0; i < s.selectorCount; ++i) {
        const int32_t j = s.selectorIndices[i];
        run.put(j + 1, ((1u << j) - 1) << 1);  // j ones, then a zero
    }
}

// Each table's lengths as a start value and per-symbol +1/-1 steps.
void writeCodeLengths(const EncoderState& s, int32_t alphabetSize, BitWriter::Run& run) {
    for (int32_t t = 0; t < s.tableCount; ++t) {
        const uint8_t* lengths = s.codeLengths[t];
        int32_t current = lengths[0];
        run.put(5, static_cast<uint32_t>(current));
        for (int32_t v = 0; v < alphabetSize; ++v) {
            for (; current < lengths[v]; ++current) run.put(2, 2);
            for (; current > lengths[v]; --current) run.put(2, 3);
            run.put(1, 0);
        }
    }
}

void writeSymbolCodes(const EncoderState& s, BitWriter::Run& run) {
    int32_t groupsWritten = 0;
    for (int32_t g = 0; g < s.symbolCount; g += kGroupSize) {
        int32_t end = std::min(g + kGroupSize, s.symbolCount);
        int32_t table = s.selectors[groupsWritten];
        checkInternal(table < s.tableCount, 3006);
        const uint8_t* lengths = s.codeLengths[table];
        const int32_t* codes = s.codes[table];
        for (int32_t i = g; i < end; ++i) {
            uint16_t symbol = s.symbols[i];
            run.put(lengths[symbol], static_cast<uint32_t>(codes[symbol]));
        }
        ++groupsWritten;
    }
    checkInternal(groupsWritten == s.selectorCount, 3007);
}

// Where the lowest byte of `word` equal to `value` is, as its lowest set
// bit (bit 8k + 7 for byte k), or 0 if none is: a byte above an equal one
// may be flagged too, but never one below.
inline uint64_t equalBytes(uint64_t word, uint8_t value) {
    constexpr uint64_t kOnes = 0x0101010101010101u;
    constexpr uint64_t kHighs = 0x8080808080808080u;
    const uint64_t diff = word ^ (kOnes * value);
    return (diff - kOnes) & ~diff & kHighs;
}

// The move-to-front list. Most places are small, so its first sixteen
// entries live in two little-endian words (entry 0 is the low byte of
// `front`), kept in registers across the block; the rest is an array.
static_assert(std::endian::native == std::endian::little, "entry 0 is the low byte of the word");
class MoveToFrontList {
public:
    // Entries past the values in use never match one, so the words can be
    // searched whatever the count.
    MoveToFrontList() {
        for (int32_t i = 0; i < 256; ++i) back_[i] = static_cast<uint8_t>(i);
        std::memcpy(&front_, back_, 8);
        std::memcpy(&middle_, back_ + 8, 8);
    }

    uint8_t first() const { return static_cast<uint8_t>(front_); }

    // Moves seq, which is not first, to the front; returns its old place.
    int32_t moveToFront(uint8_t seq) {
        if (const uint64_t found = equalBytes(front_, seq)) {
            const int32_t k = std::countr_zero(found) >> 3;
            const uint64_t moved = ~uint64_t{0} >> (8 * (7 - k));  // bytes 0..k
            front_ = (front_ & ~moved) | ((front_ << 8) & moved) | seq;
            return k;
        }
        if (const uint64_t found = equalBytes(middle_, seq)) {
            const int32_t k = std::countr_zero(found) >> 3;
            const uint64_t moved = ~uint64_t{0} >> (8 * (7 - k));
            middle_ = (middle_ & ~moved) | ((middle_ << 8) & moved) | (front_ >> 56);
            front_ = (front_ << 8) | seq;
            return 8 + k;
        }
        // Past the words: the entries from 16 up to seq's place move back one,
        // and the last entry of the words goes to place 16.
        const int32_t k = placePastTheWords(seq);
        std::memmove(back_ + 17, back_ + 16, static_cast<size_t>(k - 16));
        back_[16] = static_cast<uint8_t>(middle_ >> 56);
        middle_ = (middle_ << 8) | (front_ >> 56);
        front_ = (front_ << 8) | seq;
        return k;
    }

private:
    // seq's place from 16 on. Near places, the common ones, are searched a
    // word at a time without a call; farther ones by memchr, which is
    // faster over a long way. The list holds every byte value.
    int32_t placePastTheWords(uint8_t seq) const {
        constexpr int32_t kNear = 48;
        for (int32_t at = 16; at < kNear; at += 8) {
            uint64_t word;
            std::memcpy(&word, back_ + at, 8);
            if (const uint64_t found = equalBytes(word, seq)) return at + (std::countr_zero(found) >> 3);
        }
        const auto* slot = static_cast<const uint8_t*>(std::memchr(back_ + kNear, seq, 256 - kNear));
        return static_cast<int32_t>(slot - back_);
    }

    uint64_t front_;     // entries 0..7
    uint64_t middle_;    // entries 8..15
    uint8_t back_[256];  // entries 16..255 at their places (the first sixteen bytes are stale)
};

}  // namespace

void startBlock(EncoderState& s) {
    s.blockLength = 0;
    s.bits.outputLength = 0;
    s.outputPosition = 0;
    s.blockCrc = kCrcStart;
    std::memset(s.usedBytes, 0, sizeof s.usedBytes);
    ++s.blockNumber;
}

void buildSymbols(EncoderState& s) {
    buildByteMap(s);
    const int32_t endOfBlock = s.usedCount + 1;
    std::fill(s.symbolFrequency, s.symbolFrequency + endOfBlock + 1, 0);

    MoveToFrontList list;

    const uint32_t* ptr = s.sortedPositions;
    const uint8_t* text = s.blockText;
    uint16_t* out = s.symbols;
    int32_t* freq = s.symbolFrequency;
    const int32_t n = s.blockLength;
    int32_t w = 0;
    int32_t zeros = 0;

    auto emitZeroRun = [&]() {
        int32_t value = zeros - 1;
        while (true) {
            uint16_t digit = (value & 1) ? RUN2 : RUN1;
            out[w++] = digit;
            ++freq[digit];
            if (value < 2) break;
            value = (value - 2) / 2;
        }
        zeros = 0;
    };

    // The last column first, in a pass of its own: its reads of the text
    // lie anywhere in it and overlap only where no mispredicted branch of
    // the move-to-front coding stands between them. It goes into the last
    // quarter of the rows' own area, from the back: the byte of row i
    // overwrites a row at or above i, already read, and the symbols, two
    // bytes each and never more than the rows read, stay below it.
    uint8_t* const lastColumn = reinterpret_cast<uint8_t*>(s.sortedPositions) + 3 * static_cast<size_t>(n);
    for (int32_t i = n - 1; i >= 0; --i) {
        const uint32_t p = ptr[i];
        lastColumn[i] = s.seqOfByte[text[p == 0 ? n - 1 : p - 1]];
    }

    for (int32_t i = 0; i < n; ++i) {
        const uint8_t seq = lastColumn[i];
        if (list.first() == seq) {
            ++zeros;
            continue;
        }
        if (zeros > 0) emitZeroRun();
        // Find seq (not at the front) and move the entries before it back one place.
        const int32_t k = list.moveToFront(seq);
        out[w++] = static_cast<uint16_t>(k + 1);
        ++freq[k + 1];
    }
    if (zeros > 0) emitZeroRun();

    out[w++] = static_cast<uint16_t>(endOfBlock);
    ++freq[endOfBlock];
    s.symbolCount = w;
}

void writeSymbols(EncoderState& s) {
    const int32_t alphabetSize = s.usedCount + 2;
    checkInternal(s.symbolCount > 0, 3001);
    chooseTables(s);

    checkInternal(s.tableCount < 8, 3002);
    checkInternal(s.selectorCount < 32768 && s.selectorCount <= kMaxSelectors, 3003);

    for (int32_t t = 0; t < s.tableCount; ++t) {
        const uint8_t* lengths = s.codeLengths[t];
        int32_t minLength = 32, maxLength = 0;
        for (int32_t v = 0; v < alphabetSize; ++v) {
            minLength = std::min<int32_t>(minLength, lengths[v]);
            maxLength = std::max<int32_t>(maxLength, lengths[v]);
        }
        checkInternal(maxLength <= kMaxCodeLength, 3004);
        checkInternal(minLength >= 1, 3005);
        assignCodes(s.codes[t], lengths, minLength, maxLength, alphabetSize);
    }

    BitWriter::Run run(s.bits);
    writeMapping(s, run);
    writeSelectors(s, run);
    writeCodeLengths(s, alphabetSize, run);
    writeSymbolCodes(s, run);
}

void writeSortedBlock(EncoderState& s) {
    for (uint8_t b : kBlockMagic) s.bits.putByte(b);
    s.bits.putUInt32(s.blockCrc);
    s.bits.putBits(1, 0);  // never randomised
    s.bits.putBits(24, static_cast<uint32_t>(s.originPointer));
    buildSymbols(s);
    writeSymbols(s);
}

void encodeBlock(EncoderState& s, bool last) {
    if (s.blockLength > 0) {
        s.blockCrc = crcFinish(s.blockCrc);
        s.streamCrc = foldStreamCrc(s.streamCrc, s.blockCrc);
        sortBlock(s);
    }

    // The sorter's scratch behind the text is free again: the block's
    // compressed bytes go there.
    s.bits.retarget(s.blockText + s.blockLength);

    if (s.blockNumber == 1) {
        s.bits.startBits();
        for (uint8_t b : {uint8_t{0x00}, uint8_t{0x00}, uint8_t{0x00}}) s.bits.putByte(b);
        s.bits.putByte(levelDigit(s.blockSizeLevel));
    }

    if (s.blockLength > 0) writeSortedBlock(s);

    if (last) {
        for (uint8_t b : kEndMagic) s.bits.putByte(b);
        s.bits.putUInt32(s.streamCrc);
        s.bits.finishBits();
    }
}

}  // namespace zor
