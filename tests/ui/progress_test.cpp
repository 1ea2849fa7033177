// progress_test.cpp - the progress window's clock, Abort, bars and the progress thread's refresh.
#include "ui/progressbox.h"
#include "ui/progressthread.h"
#include "widget_lookup.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace zor {
namespace {

using test::child;

struct ClockCase {
    int ticks;
    const char* shown;
};

class ProgressClock : public testing::TestWithParam<ClockCase> {};

TEST_P(ProgressClock, EachTickIsOneSecond) {
    TProgressform form;
    form.show();
    for (int tick = 0; tick < GetParam().ticks; ++tick) form.ThreadedTimerTimer();
    EXPECT_EQ(form.elapsedText().toStdString(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Ticks, ProgressClock,
                         testing::Values(ClockCase{0, "00:00:00"}, ClockCase{9, "00:00:09"},
                                         ClockCase{10, "00:00:10"}, ClockCase{59, "00:00:59"},
                                         ClockCase{60, "00:01:00"}, ClockCase{61, "00:01:01"},
                                         ClockCase{3599, "00:59:59"}, ClockCase{3600, "01:00:00"},
                                         ClockCase{360000, "100:00:00"}));

TEST(ProgressWindow, StartsWithUnknownCountsAndItsCaptions) {
    TProgressform form;
    EXPECT_EQ(child<QLabel>(form, "TotalFiles")->text(), QStringLiteral("????"));
    EXPECT_EQ(child<QLabel>(form, "Label5")->text(), QStringLiteral("Found files :"));
    EXPECT_EQ(child<QLabel>(form, "Label2")->text(), QStringLiteral("Total Progress:"));
    EXPECT_EQ(child<QPushButton>(form, "Abort")->text(), QStringLiteral("Abort"));
    EXPECT_FALSE(form.isVisible());
}

TEST(ProgressWindow, ShowingAgainRestartsTheClockAndEmptiesTheAbortText) {
    TProgressform form;
    form.showForOperation();
    for (int tick = 0; tick < 75; ++tick) form.ThreadedTimerTimer();
    form.AbortClick();
    form.closeProgress();
    EXPECT_FALSE(form.isVisible());
    form.showForOperation();
    EXPECT_EQ(form.elapsedText(), QStringLiteral("00:00:00"));
    EXPECT_TRUE(child<QLabel>(form, "AbortLabel")->text().isEmpty());
    form.ThreadedTimerTimer();
    EXPECT_EQ(form.elapsedText(), QStringLiteral("00:00:01"));
}

TEST(ProgressWindow, AbortRaisesTheFlagAtOnceAndDisablesTheButton) {
    TProgressform form;
    form.showForOperation();
    auto* abort = child<QPushButton>(form, "Abort");
    ASSERT_TRUE(abort->isEnabled());
    EXPECT_FALSE(form.abortRequested());
    QTest::mouseClick(abort, Qt::LeftButton);
    EXPECT_TRUE(form.abortRequested());
    EXPECT_FALSE(abort->isEnabled());
    EXPECT_EQ(child<QLabel>(form, "AbortLabel")->text(), QStringLiteral("Please wait ... aborting"));
    // The window stays until the operation has cleaned up and closes it.
    EXPECT_TRUE(form.isVisible());
    form.clearAbortRequest();
    EXPECT_FALSE(form.abortRequested());
    form.showForOperation();
    EXPECT_TRUE(abort->isEnabled());
}

TEST(ProgressWindow, EscapeAndCloseDoNotHideItDuringAnOperation) {
    TProgressform form;
    form.showForOperation();
    QTest::keyClick(&form, Qt::Key_Escape);
    form.close();
    EXPECT_TRUE(form.isVisible());
}

TEST(ProgressWindow, BarsTruncateThePercentagesAndStartAtZero) {
    TProgressform form;
    form.refreshBars(99.9f, 42.5f);
    EXPECT_EQ(child<QProgressBar>(form, "ProgressBar")->value(), 99);
    EXPECT_EQ(child<QProgressBar>(form, "TotalProgress")->value(), 42);
    form.showForOperation();
    EXPECT_EQ(child<QProgressBar>(form, "ProgressBar")->value(), 0);
    EXPECT_EQ(child<QProgressBar>(form, "TotalProgress")->value(), 0);
}

TEST(ProgressThread, CopiesThePercentagesWhenTheEventLoopRunsAndEndsByItself) {
    TProgressform form;
    ProgressPercents percents{12.7f, 3.2f};
    QPointer<UpdateProgress> thread = UpdateProgress::launch(&form, [&percents] { return percents; });
    auto* fileBar = child<QProgressBar>(form, "ProgressBar");
    auto* totalBar = child<QProgressBar>(form, "TotalProgress");
    EXPECT_TRUE(QTest::qWaitFor([&] { return fileBar->value() == 12 && totalBar->value() == 3; }));
    percents = {99.9f, 55.0f};
    EXPECT_TRUE(QTest::qWaitFor([&] { return fileBar->value() == 99 && totalBar->value() == 55; }));
    thread->stop();
    // It deletes itself after its last pass; nobody waits for it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return thread.isNull(); }));
}

}  // namespace
}  // namespace zor
