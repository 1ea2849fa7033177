// induced_sort.cpp - sorts suffixes by induced sorting, and through them the rotations of a block whose rotations all differ.
//
// Terms. Past the text's end stands a virtual end mark smaller than every
// symbol. Suffix i is S-type when it is smaller than suffix i + 1, L-type
// when larger; the last suffix is L-type (the end mark follows it). An S-type
// suffix whose left neighbour is L-type is an LMS suffix, and the stretch
// from one LMS position to the next (both included; for the last, to the end
// mark) is its LMS substring. LMS positions are never adjacent, so there are
// at most n / 2 of them.
//
// The suffix array is cut into buckets, one per first symbol; inside a
// bucket the L-type suffixes come before the S-type ones. Induction:
//   - left-to-right scan: for each suffix j met, if suffix j - 1 is L-type
//     it goes to the next free slot at the front of its bucket. Started from
//     the LMS suffixes in order, this places every L-type suffix in order.
//   - right-to-left scan: if suffix j - 1 is S-type it goes to the next free
//     slot at the back of its bucket; this places every S-type suffix.
// The scans need no type table. In the first the array holds only L-type
// and LMS suffixes, and suffix j - 1 is L-type exactly when its symbol is
// not below that of j. In the second, j is S-type exactly when its slot lies
// in the part of its bucket the scan has already filled from the back. A
// bit per position still records the types, so that the LMS positions,
// needed three times per level, are found a word at a time.
//
// Method. (1) Seed the LMS suffixes at their buckets' backs in any order and
// induce: the LMS substrings come out sorted. (2) Name each by its rank among
// the distinct ones; the names in text order form a reduced text of at most
// n / 2 symbols whose suffix order is the LMS suffixes' order. (3) Sort the
// reduced text's suffixes, by recursion unless all names differ. (4) Seed
// the LMS suffixes in that order and induce once more: all suffixes are in
// order. Every step is linear, and the reduced text at least halves, so the
// whole sort is linear. The reduced text and the recursion's own array live
// in the two halves of the caller's array; only the type bits and the
// bucket bounds need scratch memory.
#include "engine/induced_sort.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zor {

namespace {

constexpr uint32_t kEmpty = 0xFFFFFFFFu;
constexpr uint32_t kLmsMark = 0x80000000u;  // marks an LMS suffix's slot after the first induction
constexpr int32_t kPumpStretch = 1 << 14;   // slots scanned between two pump ticks
constexpr uint32_t kSmallAlphabet = 256;

// Bucket bounds for an alphabet of `alphabet` symbols. With room for two
// arrays the symbol counts are kept; otherwise they are counted again each
// time bounds are asked for.
template <class Symbol>
class Buckets {
public:
    Buckets(const Symbol* text, int32_t n, uint32_t alphabet, uint32_t* scratch, size_t scratchWords)
        : text_(text), n_(n), alphabet_(alphabet), bounds_(scratch),
          counts_(scratchWords >= 2 * static_cast<size_t>(alphabet) ? scratch + alphabet : nullptr) {
        if (counts_) countInto(counts_);
    }

    uint32_t* fronts() { return fill(false); }
    uint32_t* backs() { return fill(true); }  // one past each bucket's last slot

    // After the recursion has used the scratch area the counts are gone.
    void recount() {
        if (counts_) countInto(counts_);
    }

private:
    void countInto(uint32_t* counts) const {
        std::fill(counts, counts + alphabet_, 0u);
        for (int32_t i = 0; i < n_; ++i) ++counts[text_[i]];
    }

    uint32_t* fill(bool backs) {
        const uint32_t* counts = counts_;
        if (!counts) {
            countInto(bounds_);
            counts = bounds_;
        }
        uint32_t sum = 0;
        for (uint32_t c = 0; c < alphabet_; ++c) {
            const uint32_t count = counts[c];
            sum += count;
            bounds_[c] = backs ? sum : sum - count;
        }
        return bounds_;
    }

    const Symbol* text_;
    int32_t n_;
    uint32_t alphabet_;
    uint32_t* bounds_;
    uint32_t* counts_;
};

// One bit per position, set for S-type suffixes; words past the text hold 0.
inline size_t typeWords(int32_t n) { return static_cast<size_t>(n) / 32 + 1; }

template <class Symbol>
void classify(const Symbol* text, int32_t n, uint32_t* sTypes) {
    std::fill(sTypes, sTypes + typeWords(n), 0u);
    bool isS = false;  // the last suffix is L-type
    // A word's bits gather in a register: stored bit by bit, each would wait
    // for the store before it.
    uint32_t word = 0;
    for (int32_t i = n - 2; i >= 0; --i) {
        // S-type: a smaller symbol than the next, or an equal one before an S-type suffix.
        isS = text[i] < text[i + 1] + static_cast<Symbol>(isS);
        word |= static_cast<uint32_t>(isS) << (i & 31);
        if ((i & 31) == 0) {
            sTypes[i >> 5] = word;
            word = 0;
        }
    }
}

// Calls visit(p) for every LMS position p in increasing order: an S-type
// bit whose lower neighbour is clear (position 0 never counts).
template <class Visit>
void forEachLms(const uint32_t* sTypes, int32_t n, Visit visit) {
    uint32_t carry = 1;
    for (size_t w = 0; w < typeWords(n); ++w) {
        const uint32_t word = sTypes[w];
        uint32_t lms = word & ~((word << 1) | carry);
        carry = word >> 31;
        while (lms) {
            visit(static_cast<int32_t>(w * 32 + std::countr_zero(lms)));
            lms &= lms - 1;
        }
    }
}

// The scans read the text at the suffixes they meet, which lie anywhere in
// it; asking for those bytes some slots ahead hides most of the wait. The
// slot may be empty or not yet written, and a prefetch of a stray address
// is harmless. A text short enough to stay in the caches gains nothing,
// and the scans then skip the prefetch's instructions.
constexpr int32_t kPrefetchDistance = 24;
constexpr int32_t kPrefetchFrom = 1 << 16;

template <class Symbol>
inline void prefetchSymbolBefore(const Symbol* text, uint32_t position) {
    // Integer arithmetic: a stray position must not form an out-of-range pointer.
    const uintptr_t address = reinterpret_cast<uintptr_t>(text) + (position - 1u) * uintptr_t{sizeof(Symbol)};
    __builtin_prefetch(reinterpret_cast<const void*>(address));
}

// Left-to-right induction of the L-type suffixes from those in `sa`.
template <bool prefetch, class Symbol>
void induceLTypes(const Symbol* text, uint32_t* sa, int32_t n, uint32_t* fronts, MessagePump& pump) {
    const uint32_t un = static_cast<uint32_t>(n);
    sa[fronts[text[n - 1]]++] = un - 1;  // induced by the end mark, the smallest suffix of all
    for (int32_t stretch = 0; stretch < n; stretch += kPumpStretch) {
        const int32_t end = std::min(n, stretch + kPumpStretch);
        for (int32_t i = stretch; i < end; ++i) {
            if (prefetch) prefetchSymbolBefore(text, sa[std::min(i + kPrefetchDistance, n - 1)]);
            const uint32_t j = sa[i];
            const uint32_t p = j - 1;  // wraps past n for position 0 and for empty slots
            if (p < un && text[p] >= text[j]) sa[fronts[text[p]]++] = p;
        }
        pump.tick(end - stretch);
    }
}

// Right-to-left induction of the S-type suffixes. With `markLms`, the slot
// of each LMS suffix met gets kLmsMark, so the LMS suffixes can be picked
// out in order afterwards.
template <bool markLms, bool prefetch, class Symbol>
void induceSTypes(const Symbol* text, uint32_t* sa, int32_t n, uint32_t* backs, MessagePump& pump) {
    const uint32_t un = static_cast<uint32_t>(n);
    for (int32_t stretch = n; stretch > 0; stretch -= kPumpStretch) {
        const int32_t end = std::max(0, stretch - kPumpStretch);
        for (int32_t i = stretch - 1; i >= end; --i) {
            if (prefetch) prefetchSymbolBefore(text, sa[std::max(i - kPrefetchDistance, 0)]);
            const uint32_t j = sa[i];
            const uint32_t p = j - 1;
            if (p >= un) continue;
            const Symbol symbol = text[j], before = text[p];
            const bool jIsS = static_cast<uint32_t>(i) >= backs[symbol];
            if (before < symbol || (before == symbol && jIsS))
                sa[--backs[before]] = p;
            else if (markLms && before > symbol && jIsS)
                sa[i] = j | kLmsMark;
        }
        pump.tick(stretch - end);
    }
}

// Both inductions, the L-type suffixes from those in `sa` and then the S-type ones.
template <bool markLms, class Symbol>
void induce(const Symbol* text, uint32_t* sa, int32_t n, Buckets<Symbol>& buckets, MessagePump& pump) {
    if (n >= kPrefetchFrom) {
        induceLTypes<true>(text, sa, n, buckets.fronts(), pump);
        induceSTypes<markLms, true>(text, sa, n, buckets.backs(), pump);
    } else {
        induceLTypes<false>(text, sa, n, buckets.fronts(), pump);
        induceSTypes<markLms, false>(text, sa, n, buckets.backs(), pump);
    }
}

template <class Symbol>
void sortSuffixes(const Symbol* text, uint32_t* sa, int32_t n, uint32_t alphabet, uint32_t* scratch,
                  size_t scratchWords, MessagePump& pump);

// Steps 1 and 2: sorts the LMS substrings, names them and leaves the
// reduced text at the end of `sa`. Returns the number of LMS positions and
// sets `names` to the number of distinct LMS substrings.
template <class Symbol>
int32_t reduce(const Symbol* text, uint32_t* sa, int32_t n, const uint32_t* sTypes, Buckets<Symbol>& buckets,
               uint32_t& names, MessagePump& pump) {
    std::fill(sa, sa + n, kEmpty);
    uint32_t* backs = buckets.backs();
    forEachLms(sTypes, n, [&](int32_t p) { sa[--backs[text[p]]] = static_cast<uint32_t>(p); });
    induce<true>(text, sa, n, buckets, pump);

    // Every slot is filled now, so only LMS slots carry the mark. Each slot
    // is copied down and kept only if marked, without a branch to mispredict.
    int32_t lmsCount = 0;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t entry = sa[i];
        sa[lmsCount] = entry & ~kLmsMark;
        lmsCount += static_cast<int32_t>(entry >> 31);
    }

    // Each LMS position p keeps its substring's length, then its name, in
    // slot lmsCount + p / 2 (distinct, as LMS positions are not adjacent).
    uint32_t* slots = sa + lmsCount;
    std::fill(slots, sa + n, kEmpty);
    int32_t lastLms = -1;
    forEachLms(sTypes, n, [&](int32_t p) {
        if (lastLms >= 0) slots[lastLms / 2] = static_cast<uint32_t>(p - lastLms + 1);
        lastLms = p;
    });
    if (lastLms >= 0) slots[lastLms / 2] = static_cast<uint32_t>(n - lastLms + 1);

    names = 0;
    int32_t previous = -1;
    uint32_t previousLength = 0;
    for (int32_t k = 0; k < lmsCount; ++k) {
        const int32_t p = static_cast<int32_t>(sa[k]);
        const uint32_t length = slots[p / 2];
        // The last substring ends at the end mark, so it equals no other.
        const bool same = previous >= 0 && length == previousLength && p != lastLms && previous != lastLms &&
                          std::equal(text + p, text + p + length, text + previous);
        if (!same) ++names;
        slots[p / 2] = names - 1;
        previous = p;
        previousLength = length;
    }

    // Gather the names in text order at the end of the array (branch-free:
    // every slot is copied, and the write position moves on past names only).
    for (int32_t from = n - 1, to = n - 1; from >= lmsCount; --from) {
        const uint32_t entry = sa[from];
        sa[to] = entry;
        to -= static_cast<int32_t>(entry != kEmpty);
    }
    return lmsCount;
}

// A reduced text of a few thousand names, nearly all distinct, is sorted
// faster by bucketing its suffixes on their first name and comparing the
// rest inside the few shared buckets than by another level of induction.
// Large buckets or long comparisons (repetitive text) give up, leaving the
// level to the induction; `sa` is then rewritten from scratch.
constexpr int32_t kDirectSortLimit = 1 << 13;   // reduced names
constexpr int32_t kDirectBucketLimit = 128;     // suffixes sharing a first name
constexpr int32_t kDirectStepsPerName = 16;     // names compared, on average

bool sortReducedDirectly(const uint32_t* text, uint32_t* sa, int32_t n, uint32_t alphabet, uint32_t* scratch,
                         size_t scratchWords) {
    if (n > kDirectSortLimit || scratchWords < static_cast<size_t>(alphabet) + 1) return false;
    uint32_t* starts = scratch;
    std::fill(starts, starts + alphabet + 1, 0u);
    for (int32_t i = 0; i < n; ++i) ++starts[text[i] + 1];
    for (uint32_t c = 1; c <= alphabet; ++c) starts[c] += starts[c - 1];
    for (int32_t i = 0; i < n; ++i) sa[starts[text[i]]++] = static_cast<uint32_t>(i);

    int64_t steps = static_cast<int64_t>(n) * kDirectStepsPerName;
    // Suffix a before suffix b, comparing past their shared first name. The
    // last name is that of the substring ending at the end mark, which no
    // other name equals, so two different suffixes differ before either
    // runs past the text, and the scan needs no bounds test.
    auto less = [&](uint32_t a, uint32_t b) {
        uint32_t k = 1;
        while (text[a + k] == text[b + k]) ++k;
        steps -= k;
        return text[a + k] < text[b + k];
    };
    // After the placing loop starts[c] is the end of bucket c.
    uint32_t begin = 0;
    for (uint32_t c = 0; c < alphabet; ++c) {
        const uint32_t end = starts[c];
        if (end - begin > static_cast<uint32_t>(kDirectBucketLimit)) return false;
        for (uint32_t i = begin + 1; i < end; ++i) {
            const uint32_t moving = sa[i];
            uint32_t j = i;
            for (; j > begin && less(moving, sa[j - 1]); --j) sa[j] = sa[j - 1];
            sa[j] = moving;
            if (steps < 0) return false;
        }
        begin = end;
    }
    return true;
}

// Steps 3 and 4: orders the LMS suffixes through the reduced text, then
// induces every suffix from them.
template <class Symbol>
void expand(const Symbol* text, uint32_t* sa, int32_t n, const uint32_t* sTypes, Buckets<Symbol>& buckets,
            bool bucketsInScratch, uint32_t* scratch, size_t scratchWords, int32_t lmsCount, uint32_t names,
            MessagePump& pump) {
    uint32_t* reduced = sa + n - lmsCount;
    if (names < static_cast<uint32_t>(lmsCount)) {
        if (!sortReducedDirectly(reduced, sa, lmsCount, names, scratch, scratchWords))
            sortSuffixes(reduced, sa, lmsCount, names, scratch, scratchWords, pump);
        if (bucketsInScratch) buckets.recount();
    } else
        for (int32_t k = 0; k < lmsCount; ++k) sa[reduced[k]] = static_cast<uint32_t>(k);

    // Reduced suffix k starts at the k-th LMS position.
    int32_t k = 0;
    forEachLms(sTypes, n, [&](int32_t p) { reduced[k++] = static_cast<uint32_t>(p); });
    for (k = 0; k < lmsCount; ++k) sa[k] = reduced[sa[k]];
    std::fill(sa + lmsCount, sa + n, kEmpty);

    // Seed from the largest down: each lands at or above its current slot.
    // Sorted, they come bucket by bucket, so the bucket's back is kept at
    // hand rather than stored and loaded again for each.
    uint32_t* backs = buckets.backs();
    if (lmsCount > 0) {
        Symbol symbol = text[sa[lmsCount - 1]];
        uint32_t back = backs[symbol];
        for (k = lmsCount - 1; k >= 0; --k) {
            const uint32_t p = sa[k];
            sa[k] = kEmpty;
            if (text[p] != symbol) {
                backs[symbol] = back;
                symbol = text[p];
                back = backs[symbol];
            }
            sa[--back] = p;
        }
        backs[symbol] = back;
    }
    induce<false>(text, sa, n, buckets, pump);
}

// Each level keeps its type bits at the front of the scratch area and
// lends the rest to its bucket bounds and to the levels below. The bounds
// of a byte-sized alphabet fit on the stack, where they outlive the
// recursion.
template <class Symbol>
void sortSuffixes(const Symbol* text, uint32_t* sa, int32_t n, uint32_t alphabet, uint32_t* scratch,
                  size_t scratchWords, MessagePump& pump) {
    if (n == 0) return;
    uint32_t* sTypes = scratch;
    classify(text, n, sTypes);
    scratch += typeWords(n);
    scratchWords -= typeWords(n);
    uint32_t smallBuckets[2 * kSmallAlphabet];
    const bool bucketsInScratch = alphabet > kSmallAlphabet;
    Buckets<Symbol> buckets(text, n, alphabet, bucketsInScratch ? scratch : smallBuckets,
                            bucketsInScratch ? scratchWords : 2 * kSmallAlphabet);
    uint32_t names = 0;
    const int32_t lmsCount = reduce(text, sa, n, sTypes, buckets, names, pump);
    expand(text, sa, n, sTypes, buckets, bucketsInScratch, scratch, scratchWords, lmsCount, names, pump);
}

// Turns text[0..n-1] round to start at `start`, through the scratch area
// (which holds at least n bytes) rather than by an in-place cycle walk.
void rotateLeft(uint8_t* text, int32_t n, int32_t start, uint32_t* scratch) {
    uint8_t* spare = reinterpret_cast<uint8_t*>(scratch);
    std::memcpy(spare, text, static_cast<size_t>(start));
    std::memmove(text, text + start, static_cast<size_t>(n - start));
    std::memcpy(text + (n - start), spare, static_cast<size_t>(start));
}

}  // namespace

void sortSuffixesByInducing(const uint8_t* text, int32_t n, uint32_t* suffixes, uint32_t* scratch,
                            size_t scratchWords, MessagePump& pump) {
    sortSuffixes(text, suffixes, n, 256, scratch, scratchWords, pump);
}

void sortDistinctRotations(uint32_t* positions, uint8_t* text, int32_t n, int32_t leastStart, uint32_t* scratch,
                           size_t scratchWords, MessagePump& pump) {
    rotateLeft(text, n, leastStart, scratch);
    sortSuffixesByInducing(text, n, positions, scratch, scratchWords, pump);
    rotateLeft(text, n, n - leastStart, scratch);
    const uint32_t shift = static_cast<uint32_t>(leastStart), un = static_cast<uint32_t>(n);
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t p = positions[i] + shift;
        positions[i] = p < un ? p : p - un;
    }
}

}  // namespace zor
