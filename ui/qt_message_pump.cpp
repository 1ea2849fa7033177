// qt_message_pump.cpp - the window's message pump: lets Qt process pending events at most every ~30 ms.
#include "ui/qt_message_pump.h"

#include <QCoreApplication>

namespace zor {

QtMessagePump::QtMessagePump(std::chrono::milliseconds interval)
    : interval_(interval), lastRun_(Clock::now()) {}

void QtMessagePump::pump() {
    const Clock::time_point now = Clock::now();
    if (now - lastRun_ >= interval_) run(now);
}

void QtMessagePump::pumpNow() { run(Clock::now()); }

void QtMessagePump::resetGapMeasure() {
    longestGap_ = {};
    timeInEvents_ = {};
    runs_ = 0;
    lastRun_ = Clock::now();
}

void QtMessagePump::run(Clock::time_point now) {
    if (now - lastRun_ > longestGap_) longestGap_ = now - lastRun_;
    ++runs_;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Counted from the end: time spent serving events is not the operation's gap.
    lastRun_ = Clock::now();
    timeInEvents_ += lastRun_ - now;
}

}  // namespace zor
