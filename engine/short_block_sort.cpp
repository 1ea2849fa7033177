// short_block_sort.cpp - sorts the rotations of a short block by direct comparison, when all its rotations differ.
//
// Blocks below the main sort's threshold are the reference's prefix-doubling
// sort, whose fixed passes over the whole block dominate the cost of packing
// many small files. When no two rotations are equal their sorted order is
// unique, so any correct comparison sort yields exactly the same rows, and
// with them the same compressed bytes. Rotations are compared eight bytes at
// a time, big-endian, on a copy of the text repeated past its end. Two cases
// give up and leave the block to the reference sort: a comparison that runs
// through a whole rotation (equal rotations: periodic text, where the order
// of equal rows is the reference algorithm's own), and a total effort above
// a budget (long repeats, where comparisons would grow quadratic).
#include "engine/short_block_sort.h"

#include <algorithm>
#include <cstring>

namespace zor {

namespace {

struct GiveUp {};

struct KeyedRow {
    uint64_t key;
    uint32_t position;
};

inline uint64_t loadBigEndian(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_bswap64(v);
}

// Comparison stretches of 8 bytes allowed per text byte.
constexpr int64_t kBudgetPerByte = 64;

}  // namespace

bool sortShortBlockByComparison(uint32_t* positions, const uint8_t* text, uint8_t* scratch, int32_t n) {
    const int32_t repeated = 2 * n + 16;
    for (int32_t i = 0; i < repeated; i += n) std::memcpy(scratch + i, text, std::min(n, repeated - i));

    // First pass: every rotation's first eight bytes as one key, so most
    // rows are placed by integer comparisons alone.
    auto* rows = reinterpret_cast<KeyedRow*>(scratch + ((repeated + 7) & ~7));
    for (int32_t i = 0; i < n; ++i) rows[i] = {loadBigEndian(scratch + i), static_cast<uint32_t>(i)};
    std::sort(rows, rows + n, [](const KeyedRow& a, const KeyedRow& b) { return a.key < b.key; });
    for (int32_t i = 0; i < n; ++i) positions[i] = rows[i].position;

    // Second pass: rows that share their first eight bytes, compared further on.
    int64_t budget = kBudgetPerByte * n;
    auto less = [&](uint32_t a, uint32_t b) {
        const uint8_t* pa = scratch + a;
        const uint8_t* pb = scratch + b;
        for (int32_t k = 8; k < n; k += 8) {
            const uint64_t x = loadBigEndian(pa + k), y = loadBigEndian(pb + k);
            if (x != y) return x < y;
            if (--budget < 0) throw GiveUp{};
        }
        throw GiveUp{};  // equal rotations
    };
    try {
        for (int32_t lo = 0; lo < n;) {
            int32_t hi = lo + 1;
            while (hi < n && rows[hi].key == rows[lo].key) ++hi;
            if (hi - lo > 1) {
                if (n <= 8) return false;  // equal first eight bytes of a short text: equal rotations
                std::sort(positions + lo, positions + hi, less);
            }
            lo = hi;
        }
    } catch (const GiveUp&) {
        return false;
    }
    return true;
}

}  // namespace zor
