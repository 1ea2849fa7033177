// huffman_decode.h - rebuilding a block's canonical Huffman codes for decoding, as range rows and a lookup table.
#pragma once

#include <cstdint>

namespace zor {

// Fills one table's decode rows from its code lengths (each 1 to 20):
// `perm` lists the symbols in canonical order (by length, then value) and
// its unused slots get DecoderState::kNoSymbol; `limit[n]` is the largest
// code value of length n; `base[n]` turns a code value of length n into an
// index of `perm`. Only rows 0 to 22 of `limit` and `base` are written.
void buildDecodeTables(int32_t* limit, int32_t* base, int32_t* perm, const uint8_t* lengths, int32_t minLen,
                       int32_t maxLen, int32_t alphaSize);

// Fills the 2^kLookupBits-entry lookup table of one table from its rows:
// for each pattern of the next kLookupBits bits, the entry holds
// (code length << 9) | symbol when the bit-by-bit decode would end within
// those bits with a valid index, and 0 otherwise (longer code or an error,
// left to the bit-by-bit decode).
void buildLookupTable(uint16_t* lookup, const int32_t* limit, const int32_t* base, const int32_t* perm,
                      int32_t minLen);

// Result of decoding one code from bits that are all at hand.
struct DecodedCode {
    int32_t symbol;  // -1: the code is longer than 20 bits or its index lies outside the table
    int32_t length;
};

// Decodes the code at the top of `next20` (the next 20 bits of input,
// first bit highest) exactly as reading it bit by bit would.
DecodedCode decodeCode(uint32_t next20, const int32_t* limit, const int32_t* base, const int32_t* perm,
                       int32_t minLen);

}  // namespace zor
