// qt_message_pump.h - the window's message pump: lets Qt process pending events at most every ~30 ms.
//
// Archive operations and the engine run in the user-interface thread and
// call pump() at their fixed points, some of them very often (the engine
// already thins its per-byte points out to one call per few thousand). A
// call costs one read of the monotonic clock; only when the interval has
// passed since the last run does it hand control to Qt's event processing,
// which repaints, ticks the clock and serves the Abort button.
//
// The pump also keeps the longest stretch it saw between two runs of event
// processing, so a benchmark can tell how live the window stayed.
#pragma once

#include <chrono>

namespace zor {

class QtMessagePump {
public:
    using Clock = std::chrono::steady_clock;

    explicit QtMessagePump(std::chrono::milliseconds interval = std::chrono::milliseconds(30));

    // One pump point: processes events when the interval has passed.
    void pump();
    // Processes events now, whatever the time (start of an operation).
    void pumpNow();

    // The longest gap between the end of one event processing and the start
    // of the next, since the last resetGapMeasure().
    Clock::duration longestGap() const { return longestGap_; }
    // The runs of event processing since then, and the time they took.
    int runs() const { return runs_; }
    Clock::duration timeInEvents() const { return timeInEvents_; }
    void resetGapMeasure();

private:
    void run(Clock::time_point now);

    Clock::duration interval_;
    Clock::time_point lastRun_;
    Clock::duration longestGap_ {};
    Clock::duration timeInEvents_ {};
    int runs_ = 0;
};

}  // namespace zor
