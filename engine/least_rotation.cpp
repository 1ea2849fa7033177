// least_rotation.cpp - finds a block's smallest rotation and tells whether the block repeats one unit throughout.
//
// Method. Two candidate starts i < j (or j < i) are compared k bytes deep,
// wrapping round the block. When the bytes at offset k differ, the larger
// candidate c loses, and so does every start c + 1 .. c + k: rotation c + t
// is larger than the other candidate's rotation moved by t, whose first
// k - t + 1 bytes match it up to that same difference. The loser jumps past
// them. Every step raises i + j + k by at least one, so at most 3n steps are
// taken. A start is only ever dropped because some rotation is strictly
// smaller, so the smallest rotations always survive; if two of them exist
// (the block is periodic) the comparison must run through a whole rotation
// (k reaches n), and if it does, the two rotations are equal and the block
// is periodic. Otherwise the candidate left over is the smallest.
//
// Only starts holding the block's least byte value can be smallest, so the
// candidates move straight from one such start to the next (a memchr scan),
// which in text skips nearly every position without a comparison.
#include "engine/least_rotation.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zor {

namespace {

static_assert(std::endian::native == std::endian::little, "the word-wide comparison finds the first byte from the low end");

inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

RotationShape findLeastRotation(const uint8_t* text, int32_t n) {
    uint8_t least = 255;
    for (int32_t p = 0; p < n; ++p) least = std::min(least, text[p]);
    // The first start at or after `from` that holds the least byte, or n.
    // Dense candidates (runs, "abab...") are found without the call.
    auto nextCandidate = [&](int32_t from) {
        for (const int32_t stop = std::min(n, from + 2); from < stop; ++from)
            if (text[from] == least) return from;
        if (from >= n) return n;
        const void* hit = std::memchr(text + from, least, static_cast<size_t>(n - from));
        return hit ? static_cast<int32_t>(static_cast<const uint8_t*>(hit) - text) : n;
    };
    int32_t i = nextCandidate(0), j = nextCandidate(i + 1), k = 0;
    auto at = [&](int32_t position) { return text[position < n ? position : position - n]; };
    while (i < n && j < n && k < n) {
        const uint8_t a = at(i + k), b = at(j + k);
        if (a == b) {
            ++k;
            // A match that goes on (runs, repeats) advances eight bytes at a time while neither side wraps.
            while (std::max(i, j) + k + 8 <= n) {
                const uint64_t difference = load64(text + i + k) ^ load64(text + j + k);
                if (difference) {
                    k += std::countr_zero(difference) / 8;  // little-endian: the lowest set byte comes first
                    break;
                }
                k += 8;
            }
            continue;
        }
        if (a > b)
            i = nextCandidate(i + k + 1);
        else
            j = nextCandidate(j + k + 1);
        if (i == j) j = nextCandidate(j + 1);
        k = 0;
    }
    return {std::min(i, j), k == n};
}

}  // namespace zor
