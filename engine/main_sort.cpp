// main_sort.cpp - the fast rotation sort: two-byte radix buckets, three-way radix quicksort, cached bucket ranks.
//
// Method. A counting pass places every rotation into one of 65536 buckets
// by its first two bytes. The 256 "big buckets" (all rotations starting
// with byte c) are then finished one at a time, smallest first:
//   1. Each small bucket (c, j), j != c, not already known to be in order is
//      sorted by three-way radix quicksort from byte 2 on, with Shell sort
//      for small or deep ranges.
//   2. Once big bucket c is in order, the order of every bucket (x, c) whose
//      big bucket x is not finished yet follows without comparisons: walking
//      big bucket c in order, the rotation one position earlier of each row
//      starting with x is the next row of bucket (x, c). This also fills
//      bucket (c, c), which step 1 skipped.
//   3. Each position of big bucket c gets its rank (scaled into 16 bits) in
//      the rank cache, so later comparisons that reach two positions of
//      finished big buckets decide by one 16-bit comparison.
// Comparisons read up to 34 bytes past the text end instead of wrapping,
// so the first 34 bytes (and ranks) are copied behind the text. Every
// 8-byte stretch compared costs one unit of `budget`; when it goes below
// zero the sort stops and the caller falls back to the doubling sort.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "engine/block_sort.h"
#include "engine/internal_error.h"
#include "engine/three_way_partition.h"

namespace zor {

namespace {

constexpr uint32_t kDoneFlag = 1u << 21;
constexpr uint32_t kRowMask = ~kDoneFlag;
constexpr int32_t kStackSize = 100;
constexpr int32_t kQuickSortSmall = 20;
constexpr int32_t kQuickSortMaxDepth = 14;

constexpr int32_t kShellGaps[] = {1,     4,      13,     40,     121,     364,     1093,
                                  3280,  9841,   29524,  88573,  265720,  797161,  2391484};

struct SortContext {
    uint32_t* positions;
    const uint8_t* text;
    const uint16_t* rankCache;
    uint32_t n;
    int32_t& budget;
};

static_assert(std::endian::native == std::endian::little, "the word-wide comparisons assume little-endian loads");

inline uint64_t load64(const void* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Big-endian loads: numeric order of the words is the bytes' order.
inline uint64_t bigEndian64(const uint8_t* p) { return __builtin_bswap64(load64(p)); }
inline uint32_t bigEndian32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_bswap32(v);
}

// True when the rotation at i1 is greater than the rotation at i2. The
// first 12 bytes are compared directly; after that each 8-byte stretch
// compares bytes and, at each position, the cached ranks, so that two
// positions in finished big buckets are decided at once. A stretch costs
// one unit of budget. Word-wide loads find the first position where the
// byte or the rank differs; at one position the byte decides first.
inline bool compareRotations(uint32_t i1, uint32_t i2, const SortContext& c) {
    const uint8_t* text = c.text;
    const uint16_t* rank = c.rankCache;
    uint64_t head1 = bigEndian64(text + i1), head2 = bigEndian64(text + i2);
    if (head1 != head2) return head1 > head2;
    uint32_t tail1 = bigEndian32(text + i1 + 8), tail2 = bigEndian32(text + i2 + 8);
    if (tail1 != tail2) return tail1 > tail2;
    i1 += 12;
    i2 += 12;

    int32_t k = static_cast<int32_t>(c.n) + 8;
    do {
        // Little-endian loads: byte s of the stretch is bits 8s.., rank s
        // bits 16s.. of the first (s < 4) or second word.
        uint64_t bytes = load64(text + i1) ^ load64(text + i2);
        uint64_t ranksLow = load64(rank + i1) ^ load64(rank + i2);
        uint64_t ranksHigh = load64(rank + i1 + 4) ^ load64(rank + i2 + 4);
        if (bytes | ranksLow | ranksHigh) {
            int byteAt = bytes ? std::countr_zero(bytes) >> 3 : 8;
            int rankAt = ranksLow ? std::countr_zero(ranksLow) >> 4 : ranksHigh ? 4 + (std::countr_zero(ranksHigh) >> 4) : 8;
            // At one position the bytes are compared before the ranks.
            if (byteAt <= rankAt) return text[i1 + byteAt] > text[i2 + byteAt];
            return rank[i1 + rankAt] > rank[i2 + rankAt];
        }
        i1 += 8;
        i2 += 8;
        if (i1 >= c.n) i1 -= c.n;
        if (i2 >= c.n) i2 -= c.n;
        k -= 8;
        --c.budget;
    } while (k >= 0);
    return false;
}

inline uint8_t medianOf3(uint8_t a, uint8_t b, uint8_t c) {
    if (a > b) std::swap(a, b);
    if (b > c) {
        b = c;
        if (a > b) b = a;
    }
    return b;
}

// Shell sort of rows lo..hi, comparing rotations from byte d on.
void shellSortRange(const SortContext& c, int32_t lo, int32_t hi, int32_t d) {
    int32_t count = hi - lo + 1;
    if (count < 2) return;
    uint32_t* ptr = c.positions;
    int32_t g = 0;
    while (kShellGaps[g] < count) ++g;
    for (--g; g >= 0; --g) {
        int32_t h = kShellGaps[g];
        auto insert = [&](int32_t i) {
            uint32_t v = ptr[i];
            int32_t j = i;
            while (compareRotations(ptr[j - h] + d, v + d, c)) {
                ptr[j] = ptr[j - h];
                j -= h;
                if (j <= lo + h - 1) break;
            }
            ptr[j] = v;
        };
        // Three insertions between budget checks.
        for (int32_t i = lo + h;;) {
            if (i > hi) break;
            insert(i++);
            if (i > hi) break;
            insert(i++);
            if (i > hi) break;
            insert(i++);
            if (c.budget < 0) return;
        }
    }
}

// Sorts rows lo..hi whose rotations share their first d bytes: partition
// by the byte at offset d into smaller / equal / greater, recurse (through
// an explicit stack) on all three, the equal part one byte deeper.
void quickSort3Way(const SortContext& c, int32_t loStart, int32_t hiStart, int32_t dStart) {
    uint32_t* ptr = c.positions;
    const uint8_t* text = c.text;
    int32_t stackLo[kStackSize], stackHi[kStackSize], stackD[kStackSize];
    int32_t sp = 0;
    auto push = [&](int32_t lo, int32_t hi, int32_t d) {
        stackLo[sp] = lo;
        stackHi[sp] = hi;
        stackD[sp] = d;
        ++sp;
    };
    push(loStart, hiStart, dStart);

    while (sp > 0) {
        // The smallest part is always taken next, so each pending pair of
        // siblings at least halves the range: some 40 entries at most.
        checkInternal(sp < kStackSize, 1001);
        --sp;
        int32_t lo = stackLo[sp], hi = stackHi[sp], d = stackD[sp];

        if (hi - lo < kQuickSortSmall || d > kQuickSortMaxDepth) {
            shellSortRange(c, lo, hi, d);
            if (c.budget < 0) return;
            continue;
        }

        int32_t pivot = medianOf3(text[ptr[lo] + d], text[ptr[hi] + d], text[ptr[(lo + hi) >> 1] + d]);
        ThreeWaySplit split = partitionThreeWay(ptr, lo, hi, pivot,
                                                [&](uint32_t p) { return static_cast<int32_t>(text[p + d]); });
        if (split.allEqual) {
            push(lo, hi, d + 1);
            continue;
        }
        int32_t n = split.lessLast, m = split.greaterFirst;
        int32_t partLo[3] = {lo, m, n + 1};
        int32_t partHi[3] = {n, hi, m - 1};
        int32_t partD[3] = {d, d, d + 1};
        auto size = [&](int k) { return partHi[k] - partLo[k]; };
        auto exchange = [&](int a, int b) {
            std::swap(partLo[a], partLo[b]);
            std::swap(partHi[a], partHi[b]);
            std::swap(partD[a], partD[b]);
        };
        if (size(0) < size(1)) exchange(0, 1);
        if (size(1) < size(2)) exchange(1, 2);
        if (size(0) < size(1)) exchange(0, 1);
        for (int k = 0; k < 3; ++k) push(partLo[k], partHi[k], partD[k]);
    }
}

}  // namespace

void mainSort(uint32_t* positions, uint8_t* text, uint16_t* rankCache, uint32_t* buckets, int32_t n, int32_t& budget,
              MessagePump& pump) {
    uint32_t* ptr = positions;
    uint32_t* entry = buckets;

    // Count the two-byte keys (the last position pairs with the first byte).
    std::fill(entry, entry + kBucketCount, 0u);
    uint32_t key = static_cast<uint32_t>(text[0]) << 8;
    for (int32_t i = n - 1; i >= 0; --i) {
        rankCache[i] = 0;
        key = (key >> 8) | (static_cast<uint32_t>(text[i]) << 8);
        ++entry[key];
    }
    for (int32_t i = 0; i < kOvershoot; ++i) {
        text[n + i] = text[i];
        rankCache[n + i] = 0;
    }

    // Running sums give each bucket's end; placing backwards leaves each
    // entry at its bucket's start with positions increasing inside it.
    for (int32_t b = 1; b < kBucketCount; ++b) entry[b] += entry[b - 1];
    key = static_cast<uint32_t>(text[0]) << 8;
    for (int32_t i = n - 1; i >= 0; --i) {
        key = (key >> 8) | (static_cast<uint32_t>(text[i]) << 8);
        ptr[--entry[key]] = static_cast<uint32_t>(i);
    }

    // Big buckets in order of increasing size (Shell sort).
    auto bigSize = [&](int32_t c) { return entry[(c + 1) << 8] - entry[c << 8]; };
    int32_t order[256];
    for (int32_t i = 0; i < 256; ++i) order[i] = i;
    for (int32_t h : {121, 40, 13, 4, 1}) {
        for (int32_t i = h; i < 256; ++i) {
            int32_t v = order[i];
            int32_t j = i;
            while (bigSize(order[j - h]) > bigSize(v)) {
                order[j] = order[j - h];
                j -= h;
                if (j <= h - 1) break;
            }
            order[j] = v;
        }
    }

    SortContext context{ptr, text, rankCache, static_cast<uint32_t>(n), budget};
    bool bigDone[256] = {};
    int32_t copyStart[256], copyEnd[256];

    for (int32_t turn = 0; turn < 256; ++turn) {
        int32_t c = order[turn];

        // 1. Sort the small buckets (c, j) not yet in order, except (c, c).
        for (int32_t j = 0; j < 256; ++j) {
            if (j == c) continue;
            int32_t b = (c << 8) + j;
            if (!(entry[b] & kDoneFlag)) {
                int32_t lo = static_cast<int32_t>(entry[b] & kRowMask);
                int32_t hi = static_cast<int32_t>(entry[b + 1] & kRowMask) - 1;
                if (hi > lo) {
                    quickSort3Way(context, lo, hi, 2);
                    if (budget < 0) return;
                }
            }
            entry[b] |= kDoneFlag;
        }

        checkInternal(!bigDone[c], 1006);

        // 2. Derive the order of every bucket (x, c) of an unfinished x.
        for (int32_t j = 0; j < 256; ++j) {
            copyStart[j] = static_cast<int32_t>(entry[(j << 8) + c] & kRowMask);
            copyEnd[j] = static_cast<int32_t>(entry[(j << 8) + c + 1] & kRowMask) - 1;
        }
        int32_t bigFirst = static_cast<int32_t>(entry[c << 8] & kRowMask);
        int32_t bigLast = static_cast<int32_t>(entry[(c + 1) << 8] & kRowMask) - 1;
        for (int32_t row = bigFirst; row < copyStart[c]; ++row) {
            pump.tick();
            int32_t q = static_cast<int32_t>(ptr[row]) - 1;
            if (q < 0) q += n;
            uint8_t x = text[q];
            if (!bigDone[x]) ptr[copyStart[x]++] = static_cast<uint32_t>(q);
        }
        for (int32_t row = bigLast; row > copyEnd[c]; --row) {
            pump.tick();
            int32_t q = static_cast<int32_t>(ptr[row]) - 1;
            if (q < 0) q += n;
            uint8_t x = text[q];
            if (!bigDone[x]) ptr[copyEnd[x]--] = static_cast<uint32_t>(q);
        }

        // Bucket (c, c) must now be exactly full. A block of one repeated
        // byte is the exception: (c, c) is every row, nothing was copied, and
        // the block is in order anyway since all its rotations are equal.
        bool wholeBlockIsOneBucket = copyStart[c] == 0 && copyEnd[c] == n - 1;
        checkInternal(copyStart[c] - 1 == copyEnd[c] || wholeBlockIsOneBucket, 1007);

        for (int32_t j = 0; j < 256; ++j) entry[(j << 8) + c] |= kDoneFlag;

        // 3. Cache each position's rank within big bucket c.
        bigDone[c] = true;
        if (turn < 255) {
            int32_t first = static_cast<int32_t>(entry[c << 8] & kRowMask);
            int32_t size = static_cast<int32_t>(entry[(c + 1) << 8] & kRowMask) - first;
            int32_t shift = 0;
            while ((size >> shift) > 65534) ++shift;
            for (int32_t j = size - 1; j >= 0; --j) {
                pump.tick();
                uint32_t p = ptr[first + j];
                uint16_t rank = static_cast<uint16_t>(j >> shift);
                rankCache[p] = rank;
                if (p < static_cast<uint32_t>(kOvershoot)) rankCache[p + n] = rank;
            }
            checkInternal(((size - 1) >> shift) <= 65535, 1002);
        }
    }
}

}  // namespace zor
