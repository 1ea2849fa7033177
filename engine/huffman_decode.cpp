// huffman_decode.cpp - rebuilding a block's canonical Huffman codes for decoding, as range rows and a lookup table.
//
// The canonical code gives the symbols of each length consecutive code
// values, shorter lengths first. Reading a code bit by bit therefore needs,
// per length n, only the largest code value of that length (`limit[n]`) and
// the offset that maps a value of length n to its rank among all symbols
// (`base[n]`): read the shortest length's bits, then add one bit at a time
// until the value is within `limit`; the rank indexes `perm`.
//
// To go faster, most codes are decoded by one lookup on the next
// kLookupBits bits. The lookup table is derived from the same rows by
// replaying that bit-by-bit rule, so damaged tables (incomplete or
// over-full codes) decode to exactly the same symbols, or fall back to the
// bit-by-bit path, which reports the error.
#include "engine/huffman_decode.h"

#include <algorithm>

#include "engine/decoder_state.h"

namespace zor {

namespace {

constexpr int32_t kRows = DecoderState::kLimitRows;

}  // namespace

void buildDecodeTables(int32_t* limit, int32_t* base, int32_t* perm, const uint8_t* lengths, int32_t minLen,
                       int32_t maxLen, int32_t alphaSize) {
    int32_t p = 0;
    for (int32_t n = minLen; n <= maxLen; ++n)
        for (int32_t s = 0; s < alphaSize; ++s)
            if (lengths[s] == n) perm[p++] = s;
    std::fill(perm + p, perm + kMaxAlphabet, DecoderState::kNoSymbol);

    std::fill(base, base + kRows, 0);
    for (int32_t s = 0; s < alphaSize; ++s) ++base[lengths[s] + 1];
    for (int32_t n = 1; n < kRows; ++n) base[n] += base[n - 1];  // base[n]: symbols shorter than n

    std::fill(limit, limit + kRows, 0);
    int32_t v = 0;
    for (int32_t n = minLen; n <= maxLen; ++n) {
        v += base[n + 1] - base[n];
        limit[n] = v - 1;
        v *= 2;
    }
    for (int32_t n = minLen + 1; n <= maxLen; ++n) base[n] = (limit[n - 1] + 1) * 2 - base[n];
}

void buildLookupTable(uint16_t* lookup, const int32_t* limit, const int32_t* base, const int32_t* perm,
                      int32_t minLen) {
    constexpr int32_t kBits = DecoderState::kLookupBits;
    constexpr int64_t kEntries = int64_t{1} << kBits;
    // The bit-by-bit rule stops at the first length n (from minLen up) whose
    // value (the pattern's top n bits) is at most limit[n]; for a fixed n
    // those patterns form a prefix range, so each length claims the patterns
    // below its bound that no shorter length claimed.
    int64_t filled = 0;
    for (int32_t n = minLen; n <= kBits && filled < kEntries; ++n) {
        const int64_t end = std::min(kEntries, (int64_t{limit[n]} + 1) << (kBits - n));
        for (int64_t pattern = filled; pattern < end; ++pattern) {
            const int64_t k = (pattern >> (kBits - n)) - base[n];
            lookup[pattern] =
                k >= 0 && k < kMaxAlphabet ? static_cast<uint16_t>((n << 9) | perm[k]) : 0;
        }
        filled = std::max(filled, end);
    }
    std::fill(lookup + filled, lookup + kEntries, uint16_t{0});
}

DecodedCode decodeCode(uint32_t next20, const int32_t* limit, const int32_t* base, const int32_t* perm,
                       int32_t minLen) {
    for (int32_t n = minLen; n <= kMaxCodeLength; ++n) {
        const int32_t value = static_cast<int32_t>(next20 >> (kMaxCodeLength - n));
        if (value <= limit[n]) {
            const int32_t k = value - base[n];
            if (k < 0 || k >= kMaxAlphabet) return {-1, n};
            return {perm[k], n};
        }
    }
    return {-1, kMaxCodeLength};
}

}  // namespace zor
