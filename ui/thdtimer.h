// thdtimer.h - a timer whose clock runs in its own thread and whose handler runs in the user-interface thread.
//
// The worker sleeps for Interval minus the time the last handler call took,
// so the period stays close to Interval even when the user-interface thread
// is slow to run the handler (an operation lets it run only at its pump
// points). The worker runs only while the timer is enabled, has a non-zero
// interval and a handler; otherwise it is held waiting ("suspended").
//
// Threads: every member function is for the thread that owns the timer (the
// user-interface thread). The worker never runs OnTimer itself: it posts the
// call to the owner's thread and waits until it has run. A call still queued
// when the timer stops running is dropped, so no tick follows a disable.
#pragma once

#include <QObject>
#include <QThread>

#include <cstdint>
#include <functional>
#include <memory>

namespace zor {

class TTimerThread;

class TThreadedTimer : public QObject {
    Q_OBJECT
public:
    using TimerEvent = std::function<void(QObject* sender)>;

    explicit TThreadedTimer(QObject* parent = nullptr);
    ~TThreadedTimer() override;

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    uint32_t interval() const { return interval_; }
    void setInterval(uint32_t milliseconds);
    QThread::Priority threadPriority() const { return priority_; }
    void setThreadPriority(QThread::Priority priority);
    bool hasOnTimer() const { return static_cast<bool>(onTimer_); }
    void setOnTimer(TimerEvent handler);

    // Runs OnTimer, when one is assigned.
    void Timer();
    // Whether the worker is meant to be running now.
    bool running() const;

private:
    void UpdateTimer();

    bool enabled_ = true;
    uint32_t interval_ = 1000;
    QThread::Priority priority_ = QThread::NormalPriority;
    TimerEvent onTimer_;
    std::unique_ptr<TTimerThread> worker_;
};

// The worker of one TThreadedTimer; created with it and destroyed with it.
class TTimerThread final : public QThread {
    Q_OBJECT
public:
    explicit TTimerThread(TThreadedTimer* owner);
    ~TTimerThread() override;

    // Lets the loop run with this period and priority.
    void resumeWith(uint32_t interval, QThread::Priority priority);
    // Holds the loop before its next tick.
    void suspend();

protected:
    void run() override;

private:
    bool callOwner();

    TThreadedTimer* const owner_;
    struct Control;
    std::unique_ptr<Control> control_;
};

}  // namespace zor
