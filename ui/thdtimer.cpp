// thdtimer.cpp - a timer whose clock runs in its own thread and whose handler runs in the user-interface thread.
#include "ui/thdtimer.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <QWaitCondition>

namespace zor {

// Shared between the owner's thread and the worker, always under `mutex`.
struct TTimerThread::Control {
    QMutex mutex;
    QWaitCondition changed;
    bool running = false;
    bool finishing = false;
    uint32_t interval = 0;
    QThread::Priority priority = QThread::NormalPriority;
};

namespace {

// How often a worker waiting for its handler call looks whether it must end.
constexpr int kFinishPollMs = 20;

}  // namespace

TThreadedTimer::TThreadedTimer(QObject* parent)
    : QObject(parent), worker_(std::make_unique<TTimerThread>(this)) {
    worker_->start();
    UpdateTimer();
}

TThreadedTimer::~TThreadedTimer() {
    setEnabled(false);
    worker_.reset();
}

void TThreadedTimer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    UpdateTimer();
}

void TThreadedTimer::setInterval(uint32_t milliseconds) {
    if (milliseconds == interval_) return;
    interval_ = milliseconds;
    UpdateTimer();
}

void TThreadedTimer::setThreadPriority(QThread::Priority priority) {
    if (priority == priority_) return;
    priority_ = priority;
    UpdateTimer();
}

void TThreadedTimer::setOnTimer(TimerEvent handler) {
    onTimer_ = std::move(handler);
    UpdateTimer();
}

void TThreadedTimer::Timer() {
    if (onTimer_) onTimer_(this);
}

bool TThreadedTimer::running() const {
    return interval_ != 0 && enabled_ && onTimer_;
}

void TThreadedTimer::UpdateTimer() {
    worker_->suspend();
    if (running()) worker_->resumeWith(interval_, priority_);
}

TTimerThread::TTimerThread(TThreadedTimer* owner) : owner_(owner), control_(std::make_unique<Control>()) {}

TTimerThread::~TTimerThread() {
    {
        QMutexLocker lock(&control_->mutex);
        control_->finishing = true;
        control_->changed.wakeAll();
    }
    wait();
}

void TTimerThread::resumeWith(uint32_t interval, QThread::Priority priority) {
    QMutexLocker lock(&control_->mutex);
    control_->running = true;
    control_->interval = interval;
    control_->priority = priority;
    control_->changed.wakeAll();
}

void TTimerThread::suspend() {
    QMutexLocker lock(&control_->mutex);
    control_->running = false;
    control_->changed.wakeAll();
}

// Posts Timer() to the owner's thread and waits until it has run; false when
// the worker must end meanwhile (the owner is being destroyed and will not
// run the call).
bool TTimerThread::callOwner() {
    auto done = std::make_shared<QSemaphore>();
    TThreadedTimer* owner = owner_;
    QMetaObject::invokeMethod(
        owner,
        [owner, done] {
            if (owner->running()) owner->Timer();
            done->release();
        },
        Qt::QueuedConnection);
    while (!done->tryAcquire(1, kFinishPollMs)) {
        QMutexLocker lock(&control_->mutex);
        if (control_->finishing) return false;
    }
    return true;
}

void TTimerThread::run() {
    qint64 lastHandlerMs = 0;
    QThread::Priority appliedPriority = QThread::InheritPriority;
    QMutexLocker lock(&control_->mutex);
    for (;;) {
        while (!control_->running && !control_->finishing) control_->changed.wait(&control_->mutex);
        if (control_->finishing) return;
        if (control_->priority != appliedPriority) {
            appliedPriority = control_->priority;
            setPriority(appliedPriority);
        }
        if (lastHandlerMs < control_->interval) {
            const QDeadlineTimer deadline(control_->interval - lastHandlerMs);
            while (control_->running && !control_->finishing && !deadline.hasExpired())
                control_->changed.wait(&control_->mutex, deadline);
        }
        if (control_->finishing) return;
        // Suspended while sleeping: hold before the tick, as a suspended
        // thread would.
        if (!control_->running) continue;
        lock.unlock();
        QElapsedTimer handlerTime;
        handlerTime.start();
        const bool ran = callOwner();
        lastHandlerMs = handlerTime.elapsed();
        lock.relock();
        if (!ran) return;
    }
}

}  // namespace zor
