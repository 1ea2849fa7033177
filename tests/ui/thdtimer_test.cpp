// thdtimer_test.cpp - when the threaded timer ticks, where its handler runs, and that it stops cleanly.
#include "ui/thdtimer.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>

namespace zor {
namespace {

// Lets the event loop run for `ms`; long enough for many 5 ms periods.
void runEvents(int ms) {
    QTest::qWait(ms);
}

TEST(ThreadedTimer, RunsItsHandlerInTheOwnersThread) {
    TThreadedTimer timer;
    int ticks = 0;
    bool inOwnerThread = true;
    QObject* sender = nullptr;
    timer.setInterval(5);
    timer.setOnTimer([&](QObject* from) {
        ++ticks;
        sender = from;
        inOwnerThread = inOwnerThread && QThread::currentThread() == timer.thread();
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }));
    EXPECT_TRUE(inOwnerThread);
    EXPECT_EQ(sender, &timer);
}

enum class Stopper { ZeroInterval, Disabled, NoHandler };

class StoppedTimer : public testing::TestWithParam<Stopper> {};

TEST_P(StoppedTimer, NeverTicks) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.setInterval(5);
    timer.setOnTimer([&](QObject*) { ++ticks; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 1; }));
    switch (GetParam()) {
    case Stopper::ZeroInterval: timer.setInterval(0); break;
    case Stopper::Disabled: timer.setEnabled(false); break;
    case Stopper::NoHandler: timer.setOnTimer({}); break;
    }
    EXPECT_FALSE(timer.running());
    const int ticksWhenStopped = ticks;
    runEvents(60);
    EXPECT_EQ(ticks, ticksWhenStopped);
}

INSTANTIATE_TEST_SUITE_P(Ways, StoppedTimer,
                         testing::Values(Stopper::ZeroInterval, Stopper::Disabled, Stopper::NoHandler));

TEST(ThreadedTimer, ResumesWhenEnabledAgain) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.setEnabled(false);
    timer.setInterval(5);
    timer.setOnTimer([&](QObject*) { ++ticks; });
    runEvents(40);
    EXPECT_EQ(ticks, 0);
    timer.setEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }));
}

TEST(ThreadedTimer, DestroyingItWhileATickWaitsForTheOwnerDoesNotHang) {
    // The owner's thread is busy (no event loop runs) when the timer goes:
    // the worker is waiting for its tick to be run, and must still end.
    int ticks = 0;
    auto timer = std::make_unique<TThreadedTimer>();
    timer->setInterval(1);
    timer->setOnTimer([&](QObject*) { ++ticks; });
    QThread::msleep(30);
    timer.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, 0);
}

}  // namespace
}  // namespace zor
