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
        // of a heap of node numbers ordered by weight.
        auto siftUp = [&](int32_t z) {
            const int32_t node = heap[z];
            const uint32_t w = weight[node];
            while (w < heapWeight[z >> 1]) {
                heap[z] = heap[z >> 1];
                heapWeight[z] = heapWeight[z >> 1];
                z >>= 1;
            }
            heap[z] = node;
            heapWeight[z] = w;
        };
        auto siftDown = [&](int32_t z) {
            const int32_t node = heap[z];
            const uint32_t w = heapWeight[z];
            while (true) {
                int32_t child = z << 1;
                if (child > heapCount) break;
                if (child < heapCount && heapWeight[child + 1] < heapWeight[child]) ++child;
                if (w < heapWeight[child]) break;
                heap[z] = heap[child];
                heapWeight[z] = heapWeight[child];
                z = child;
            }
            heap[z] = node;
            heapWeight[z] = w;
        };
        auto takeTop = [&]() {
            const int32_t top = heap[1];
            heap[1] = heap[heapCount];
            heapWeight[1] = heapWeight[heapCount];
            --heapCount;
            siftDown(1);
            return top;
        };

        for (int32_t i = 1; i <= alphabetSize; ++i) {
            parent[i] = -1;
            heap[++heapCount] = i;
            siftUp(heapCount);
        }
        checkInternal(heapCount < kHeapSize, 2001);

        while (heapCount > 1) {
            int32_t first = takeTop();
            int32_t second = takeTop();
            ++nodeCount;
            parent[first] = parent[second] = nodeCount;
            weight[nodeCount] = joinWeights(weight[first], weight[second]);
            parent[nodeCount] = -1;
            heap[++heapCount] = nodeCount;
            siftUp(heapCount);
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
    int32_t value = 0;
    for (int32_t n = minLength; n <= maxLength; ++n) {
        for (int32_t s = 0; s < alphabetSize; ++s) {
            if (lengths[s] == n) codes[s] = value++;
        }
        value <<= 1;
    }
}

}  // namespace zor
