// huffman_code_lengths_test.cpp - the code-length builder and canonical codes against plain reference versions.
//
// The stream's bytes depend on exactly which of several equally good trees
// is built, so the optimised builder must match a straightforward one
// (heap removal by sift-down from the root) on every input, and the
// canonical codes must match those assigned one length at a time.
#include "engine/huffman_code_lengths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/encoder_state.h"

namespace zor {
namespace {

// Heap of node numbers by weight (frequency << 8 | subtree depth), sentinel
// at slot 0, removal by moving the last entry to the root and sifting it
// down with strict comparisons; halve the weights and retry while too long.
std::vector<uint8_t> referenceLengths(const std::vector<int32_t>& frequencies, int32_t maxLength) {
    const int32_t n = static_cast<int32_t>(frequencies.size());
    std::vector<int32_t> heap(n + 2), parent(2 * n + 2), depth(2 * n + 2);
    std::vector<uint32_t> weight(2 * n + 2);
    std::vector<uint8_t> lengths(n);
    for (int32_t i = 0; i < n; ++i) weight[i + 1] = static_cast<uint32_t>(std::max(frequencies[i], 1)) << 8;
    while (true) {
        int32_t count = 0, nodes = n;
        heap[0] = 0;
        weight[0] = 0;
        auto up = [&](int32_t z) {
            int32_t node = heap[z];
            while (weight[node] < weight[heap[z >> 1]]) {
                heap[z] = heap[z >> 1];
                z >>= 1;
            }
            heap[z] = node;
        };
        auto down = [&](int32_t z) {
            int32_t node = heap[z];
            while (true) {
                int32_t child = z << 1;
                if (child > count) break;
                if (child < count && weight[heap[child + 1]] < weight[heap[child]]) ++child;
                if (weight[node] < weight[heap[child]]) break;
                heap[z] = heap[child];
                z = child;
            }
            heap[z] = node;
        };
        auto pop = [&]() {
            int32_t top = heap[1];
            heap[1] = heap[count--];
            down(1);
            return top;
        };
        for (int32_t i = 1; i <= n; ++i) {
            heap[++count] = i;
            up(count);
        }
        while (count > 1) {
            int32_t a = pop(), b = pop();
            ++nodes;
            parent[a] = parent[b] = nodes;
            uint32_t d = 1 + std::max(weight[a] & 0xFFu, weight[b] & 0xFFu);
            weight[nodes] = ((weight[a] & 0xFFFFFF00u) + (weight[b] & 0xFFFFFF00u)) | d;
            heap[++count] = nodes;
            up(count);
        }
        depth[nodes] = 0;
        for (int32_t k = nodes - 1; k >= 1; --k) depth[k] = depth[parent[k]] + 1;
        bool tooLong = false;
        for (int32_t i = 1; i <= n; ++i) {
            lengths[i - 1] = static_cast<uint8_t>(depth[i]);
            tooLong |= depth[i] > maxLength;
        }
        if (!tooLong) return lengths;
        for (int32_t i = 1; i <= n; ++i) weight[i] = (1 + (weight[i] >> 8) / 2) << 8;
    }
}

std::vector<int32_t> referenceCodes(const std::vector<uint8_t>& lengths) {
    std::vector<int32_t> codes(lengths.size(), -1);
    int32_t value = 0;
    for (int32_t n = 1; n <= 32; ++n) {
        for (size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] == n) codes[s] = value++;
        }
        value <<= 1;
    }
    return codes;
}

// Frequency shapes that stress the tie rules and the length limit: few
// distinct values (many equal weights), many zeros, and steep geometric or
// Fibonacci-like runs that force the halving retries. Totals stay below
// 2^24, as those of a block do.
std::vector<int32_t> randomFrequencies(std::mt19937& rng, int32_t n, int shape) {
    std::vector<int32_t> f(n);
    auto pick = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    switch (shape) {
        case 0:  // few distinct values
            for (auto& v : f) v = pick(0, 3) * pick(0, 2);
            break;
        case 1:  // mostly unused symbols, a few heavy ones
            for (auto& v : f) v = pick(0, 9) < 8 ? 0 : pick(1, 5000);
            break;
        case 2:  // text-like spread
            for (auto& v : f) v = pick(0, 1000) * pick(0, 1000) / 1000;
            break;
        case 3:  // geometric, long codes
            for (auto& v : f) v = 1 << pick(0, 14);
            break;
        default: {  // Fibonacci in shuffled order, past any limit
            int32_t a = 1, b = 1;
            for (auto& v : f) {
                v = a;
                int32_t next = std::min(a + b, 1 << 15);
                a = b;
                b = next;
            }
            std::shuffle(f.begin(), f.end(), rng);
            break;
        }
    }
    return f;
}

TEST(CodeLengths, MatchTheReferenceBuilderOnRandomFrequenciesOneOrTwoTablesAtATime) {
    std::mt19937 rng(20261209);
    int retried = 0;
    for (int32_t n = 3; n <= kMaxAlphabet; ++n) {
        for (int shape = 0; shape < 5; ++shape) {
            for (int32_t maxLength : {17, 20}) {
                for (int rep = 0; rep < 3; ++rep) {
                    std::vector<int32_t> f = randomFrequencies(rng, n, shape);
                    std::vector<uint8_t> expected = referenceLengths(f, maxLength);
                    std::vector<uint8_t> got(n);
                    makeCodeLengths(got.data(), f.data(), n, maxLength);
                    ASSERT_EQ(got, expected) << "n=" << n << " shape=" << shape << " limit=" << maxLength;
                    if (referenceLengths(f, 64) != expected) ++retried;

                    // One to six tables at once (as the table choice builds them), the others of any shape.
                    const int32_t count = 1 + (n + shape + rep) % 6;
                    std::vector<std::vector<int32_t>> tables = {f};
                    while (static_cast<int32_t>(tables.size()) < count)
                        tables.push_back(randomFrequencies(rng, n, (shape + static_cast<int>(tables.size())) % 5));
                    std::vector<std::vector<uint8_t>> built(count, std::vector<uint8_t>(n));
                    std::vector<uint8_t*> lengths;
                    std::vector<const int32_t*> frequencies;
                    for (int32_t t = 0; t < count; ++t) {
                        lengths.push_back(built[t].data());
                        frequencies.push_back(tables[t].data());
                    }
                    makeCodeLengthsOfTables(lengths.data(), frequencies.data(), count, n, maxLength);
                    for (int32_t t = 0; t < count; ++t)
                        ASSERT_EQ(built[t], referenceLengths(tables[t], maxLength))
                            << "table " << t << " of " << count << ", n=" << n << " shape=" << shape;
                }
            }
        }
    }
    // The comparison covers the halving retries, not only first trees.
    EXPECT_GT(retried, 1000);
}

TEST(CanonicalCodes, MatchCodesAssignedOneLengthAtATime) {
    std::mt19937 rng(7);
    for (int32_t n = 3; n <= kMaxAlphabet; n += 5) {
        for (int shape = 0; shape < 5; ++shape) {
            std::vector<int32_t> f = randomFrequencies(rng, n, shape);
            std::vector<uint8_t> lengths(n);
            makeCodeLengths(lengths.data(), f.data(), n, kMaxCodeLength);
            const int32_t lo = *std::min_element(lengths.begin(), lengths.end());
            const int32_t hi = *std::max_element(lengths.begin(), lengths.end());
            std::vector<int32_t> codes(n, -1);
            assignCodes(codes.data(), lengths.data(), lo, hi, n);
            ASSERT_EQ(codes, referenceCodes(lengths)) << "n=" << n << " shape=" << shape;
        }
    }
}

}  // namespace
}  // namespace zor
