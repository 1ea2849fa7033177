// table_selection.cpp - chooses the block's Huffman tables and the table of every 50-symbol group.
//
// Method. The number of tables grows with the symbol count (2 for tiny
// blocks, 6 from 2400 symbols on). Each table starts as a crude code that
// is cheap (length 0) on one slice of the alphabet holding about an equal
// share of the symbols, and expensive (15) elsewhere. Four refinement
// passes follow: every group of 50 symbols picks the table that codes it in
// the fewest bits (ties go to the lowest table number), the symbols of the
// groups are counted per chosen table, and each table's code lengths are
// rebuilt from its own counts. The last pass's choices are written.
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

// Chooses the cheapest table for the symbols g..end-1 (lowest number on ties).
int32_t cheapestTable(const EncoderState& s, int32_t g, int32_t end) {
    uint32_t cost[kMaxTables] = {};
    const uint16_t* symbols = s.symbols;
    if (s.tableCount == kMaxTables && end - g == kGroupSize) {
        // Two 16-bit sums per 32-bit addition; a group costs at most 50 * 20.
        uint32_t cost01 = 0, cost23 = 0, cost45 = 0;
        for (int32_t i = g; i < g + kGroupSize; ++i) {
            const uint32_t* packed = s.packedLengths[symbols[i]];
            cost01 += packed[0];
            cost23 += packed[1];
            cost45 += packed[2];
        }
        cost[0] = cost01 & 0xFFFF;
        cost[1] = cost01 >> 16;
        cost[2] = cost23 & 0xFFFF;
        cost[3] = cost23 >> 16;
        cost[4] = cost45 & 0xFFFF;
        cost[5] = cost45 >> 16;
    } else {
        for (int32_t i = g; i < end; ++i) {
            uint16_t symbol = symbols[i];
            for (int32_t t = 0; t < s.tableCount; ++t) cost[t] += s.codeLengths[t][symbol];
        }
    }
    int32_t best = -1;
    uint32_t bestCost = 999999999;
    for (int32_t t = 0; t < s.tableCount; ++t) {
        if (cost[t] < bestCost) {
            bestCost = cost[t];
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

void chooseTables(EncoderState& s) {
    const int32_t alphabetSize = s.usedCount + 2;
    for (auto& lengths : s.codeLengths) std::fill(lengths, lengths + alphabetSize, kExpensive);
    s.tableCount = tableCountFor(s.symbolCount);
    makeInitialTables(s, alphabetSize);

    for (int32_t pass = 0; pass < kRefinementPasses; ++pass) {
        for (int32_t t = 0; t < s.tableCount; ++t) std::fill(s.tableFrequency[t], s.tableFrequency[t] + alphabetSize, 0);
        if (s.tableCount == kMaxTables) {
            for (int32_t v = 0; v < alphabetSize; ++v) {
                s.packedLengths[v][0] = (uint32_t{s.codeLengths[1][v]} << 16) | s.codeLengths[0][v];
                s.packedLengths[v][1] = (uint32_t{s.codeLengths[3][v]} << 16) | s.codeLengths[2][v];
                s.packedLengths[v][2] = (uint32_t{s.codeLengths[5][v]} << 16) | s.codeLengths[4][v];
            }
        }

        s.selectorCount = 0;
        for (int32_t g = 0; g < s.symbolCount; g += kGroupSize) {
            int32_t end = std::min(g + kGroupSize, s.symbolCount);
            int32_t table = cheapestTable(s, g, end);
            s.selectors[s.selectorCount++] = static_cast<uint8_t>(table);
            int32_t* counts = s.tableFrequency[table];
            for (int32_t i = g; i < end; ++i) ++counts[s.symbols[i]];
        }

        for (int32_t t = 0; t < s.tableCount; ++t)
            makeCodeLengths(s.codeLengths[t], s.tableFrequency[t], alphabetSize, kMaxCodeLength);
    }
}

}  // namespace zor
