// block_sort.cpp - chooses the rotation sort for a block and implements the fallback (prefix-doubling) sort.
//
// Choice. When all rotations of a block differ their sorted order is
// unique, so any correct sort yields the same rows and the same stream.
// Such blocks are sorted by induced suffix sorting (induced_sort.cpp),
// which takes linear time however repetitive the text; only random-like
// blocks of 10000 bytes or more, whose two-byte buckets leave little to
// compare, are sorted faster by the main sort and keep it.
// A block that is one unit repeated (periodic) has equal rotations, whose
// order is the reference algorithms' own and part of the stream: short ones
// go to the fallback sort; longer ones try the main sort (main_sort.cpp)
// with a work allowance of N * ((workFactor - 1) / 3) comparison stretches,
// and when repetitive text exhausts it, the fallback sort starts over.
//
// Fallback method (prefix doubling). Rows are first grouped by their first
// byte. A bit set marks the first row of each group of rows whose rotations
// are known to differ from the rows before them. In round H every position
// gets the number of the group holding the rotation H positions later as
// its class, so sorting each unresolved group by class orders it by the
// first 2H bytes; new group heads are marked where the class changes. The
// compared prefix doubles per round, so about log2(N) rounds suffice; on
// periodic text the rounds stop as soon as one splits nothing. The classes
// live in the text's own array, so the text is rebuilt from the final order
// and the saved byte counts at the end.
#include "engine/block_sort.h"

#include <algorithm>
#include <cstdint>

#include "engine/induced_sort.h"
#include "engine/internal_error.h"
#include "engine/least_rotation.h"
#include "engine/three_way_partition.h"

namespace zor {

namespace {

constexpr int32_t kStackSize = 100;
constexpr int32_t kQuickSortSmall = 10;

inline bool bitIsSet(const uint32_t* bits, int32_t k) { return bits[k >> 5] & (1u << (k & 31)); }
inline void setBit(uint32_t* bits, int32_t k) { bits[k >> 5] |= 1u << (k & 31); }
inline void clearBit(uint32_t* bits, int32_t k) { bits[k >> 5] &= ~(1u << (k & 31)); }

// Insertion sort of rows lo..hi by class; a pass with step 4 first moves
// rows close to their place cheaply.
void fallbackInsertionSort(uint32_t* ptr, const uint32_t* classes, int32_t lo, int32_t hi) {
    if (lo == hi) return;
    auto pass = [&](int32_t step) {
        for (int32_t i = hi - step; i >= lo; --i) {
            uint32_t t = ptr[i];
            uint32_t e = classes[t];
            int32_t j = i + step;
            for (; j <= hi && e > classes[ptr[j]]; j += step) ptr[j - step] = ptr[j];
            ptr[j - step] = t;
        }
    };
    if (hi - lo > 3) pass(4);
    pass(1);
}

// Three-way quicksort of rows lo..hi by class, pivot picked pseudo-randomly
// among the first, middle and last row.
void fallbackQuickSort(uint32_t* ptr, const uint32_t* classes, int32_t loStart, int32_t hiStart) {
    int32_t stackLo[kStackSize], stackHi[kStackSize];
    int32_t sp = 0;
    auto push = [&](int32_t lo, int32_t hi) {
        stackLo[sp] = lo;
        stackHi[sp] = hi;
        ++sp;
    };
    uint32_t r = 0;
    push(loStart, hiStart);

    while (sp > 0) {
        // Smaller part first: the stack holds about log2(n) entries at most.
        checkInternal(sp < kStackSize, 1004);
        --sp;
        int32_t lo = stackLo[sp], hi = stackHi[sp];
        if (hi - lo < kQuickSortSmall) {
            fallbackInsertionSort(ptr, classes, lo, hi);
            continue;
        }

        r = (r * 7621 + 1) % 32768;
        uint32_t pivotRow = r % 3 == 0 ? lo : r % 3 == 1 ? (lo + hi) >> 1 : hi;
        int32_t pivot = static_cast<int32_t>(classes[ptr[pivotRow]]);

        ThreeWaySplit split =
            partitionThreeWay(ptr, lo, hi, pivot, [&](uint32_t p) { return static_cast<int32_t>(classes[p]); });
        if (split.allEqual) continue;  // nothing to order at this prefix length
        int32_t n = split.lessLast, m = split.greaterFirst;
        if (n - lo > hi - m) {
            push(lo, n);
            push(m, hi);
        } else {
            push(m, hi);
            push(lo, n);
        }
    }
}

// True for text whose two-byte contexts are spread about as thin as in
// random bytes. The main sort's radix buckets then leave almost nothing to
// compare, and it beats the induced sort. Estimates, from a sample of
// positions, the chance that two positions share their first two bytes:
// 1/65536 for random bytes, a hundred times that and more for text, code
// and binaries. Counts in `counts` (65536 words).
bool pairsAreSpreadThin(const uint8_t* text, int32_t n, uint32_t* counts) {
    constexpr int32_t kStride = 8;
    std::fill(counts, counts + 65536, 0u);
    uint64_t equalPairs = 0, samples = 0;
    for (int32_t i = 0; i + 1 < n; i += kStride, ++samples) {
        uint32_t& count = counts[(static_cast<uint32_t>(text[i]) << 8) | text[i + 1]];
        equalPairs += count++;
    }
    // equalPairs / (samples^2 / 2) below 8 / 65536.
    return equalPairs * 65536 < 4 * samples * samples;
}

}  // namespace

void fallbackSort(uint32_t* ptr, uint32_t* classes, uint32_t* bits, int32_t n) {
    uint8_t* text = reinterpret_cast<uint8_t*>(classes);

    // Group rows by first byte (positions decreasing inside a byte).
    int32_t counter[257] = {};
    int32_t savedCounts[256];
    for (int32_t i = 0; i < n; ++i) ++counter[text[i]];
    std::copy(counter, counter + 256, savedCounts);
    for (int32_t i = 1; i < 257; ++i) counter[i] += counter[i - 1];
    for (int32_t i = 0; i < n; ++i) {
        int32_t row = --counter[text[i]];
        ptr[row] = static_cast<uint32_t>(i);
    }

    // Group heads, plus alternating sentinels past the end so that the
    // group scans below stop without bounds tests.
    std::fill(bits, bits + 2 + n / 32, 0u);
    for (int32_t c = 0; c < 256; ++c) setBit(bits, counter[c]);
    for (int32_t i = 0; i < 32; ++i) {
        setBit(bits, n + 2 * i);
        clearBit(bits, n + 2 * i + 1);
    }

    for (int32_t h = 1;;) {
        int32_t group = 0;
        for (int32_t i = 0; i < n; ++i) {
            if (bitIsSet(bits, i)) group = i;
            int32_t k = static_cast<int32_t>(ptr[i]) - h;
            if (k < 0) k += n;
            classes[k] = static_cast<uint32_t>(group);
        }

        int32_t unresolved = 0;
        bool split = false;
        int32_t r = -1;
        while (true) {
            // Skip the run of set bits: rows that are already alone.
            int32_t k = r + 1;
            while (bitIsSet(bits, k) && (k & 31)) ++k;
            if (bitIsSet(bits, k)) {
                while (bits[k >> 5] == 0xFFFFFFFFu) k += 32;
                while (bitIsSet(bits, k)) ++k;
            }
            int32_t l = k - 1;
            if (l >= n) break;
            // The group runs up to the next set bit.
            while (!bitIsSet(bits, k) && (k & 31)) ++k;
            if (!bitIsSet(bits, k)) {
                while (bits[k >> 5] == 0u) k += 32;
                while (!bitIsSet(bits, k)) ++k;
            }
            r = k - 1;
            if (r >= n) break;

            if (r > l) {
                unresolved += r - l + 1;
                fallbackQuickSort(ptr, classes, l, r);
                int64_t previous = -1;
                for (int32_t i = l; i <= r; ++i) {
                    uint32_t cls = classes[ptr[i]];
                    if (previous != cls) {
                        split |= i != l;
                        setBit(bits, i);
                        previous = cls;
                    }
                }
            }
        }
        h *= 2;
        // A round that splits no group has reached the fixed point: every
        // group left holds equal rotations, whose classes stay equal in any
        // later round, so later rounds would leave the order as it is.
        if (h > n || unresolved == 0 || !split) break;
    }

    // Rebuild the text: row i's rotation starts with the i-th smallest byte.
    int32_t j = 0;
    for (int32_t i = 0; i < n; ++i) {
        while (savedCounts[j] == 0) ++j;
        --savedCounts[j];
        text[ptr[i]] = static_cast<uint8_t>(j);
    }
    checkInternal(j < 256, 1005);
}

namespace {

// Sorts a block by induced sorting when its rotations all differ and it is
// not a long random-like block; returns false, having changed nothing,
// otherwise.
bool sortByInducing(EncoderState& s) {
    const int32_t n = s.blockLength;
    if (n >= kMainSortMinimum && pairsAreSpreadThin(s.blockText, n, s.bucketTable)) return false;
    const RotationShape shape = findLeastRotation(s.blockText, n);
    if (shape.periodic) return false;
    // Behind the text the text's array is free until the block is encoded.
    const size_t textWords = (static_cast<size_t>(n) + 3) / 4;
    uint32_t* scratch = s.workB + textWords;
    const size_t scratchWords = workBBytes(s.blockSizeLevel) / 4 - textWords;
    sortDistinctRotations(s.sortedPositions, s.blockText, n, shape.leastStart, scratch, scratchWords, s.stream->pump);
    return true;
}

// The reference sorts, whose order of equal rotations is part of the
// stream: the fallback sort for short blocks; the main sort within its work
// allowance for longer ones, and the fallback sort when that runs out.
void sortByReference(EncoderState& s) {
    const int32_t n = s.blockLength;
    uint32_t* ptr = s.sortedPositions;
    if (n < kMainSortMinimum) {
        fallbackSort(ptr, s.workB, s.bucketTable, n);
        return;
    }
    int32_t rankOffset = n + kOvershoot;
    if (rankOffset & 1) ++rankOffset;
    uint16_t* rankCache = reinterpret_cast<uint16_t*>(s.blockText + rankOffset);
    int32_t factor = std::clamp(s.workFactor, 1, 100);
    int32_t budget = n * ((factor - 1) / 3);
    mainSort(ptr, s.blockText, rankCache, s.bucketTable, n, budget, s.stream->pump);
    if (budget < 0) fallbackSort(ptr, s.workB, s.bucketTable, n);
}

}  // namespace

void sortBlock(EncoderState& s) {
    if (!sortByInducing(s)) sortByReference(s);
    const int32_t n = s.blockLength;
    const uint32_t* ptr = s.sortedPositions;
    s.originPointer = -1;
    for (int32_t i = 0; i < n; ++i) {
        if (ptr[i] == 0) {
            s.originPointer = i;
            break;
        }
    }
    checkInternal(s.originPointer != -1, 1003);
}

}  // namespace zor
