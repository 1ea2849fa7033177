// three_way_partition.h - the three-way partition step shared by the rotation sorts' quicksorts.
//
// Rows equal to the pivot are first swapped out to both ends of the range
// while smaller and greater rows are partitioned in the middle, then the
// equal rows are swapped into the centre. The exact swap order fixes the
// order of equal rows, which is visible in the stream for periodic text.
#pragma once

#include <algorithm>
#include <cstdint>

namespace zor {

struct ThreeWaySplit {
    bool allEqual;        // every row's key equalled the pivot; nothing moved
    int32_t lessLast;     // rows lo..lessLast are smaller than the pivot
    int32_t greaterFirst; // rows greaterFirst..hi are greater
};

// key(position) gives a row's sort key as a signed value.
template <typename Key>
inline ThreeWaySplit partitionThreeWay(uint32_t* ptr, int32_t lo, int32_t hi, int32_t pivot, Key key) {
    int32_t ltLo = lo, unLo = lo, gtHi = hi, unHi = hi;
    while (true) {
        while (unLo <= unHi) {
            int32_t diff = key(ptr[unLo]) - pivot;
            if (diff == 0) {
                std::swap(ptr[unLo], ptr[ltLo]);
                ++ltLo;
                ++unLo;
                continue;
            }
            if (diff > 0) break;
            ++unLo;
        }
        while (unLo <= unHi) {
            int32_t diff = key(ptr[unHi]) - pivot;
            if (diff == 0) {
                std::swap(ptr[unHi], ptr[gtHi]);
                --gtHi;
                --unHi;
                continue;
            }
            if (diff < 0) break;
            --unHi;
        }
        if (unLo > unHi) break;
        std::swap(ptr[unLo], ptr[unHi]);
        ++unLo;
        --unHi;
    }
    if (gtHi < ltLo) return {true, 0, 0};

    int32_t n = std::min(ltLo - lo, unLo - ltLo);
    std::swap_ranges(ptr + lo, ptr + lo + n, ptr + unLo - n);
    int32_t m = std::min(hi - gtHi, gtHi - unHi);
    std::swap_ranges(ptr + unLo, ptr + unLo + m, ptr + hi - m + 1);
    return {false, lo + unLo - ltLo - 1, hi - (gtHi - unHi) + 1};
}

}  // namespace zor
