// message_pump.h - the per-stream hook through which long engine calls let a user interface process its events.
//
// The engine "calls the pump" at fixed points (per byte in some loops). A
// call here only counts down; the hook itself runs once per `kPumpInterval`
// ticks, so an unset hook costs one decrement and a predictable branch. The
// hook lives in each stream's handle, so streams in different threads never
// share one.
#pragma once

#include <cstdint>

namespace zor {

struct MessagePump {
    static constexpr int32_t kPumpInterval = 4096;

    void (*hook)(void* context) = nullptr;
    void* context = nullptr;
    int32_t countdown = kPumpInterval;

    // One pump point; `weight` counts how many per-byte points it stands for.
    inline void tick(int32_t weight = 1) {
        countdown -= weight;
        if (countdown <= 0) {
            countdown = kPumpInterval;
            if (hook) hook(context);
        }
    }

    // A pump point that always reaches the hook (between files, chunks).
    inline void now() {
        countdown = kPumpInterval;
        if (hook) hook(context);
    }
};

}  // namespace zor
