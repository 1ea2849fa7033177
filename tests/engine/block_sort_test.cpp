// block_sort_test.cpp - rotation sorting: order against a reference, origin pointer, the algorithm switch and budget.
#include "engine/block_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "tests/engine/encoder_bench.h"
#include "tests/engine/reference_rotation_order.h"

namespace zor {
namespace {

using Bytes = std::vector<uint8_t>;

// Sorts `text` as a block of the bench's record; returns the rows' positions.
struct SortBench : testing::EncoderBench {
    using EncoderBench::EncoderBench;
    std::vector<uint32_t> sort(const Bytes& text) {
        std::memcpy(state->blockText, text.data(), text.size());
        state->blockLength = static_cast<int32_t>(text.size());
        sortBlock(*state);
        return {workA.begin(), workA.begin() + static_cast<long>(text.size())};
    }
};

Bytes bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

Bytes randomText(size_t n, int alphabet, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes text(n);
    for (auto& b : text) b = static_cast<uint8_t>('a' + rng() % alphabet);
    return text;
}

// A long stretch repeated with small changes: comparisons run far past the
// two-byte buckets and through the rank cache, but no rotations are equal.
Bytes nearRepeats(size_t n, unsigned seed) {
    Bytes unit = randomText(1500, 4, seed);
    Bytes text;
    std::mt19937 rng(seed + 1);
    while (text.size() < n) {
        text.insert(text.end(), unit.begin(), unit.end());
        text.push_back(static_cast<uint8_t>('w' + rng() % 3));
    }
    text.resize(n);
    return text;
}

// Each adjacent pair of rows must be in non-decreasing rotation order, and
// the rows must be a permutation of the positions.
::testing::AssertionResult isRotationOrder(const Bytes& text, const std::vector<uint32_t>& rows) {
    size_t n = text.size();
    std::vector<uint32_t> seen(rows);
    std::sort(seen.begin(), seen.end());
    for (size_t i = 0; i < n; ++i)
        if (seen[i] != i) return ::testing::AssertionFailure() << "rows are not a permutation";
    Bytes doubled(text);
    doubled.insert(doubled.end(), text.begin(), text.end());
    for (size_t i = 0; i + 1 < n; ++i) {
        if (std::memcmp(&doubled[rows[i]], &doubled[rows[i + 1]], n) > 0)
            return ::testing::AssertionFailure() << "rows " << i << " and " << i + 1 << " are out of order";
    }
    return ::testing::AssertionSuccess();
}

TEST(BlockSort, SortsAbcAndCbaWithTheirOriginPointers) {
    SortBench bench;
    EXPECT_EQ(bench.sort(bytesOf("abc")), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(bench.state->originPointer, 0);
    EXPECT_EQ(bench.sort(bytesOf("cba")), (std::vector<uint32_t>{2, 1, 0}));
    EXPECT_EQ(bench.state->originPointer, 2);
}

struct SortCase {
    const char* name;
    Bytes text;
};

class BlockSortOrder : public ::testing::TestWithParam<SortCase> {};

TEST_P(BlockSortOrder, RowsAreInRotationOrderAndTextIsKept) {
    const Bytes& text = GetParam().text;
    SortBench bench;
    std::vector<uint32_t> rows = bench.sort(text);
    EXPECT_TRUE(isRotationOrder(text, rows));
    EXPECT_EQ(rows[bench.state->originPointer], 0u);
    EXPECT_TRUE(std::equal(text.begin(), text.end(), bench.state->blockText));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BlockSortOrder,
    ::testing::Values(SortCase{"OneByte", bytesOf("q")}, SortCase{"TwoBytes", bytesOf("ba")},
                      SortCase{"Short", bytesOf("mississippi")},
                      SortCase{"Fallback9999Binary", randomText(9999, 2, 1)},
                      SortCase{"Main10000Binary", randomText(10000, 2, 2)},
                      SortCase{"MainAllByteValues", randomText(40000, 200, 3)},
                      SortCase{"NearRepeats", nearRepeats(30000, 4)},
                      SortCase{"EndEqualsStart", [] {
                                   Bytes t = randomText(20000, 3, 5);
                                   std::copy(t.begin(), t.begin() + 60, t.end() - 60);
                                   return t;
                               }()}),
    [](const auto& info) { return std::string(info.param.name); });

// The main sort on its own, with budget to spare, must order even text that
// forces deep quicksort ranges, Shell sorts and rank-cache decisions.
TEST(MainSort, OrdersHardTextWhenTheBudgetSuffices) {
    for (const Bytes& text : {randomText(50000, 2, 6), nearRepeats(50000, 7)}) {
        const auto rows = testing::mainSortOrder(text);
        ASSERT_TRUE(rows);
        EXPECT_TRUE(isRotationOrder(text, *rows));
    }
}

TEST(FallbackSort, OrdersAndRebuildsTheText) {
    for (const Bytes& text : {randomText(3000, 2, 8), nearRepeats(12000, 9), Bytes(5000, 'z')}) {
        size_t n = text.size();
        std::vector<uint32_t> classes((n + 3) / 4 + n);
        std::memcpy(classes.data(), text.data(), n);
        std::vector<uint32_t> rows(n), bits(n / 32 + 3);
        fallbackSort(rows.data(), classes.data(), bits.data(), static_cast<int32_t>(n));
        EXPECT_TRUE(isRotationOrder(text, rows));
        EXPECT_EQ(std::memcmp(classes.data(), text.data(), n), 0);
    }
}

using testing::fallbackOrder;

// Equal rotations may stand in any order, but the order is part of the
// stream's bytes, so which algorithm sorted a block is observable. The main
// sort never compares the rotations of a one-value block and keeps position
// order; the fallback sort leaves them in reverse position order.
TEST(BlockSort, SwitchesToTheMainSortAtTenThousandBytes) {
    SortBench bench;
    std::vector<uint32_t> main = bench.sort(Bytes(10000, 251));
    for (uint32_t i = 0; i < 10000; ++i) ASSERT_EQ(main[i], i);
    EXPECT_EQ(bench.state->originPointer, 0);

    std::vector<uint32_t> fallback = bench.sort(Bytes(9999, 251));
    for (uint32_t i = 0; i < 9999; ++i) ASSERT_EQ(fallback[i], 9998 - i);
    EXPECT_EQ(bench.state->originPointer, 9998);
}

Bytes abRepeated(size_t n) {
    Bytes text(n);
    for (size_t i = 0; i < n; ++i) text[i] = "ab"[i % 2];
    return text;
}

TEST(BlockSort, PeriodicTextExhaustsTheBudgetAndFallsBack) {
    Bytes text = abRepeated(10000);
    EXPECT_FALSE(testing::mainSortOrder(text, 10000 * ((30 - 1) / 3)));

    SortBench bench;
    EXPECT_EQ(bench.sort(text), fallbackOrder(text));
}

// A unit repeated whole: equal rotations, whose order is the fallback
// sort's own and part of the stream's bytes. The hashes are those of the
// order the sort has always produced; a change of rounds or of the group
// sort that moves equal rotations shows here.
Bytes pseudoRandomUnit(size_t length, uint32_t seed, int alphabet) {
    Bytes unit(length);
    for (auto& b : unit) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>('a' + (seed >> 16) % alphabet);
    }
    return unit;
}

uint64_t rowsHash(const std::vector<uint32_t>& rows) {
    uint64_t h = 1469598103934665603ull;
    for (uint32_t r : rows) h = (h ^ r) * 1099511628211ull;
    return h;
}

TEST(BlockSort, FallbackSortKeepsItsOrderOfEqualRotations) {
    struct Case {
        Bytes unit;
        size_t copies;
        uint64_t hash;
    };
    const Case cases[] = {
        {bytesOf("ab"), 4999, 0xbc92680ab99fa75aull},
        {bytesOf("ab"), 100000, 0x6d16c9981c256543ull},
        {bytesOf("abc"), 10000, 0xcf865ecbb8489d13ull},
        {bytesOf("aab"), 33333, 0x76793ed72c150ec0ull},
        {bytesOf("abcabd"), 10000, 0xe88921c2e30a55fbull},
        {bytesOf("aaaaab"), 2000, 0x74de4a091ab1962full},
        {pseudoRandomUnit(7, 1, 26), 10000, 0xb6a8a8d7aea14aabull},
        {pseudoRandomUnit(1000, 2, 2), 50, 0xc7296333cc6ce063ull},
        {pseudoRandomUnit(4096, 3, 256), 3, 0x1ff2187ff95c069bull},
        {pseudoRandomUnit(33, 4, 3), 700, 0x9d977be467d613dfull},
    };
    for (const Case& c : cases) {
        Bytes text;
        for (size_t i = 0; i < c.copies; ++i) text.insert(text.end(), c.unit.begin(), c.unit.end());
        EXPECT_EQ(rowsHash(fallbackOrder(text)), c.hash) << c.unit.size() << "-byte unit x " << c.copies;
    }
}

// Long blocks whose rotations all differ leave the reference sorts (for the
// induced sort, or the main sort when random-like); their order is unique,
// so it must be exactly the reference's, up to the largest block of the
// bench's level, whose scratch room behind the text is the tightest.
TEST(BlockSort, LongBlocksWithDistinctRotationsKeepTheReferenceOrder) {
    std::mt19937 random(13);
    Bytes randomBytes(60000);
    for (auto& b : randomBytes) b = static_cast<uint8_t>(random());
    Bytes oneOther(99981, 'a');
    oneOther[40000] = 'b';
    Bytes oddAlternating = abRepeated(10001);
    const Bytes texts[] = {nearRepeats(99981, 14), randomText(99981, 2, 15), randomBytes, oneOther, oddAlternating};
    SortBench bench;
    for (const Bytes& text : texts) {
        EXPECT_EQ(bench.sort(text), fallbackOrder(text)) << text.size() << " bytes";
        EXPECT_TRUE(std::equal(text.begin(), text.end(), bench.state->blockText));
        EXPECT_EQ(bench.workA[bench.state->originPointer], 0u);
    }
}

// Periodic blocks keep the reference's order of equal rotations: the main
// sort's when it finishes, the fallback sort's when its allowance runs out.
TEST(BlockSort, PeriodicLongBlocksKeepTheReferenceOrder) {
    SortBench bench;
    Bytes unit = randomText(37, 3, 16);
    Bytes periodic;
    while (periodic.size() < 37 * 500) periodic.insert(periodic.end(), unit.begin(), unit.end());
    const auto main = testing::mainSortOrder(periodic, 18500 * ((30 - 1) / 3));
    EXPECT_EQ(bench.sort(periodic), main ? *main : fallbackOrder(periodic));
}

TEST(BlockSort, ShortBlocksWithLongCommonPrefixesKeepTheReferenceOrder) {
    Bytes text = abRepeated(9998);
    text.push_back('c');  // 9999 bytes with many long common prefixes
    SortBench bench;
    EXPECT_EQ(bench.sort(text), fallbackOrder(text));
}

TEST(MainSort, ZeroBudgetGivesUpOnTheFirstLongComparison) {
    EXPECT_FALSE(testing::mainSortOrder(nearRepeats(10000, 10), 0));  // needs comparisons past 12 bytes
}

class WorkFactor : public ::testing::TestWithParam<int32_t> {};

// Every work factor (clamped to 1..100) must still give a sorted block,
// whichever algorithm finishes the job.
TEST_P(WorkFactor, AnyWorkFactorSorts) {
    SortBench bench(GetParam());
    for (const Bytes& text : {randomText(12000, 2, 11), nearRepeats(20000, 12), abRepeated(12000)}) {
        EXPECT_TRUE(isRotationOrder(text, bench.sort(text)));
    }
}

INSTANTIATE_TEST_SUITE_P(Values, WorkFactor, ::testing::Values(0, 1, 30, 100, 250));

}  // namespace
}  // namespace zor
