// worker_pool_test.cpp - ordered results, the bound on work in hand, helping waiters, pumping and cancellation.
#include "engine/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace zor {
namespace {

using namespace std::chrono_literals;

// Results come back in submission order whatever order the tasks end in,
// with any number of workers; with none the waiting thread does the work.
TEST(WorkerPool, OrderedResultsWithAnyWorkerCount) {
    struct Case {
        int32_t workers;
        Help help;
    };
    for (const Case c : {Case{0, Help::Yes}, Case{1, Help::No}, Case{3, Help::No}, Case{3, Help::Yes}}) {
        SCOPED_TRACE(c.workers);
        WorkerPool pool(c.workers);
        OrderedTasks<int> tasks(pool, 4);
        std::vector<int> taken;
        for (int i = 0; i < 40; ++i) {
            while (!tasks.hasRoomFor(1)) taken.push_back(*tasks.takeOldest([] { return true; }, c.help));
            EXPECT_LE(tasks.weightInHand(), 4u);
            tasks.submit([i] {
                // Early tasks last longer, so later ones overtake them.
                std::this_thread::sleep_for(std::chrono::microseconds((40 - i) % 7 * 300));
                return i * i;
            });
        }
        while (tasks.inHand() > 0) taken.push_back(*tasks.takeOldest([] { return true; }, c.help));
        ASSERT_EQ(taken.size(), 40u);
        for (int i = 0; i < 40; ++i) EXPECT_EQ(taken[static_cast<size_t>(i)], i * i);
    }
}

TEST(WorkerPool, OneTaskIsAllowedOverTheBudget) {
    WorkerPool pool(1);
    OrderedTasks<int> tasks(pool, 10);
    EXPECT_TRUE(tasks.hasRoomFor(100));
    tasks.submit([] { return 1; }, 100);
    EXPECT_FALSE(tasks.hasRoomFor(1));
    EXPECT_EQ(*tasks.takeOldest([] { return true; }), 1);
    EXPECT_TRUE(tasks.hasRoomFor(10));
}

// A wait pumps at least every interval and ends when the pump says so.
TEST(WorkerPool, WaitPumpsUntilThePumpGivesUp) {
    WorkerPool pool(1);
    std::atomic<bool> release{false};
    OrderedTasks<int> tasks(pool, 1);
    tasks.submit([&] {
        while (!release) std::this_thread::sleep_for(1ms);
        return 7;
    });
    int pumps = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(tasks.takeOldest([&] { return ++pumps < 3; }));
    EXPECT_EQ(pumps, 3);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 3 * kPumpWaitInterval);
    // The task stays in hand and can still be taken.
    release = true;
    EXPECT_EQ(tasks.takeOldest([] { return true; }), 7);
}

// Cancelling drops what is queued and raises the stop flag that running
// tasks look at; the destructors wait for running tasks and join.
TEST(WorkerPool, CancelDropsQueuedTasksAndStopsRunningOnes) {
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    {
        WorkerPool pool(2);
        OrderedTasks<bool> tasks(pool, 100);
        for (int i = 0; i < 20; ++i) {
            tasks.submit([&] {
                ++started;
                while (!pool.stopping()) std::this_thread::sleep_for(1ms);
                ++finished;
                return true;
            });
        }
        while (started < 2) std::this_thread::sleep_for(1ms);
        pool.cancel();
        EXPECT_TRUE(tasks.takeOldest([] { return true; }));  // it was running: its result comes
        // Later tasks never started: nothing, and no wait.
        for (int i = 0; i < 2 && tasks.inHand() > 0; ++i) tasks.takeOldest([] { return true; });
        pool.post([&] { ++started; });  // refused once cancelled
    }
    EXPECT_EQ(started, 2);
    EXPECT_EQ(finished, 2);
}

TEST(WorkerPool, DroppingTasksWaitsForThoseRunning) {
    WorkerPool pool(1);
    std::atomic<bool> running{false};
    std::atomic<bool> done{false};
    {
        OrderedTasks<int> tasks(pool, 2);
        tasks.submit([&] {
            running = true;
            std::this_thread::sleep_for(30ms);
            done = true;
            return 0;
        });
        tasks.submit([] { return ADD_FAILURE(), 1; });  // dropped before it starts
        while (!running) std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(done);
    EXPECT_FALSE(pool.stopping());
}

}  // namespace
}  // namespace zor
