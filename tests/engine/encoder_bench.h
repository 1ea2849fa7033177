// encoder_bench.h - an encoder record with level-1 work areas on the heap, for testing encoder steps in isolation.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/encoder_state.h"

namespace zor::testing {

struct EncoderBench {
    CodecStream stream{};
    std::unique_ptr<EncoderState> state = std::make_unique<EncoderState>();
    std::vector<uint32_t> workA = std::vector<uint32_t>(100000);
    std::vector<uint32_t> workB = std::vector<uint32_t>(100000 + kOvershoot);
    std::vector<uint32_t> buckets = std::vector<uint32_t>(kBucketCount);

    explicit EncoderBench(int32_t workFactor = 30) {
        attachWorkAreas(*state, workA.data(), workB.data(), buckets.data(), 1);
        state->stream = &stream;
        state->workFactor = workFactor;
    }
};

}  // namespace zor::testing
