// induced_sort_test.cpp - induced suffix sorting, and the rotation order it gives, against exhaustive and reference sorts.
#include "engine/induced_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "engine/least_rotation.h"
#include "tests/engine/reference_rotation_order.h"

namespace zor {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::fallbackOrder;
using testing::mainSortOrder;

Bytes bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint32_t> inducedSuffixes(const Bytes& text, size_t scratchWords) {
    const int32_t n = static_cast<int32_t>(text.size());
    std::vector<uint32_t> suffixes(text.size()), scratch(scratchWords);
    MessagePump pump;
    sortSuffixesByInducing(text.data(), n, suffixes.data(), scratch.data(), scratchWords, pump);
    return suffixes;
}

std::vector<uint32_t> searchedSuffixes(const Bytes& text) {
    std::vector<uint32_t> suffixes(text.size());
    std::iota(suffixes.begin(), suffixes.end(), 0u);
    std::sort(suffixes.begin(), suffixes.end(), [&](uint32_t a, uint32_t b) {
        return std::lexicographical_compare(text.begin() + a, text.end(), text.begin() + b, text.end());
    });
    return suffixes;
}

// The rotation order through the induced sort, with the least rotation
// found as the encoder finds it. The text must come back unchanged.
std::vector<uint32_t> inducedRotations(const Bytes& text) {
    const int32_t n = static_cast<int32_t>(text.size());
    const RotationShape shape = findLeastRotation(text.data(), n);
    EXPECT_FALSE(shape.periodic) << "the test text must not be periodic";
    Bytes work(text);
    std::vector<uint32_t> positions(text.size()), scratch(inducedSortScratchWords(n));
    MessagePump pump;
    sortDistinctRotations(positions.data(), work.data(), n, shape.leastStart, scratch.data(), scratch.size(), pump);
    EXPECT_EQ(work, text);
    return positions;
}

Bytes randomText(size_t n, int alphabet, std::mt19937& random) {
    Bytes text(n);
    for (auto& b : text) b = static_cast<uint8_t>(alphabet == 256 ? random() : 'a' + random() % alphabet);
    return text;
}

// One byte value throughout but one differing byte: the least periodic text.
Bytes runWithOneOther(size_t n, size_t where, uint8_t other) {
    Bytes text(n, 'm');
    text[where] = other;
    return text;
}

Bytes alternating(size_t n) {
    Bytes text(n);
    for (size_t i = 0; i < n; ++i) text[i] = "ab"[i % 2];
    return text;
}

// A unit repeated with one byte changed somewhere: long equal stretches,
// deep recursion, but no equal rotations.
Bytes nearPeriodic(size_t unitLength, size_t n, size_t changed, std::mt19937& random) {
    const Bytes unit = randomText(unitLength, 3, random);
    Bytes text(n);
    for (size_t i = 0; i < n; ++i) text[i] = unit[i % unitLength];
    text[changed] = 'z';
    return text;
}

// Runs of random lengths, as the run-length stage leaves them (up to 255 + 4).
Bytes longRuns(size_t n, std::mt19937& random) {
    Bytes text;
    while (text.size() < n) text.insert(text.end(), 1 + random() % 259, static_cast<uint8_t>(random() % 4));
    text.resize(n);
    text.back() = 'z';  // ends the last run, so the text cannot repeat a unit
    return text;
}

TEST(InducedSort, SuffixOrderMatchesAnExhaustiveSortWithAnyScratch) {
    std::mt19937 random(1);
    for (const Bytes& text : {Bytes{}, bytesOf("a"), bytesOf("ba"), bytesOf("banana"), bytesOf("mississippi"),
                              bytesOf("cba"), bytesOf("abc"), Bytes(40, 'q')})
        EXPECT_EQ(inducedSuffixes(text, inducedSortScratchWords(static_cast<int32_t>(text.size()))),
                  searchedSuffixes(text));
    for (int alphabet : {1, 2, 3, 5, 26, 256}) {
        for (int trial = 0; trial < 200; ++trial) {
            const Bytes text = randomText(1 + random() % 2000, alphabet, random);
            const int32_t n = static_cast<int32_t>(text.size());
            const std::vector<uint32_t> expected = searchedSuffixes(text);
            // With the least scratch, a reduced text with nearly all names
            // distinct (alphabet 26) has no room to keep its symbol counts.
            ASSERT_EQ(inducedSuffixes(text, inducedSortScratchWords(n)), expected) << alphabet << " x " << n;
            ASSERT_EQ(inducedSuffixes(text, 2 * static_cast<size_t>(n) + 512), expected) << alphabet << " x " << n;
        }
    }
    // A few words over and over: a level's names share first names in
    // groups of every size, so sorting a level by comparison finishes on
    // some texts and gives up part-way on others.
    const std::vector<std::string> words = {"the ", "cat ", "sat ", "on ", "a ", "mat. ", "and ", "then "};
    for (int trial = 0; trial < 300; ++trial) {
        const size_t target = 1 + random() % 4000;
        std::string text;
        while (text.size() < target) text += words[random() % (1 + trial % words.size())];
        const Bytes bytes = bytesOf(text);
        ASSERT_EQ(inducedSuffixes(bytes, inducedSortScratchWords(static_cast<int32_t>(bytes.size()))),
                  searchedSuffixes(bytes))
            << text.size() << " bytes of " << 1 + trial % words.size() << " words";
    }
}

TEST(InducedSort, RotationsMatchTheFallbackSortOnRandomBlocksOfEveryAlphabet) {
    std::mt19937 random(2);
    int compared = 0;
    for (int alphabet : {2, 3, 4, 16, 95, 256}) {
        for (int trial = 0; trial < 40; ++trial) {
            const Bytes text = randomText(1 + random() % 12000, alphabet, random);
            if (findLeastRotation(text.data(), static_cast<int32_t>(text.size())).periodic) continue;
            ++compared;
            ASSERT_EQ(inducedRotations(text), fallbackOrder(text)) << alphabet << " x " << text.size();
        }
    }
    EXPECT_GT(compared, 200);
    for (size_t n : {1, 2, 3, 9999, 10000, 10001})
        for (uint8_t other : {'a', 'z'})
            for (size_t where : {size_t{0}, n / 2, n - 1}) {
                const Bytes text = runWithOneOther(n, where, other);
                ASSERT_EQ(inducedRotations(text), fallbackOrder(text)) << n << " bytes, other at " << where;
            }
}

TEST(InducedSort, RotationsMatchTheReferenceSortsOnRepetitiveBlocks) {
    std::mt19937 random(3);
    std::vector<Bytes> texts;
    for (size_t n : {3, 5, 9999, 10001, 100001}) texts.push_back(alternating(n));
    for (size_t unit : {2, 7, 100, 1500}) texts.push_back(nearPeriodic(unit, 30000, random() % 30000, random));
    texts.push_back(longRuns(50000, random));
    int mainFinished = 0;
    for (const Bytes& text : texts) {
        const std::vector<uint32_t> rows = inducedRotations(text);
        ASSERT_EQ(rows, fallbackOrder(text)) << text.size() << " bytes";
        // The main sort, given the largest allowance a stream can grant, finishes on some of these.
        if (const auto main = mainSortOrder(text, 33 * static_cast<int32_t>(text.size()))) {
            ++mainFinished;
            ASSERT_EQ(rows, *main) << text.size() << " bytes";
        }
    }
    EXPECT_GE(mainFinished, 3);
}

TEST(InducedSort, RotationsMatchTheReferenceSortsOnFullSizeBlocks) {
    std::mt19937 random(4);
    const Bytes texts[] = {randomText(899981, 4, random), nearPeriodic(4096, 400000, 200000, random),
                           runWithOneOther(300000, 150000, 'a'), alternating(899981)};
    for (const Bytes& text : texts) {
        const std::vector<uint32_t> rows = inducedRotations(text);
        ASSERT_EQ(rows, fallbackOrder(text)) << text.size() << " bytes";
    }
    const auto main = mainSortOrder(texts[0]);
    ASSERT_TRUE(main);
    EXPECT_EQ(inducedRotations(texts[0]), *main);
}

TEST(InducedSort, TicksTheMessagePumpWhileSorting) {
    std::mt19937 random(5);
    const Bytes text = randomText(600000, 4, random);
    std::vector<uint32_t> suffixes(text.size()), scratch(inducedSortScratchWords(600000));
    int calls = 0;
    MessagePump pump;
    pump.context = &calls;
    pump.hook = [](void* context) { ++*static_cast<int*>(context); };
    sortSuffixesByInducing(text.data(), 600000, suffixes.data(), scratch.data(), scratch.size(), pump);
    // Four scans of every slot at least, one hook call per 16384 slots.
    EXPECT_GE(calls, 4 * 600000 / 16384);
}

}  // namespace
}  // namespace zor
