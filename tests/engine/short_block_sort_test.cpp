// short_block_sort_test.cpp - the comparison sort for short blocks agrees row for row with the reference fallback sort.
#include "engine/short_block_sort.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/block_sort.h"

namespace zor {
namespace {

std::vector<uint32_t> referenceOrder(const std::vector<uint8_t>& text) {
    const int32_t n = static_cast<int32_t>(text.size());
    std::vector<uint32_t> classes(n + 34, 0);
    std::memcpy(classes.data(), text.data(), text.size());
    std::vector<uint32_t> bits(n / 32 + 8, 0);
    std::vector<uint32_t> positions(n);
    fallbackSort(positions.data(), classes.data(), bits.data(), n);
    return positions;
}

// Returns the comparison sort's rows, or nothing when it gave up.
std::optional<std::vector<uint32_t>> comparisonOrder(const std::vector<uint8_t>& text) {
    const int32_t n = static_cast<int32_t>(text.size());
    std::vector<uint8_t> scratch(18 * text.size() + 24);
    std::vector<uint32_t> positions(n);
    if (!sortShortBlockByComparison(positions.data(), text.data(), scratch.data(), n)) return std::nullopt;
    return positions;
}

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

TEST(ShortBlockSort, MatchesTheReferenceOnRandomBlocksOfEveryAlphabet) {
    std::mt19937 random(7);
    int sorted = 0;
    for (int alphabet : {2, 3, 4, 26, 256}) {
        for (int trial = 0; trial < 60; ++trial) {
            const size_t n = 1 + random() % 3000;
            std::vector<uint8_t> text(n);
            for (auto& b : text) b = static_cast<uint8_t>('a' + random() % alphabet);
            const auto fast = comparisonOrder(text);
            if (!fast) continue;  // periodic, or too repetitive: the reference decides
            ++sorted;
            ASSERT_EQ(*fast, referenceOrder(text)) << "alphabet " << alphabet << ", " << n << " bytes";
        }
    }
    EXPECT_GT(sorted, 250);
}

TEST(ShortBlockSort, HandsPeriodicBlocksToTheReference) {
    for (const char* text : {"abab", "aaaa", "abcabcabc", "x"}) {
        const auto order = comparisonOrder(bytesOf(text));
        if (std::string(text) == "x") {
            ASSERT_TRUE(order);  // one rotation: nothing to compare
            EXPECT_EQ(*order, std::vector<uint32_t>{0});
        } else {
            EXPECT_FALSE(order) << text;
        }
    }
}

TEST(ShortBlockSort, GivesUpOnLongRepeatsInsteadOfGrowingQuadratic) {
    std::vector<uint8_t> text(9999, 'a');
    text.back() = 'b';  // not periodic, but every comparison runs long
    EXPECT_FALSE(comparisonOrder(text));
}

TEST(ShortBlockSort, SortsTheWorkedExamples) {
    EXPECT_EQ(*comparisonOrder(bytesOf("abc")), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(*comparisonOrder(bytesOf("cba")), (std::vector<uint32_t>{2, 1, 0}));
    const auto banana = bytesOf("banana$");
    EXPECT_EQ(*comparisonOrder(banana), referenceOrder(banana));
}

}  // namespace
}  // namespace zor
