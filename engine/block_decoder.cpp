// block_decoder.cpp - the resumable reader of the compressed stream: header, block headers, tables and symbols.
//
// The reader is a state machine over `step`. Each step waits for one read
// (a byte, a bit, a code); its actions run only once that read succeeded, so
// when the input runs out the step returns with everything it needs kept in
// the record (`save` holds the loop counters), and the next call repeats
// nothing. Input is taken a byte at a time, only when bits are wanted.
//
// A block is read in stream order: magic, CRC, randomised bit, origin
// pointer, the mapping of used byte values, the table selectors (stored
// move-to-front coded), each table's code lengths (as +1/-1 steps), then the
// symbols. Symbols are undone at once: run digits RUN1/RUN2 add up a run of
// the byte at the front of the move-to-front list (bijective base 2, least
// significant digit first), any other symbol k+1 brings entry k to the
// front. The resulting transformed text goes to the block store.
//
// Symbols are the hot path. While at least 20 bits are buffered (a code
// never exceeds 20), a symbol is decoded from the buffered bits at once,
// mostly by a single table lookup; only near the end of the available
// input does the reader fall back to the bit-by-bit steps that can stop
// between any two bits. Reading ahead like this never takes a byte past the
// stream: every symbol is followed by at least the 80 bits of the end
// marker and stream CRC.
#include "engine/block_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

#include "engine/huffman_decode.h"
#include "engine/output_stage.h"

namespace zor {

namespace {

constexpr int32_t kRun1 = 0;
constexpr int32_t kRun2 = 1;
constexpr int32_t kMtfStoreSize = 4096;
// The origin pointer may exceed the block size by this much before the
// block's text is known; the exact check follows at the end of the block.
constexpr int32_t kOriginSlack = 10;

// Results of the symbol loop and of reading code lengths besides the statuses.
constexpr int32_t kEndOfBlock = 1;
constexpr int32_t kLengthsComplete = 1;

// Reads n (1 to 24) bits; false when the input ran out first.
inline bool readBits(DecoderState& s, int32_t n, int32_t& value) {
    CodecStream& in = *s.stream;
    while (s.bitCount < n) {
        if (in.availIn == 0) return false;
        s.bitBuffer = (s.bitBuffer << 8) | *in.nextIn++;
        s.bitCount += 8;
        --in.availIn;
        addToTotal(in.totalInLo, in.totalInHi, 1);
    }
    s.bitCount -= n;
    value = static_cast<int32_t>((s.bitBuffer >> s.bitCount) & ((uint64_t{1} << n) - 1));
    return true;
}

// Compilers turn this into one load and a byte swap.
inline uint64_t loadBigEndian64(const uint8_t* p) {
    uint64_t v = 0;
    for (int32_t i = 0; i < 8; ++i) v = (v << 8) | p[i];
    return v;
}

bool allocateBlockStore(DecoderState& s) {
    CodecStream& stream = *s.stream;
    const int32_t level = s.blockSizeLevel;
    if (!s.smallMode) {
        s.chain = static_cast<uint32_t*>(stream.allocate(stream.opaque, chainBytes(level), 1));
        return s.chain != nullptr;
    }
    s.chainLow = static_cast<uint16_t*>(stream.allocate(stream.opaque, chainLowBytes(level), 1));
    if (!s.chainLow) return false;
    s.chainHigh = static_cast<uint8_t*>(stream.allocate(stream.opaque, chainHighBytes(level), 1));
    return s.chainHigh != nullptr;
}

void buildByteMap(DecoderState& s) {
    s.usedCount = 0;
    for (int32_t c = 0; c < 256; ++c)
        if (s.usedBytes[c]) s.byteOfSeq[s.usedCount++] = static_cast<uint8_t>(c);
}

void undoSelectorMoveToFront(DecoderState& s) {
    uint8_t list[kMaxTables];
    for (int32_t t = 0; t < s.save.tableCount; ++t) list[t] = static_cast<uint8_t>(t);
    for (int32_t i = 0; i < s.save.selectorCount; ++i) {
        int32_t v = s.selectorIndices[i];
        const uint8_t x = list[v];
        for (; v > 0; --v) list[v] = list[v - 1];
        list[0] = x;
        s.selectors[i] = x;
    }
}

void buildAllDecodeTables(DecoderState& s) {
    const int32_t alphaSize = s.save.alphaSize;
    for (int32_t t = 0; t < s.save.tableCount; ++t) {
        const uint8_t* lengths = s.codeLengths[t];
        int32_t minLen = 32;
        int32_t maxLen = 0;
        for (int32_t i = 0; i < alphaSize; ++i) {
            minLen = std::min<int32_t>(minLen, lengths[i]);
            maxLen = std::max<int32_t>(maxLen, lengths[i]);
        }
        buildDecodeTables(s.limit[t], s.base[t], s.perm[t], lengths, minLen, maxLen, alphaSize);
        buildLookupTable(s.lookup[t], s.limit[t], s.base[t], s.perm[t], minLen);
        s.minLength[t] = minLen;
    }
}

// Sequence numbers 0 to 255 in 16 lists of 16, packed towards the end of
// the store, so that the front of list 0 can grow downwards.
void packMoveToFrontLists(DecoderState& s, bool fromCurrent) {
    uint8_t packed[kMtfStoreSize];
    int32_t kk = kMtfStoreSize - 1;
    for (int32_t l = 15; l >= 0; --l) {
        for (int32_t e = 15; e >= 0; --e, --kk)
            packed[kk] = fromCurrent ? s.mtfList[s.mtfBase[l] + e] : static_cast<uint8_t>(16 * l + e);
        s.mtfBase[l] = kk + 1;
    }
    std::copy(packed + kk + 1, packed + kMtfStoreSize, s.mtfList + kk + 1);
}

// Brings entry k (below 16) of the 16-entry list at `list` to its front
// and returns it. Shifts and masks of whole words take the place of a loop
// whose varying length makes its exit mispredicted.
inline uint8_t moveToFrontWithinList(uint8_t* list, int32_t k) {
    if constexpr (std::endian::native != std::endian::little) {
        const uint8_t v = list[k];
        for (int32_t z = k; z > 0; --z) list[z] = list[z - 1];
        list[0] = v;
        return v;
    }
    uint64_t low;  // entries 0 to 7, entry i in bits 8i to 8i+7
    uint64_t high;
    std::memcpy(&low, list, 8);
    std::memcpy(&high, list + 8, 8);
    if (k < 8) {
        const uint64_t moved = ~uint64_t{0} >> (56 - 8 * k);  // entries 0 to k
        const uint8_t v = static_cast<uint8_t>(low >> (8 * k));
        low = ((low << 8) & moved) | (low & ~moved) | v;
        std::memcpy(list, &low, 8);
        return v;
    }
    const uint64_t moved = ~uint64_t{0} >> (56 - 8 * (k - 8));  // entries 8 to k
    const uint8_t v = static_cast<uint8_t>(high >> (8 * (k - 8)));
    high = (((high << 8) | (low >> 56)) & moved) | (high & ~moved);
    low = (low << 8) | v;
    std::memcpy(list, &low, 8);
    std::memcpy(list + 8, &high, 8);
    return v;
}

// Brings entry k of the move-to-front list to the front and returns it.
// Entries 0 to 15 shift within list 0; a deeper entry leaves its list,
// every list in front of it passes its last entry on to the next one, and
// list 0 grows by one at its front.
inline uint8_t moveToFront(DecoderState& s, int32_t k) {
    uint8_t* list = s.mtfList;
    int32_t* mtfBase = s.mtfBase;
    if (k < 16) return moveToFrontWithinList(list + mtfBase[0], k);
    const int32_t n = k >> 4;
    const uint8_t v = moveToFrontWithinList(list + mtfBase[n], k & 15);
    int32_t front = mtfBase[n];
    for (int32_t m = n; m > 0; --m) {
        const int32_t lower = mtfBase[m - 1];
        list[front] = list[lower + 15];
        mtfBase[m] = front;
        front = lower - 1;
    }
    mtfBase[0] = front;
    list[front] = v;
    if (front == 0) packMoveToFrontLists(s, true);
    return v;
}

void startSymbolLoop(DecoderState& s) {
    DecoderSaveArea& v = s.save;
    v.endSymbol = s.usedCount + 1;
    v.blockMax = s.blockCapacity();
    v.groupNumber = -1;
    v.groupLeft = 0;
    v.textLength = 0;
    std::fill(std::begin(s.byteCounts), std::end(s.byteCounts), 0);
    s.halfLength = 0;
    packMoveToFrontLists(s, false);
}

// The symbol loop, from a fresh symbol (resuming = false) or from a read
// that ran out of input. Returns OK (input ran out), kEndOfBlock or
// DATA_ERROR. Works on local copies of its hottest fields.
template <bool kSmallMode>
int32_t decodeSymbols(DecoderState& s, bool resuming) {
    CodecStream& in = *s.stream;
    DecoderSaveArea& v = s.save;
    const uint8_t* const inStart = in.nextIn;
    const uint8_t* next = inStart;
    const uint8_t* const inEnd = inStart + in.availIn;
    uint64_t buffer = s.bitBuffer;
    int32_t bits = s.bitCount;
    int32_t textLength = v.textLength;
    int32_t groupLeft = v.groupLeft;
    int32_t groupNumber = v.groupNumber;
    int32_t runLength = v.runLength;
    int32_t runWeight = v.runWeight;
    int32_t table = v.groupTable;
    const int32_t blockMax = v.blockMax;
    const int32_t endSymbol = v.endSymbol;
    const int32_t selectorCount = v.selectorCount;
    // First step of the pair the next symbol is read in: SYMBOL_1 (first of
    // the block), SYMBOL_3 (after a run digit) or SYMBOL_5 (after an index).
    int32_t pair = s.step - ((s.step - SYMBOL_1) & 1);
    // The table's rows and shortest length are only needed off the lookup
    // path, and are read from the record there: registers are scarce in
    // this loop.
    const uint16_t* lookup = s.lookup[table];

    auto leave = [&](int32_t status) {
        const uint32_t consumed = static_cast<uint32_t>(next - inStart);
        in.nextIn = next;
        in.availIn -= consumed;
        addToTotal(in.totalInLo, in.totalInHi, consumed);
        s.bitBuffer = buffer;
        s.bitCount = bits;
        v.textLength = textLength;
        v.groupLeft = groupLeft;
        v.groupNumber = groupNumber;
        v.runLength = runLength;
        v.runWeight = runWeight;
        v.groupTable = table;
        v.groupMinLength = s.minLength[table];
        return status;
    };
    auto pull = [&](int32_t n, int32_t& value) {
        while (bits < n) {
            if (next == inEnd) return false;
            buffer = (buffer << 8) | *next++;
            bits += 8;
        }
        bits -= n;
        value = static_cast<int32_t>((buffer >> bits) & ((uint64_t{1} << n) - 1));
        return true;
    };

    for (;;) {
        int32_t symbol;
        if (!resuming) {
            if (groupLeft == 0) {
                if (++groupNumber >= selectorCount) return leave(DATA_ERROR);
                groupLeft = kGroupSize;
                table = s.selectors[groupNumber];
                lookup = s.lookup[table];
                if (!kSmallMode && s.halfLength == 0 && textLength >= blockMax / 2) {
                    s.halfLength = textLength;
                    std::copy(std::begin(s.byteCounts), std::end(s.byteCounts), s.halfCounts);
                }
            }
            --groupLeft;
            if (bits < kMaxCodeLength) {
                if (inEnd - next >= 8) {
                    // The same bytes as one at a time (up to 57 to 64 bits
                    // buffered), in one load.
                    const int32_t count = (64 - bits) >> 3;
                    buffer = (buffer << (8 * count - 1) << 1) | (loadBigEndian64(next) >> (64 - 8 * count));
                    next += count;
                    bits += 8 * count;
                } else {
                    while (bits <= 56 && next != inEnd) {
                        buffer = (buffer << 8) | *next++;
                        bits += 8;
                    }
                }
            }
        }
        if (!resuming && bits >= kMaxCodeLength) {
            const uint32_t next20 = static_cast<uint32_t>(buffer >> (bits - kMaxCodeLength)) & 0xFFFFF;
            const uint16_t entry = lookup[next20 >> (kMaxCodeLength - DecoderState::kLookupBits)];
            if (entry != 0) {
                symbol = entry & 511;
                bits -= entry >> 9;
            } else {
                const DecodedCode code = decodeCode(next20, s.limit[table], s.base[table], s.perm[table], s.minLength[table]);
                if (code.symbol < 0) return leave(DATA_ERROR);
                symbol = code.symbol;
                bits -= code.length;
            }
        } else {
            // Bit by bit: the shortest length's bits first, then one at a
            // time until the value is within that length's range.
            const int32_t minLen = s.minLength[table];
            const int32_t* limit = s.limit[table];
            const int32_t* base = s.base[table];
            const int32_t* perm = s.perm[table];
            if (!resuming || s.step == pair) {
                s.step = pair;
                if (!pull(minLen, v.codeValue)) return leave(OK);
                v.codeLength = minLen;
            } else {
                int32_t bit;
                if (!pull(1, bit)) return leave(OK);
                v.codeValue = v.codeValue * 2 + bit;
            }
            resuming = false;
            s.step = pair + 1;
            for (;;) {
                if (v.codeValue <= limit[v.codeLength]) break;
                // No code is longer than 20 bits: once 20 bits match none,
                // they decide, and a 21st is never waited for (the lookup
                // above decides the same from the same 20 bits).
                if (v.codeLength == kMaxCodeLength) return leave(DATA_ERROR);
                ++v.codeLength;
                int32_t bit;
                if (!pull(1, bit)) return leave(OK);
                v.codeValue = v.codeValue * 2 + bit;
            }
            const int32_t k = v.codeValue - base[v.codeLength];
            if (k < 0 || k >= kMaxAlphabet) return leave(DATA_ERROR);
            symbol = perm[k];
        }
        v.symbol = symbol;

        if (symbol <= kRun2) {
            if (pair != SYMBOL_3) {
                runLength = -1;
                runWeight = 1;
            }
            runLength += symbol == kRun1 ? runWeight : 2 * runWeight;
            runWeight *= 2;
            // Refused as soon as the run cannot fit, before it can overflow:
            // a run may not fill the block to its last position.
            if (runLength + 1 >= blockMax - textLength) return leave(DATA_ERROR);
            pair = s.step = SYMBOL_3;
            continue;
        }
        if (pair == SYMBOL_3) {
            ++runLength;
            const uint8_t b = s.byteOfSeq[s.mtfList[s.mtfBase[0]]];
            s.byteCounts[b] += runLength;
            if constexpr (kSmallMode)
                std::fill(s.chainLow + textLength, s.chainLow + textLength + runLength, uint16_t{b});
            else
                std::fill(s.chain + textLength, s.chain + textLength + runLength, uint32_t{b});
            textLength += runLength;
        }
        if (symbol == endSymbol) return leave(kEndOfBlock);
        if (symbol > endSymbol || textLength >= blockMax) return leave(DATA_ERROR);

        const uint8_t b = s.byteOfSeq[moveToFront(s, symbol - 1)];
        ++s.byteCounts[b];
        if constexpr (kSmallMode)
            s.chainLow[textLength] = b;
        else
            s.chain[textLength] = b;
        ++textLength;
        pair = s.step = SYMBOL_5;
    }
}

int32_t runSymbolLoop(DecoderState& s, bool resuming) {
    const int32_t r = s.smallMode ? decodeSymbols<true>(s, resuming) : decodeSymbols<false>(s, resuming);
    if (r != kEndOfBlock) return r;
    if (s.originPointer < 0 || s.originPointer >= s.save.textLength) return DATA_ERROR;
    prepareBlockOutput(s);
    return OK;
}

// The code lengths of every table (steps CODING_1 to CODING_3). Returns
// kLengthsComplete when all are read, else the status to return.
int32_t readCodeLengths(DecoderState& s) {
    DecoderSaveArea& v = s.save;
    // Before each "continue" bit of a symbol's length the pump runs and the
    // running length must be a legal code length.
    auto beforeContinueBit = [&]() {
        s.stream->pump.tick();
        return v.currentLength >= 1 && v.currentLength <= kMaxCodeLength;
    };
    int32_t bit;
    for (;;) {
        switch (s.step) {
        case CODING_1:
            if (!readBits(s, 5, v.currentLength)) return OK;
            v.i = 0;
            s.step = CODING_2;
            if (!beforeContinueBit()) return DATA_ERROR;
            break;
        case CODING_2:
            if (!readBits(s, 1, bit)) return OK;
            if (bit == 1) {
                s.step = CODING_3;
                break;
            }
            s.codeLengths[v.t][v.i] = static_cast<uint8_t>(v.currentLength);
            if (++v.i == v.alphaSize) {
                if (++v.t == v.tableCount) return kLengthsComplete;
                s.step = CODING_1;
                break;
            }
            if (!beforeContinueBit()) return DATA_ERROR;
            break;
        default:  // CODING_3
            if (!readBits(s, 1, bit)) return OK;
            v.currentLength += bit == 0 ? 1 : -1;
            s.step = CODING_2;
            if (!beforeContinueBit()) return DATA_ERROR;
            break;
        }
    }
}

}  // namespace

int32_t decodeStep(DecoderState& s) {
    if (s.step == SIGNATURE_1) s.save = DecoderSaveArea{};
    DecoderSaveArea& v = s.save;
    int32_t value;
    for (;;) {
        switch (s.step) {
        case SIGNATURE_1:
        case SIGNATURE_2:
        case SIGNATURE_3:
            if (!readBits(s, 8, value)) return OK;
            if (value != 0) return DATA_ERROR_MAGIC;
            ++s.step;
            break;
        case LEVEL:
            if (!readBits(s, 8, value)) return OK;
            if (value < levelDigit(kMinLevel) || value > levelDigit(kMaxLevel)) return DATA_ERROR_MAGIC;
            s.blockSizeLevel = value - levelDigit(0);
            if (!allocateBlockStore(s)) return MEM_ERROR;
            s.step = BLOCK_MAGIC_1;
            break;
        case BLOCK_MAGIC_1:
            if (!readBits(s, 8, value)) return OK;
            if (value == kEndMagic[0])
                s.step = END_MAGIC_2;
            else if (value == kBlockMagic[0])
                s.step = BLOCK_MAGIC_2;
            else
                return DATA_ERROR;
            break;
        case BLOCK_MAGIC_2:
        case BLOCK_MAGIC_2 + 1:
        case BLOCK_MAGIC_2 + 2:
        case BLOCK_MAGIC_2 + 3:
        case BLOCK_MAGIC_6:
            if (!readBits(s, 8, value)) return OK;
            if (value != kBlockMagic[s.step - BLOCK_MAGIC_1]) return DATA_ERROR;
            if (s.step == BLOCK_MAGIC_6) {
                ++s.blockNumber;
                s.storedBlockCrc = 0;
            }
            ++s.step;
            break;
        case BLOCK_CRC_1:
        case BLOCK_CRC_1 + 1:
        case BLOCK_CRC_1 + 2:
        case BLOCK_CRC_4:
            if (!readBits(s, 8, value)) return OK;
            s.storedBlockCrc = (s.storedBlockCrc << 8) | static_cast<uint32_t>(value);
            ++s.step;
            break;
        case RANDOMISED_BIT:
            if (!readBits(s, 1, value)) return OK;
            s.randomised = value != 0;
            s.originPointer = 0;
            s.step = ORIGIN_1;
            break;
        case ORIGIN_1:
        case ORIGIN_1 + 1:
        case ORIGIN_3:
            if (!readBits(s, 8, value)) return OK;
            s.originPointer = (s.originPointer << 8) | value;
            if (s.step == ORIGIN_3) {
                if (s.originPointer > kOriginSlack + s.blockCapacity()) return DATA_ERROR;
                v.i = 0;
            }
            ++s.step;
            break;
        case MAPPING_1:
            for (; v.i < 16; ++v.i) {
                if (!readBits(s, 1, value)) return OK;
                s.usedGroups[v.i] = value != 0;
            }
            std::fill(std::begin(s.usedBytes), std::end(s.usedBytes), false);
            v.i = 0;
            v.j = 0;
            s.step = MAPPING_2;
            break;
        case MAPPING_2:
            for (; v.i < 16; ++v.i, v.j = 0) {
                if (!s.usedGroups[v.i]) continue;
                for (; v.j < 16; ++v.j) {
                    if (!readBits(s, 1, value)) return OK;
                    s.usedBytes[16 * v.i + v.j] = value != 0;
                }
            }
            buildByteMap(s);
            if (s.usedCount == 0) return DATA_ERROR;
            v.alphaSize = s.usedCount + 2;
            s.step = SELECTOR_1;
            break;
        case SELECTOR_1:
            if (!readBits(s, 3, v.tableCount)) return OK;
            if (v.tableCount < 2 || v.tableCount > kMaxTables) return DATA_ERROR;
            s.step = SELECTOR_2;
            break;
        case SELECTOR_2:
            if (!readBits(s, 15, v.selectorCount)) return OK;
            // The field allows 32767, the selector store holds 18002.
            if (v.selectorCount < 1 || v.selectorCount > kMaxSelectors) return DATA_ERROR;
            v.i = 0;
            v.j = 0;
            s.step = SELECTOR_3;
            break;
        case SELECTOR_3:
            while (v.i < v.selectorCount) {
                if (!readBits(s, 1, value)) return OK;
                if (value == 0) {
                    s.selectorIndices[v.i++] = static_cast<uint8_t>(v.j);
                    v.j = 0;
                } else if (++v.j >= v.tableCount) {
                    return DATA_ERROR;
                }
            }
            undoSelectorMoveToFront(s);
            v.t = 0;
            s.step = CODING_1;
            break;
        case CODING_1:
        case CODING_2:
        case CODING_3: {
            const int32_t r = readCodeLengths(s);
            if (r != kLengthsComplete) return r;
            buildAllDecodeTables(s);
            startSymbolLoop(s);
            s.step = SYMBOL_1;
            return runSymbolLoop(s, false);
        }
        case SYMBOL_1:
        case SYMBOL_2:
        case SYMBOL_3:
        case SYMBOL_4:
        case SYMBOL_5:
        case SYMBOL_6:
            return runSymbolLoop(s, true);
        case END_MAGIC_2:
        case END_MAGIC_2 + 1:
        case END_MAGIC_2 + 2:
        case END_MAGIC_2 + 3:
        case END_MAGIC_6:
            if (!readBits(s, 8, value)) return OK;
            if (value != kEndMagic[s.step - END_MAGIC_2 + 1]) return DATA_ERROR;
            if (s.step == END_MAGIC_6) s.storedStreamCrc = 0;
            ++s.step;
            break;
        case STREAM_CRC_1:
        case STREAM_CRC_1 + 1:
        case STREAM_CRC_1 + 2:
        case STREAM_CRC_4:
            if (!readBits(s, 8, value)) return OK;
            s.storedStreamCrc = (s.storedStreamCrc << 8) | static_cast<uint32_t>(value);
            if (s.step == STREAM_CRC_4) {
                s.step = STEP_IDLE;
                return STREAM_END;
            }
            ++s.step;
            break;
        default:
            return OK;
        }
    }
}

}  // namespace zor
