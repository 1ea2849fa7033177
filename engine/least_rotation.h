// least_rotation.h - finds a block's smallest rotation and tells whether the block repeats one unit throughout.
#pragma once

#include <cstdint>

namespace zor {

struct RotationShape {
    int32_t leastStart;  // the start of the smallest rotation (the first of them when several are equal)
    bool periodic;       // the block is one unit repeated at least twice, so some rotations are equal
};

// Looks at text[0..n-1], n >= 1, in O(n) time and without memory of its own.
// A block of one byte is not periodic.
RotationShape findLeastRotation(const uint8_t* text, int32_t n);

}  // namespace zor
