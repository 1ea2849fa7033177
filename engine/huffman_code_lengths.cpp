// huffman_code_lengths.cpp - length-limited Huffman code lengths and canonical codes.
//
// Method. The classic Huffman construction with a binary min-heap: the two
// lightest nodes are joined until one tree remains, and a symbol's code
// length is its leaf's depth. Each weight carries the subtree depth in its
// low 8 bits so that, among equal frequencies, shallower subtrees sort
// first and the tree stays flat. If any length exceeds the limit, every
// leaf weight is roughly halved (w -> 1 + w/2), which flattens the
// frequency distribution, and the tree is built again until the limit holds.
// The exact heap discipline (strict comparisons, insertion order) fixes
// which of several equally good trees is built, and so the stream's bytes.
#include "engine/huffman_code_lengths.h"

#include <algorithm>

#include "engine/encoder_state.h"
#include "engine/internal_error.h"

namespace zor {

namespace {

constexpr int32_t kHeapSize = kMaxAlphabet + 2;
constexpr int32_t kNodeCount = kMaxAlphabet * 2;
constexpr int32_t kLengthSlots = 32;  // codes are 32-bit numbers: no code is longer than 31 bits

inline uint32_t joinWeights(uint32_t a, uint32_t b) {
    uint32_t depth = 1 + std::max(a & 0xFFu, b & 0xFFu);
    return ((a & 0xFFFFFF00u) + (b & 0xFFFFFF00u)) | depth;
}

}  // namespace

void makeCodeLengths(uint8_t* lengths, const int32_t* frequencies, int32_t alphabetSize, int32_t maxLength) {
    int32_t heap[kHeapSize];
    uint32_t heapWeight[kHeapSize];
    uint32_t weight[kNodeCount];
    int32_t parent[kNodeCount];
    int32_t depth[kNodeCount];

    for (int32_t i = 0; i < alphabetSize; ++i)
        weight[i + 1] = static_cast<uint32_t>(std::max(frequencies[i], 1)) << 8;

    while (true) {
        int32_t heapCount = 0;
        int32_t nodeCount = alphabetSize;
        // Entry 0 is a sentinel lighter than every node, so sifting up needs no bounds test.
        heap[0] = 0;
        heapWeight[0] = 0;
        weight[0] = 0;
        parent[0] = -2;

        // Each heap slot keeps its node's weight beside it, which spares the
        // comparisons a dependent load; the moves and comparisons are those
        // of a heap of node numbers ordered by weight. siftUp puts `node`
        // (weight w) at slot z or above it, moving heavier entries down.
        auto siftUp = [&](int32_t z, int32_t node, uint32_t w) {
            while (w < heapWeight[z >> 1]) {
                heap[z] = heap[z >> 1];
                heapWeight[z] = heapWeight[z >> 1];
                z >>= 1;
            }
            heap[z] = node;
            heapWeight[z] = w;
        };
        // Removal moves the hole at the root down the path of lighter
        // children (the left one on ties) to the bottom, puts the last
        // entry there and sifts it up. The path's weights never decrease,
        // so the entry lands below the last one not heavier than itself:
        // the place a sift-down from the root with strict comparisons
        // finds, with half the comparisons. The slot past the last entry
        // holds the heaviest weight, so a lone left child is always taken.
        auto takeTop = [&]() {
            const int32_t top = heap[1];
            const int32_t last = heap[heapCount];
            const uint32_t lastWeight = heapWeight[heapCount];
            heapWeight[heapCount] = 0xFFFFFFFFu;
            --heapCount;
            int32_t z = 1;
            int32_t child = 2;
            while (child <= heapCount) {
                child += heapWeight[child + 1] < heapWeight[child] ? 1 : 0;
                heap[z] = heap[child];
                heapWeight[z] = heapWeight[child];
                z = child;
                child = z << 1;
            }
            siftUp(z, last, lastWeight);
            return top;
        };

        for (int32_t i = 1; i <= alphabetSize; ++i) {
            parent[i] = -1;
            ++heapCount;
            siftUp(heapCount, i, weight[i]);
        }
        checkInternal(heapCount < kHeapSize, 2001);

        while (heapCount > 1) {
            int32_t first = takeTop();
            int32_t second = takeTop();
            ++nodeCount;
            parent[first] = parent[second] = nodeCount;
            weight[nodeCount] = joinWeights(weight[first], weight[second]);
            parent[nodeCount] = -1;
            ++heapCount;
            siftUp(heapCount, nodeCount, weight[nodeCount]);
        }
        checkInternal(nodeCount < kNodeCount, 2002);

        // Every node is made after its children, so one pass down from the
        // root (the last node) gives each node its depth.
        depth[nodeCount] = 0;
        for (int32_t k = nodeCount - 1; k >= 1; --k) depth[k] = depth[parent[k]] + 1;
        bool tooLong = false;
        for (int32_t i = 1; i <= alphabetSize; ++i) {
            lengths[i - 1] = static_cast<uint8_t>(depth[i]);
            if (depth[i] > maxLength) tooLong = true;
        }
        if (!tooLong) return;

        for (int32_t i = 1; i <= alphabetSize; ++i) {
            uint32_t w = weight[i] >> 8;
            weight[i] = (1 + w / 2) << 8;
        }
    }
}

void assignCodes(int32_t* codes, const uint8_t* lengths, int32_t minLength, int32_t maxLength, int32_t alphabetSize) {
    // The first code of each length follows from how many codes are
    // shorter; one pass then hands out consecutive codes per length.
    // Symbols whose length lies outside the bounds keep their codes.
    minLength = std::max(minLength, 0);
    maxLength = std::min(maxLength, kLengthSlots - 1);
    auto inBounds = [&](int32_t n) { return n >= minLength && n <= maxLength; };
    int32_t next[kLengthSlots] = {};
    for (int32_t s = 0; s < alphabetSize; ++s) {
        if (inBounds(lengths[s])) ++next[lengths[s]];
    }
    int32_t value = 0;
    for (int32_t n = minLength; n <= maxLength; ++n) {
        const int32_t count = next[n];
        next[n] = value;
        value = (value + count) << 1;
    }
    for (int32_t s = 0; s < alphabetSize; ++s) {
        if (inBounds(lengths[s])) codes[s] = next[lengths[s]]++;
    }
}

}  // namespace zor
