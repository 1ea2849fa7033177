// heap_tuning.cpp - keeps the codec's large work areas in the process heap between streams.
#include "platform/heap_tuning.h"

#include <malloc.h>

namespace zor {

void keepFreedMemoryForReuse() {
    constexpr int kLargeBlock = 64 << 20;
    mallopt(M_MMAP_THRESHOLD, kLargeBlock);
    mallopt(M_TRIM_THRESHOLD, kLargeBlock);
}

}  // namespace zor
