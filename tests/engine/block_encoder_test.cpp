// block_encoder_test.cpp - run-length stage, move-to-front and zero runs, Huffman lengths and codes, table choice.
#include "engine/block_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/huffman_code_lengths.h"
#include "tests/engine/encoder_bench.h"

namespace zor {
namespace {

using Bytes = std::vector<uint8_t>;

// A record fed the way the streaming layer feeds it.
struct EncoderBench : testing::EncoderBench {
    EncoderBench() {
        startRun(*state);
        startBlock(*state);
    }

    // Adds bytes while the block has room; returns how many were taken.
    size_t feed(const Bytes& input) { return addBytes(*state, input.data(), input.size()); }

    Bytes text() const { return {state->blockText, state->blockText + state->blockLength}; }
};

Bytes run(uint8_t byte, size_t length) { return Bytes(length, byte); }
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

uint32_t crcOf(const Bytes& bytes) { return crcFinish(crcUpdate(kCrcStart, bytes.data(), bytes.size())); }

struct RunCase {
    const char* name;
    Bytes input;
    Bytes text;
};

class RunLengthStage : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunLengthStage, StoresRunsAsBytesOrFourPlusCount) {
    EncoderBench bench;
    ASSERT_EQ(bench.feed(GetParam().input), GetParam().input.size());
    flushRun(*bench.state);
    EXPECT_EQ(bench.text(), GetParam().text);
    EXPECT_TRUE(runIsEmpty(*bench.state));
    // The CRC covers the input, not the stored text.
    EXPECT_EQ(crcFinish(bench.state->blockCrc), crcOf(GetParam().input));
    // Count bytes are byte values of the block too.
    for (int v = 0; v < 256; ++v) {
        bool inText = std::find(GetParam().text.begin(), GetParam().text.end(), v) != GetParam().text.end();
        EXPECT_EQ(bench.state->usedBytes[v] != 0, inText) << "byte value " << v;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RunLengthStage,
    ::testing::Values(RunCase{"Single", run('a', 1), run('a', 1)}, RunCase{"Three", run('a', 3), run('a', 3)},
                      RunCase{"Four", run('a', 4), run('a', 4) + Bytes{0}},
                      RunCase{"Max", run('a', 255), run('a', 4) + Bytes{251}},
                      RunCase{"MaxPlusOne", run('a', 256), run('a', 4) + Bytes{251, 'a'}},
                      RunCase{"MaxPlusFour", run('a', 259), run('a', 4) + Bytes{251} + run('a', 4) + Bytes{0}},
                      RunCase{"TwoMax", run('a', 510), run('a', 4) + Bytes{251} + run('a', 4) + Bytes{251}},
                      RunCase{"Mixed", Bytes{'x'} + run('b', 5) + Bytes{'x', 'y'} + run(0, 4),
                              Bytes{'x'} + run('b', 4) + Bytes{1, 'x', 'y'} + run(0, 5)},
                      RunCase{"Run251", run(251, 255), run(251, 5)}),
    [](const auto& info) { return std::string(info.param.name); });

// The input may arrive in pieces of any size: runs left open by one piece
// (also past 255 bytes) and closed by a later one give the same text and CRC.
TEST(RunLengthStage, InputInPiecesGivesTheSameTextAndCrc) {
    std::mt19937 rng(5);
    Bytes input;
    for (int i = 0; i < 400; ++i) {
        const int length = std::uniform_int_distribution<int>(0, 9)(rng) == 0 ? 600 : (i % 7) + 1;
        input = input + run(static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 3)(rng)), length);
    }
    EncoderBench whole;
    ASSERT_EQ(whole.feed(input), input.size());
    flushRun(*whole.state);

    EncoderBench pieces;
    for (size_t at = 0; at < input.size();) {
        const size_t length = std::min<size_t>(input.size() - at, std::uniform_int_distribution<size_t>(1, 300)(rng));
        ASSERT_EQ(pieces.feed(Bytes(input.begin() + static_cast<long>(at), input.begin() + static_cast<long>(at + length))),
                  length);
        at += length;
    }
    flushRun(*pieces.state);
    EXPECT_EQ(pieces.text(), whole.text());
    EXPECT_EQ(crcFinish(pieces.state->blockCrc), crcOf(input));
    EXPECT_EQ(crcFinish(whole.state->blockCrc), crcOf(input));
}

// A run still open when the block fills is not cut: it goes whole into the
// next block, and its bytes count in that block's CRC.
TEST(RunLengthStage, OpenRunMovesWholeIntoTheNextBlock) {
    EncoderBench bench;
    bench.state->blockLimit = 10;
    Bytes head = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j'};
    Bytes input = head + run('z', 50);
    size_t taken = bench.feed(input);
    EXPECT_EQ(taken, 11u);  // 'j' reaches the block when the first 'z' arrives
    EXPECT_EQ(bench.text(), head);
    EXPECT_EQ(crcFinish(bench.state->blockCrc), crcOf(head));

    startBlock(*bench.state);
    EXPECT_EQ(bench.feed(Bytes(input.begin() + static_cast<long>(taken), input.end())), 49u);
    flushRun(*bench.state);
    EXPECT_EQ(bench.text(), run('z', 4) + Bytes{46});
    EXPECT_EQ(crcFinish(bench.state->blockCrc), crcOf(run('z', 50)));
}

// Lays out a block whose transform output (identity sort order) is `output`.
void setTransformOutput(EncoderBench& bench, const Bytes& output) {
    EncoderState& s = *bench.state;
    int32_t n = static_cast<int32_t>(output.size());
    for (int32_t i = 0; i < n; ++i) {
        s.sortedPositions[i] = static_cast<uint32_t>(i);
        s.blockText[i] = output[(i + 1) % n];  // row i outputs text[i - 1]
        s.usedBytes[output[i]] = 1;
    }
    s.blockLength = n;
}

std::vector<uint16_t> symbolsOf(const EncoderBench& bench) {
    return {bench.state->symbols, bench.state->symbols + bench.state->symbolCount};
}

class ZeroRun : public ::testing::TestWithParam<std::pair<int, std::vector<uint16_t>>> {};

// R zeros in bijective base 2, least significant digit first (RUN1 = 0 weighs 1, RUN2 = 1 weighs 2).
TEST_P(ZeroRun, IsWrittenAsRun1Run2Digits) {
    auto [zeros, digits] = GetParam();
    EncoderBench bench;
    setTransformOutput(bench, run('a', zeros) + Bytes{'b'});
    buildSymbols(*bench.state);
    std::vector<uint16_t> expected = digits;
    expected.push_back(2);  // 'b' at list index 1
    expected.push_back(3);  // END_OF_BLOCK with two byte values used
    EXPECT_EQ(symbolsOf(bench), expected);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ZeroRun,
                         ::testing::Values(std::pair{1, std::vector<uint16_t>{0}},
                                           std::pair{2, std::vector<uint16_t>{1}},
                                           std::pair{3, std::vector<uint16_t>{0, 0}},
                                           std::pair{4, std::vector<uint16_t>{1, 0}},
                                           std::pair{5, std::vector<uint16_t>{0, 1}},
                                           std::pair{6, std::vector<uint16_t>{1, 1}},
                                           std::pair{7, std::vector<uint16_t>{0, 0, 0}}));

TEST(ZeroRun, LongRunsAddUpToTheirLength) {
    for (int zeros : {62, 63, 1000, 65535}) {
        EncoderBench bench;
        setTransformOutput(bench, run('a', zeros) + Bytes{'b'});
        buildSymbols(*bench.state);
        std::vector<uint16_t> symbols = symbolsOf(bench);
        long total = 0;
        for (size_t i = 0; i + 2 < symbols.size(); ++i) {
            ASSERT_LE(symbols[i], 1) << "digit " << i;
            total += (symbols[i] + 1L) << i;
        }
        EXPECT_EQ(total, zeros);
        EXPECT_EQ(bench.state->symbolFrequency[0] + bench.state->symbolFrequency[1],
                  static_cast<int32_t>(symbols.size()) - 2);
    }
}

TEST(MoveToFront, IndicesFollowTheList) {
    EncoderBench bench;
    // List a b c: c is at 2 (c a b), b at 2 (b c a), b again is a zero, a at 2 (a b c), c at 2.
    setTransformOutput(bench, Bytes{'c', 'b', 'b', 'a', 'c'});
    buildSymbols(*bench.state);
    EXPECT_EQ(symbolsOf(bench), (std::vector<uint16_t>{3, 3, 0, 3, 3, 4}));
    EXPECT_EQ(bench.state->usedCount, 3);
    EXPECT_EQ(bench.state->symbolFrequency[3], 4);
    EXPECT_EQ(bench.state->symbolFrequency[4], 1);
}

// The list is searched and shifted a word at a time near its front and
// with a byte search further back; every place, with 2 to 256 byte values
// in use, must come out as from a plain move-to-front list.
TEST(MoveToFront, IndicesMatchAPlainListForAnyNumberOfValues) {
    std::mt19937 rng(5);
    for (int values : {2, 7, 8, 9, 15, 16, 17, 40, 255, 256}) {
        Bytes output(5000);
        std::geometric_distribution<int> place(0.08);
        for (auto& b : output) b = static_cast<uint8_t>(place(rng) % values);
        EncoderBench bench;
        setTransformOutput(bench, output);
        buildSymbols(*bench.state);

        std::vector<uint16_t> expected;
        std::vector<uint8_t> list;
        for (int v = 0; v < 256; ++v) {
            if (bench.state->usedBytes[v]) list.push_back(static_cast<uint8_t>(v));
        }
        int zeros = 0;
        auto flushZeros = [&] {
            for (int value = zeros - 1; zeros > 0; value = (value - 2) / 2) {
                expected.push_back(static_cast<uint16_t>(value & 1));
                if (value < 2) break;
            }
            zeros = 0;
        };
        for (uint8_t b : output) {
            auto at = std::find(list.begin(), list.end(), b);
            if (at == list.begin()) {
                ++zeros;
                continue;
            }
            flushZeros();
            expected.push_back(static_cast<uint16_t>(at - list.begin() + 1));
            std::rotate(list.begin(), at, at + 1);
        }
        flushZeros();
        expected.push_back(static_cast<uint16_t>(list.size() + 1));
        ASSERT_EQ(symbolsOf(bench), expected) << values << " values";
    }
}

// A run of codes written four bytes at a time leaves the same bits as one
// code at a time, whatever bits were pending before it, and nothing whole behind.
TEST(BitWriterRun, WritesTheSameBitsAsPutBitsAndLeavesNoWholeBytePending) {
    std::mt19937 random(9);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<std::pair<int, uint32_t>> codes(random() % 300);
        for (auto& [n, value] : codes) {
            n = 1 + static_cast<int>(random() % 20);
            value = random() & ((1u << n) - 1);
        }
        const int leading = static_cast<int>(random() % 30);
        Bytes one(1000), many(1000);
        BitWriter byCode, byRun;
        byCode.retarget(one.data());
        byRun.retarget(many.data());
        for (BitWriter* writer : {&byCode, &byRun}) {
            writer->startBits();
            if (leading > 0) writer->putBits(leading % 24 + 1, 1);
        }
        for (const auto& [n, value] : codes) byCode.putBits(n, value);
        {
            BitWriter::Run run(byRun);
            for (const auto& [n, value] : codes) run.put(n, value);
        }
        EXPECT_LT(byRun.bitCount, 8);
        byCode.putBits(3, 5);
        byRun.putBits(3, 5);
        byCode.finishBits();
        byRun.finishBits();
        ASSERT_EQ(Bytes(one.begin(), one.begin() + byCode.outputLength),
                  Bytes(many.begin(), many.begin() + byRun.outputLength))
            << trial;
    }
}

// For "abc": symbols 3 2 3 4 over a 5-symbol alphabet. Several optimal
// trees exist; the heap's tie rules pick 3 3 2 2 2.
TEST(CodeLengths, AbcBlockGetsThreeThreeTwoTwoTwo) {
    int32_t frequencies[5] = {0, 0, 1, 2, 1};
    uint8_t lengths[5];
    makeCodeLengths(lengths, frequencies, 5, kMaxCodeLength);
    EXPECT_EQ(Bytes(lengths, lengths + 5), (Bytes{3, 3, 2, 2, 2}));
    int32_t codes[5];
    assignCodes(codes, lengths, 2, 3, 5);
    EXPECT_EQ(std::vector<int32_t>(codes, codes + 5), (std::vector<int32_t>{6, 7, 0, 1, 2}));
}

double kraftSum(const uint8_t* lengths, int n) {
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += std::ldexp(1.0, -lengths[i]);
    return sum;
}

// Fibonacci-like counts would make a 40-deep tree; the limit must hold and
// the code must stay complete (every bit pattern used).
TEST(CodeLengths, FibonacciFrequenciesAreLimitedToTwenty) {
    constexpr int kSymbols = 40;
    int32_t frequencies[kSymbols];
    frequencies[0] = frequencies[1] = 1;
    for (int i = 2; i < kSymbols; ++i) frequencies[i] = std::min(frequencies[i - 1] + frequencies[i - 2], 1 << 23);
    uint8_t lengths[kSymbols];
    makeCodeLengths(lengths, frequencies, kSymbols, kMaxCodeLength);
    EXPECT_LE(*std::max_element(lengths, lengths + kSymbols), kMaxCodeLength);
    EXPECT_GE(*std::min_element(lengths, lengths + kSymbols), 1);
    EXPECT_DOUBLE_EQ(kraftSum(lengths, kSymbols), 1.0);
}

TEST(CodeLengths, UnusedAndEqualSymbolsStillGetCodes) {
    int32_t zero[258] = {};
    uint8_t lengths[258];
    makeCodeLengths(lengths, zero, 258, kMaxCodeLength);
    EXPECT_DOUBLE_EQ(kraftSum(lengths, 258), 1.0);
    int32_t equal[256];
    std::fill(equal, equal + 256, 1000);
    makeCodeLengths(lengths, equal, 256, kMaxCodeLength);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(lengths[i], 8);
}

// Canonical codes of any valid lengths are prefix-free.
TEST(CanonicalCodes, ArePrefixFree) {
    int32_t frequencies[60];
    for (int i = 0; i < 60; ++i) frequencies[i] = (i * 7919) % 500;
    uint8_t lengths[60];
    makeCodeLengths(lengths, frequencies, 60, kMaxCodeLength);
    int lo = *std::min_element(lengths, lengths + 60), hi = *std::max_element(lengths, lengths + 60);
    int32_t codes[60];
    assignCodes(codes, lengths, lo, hi, 60);
    for (int a = 0; a < 60; ++a) {
        for (int b = 0; b < 60; ++b) {
            if (a == b || lengths[a] > lengths[b]) continue;
            EXPECT_NE(codes[b] >> (lengths[b] - lengths[a]), codes[a]) << a << " prefixes " << b;
        }
    }
}

// A block of `count` symbols: all RUN1 but the final END_OF_BLOCK.
void setSymbols(EncoderBench& bench, int32_t count) {
    EncoderState& s = *bench.state;
    s.usedCount = 1;
    std::fill(s.symbolFrequency, s.symbolFrequency + kMaxAlphabet, 0);
    for (int32_t i = 0; i + 1 < count; ++i) s.symbols[i] = 0;
    s.symbols[count - 1] = 2;
    s.symbolFrequency[0] = count - 1;
    s.symbolFrequency[2] = 1;
    s.symbolCount = count;
}

class TableCount : public ::testing::TestWithParam<std::pair<int32_t, int32_t>> {};

TEST_P(TableCount, GrowsWithTheSymbolCount) {
    auto [symbols, tables] = GetParam();
    EncoderBench bench;
    setSymbols(bench, symbols);
    chooseTables(*bench.state);
    const EncoderState& s = *bench.state;
    EXPECT_EQ(s.tableCount, tables);
    EXPECT_EQ(s.selectorCount, (symbols + 49) / 50);
    for (int32_t i = 0; i < s.selectorCount; ++i) ASSERT_LT(s.selectors[i], tables);
    for (int32_t t = 0; t < tables; ++t) {
        for (int32_t v = 0; v < 3; ++v) {
            EXPECT_GE(s.codeLengths[t][v], 1);
            EXPECT_LE(s.codeLengths[t][v], kMaxCodeLength);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Thresholds, TableCount,
                         ::testing::Values(std::pair{199, 2}, std::pair{200, 3}, std::pair{599, 3},
                                           std::pair{600, 4}, std::pair{1199, 4}, std::pair{1200, 5},
                                           std::pair{2399, 5}, std::pair{2400, 6}, std::pair{50000, 6}));

// With one group, both tables end up with the same lengths and the same
// cost; the lower table number must win.
TEST(TableChoice, EqualCostsGoToTheLowerTable) {
    EncoderBench bench;
    EncoderState& s = *bench.state;
    s.usedCount = 3;
    const uint16_t symbols[] = {3, 2, 3, 4};
    std::copy(symbols, symbols + 4, s.symbols);
    s.symbolCount = 4;
    std::fill(s.symbolFrequency, s.symbolFrequency + kMaxAlphabet, 0);
    for (uint16_t v : symbols) ++s.symbolFrequency[v];
    chooseTables(s);
    EXPECT_EQ(s.tableCount, 2);
    EXPECT_EQ(s.selectorCount, 1);
    EXPECT_EQ(s.selectors[0], 0);
    for (int t = 0; t < 2; ++t) EXPECT_EQ(Bytes(s.codeLengths[t], s.codeLengths[t] + 5), (Bytes{3, 3, 2, 2, 2}));
}

// Six symbols of 100 each into four tables: the second slice from the top
// (an odd step from the first) gives back its last symbol, the others keep theirs.
TEST(TableChoice, InitialTablesSplitTheAlphabetByFrequency) {
    EncoderBench bench;
    EncoderState& s = *bench.state;
    s.usedCount = 4;
    s.symbolCount = 600;
    s.tableCount = 4;
    std::fill(s.symbolFrequency, s.symbolFrequency + 6, 100);
    makeInitialTables(s, 6);
    const Bytes cheapIn[4] = {{5}, {3, 4}, {2}, {0, 1}};
    for (int t = 0; t < 4; ++t) {
        for (uint8_t v = 0; v < 6; ++v) {
            bool cheap = std::find(cheapIn[t].begin(), cheapIn[t].end(), v) != cheapIn[t].end();
            EXPECT_EQ(s.codeLengths[t][v], cheap ? 0 : 15) << "table " << t << " symbol " << int(v);
        }
    }
}

}  // namespace
}  // namespace zor
