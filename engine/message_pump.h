// message_pump.h - the per-stream hook through which long engine calls let a user interface process its events.
//
// The engine "calls the pump" at fixed points. Points inside per-byte or
// per-row loops `tick`: they only count down, and the hook runs once per
// `kTicksPerPump` ticks, so an unset hook costs one decrement and a
// predictable branch. Points reached once per call or per portion of data
// (a step call, a turn of the file layer's loop) use `now`, so that a long
// run of such calls still reaches the hook every time; the hook itself must
// be cheap when called often (the window's hook reads a clock and returns).
// The hook lives in each stream's handle, so streams in different threads
// never share one.
#pragma once

#include <cstdint>

namespace zor {

struct MessagePump {
    static constexpr int32_t kTicksPerPump = 4096;

    void (*hook)(void* context) = nullptr;
    void* context = nullptr;
    int32_t countdown = kTicksPerPump;

    // One pump point; `weight` counts how many per-byte points it stands for.
    inline void tick(int32_t weight = 1) {
        countdown -= weight;
        if (countdown <= 0) {
            countdown = kTicksPerPump;
            if (hook) hook(context);
        }
    }

    // A pump point that always reaches the hook (per step call, per portion of data).
    inline void now() {
        countdown = kTicksPerPump;
        if (hook) hook(context);
    }
};

}  // namespace zor
