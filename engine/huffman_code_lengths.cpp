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
#include <array>
#include <bit>

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

// One build of the tree for given leaf weights: the heap, the nodes made so
// far and their parents.
class TreeBuild {
public:
    // Slots past the last entry hold kAbsent, heavier than any node, up to
    // twice the entry count: a removal then walks a number of levels known
    // from the count alone, and a missing child is never taken.
    static constexpr uint32_t kAbsent = 0xFFFFFFFFu;

    // Puts the leaves 1..alphabetSize (weights in weight[1..]) into the heap in symbol order.
    void start(const uint32_t* leafWeights, int32_t alphabetSize) {
        alphabetSize_ = alphabetSize;
        std::fill(heapWeight_, heapWeight_ + 2 * alphabetSize + 2, kAbsent);
        // Entry 0 is a sentinel lighter than every node, so sifting up needs no bounds test.
        heap_[0] = 0;
        heapWeight_[0] = 0;
        weight_[0] = 0;
        parent_[0] = -2;
        heapCount_ = 0;
        nodeCount_ = alphabetSize;
        for (int32_t i = 1; i <= alphabetSize; ++i) {
            weight_[i] = leafWeights[i];
            parent_[i] = -1;
            ++heapCount_;
            siftUp(heapCount_, i, weight_[i]);
        }
        checkInternal(heapCount_ < kHeapSize, 2001);
    }

    bool done() const { return heapCount_ <= 1; }

    // Takes the lightest entry of each of the trees, whose heaps hold equally
    // many entries: with several trees the descents go in step, so that
    // each one's waits for its loads overlap the others'.
    //
    // Removal moves the hole at the root down the path of lighter children
    // (the left one on ties) to the bottom, puts the last entry there and
    // sifts it up. The path's weights never decrease, so the entry lands
    // below the last one not heavier than itself: the place a sift-down
    // from the root with strict comparisons finds, with half the comparisons.
    template <std::size_t N>
    static std::array<int32_t, N> takeLightest(const std::array<TreeBuild*, N>& trees) {
        std::array<int32_t, N> top, last, z;
        std::array<uint32_t, N> lastWeight;
        for (std::size_t k = 0; k < N; ++k) {
            TreeBuild& t = *trees[k];
            top[k] = t.heap_[1];
            last[k] = t.heap_[t.heapCount_];
            lastWeight[k] = t.heapWeight_[t.heapCount_];
            t.heapWeight_[t.heapCount_] = kAbsent;
            --t.heapCount_;
            z[k] = 1;
        }
        const int32_t count = trees[0]->heapCount_;
        if (count == 0) return top;
        // Every level above the lowest is full; there the hole may have no child.
        const int32_t levels = 31 - std::countl_zero(static_cast<uint32_t>(count));
        for (int32_t level = 1; level < levels; ++level) {
            for (std::size_t k = 0; k < N; ++k) z[k] = trees[k]->moveLighterChildUp(z[k]);
        }
        if (levels > 0) {
            for (std::size_t k = 0; k < N; ++k) {
                const int32_t below = trees[k]->moveLighterChildUp(z[k]);
                if (2 * z[k] <= count) z[k] = below;  // else the move copied an absent slot, which siftUp overwrites
            }
        }
        for (std::size_t k = 0; k < N; ++k) trees[k]->siftUp(z[k], last[k], lastWeight[k]);
        return top;
    }

    void join(int32_t first, int32_t second) {
        ++nodeCount_;
        parent_[first] = parent_[second] = nodeCount_;
        weight_[nodeCount_] = joinWeights(weight_[first], weight_[second]);
        parent_[nodeCount_] = -1;
        ++heapCount_;
        siftUp(heapCount_, nodeCount_, weight_[nodeCount_]);
    }

    // The leaves' depths as lengths; false when one exceeds maxLength.
    bool lengths(uint8_t* lengths, int32_t maxLength) {
        checkInternal(nodeCount_ < kNodeCount, 2002);
        // Every node is made after its children, so one pass down from the
        // root (the last node) gives each node its depth.
        int32_t depth[kNodeCount];
        depth[nodeCount_] = 0;
        for (int32_t k = nodeCount_ - 1; k >= 1; --k) depth[k] = depth[parent_[k]] + 1;
        bool fits = true;
        for (int32_t i = 1; i <= alphabetSize_; ++i) {
            lengths[i - 1] = static_cast<uint8_t>(depth[i]);
            if (depth[i] > maxLength) fits = false;
        }
        return fits;
    }

private:
    // Each heap slot keeps its node's weight beside it, which spares the
    // comparisons a dependent load; the moves and comparisons are those of
    // a heap of node numbers ordered by weight. siftUp puts `node` (weight
    // w) at slot z or above it, moving heavier entries down.
    void siftUp(int32_t z, int32_t node, uint32_t w) {
        while (w < heapWeight_[z >> 1]) {
            heap_[z] = heap_[z >> 1];
            heapWeight_[z] = heapWeight_[z >> 1];
            z >>= 1;
        }
        heap_[z] = node;
        heapWeight_[z] = w;
    }

    int32_t moveLighterChildUp(int32_t z) {
        const int32_t child = 2 * z + (heapWeight_[2 * z + 1] < heapWeight_[2 * z] ? 1 : 0);
        heap_[z] = heap_[child];
        heapWeight_[z] = heapWeight_[child];
        return child;
    }

    int32_t heap_[2 * kHeapSize];
    uint32_t heapWeight_[2 * kHeapSize];
    uint32_t weight_[kNodeCount];
    int32_t parent_[kNodeCount];
    int32_t heapCount_ = 0;
    int32_t nodeCount_ = 0;
    int32_t alphabetSize_ = 0;
};

// Builds the trees to the end, with their removals in step.
template <std::size_t N>
void joinAll(const std::array<TreeBuild*, N>& trees) {
    while (!trees[0]->done()) {
        const std::array<int32_t, N> first = TreeBuild::takeLightest<N>(trees);
        const std::array<int32_t, N> second = TreeBuild::takeLightest<N>(trees);
        for (std::size_t k = 0; k < N; ++k) trees[k]->join(first[k], second[k]);
    }
}

// Leaf weights in weights[1..alphabetSize].
void leafWeights(uint32_t* weights, const int32_t* frequencies, int32_t alphabetSize) {
    for (int32_t i = 0; i < alphabetSize; ++i) weights[i + 1] = static_cast<uint32_t>(std::max(frequencies[i], 1)) << 8;
}

// A first tree too long: the weights are roughly halved (w -> 1 + w/2) and
// the tree built again, until its lengths fit.
void rebuildUntilFits(uint8_t* lengths, uint32_t* weights, int32_t alphabetSize, int32_t maxLength) {
    TreeBuild tree;
    do {
        for (int32_t i = 1; i <= alphabetSize; ++i) weights[i] = (1 + (weights[i] >> 8) / 2) << 8;
        tree.start(weights, alphabetSize);
        joinAll<1>({&tree});
    } while (!tree.lengths(lengths, maxLength));
}

// A build is a chain of dependent loads; several independent ones in step
// keep the processor busy while each waits. All take alphabetSize - 1
// joins. A table whose first tree is too long goes on alone from there.
template <std::size_t N>
void makeCodeLengthsTogether(uint8_t* const* lengths, const int32_t* const* frequencies, int32_t alphabetSize,
                             int32_t maxLength) {
    std::array<std::array<uint32_t, kMaxAlphabet + 1>, N> weights;
    std::array<TreeBuild, N> trees;
    std::array<TreeBuild*, N> all;
    for (std::size_t k = 0; k < N; ++k) {
        leafWeights(weights[k].data(), frequencies[k], alphabetSize);
        trees[k].start(weights[k].data(), alphabetSize);
        all[k] = &trees[k];
    }
    joinAll<N>(all);
    for (std::size_t k = 0; k < N; ++k) {
        if (!trees[k].lengths(lengths[k], maxLength)) rebuildUntilFits(lengths[k], weights[k].data(), alphabetSize, maxLength);
    }
}

}  // namespace

void makeCodeLengths(uint8_t* lengths, const int32_t* frequencies, int32_t alphabetSize, int32_t maxLength) {
    makeCodeLengthsTogether<1>(&lengths, &frequencies, alphabetSize, maxLength);
}

void makeCodeLengthsOfTables(uint8_t* const* lengths, const int32_t* const* frequencies, int32_t count,
                             int32_t alphabetSize, int32_t maxLength) {
    // Three in step gain a little over two; one alone gains nothing.
    while (count > 0) {
        int32_t step = 1;
        if (count == 1) {
            makeCodeLengthsTogether<1>(lengths, frequencies, alphabetSize, maxLength);
        } else if (count == 2 || count == 4) {
            makeCodeLengthsTogether<2>(lengths, frequencies, alphabetSize, maxLength);
            step = 2;
        } else {
            makeCodeLengthsTogether<3>(lengths, frequencies, alphabetSize, maxLength);
            step = 3;
        }
        lengths += step;
        frequencies += step;
        count -= step;
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
