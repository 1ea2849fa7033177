// dirmonitorthread.cpp - the folder watcher thread: inotify through QFileSystemWatcher, in the thread's own event loop.
#include "shellview/dirmonitorthread.h"

#include <QFileSystemWatcher>
#include <QTimer>

namespace zor {

TDirMonitorThread::TDirMonitorThread(QObject* owner, QString path) : owner_(owner), path_(std::move(path)) {
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void TDirMonitorThread::RequestStop() {
    stop_.store(true);
    quit();
}

void TDirMonitorThread::run() {
    // The watcher lives in this thread: its notifications are read here, and
    // it is closed when the loop ends. A directory watch covers creating,
    // deleting and renaming entries and changing their attributes, not writes
    // into the files and nothing in sub-folders.
    QFileSystemWatcher watcher;
    if (StopRequested() || !watcher.addPath(path_)) return;
    connect(&watcher, &QFileSystemWatcher::directoryChanged, &watcher, [this] {
        if (!StopRequested()) emit ContentsChanged();
    }, Qt::DirectConnection);

    // quit() from RequestStop ends the loop at once; the timer is the
    // guarantee for a stop request that raced with the loop's start.
    QTimer stopCheck;
    connect(&stopCheck, &QTimer::timeout, &stopCheck, [this] {
        if (StopRequested()) quit();
    }, Qt::DirectConnection);
    stopCheck.start(kStopCheckMs);
    if (!StopRequested()) exec();
}

}  // namespace zor
