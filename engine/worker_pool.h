// worker_pool.h - the worker threads of the engine and the archive operations, their task queue, and the wait that pumps.
//
// How to: make a WorkerPool with the number of workers, `post` tasks to it
// (or submit them through an OrderedTasks, which hands their results back
// in submission order and bounds what is in hand), and wait for what the
// tasks produce with `waitPumping`, which keeps the person's interface
// alive: it calls the caller's pump at least every kPumpWaitInterval.
//
// Threading contract.
// - Tasks run on the workers, in the order they were posted as far as
//   starting goes, or on a thread that calls `runQueued` (directly, or
//   through a wait with Help::Yes), which takes the oldest queued task.
// - State that tasks share with other threads lives under the pool's
//   `mutex()`; whoever changes it under that lock and wants waiters to see
//   it calls `notifyAll()`. Every wait of this header sleeps on that one
//   lock and wakes on notifyAll, on its interval, or on a new task.
// - Tasks must not throw; a task that can run out of memory catches it and
//   reports it in its own result.
// - `cancel()` drops every queued task (it never runs) and raises the stop
//   flag, which a long task should look at between its steps. The
//   destructor cancels and joins the workers: no worker outlives the pool,
//   and the tasks' captures must outlive it or be owned by the task.
// - A task that waits for the thread that posted it must never be run by
//   that thread: post such tasks only where the waits do not help.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zor {

// The longest a waiting thread goes without pumping its interface.
inline constexpr std::chrono::milliseconds kPumpWaitInterval{20};

class WorkerPool {
public:
    using Task = std::function<void()>;

    // Starts `workers` threads (none for 0 or less; fewer when the system
    // refuses one, which only makes the work slower: see workerCount).
    explicit WorkerPool(int32_t workers);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    ~WorkerPool();

    int32_t workerCount() const { return static_cast<int32_t>(threads_.size()); }

    // Queues a task. Any thread; a cancelled pool drops it at once.
    void post(Task task);
    // Runs the oldest queued task on the calling thread (without the lock);
    // false when none is queued.
    bool runQueued();

    // Drops the queued tasks and raises the stop flag; running tasks go on
    // until they look at it. Any thread, any number of times.
    void cancel();
    bool stopping() const { return stopping_.load(std::memory_order_relaxed); }
    const std::atomic<bool>& stopFlag() const { return stopping_; }

    std::mutex& mutex() { return mutex_; }
    // Wakes every thread waiting on the pool's lock.
    void notifyAll() { stateChanged_.notify_all(); }
    // Sleeps (with `lock` on mutex() held) until notifyAll, a new task, or
    // `interval` has passed; spurious wake-ups happen, so recheck.
    void waitABit(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds interval = kPumpWaitInterval);

private:
    void work();

    std::mutex mutex_;
    std::condition_variable taskQueued_;    // workers sleep on it
    std::condition_variable stateChanged_;  // everyone else does
    std::deque<Task> queue_;
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> threads_;
};

// Whether a waiting thread runs queued tasks itself instead of sleeping.
enum class Help { No, Yes };

// Tells when a waiting thread's pump is due: every kPumpWaitInterval. One
// cadence kept across several waits pumps evenly over all of them.
class PumpCadence {
public:
    // True, and the interval starts again, once it has passed since the last true.
    bool due();

private:
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// Waits until `ready()` holds, evaluated with `lock` (on the pool's mutex)
// held, which it is again on return. Whenever `cadence` is due, `pump()` is
// called with the lock released; when it returns false the wait ends,
// returning whether `ready()` holds by then. With Help::Yes the thread runs queued tasks instead of sleeping
// (and pumps after each one that was due). True once `ready()` holds.
bool waitPumping(WorkerPool& pool, std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready,
                 const std::function<bool()>& pump, PumpCadence& cadence, Help help = Help::No);
bool waitPumping(WorkerPool& pool, std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready,
                 const std::function<bool()>& pump, Help help = Help::No);

// Tasks run on a pool whose results are taken back in the order they were
// submitted, with a bound on the work in hand (submitted and not yet taken):
// each task carries a weight, and `hasRoomFor` says whether one more fits
// the budget; a single task is always allowed, however heavy.
// One thread (the owner) calls every method. The destructor drops the
// owner's tasks that have not started and waits for those running, so no
// task of this object runs afterwards.
template <typename Result>
class OrderedTasks {
public:
    OrderedTasks(WorkerPool& pool, uint64_t budget) : pool_(pool), budget_(budget) {}
    OrderedTasks(const OrderedTasks&) = delete;
    OrderedTasks& operator=(const OrderedTasks&) = delete;
    ~OrderedTasks() { dropAll(); }

    std::size_t inHand() const { return entries_.size(); }
    uint64_t weightInHand() const { return weight_; }
    bool hasRoomFor(uint64_t weight) const { return entries_.empty() || weight_ + weight <= budget_; }

    void submit(std::function<Result()> work, uint64_t weight = 1) {
        auto entry = std::make_shared<Entry>();
        entry->weight = weight;
        entries_.push_back(entry);
        weight_ += weight;
        // The task holds its entry and the pool, never this object, so a
        // dropped task that a worker reaches later touches nothing gone.
        WorkerPool& pool = pool_;
        pool.post([&pool, entry, work = std::move(work)] {
            {
                const std::lock_guard<std::mutex> lock(pool.mutex());
                if (entry->dropped) return;
                entry->started = true;
            }
            std::optional<Result> result(work());
            {
                const std::lock_guard<std::mutex> lock(pool.mutex());
                entry->result = std::move(result);
                entry->done = true;
            }
            pool.notifyAll();
        });
    }

    // Whether the oldest task has finished (false when none is in hand).
    bool oldestReady() {
        const std::lock_guard<std::mutex> lock(pool_.mutex());
        return !entries_.empty() && entries_.front()->done;
    }

    // The oldest task's result, waiting for it as waitPumping does. Nothing
    // when none is in hand, when `pump` ended the wait (the task stays in
    // hand), or when the pool was cancelled before the task started (it is
    // then dropped).
    std::optional<Result> takeOldest(const std::function<bool()>& pump, PumpCadence& cadence, Help help = Help::No) {
        if (entries_.empty()) return std::nullopt;
        const std::shared_ptr<Entry> entry = entries_.front();
        std::unique_lock<std::mutex> lock(pool_.mutex());
        const bool ready = waitPumping(
            pool_, lock, [&] { return entry->done || (pool_.stopping() && !entry->started); }, pump, cadence, help);
        if (!ready) return std::nullopt;
        entries_.pop_front();
        weight_ -= entry->weight;
        return std::move(entry->result);
    }
    std::optional<Result> takeOldest(const std::function<bool()>& pump, Help help = Help::No) {
        PumpCadence cadence;
        return takeOldest(pump, cadence, help);
    }

    // Drops every task in hand: those not started never run, those running
    // are waited for (without pumping) and their results thrown away.
    void dropAll() {
        std::unique_lock<std::mutex> lock(pool_.mutex());
        for (const auto& entry : entries_) entry->dropped = true;
        for (const auto& entry : entries_) {
            while (entry->started && !entry->done) pool_.waitABit(lock);
        }
        entries_.clear();
        weight_ = 0;
    }

private:
    struct Entry {
        uint64_t weight = 0;
        // Under the pool's lock:
        bool started = false;
        bool done = false;
        bool dropped = false;
        std::optional<Result> result;
    };

    WorkerPool& pool_;
    const uint64_t budget_;
    std::deque<std::shared_ptr<Entry>> entries_;
    uint64_t weight_ = 0;
};

}  // namespace zor
