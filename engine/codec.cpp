// codec.cpp - default memory callbacks and the configuration check of the streaming handle.
#include "engine/codec.h"

#include <climits>
#include <cstdlib>

namespace zor {

namespace {

void* heapAllocate(void*, int32_t count, int32_t size) {
    if (count <= 0 || size <= 0) return nullptr;
    return std::malloc(static_cast<size_t>(count) * static_cast<size_t>(size));
}

void heapRelease(void*, void* block) {
    if (block) std::free(block);
}

}  // namespace

void installDefaultCallbacks(CodecStream& stream) {
    if (!stream.allocate) stream.allocate = heapAllocate;
    if (!stream.release) stream.release = heapRelease;
}

bool configurationIsSound() {
    return sizeof(int32_t) == 4 && sizeof(int16_t) == 2 && CHAR_BIT == 8;
}

}  // namespace zor
