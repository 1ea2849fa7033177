// dirmonitorthread_test.cpp - the folder watcher: changes reach the user-interface thread, sub-folders do not, stopping is prompt.
#include "shellview/dirmonitorthread.h"
#include "shellview/explistview.h"

#include "tests/shellview/shell_test_support.h"

#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace zor {
namespace {

using test::ScratchFolder;
using test::WaitUntil;

// Longer than any notification takes, short enough to keep the run quick.
constexpr int kNotificationWaitMs = 5000;

TEST(DirMonitorThread, ReportsANewFileInTheUserInterfaceThreadAndStopsWhenAsked) {
    ScratchFolder scratch;
    QObject receiver;
    int reports = 0;
    bool allInMainThread = true;
    auto* watcher = new TDirMonitorThread(&receiver, scratch.path());
    QObject::connect(watcher, &TDirMonitorThread::ContentsChanged, &receiver, [&] {
        ++reports;
        allInMainThread = allInMainThread && QThread::currentThread() == receiver.thread();
    }, Qt::BlockingQueuedConnection);
    QPointer<TDirMonitorThread> alive(watcher);
    watcher->start();
    ASSERT_TRUE(WaitUntil([&] { return watcher->isRunning(); }, kNotificationWaitMs));
    // Give the thread a moment to register its watch before the change.
    QTest::qWait(200);

    scratch.File("new.txt");
    ASSERT_TRUE(WaitUntil([&] { return reports > 0; }, kNotificationWaitMs));
    EXPECT_TRUE(allInMainThread);

    watcher->RequestStop();
    EXPECT_TRUE(WaitUntil([&] { return alive.isNull(); }, TDirMonitorThread::kStopCheckMs))
        << "the watcher neither ended nor deleted itself within 2 seconds";
}

TEST(DirMonitorThread, EndsAtOnceOnAFolderItCannotWatch) {
    QObject receiver;
    auto* watcher = new TDirMonitorThread(&receiver, "/no/such/folder");
    QPointer<TDirMonitorThread> alive(watcher);
    watcher->start();
    EXPECT_TRUE(WaitUntil([&] { return alive.isNull(); }, TDirMonitorThread::kStopCheckMs));
}

class WatchedViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        scratch.Folder("sub");
        scratch.File("old.txt");
        ASSERT_TRUE(view.SetFolder(scratch.path()));
        view.SetActive(true);
        ASSERT_NE(view.Watcher(), nullptr);
        ASSERT_TRUE(WaitUntil([&] { return view.Watcher()->isRunning(); }, kNotificationWaitMs));
        QTest::qWait(200);
    }
    bool Lists(const QString& caption) const {
        for (int row = 0; row < view.RowCount(); ++row) {
            if (view.Caption(row) == caption) return true;
        }
        return false;
    }

    ScratchFolder scratch;
    TExpListView view;
};

TEST_F(WatchedViewTest, ShowsFilesCreatedAndDeletedByOthers) {
    scratch.File("fresh.txt");
    EXPECT_TRUE(WaitUntil([&] { return Lists("fresh.txt"); }, kNotificationWaitMs));
    QFile::remove(scratch.at("old.txt"));
    EXPECT_TRUE(WaitUntil([&] { return !Lists("old.txt"); }, kNotificationWaitMs));
}

TEST_F(WatchedViewTest, EmptiesTheListWhenTheFolderItselfVanishes) {
    scratch.File("sub/inside.txt");
    view.SetFolder(scratch.at("sub"));
    ASSERT_TRUE(Lists("inside.txt"));
    ASSERT_TRUE(WaitUntil([&] { return view.Watcher() && view.Watcher()->isRunning(); }, kNotificationWaitMs));
    QTest::qWait(200);
    QDir(scratch.at("sub")).removeRecursively();
    EXPECT_TRUE(WaitUntil([&] { return view.RowCount() == 0; }, kNotificationWaitMs));
    EXPECT_EQ(view.Folder(), scratch.at("sub"));
}

TEST_F(WatchedViewTest, IgnoresChangesInsideSubFolders) {
    QSignalSpy changes(&view, &TExpListView::OnDirContentsChanged);
    scratch.File("sub/deep.txt");
    // A marker change in the folder itself proves notifications flow; the sub-folder's change must not add one.
    QTest::qWait(300);
    scratch.File("marker");
    ASSERT_TRUE(WaitUntil([&] { return Lists("marker"); }, kNotificationWaitMs));
    QTest::qWait(300);
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(WatchedViewTest, KeepsTheSelectionAndSortColumnAcrossAChangeOnDisk) {
    view.SetRowSelected(1, true);
    const QString selected = view.Caption(1);
    view.SetSortBy(1);
    scratch.File("another.txt");
    ASSERT_TRUE(WaitUntil([&] { return Lists("another.txt"); }, kNotificationWaitMs));
    const std::vector<int> rows = view.SelectedRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(view.Caption(rows[0]), selected);
    EXPECT_EQ(view.SortBy(), 1);
}

TEST_F(WatchedViewTest, StopsWatchingWhenMonitoringIsSwitchedOffOrTheFolderChanges) {
    QPointer<TDirMonitorThread> first(view.Watcher());
    view.SetMonitorDirectory(false);
    EXPECT_EQ(view.Watcher(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return first.isNull(); }, TDirMonitorThread::kStopCheckMs));

    QSignalSpy changes(&view, &TExpListView::OnDirContentsChanged);
    scratch.File("unseen.txt");
    QTest::qWait(300);
    EXPECT_EQ(changes.count(), 0);

    view.SetMonitorDirectory(true);
    QPointer<TDirMonitorThread> second(view.Watcher());
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(second->path(), scratch.path());
    view.SetFolder(scratch.at("sub"));
    EXPECT_EQ(view.Watcher()->path(), scratch.at("sub"));
    EXPECT_TRUE(WaitUntil([&] { return second.isNull(); }, TDirMonitorThread::kStopCheckMs));
}

TEST(WatchedView, HasNoWatcherForVirtualPlaces) {
    TExpListView view;
    view.SetActive(true);
    EXPECT_EQ(view.PIDL(), ItemIdList::Desktop());
    EXPECT_EQ(view.Watcher(), nullptr);
}

}  // namespace
}  // namespace zor
