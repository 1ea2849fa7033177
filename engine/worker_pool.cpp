// worker_pool.cpp - the workers' loop, the task queue, and the wait that pumps.
#include "engine/worker_pool.h"

#include <system_error>

namespace zor {

WorkerPool::WorkerPool(int32_t workers) {
    try {
        for (int32_t i = 0; i < workers; ++i) threads_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
        // Fewer workers only slow the work down; the callers go on with those there are.
    }
}

WorkerPool::~WorkerPool() {
    cancel();
    for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::post(Task task) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopping()) return;
        queue_.push_back(std::move(task));
    }
    taskQueued_.notify_one();
    // A waiter that helps may take it, too.
    stateChanged_.notify_all();
}

bool WorkerPool::runQueued() {
    Task task;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty()) return false;
        task = std::move(queue_.front());
        queue_.pop_front();
    }
    task();
    return true;
}

void WorkerPool::cancel() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_.store(true, std::memory_order_relaxed);
        queue_.clear();
    }
    taskQueued_.notify_all();
    stateChanged_.notify_all();
}

void WorkerPool::waitABit(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds interval) {
    stateChanged_.wait_for(lock, interval);
}

void WorkerPool::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        taskQueued_.wait(lock, [this] { return stopping() || !queue_.empty(); });
        if (stopping()) return;
        Task task = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        task();
        task = nullptr;  // its captures go before the lock is taken again
        lock.lock();
    }
}

bool PumpCadence::due() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < kPumpWaitInterval) return false;
    last_ = now;
    return true;
}

bool waitPumping(WorkerPool& pool, std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready,
                 const std::function<bool()>& pump, PumpCadence& cadence, Help help) {
    while (!ready()) {
        bool ran = false;
        if (help == Help::Yes) {
            lock.unlock();
            ran = pool.runQueued();
            lock.lock();
            if (ran && ready()) return true;
        }
        if (!ran) pool.waitABit(lock);
        if (cadence.due()) {
            lock.unlock();
            const bool keepWaiting = pump();
            lock.lock();
            if (!keepWaiting) return ready();
        }
    }
    return true;
}

bool waitPumping(WorkerPool& pool, std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready,
                 const std::function<bool()>& pump, Help help) {
    PumpCadence cadence;
    return waitPumping(pool, lock, ready, pump, cadence, help);
}

}  // namespace zor
