// least_rotation_test.cpp - the smallest rotation and the periodicity test agree with an exhaustive search.
#include "engine/least_rotation.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace zor {
namespace {

RotationShape shapeOf(const std::string& text) {
    return findLeastRotation(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int32_t>(text.size()));
}

std::string rotation(const std::string& text, size_t start) { return text.substr(start) + text.substr(0, start); }

// Exhaustive answers: the first smallest rotation, and whether any other
// rotation equals the text.
RotationShape searchedShape(const std::string& text) {
    size_t least = 0;
    bool periodic = false;
    for (size_t i = 1; i < text.size(); ++i) {
        if (rotation(text, i) < rotation(text, least)) least = i;
        periodic |= rotation(text, i) == text;
    }
    return {static_cast<int32_t>(least), periodic};
}

TEST(LeastRotation, HandlesRepeatsOfOneByteAndWholeAndPartialPeriods) {
    struct Case {
        std::string text;
        int32_t leastStart;
        bool periodic;
    };
    const Case cases[] = {
        {"a", 0, false},       {"aaaaa", 0, true},   {"ba", 1, false},      {"abcabc", 0, true},
        {"bcabca", 2, true},   {"ababa", 4, false},  {"babab", 1, false},   {"aab", 0, false},
        {"cabcab", 1, true},   {"abab" "b", 0, false},
    };
    for (const Case& c : cases) {
        const RotationShape shape = shapeOf(c.text);
        EXPECT_EQ(shape.leastStart, c.leastStart) << c.text;
        EXPECT_EQ(shape.periodic, c.periodic) << c.text;
    }
}

TEST(LeastRotation, AgreesWithAnExhaustiveSearchOnSmallTexts) {
    std::mt19937 random(3);
    for (int alphabet : {1, 2, 3}) {
        for (int trial = 0; trial < 3000; ++trial) {
            std::string text(1 + random() % 14, 'a');
            for (char& c : text) c = static_cast<char>('a' + random() % alphabet);
            const RotationShape expected = searchedShape(text), shape = shapeOf(text);
            ASSERT_EQ(shape.leastStart, expected.leastStart) << text;
            ASSERT_EQ(shape.periodic, expected.periodic) << text;
        }
    }
}

TEST(LeastRotation, TellsLongPeriodicBlocksFromNearlyPeriodicOnes) {
    std::string unit = "abracadabra";
    std::string periodic;
    for (int i = 0; i < 20000; ++i) periodic += unit;
    EXPECT_TRUE(shapeOf(periodic).periodic);
    EXPECT_EQ(shapeOf(periodic).leastStart, 10);  // "aabracadabr" starts at the unit's last byte

    std::string changed = periodic;
    changed[123456] = 'z';
    EXPECT_FALSE(shapeOf(changed).periodic);

    std::string odd(899981, 'a');
    for (size_t i = 1; i < odd.size(); i += 2) odd[i] = 'b';  // "abab...a": the period 2 does not divide n
    const RotationShape shape = shapeOf(odd);
    EXPECT_FALSE(shape.periodic);
    EXPECT_EQ(shape.leastStart, 899980);  // "aabab...b"
}

}  // namespace
}  // namespace zor
