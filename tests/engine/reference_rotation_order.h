// reference_rotation_order.h - the rotation order given by the reference sorts, run on their own over a copy of a text.
#pragma once

#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "engine/block_sort.h"

namespace zor::testing {

// The fallback (prefix-doubling) sort's rows.
inline std::vector<uint32_t> fallbackOrder(const std::vector<uint8_t>& text) {
    const size_t n = text.size();
    std::vector<uint32_t> classes(n);
    std::memcpy(classes.data(), text.data(), n);
    std::vector<uint32_t> rows(n), bits(n / 32 + 3);
    fallbackSort(rows.data(), classes.data(), bits.data(), static_cast<int32_t>(n));
    return rows;
}

// The main sort's rows, or nothing when it ran out of `budget`.
inline std::optional<std::vector<uint32_t>> mainSortOrder(const std::vector<uint8_t>& text, int32_t budget = INT_MAX / 2) {
    const size_t n = text.size();
    std::vector<uint8_t> area(text);
    area.resize(n + kOvershoot);
    std::vector<uint16_t> ranks(n + kOvershoot);
    std::vector<uint32_t> rows(n), buckets(kBucketCount);
    MessagePump pump;
    mainSort(rows.data(), area.data(), ranks.data(), buckets.data(), static_cast<int32_t>(n), budget, pump);
    if (budget < 0) return std::nullopt;
    return rows;
}

}  // namespace zor::testing
