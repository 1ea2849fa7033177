// table_selection.cpp - chooses the block's Huffman tables and the table of every 50-symbol group.
//
// Method. The number of tables grows with the symbol count (2 for tiny
// blocks, 6 from 2400 symbols on). Each table starts as a crude code that
// is cheap (length 0) on one slice of the alphabet holding about an equal
// share of the symbols, and expensive (15) elsewhere. Four refinement
// passes follow: every group of 50 symbols picks the table that codes it in
// the fewest bits (ties go to the lowest table number), the symbols of the
// groups are counted per chosen table, and each table's code lengths are
// rebuilt from its own counts. The last pass's choices are written. A pass
// rebuilds only the tables that gained or lost a group, and the passes stop
// once no group changes table: the later ones would repeat it exactly.
#include <algorithm>
#include <cstring>

#include "engine/block_encoder.h"
#include "engine/huffman_code_lengths.h"

namespace zor {

namespace {

constexpr uint8_t kCheap = 0;
constexpr uint8_t kExpensive = 15;
constexpr int32_t kRefinementPasses = 4;

int32_t tableCountFor(int32_t symbolCount) {
    if (symbolCount < 200) return 2;
    if (symbolCount < 600) return 3;
    if (symbolCount < 1200) return 4;
    if (symbolCount < 2400) return 5;
    return 6;
}

// All tables' lengths of one symbol in one word, table t in the 10 bits
// from bit 10t: a group costs at most 50 * 20 < 1024 bits in any table, so
// one 64-bit addition per symbol sums every table's cost without carries
// between the fields.
constexpr int32_t kFieldBits = 10;
constexpr uint64_t kFieldMask = (uint64_t{1} << kFieldBits) - 1;
static_assert(kGroupSize * kMaxCodeLength <= static_cast<int32_t>(kFieldMask));
static_assert(kMaxTables * kFieldBits <= 64);

void packLengths(uint64_t* packed, const EncoderState& s, int32_t alphabetSize) {
    for (int32_t v = 0; v < alphabetSize; ++v) {
        uint64_t word = 0;
        for (int32_t t = 0; t < s.tableCount; ++t) word |= uint64_t{s.codeLengths[t][v]} << (kFieldBits * t);
        packed[v] = word;
    }
}

// Chooses the cheapest table for the symbols g..end-1 (lowest number on ties).
int32_t cheapestTable(const uint64_t* packed, const uint16_t* symbols, int32_t g, int32_t end, int32_t tableCount) {
    // Two sums, so that consecutive additions do not wait for each other.
    uint64_t even = 0, odd = 0;
    int32_t i = g;
    for (; i + 1 < end; i += 2) {
        even += packed[symbols[i]];
        odd += packed[symbols[i + 1]];
    }
    if (i < end) even += packed[symbols[i]];
    const uint64_t cost = even + odd;
    int32_t best = 0;
    uint64_t bestCost = cost & kFieldMask;
    for (int32_t t = 1; t < tableCount; ++t) {
        const uint64_t c = (cost >> (kFieldBits * t)) & kFieldMask;
        if (c < bestCost) {
            bestCost = c;
            best = t;
        }
    }
    return best;
}

}  // namespace

void makeInitialTables(EncoderState& s, int32_t alphabetSize) {
    const int32_t tables = s.tableCount;
    int32_t remaining = s.symbolCount;
    int32_t start = 0;
    for (int32_t part = tables; part >= 1; --part) {
        int32_t target = remaining / part;
        int32_t end = start - 1;
        int32_t sum = 0;
        while (sum < target && end < alphabetSize - 1) {
            ++end;
            sum += s.symbolFrequency[end];
        }
        // Alternate slices give back their last symbol, so that the
        // rounding does not always favour the same side.
        if (end > start && part != tables && part != 1 && ((tables - part) % 2 == 1)) {
            sum -= s.symbolFrequency[end];
            --end;
        }
        uint8_t* lengths = s.codeLengths[part - 1];
        for (int32_t v = 0; v < alphabetSize; ++v) lengths[v] = (v >= start && v <= end) ? kCheap : kExpensive;
        remaining -= sum;
        start = end + 1;
    }
}

// A table with the same groups as in the previous pass has the same counts
// and so already holds the lengths this pass would build.
void chooseTables(EncoderState& s) {
    const int32_t alphabetSize = s.usedCount + 2;
    s.tableCount = tableCountFor(s.symbolCount);
    makeInitialTables(s, alphabetSize);

    uint64_t packed[kMaxAlphabet];
    for (int32_t pass = 0; pass < kRefinementPasses; ++pass) {
        packLengths(packed, s, alphabetSize);
        bool changed[kMaxTables] = {};
        s.selectorCount = 0;
        for (int32_t g = 0; g < s.symbolCount; g += kGroupSize) {
            const int32_t end = std::min(g + kGroupSize, s.symbolCount);
            const uint8_t table = static_cast<uint8_t>(cheapestTable(packed, s.symbols, g, end, s.tableCount));
            uint8_t& selector = s.selectors[s.selectorCount++];
            if (pass > 0 && selector != table) changed[selector] = changed[table] = true;
            selector = table;
        }
        if (pass == 0) std::fill(changed, changed + s.tableCount, true);
        if (std::none_of(changed, changed + s.tableCount, [](bool c) { return c; })) break;

        for (int32_t t = 0; t < s.tableCount; ++t) {
            if (changed[t]) std::fill(s.tableFrequency[t], s.tableFrequency[t] + alphabetSize, 0);
        }
        for (int32_t n = 0, g = 0; n < s.selectorCount; ++n, g += kGroupSize) {
            if (!changed[s.selectors[n]]) continue;
            int32_t* counts = s.tableFrequency[s.selectors[n]];
            const int32_t end = std::min(g + kGroupSize, s.symbolCount);
            for (int32_t i = g; i < end; ++i) ++counts[s.symbols[i]];
        }
        uint8_t* lengths[kMaxTables];
        const int32_t* counts[kMaxTables];
        int32_t rebuilt = 0;
        for (int32_t t = 0; t < s.tableCount; ++t) {
            if (!changed[t]) continue;
            lengths[rebuilt] = s.codeLengths[t];
            counts[rebuilt++] = s.tableFrequency[t];
        }
        makeCodeLengthsOfTables(lengths, counts, rebuilt, alphabetSize, kMaxCodeLength);
    }
}

}  // namespace zor
