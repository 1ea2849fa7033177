// dirmonitorthread.h - TDirMonitorThread, the worker that watches one folder and has the view rescan it.
//
// The thread waits for changes of names (files and folders) and attributes in
// one directory, not below it. On a change it makes a blocking queued call
// into the user-interface thread (the `ContentsChanged` signal, connected by
// the view with Qt::BlockingQueuedConnection) and goes on waiting once that call
// has run; it never touches a widget itself. Changes that arrive while the call
// runs are reported once, afterwards.
//
// Life cycle: created suspended (start it with `start()`), it is asked to stop
// with `RequestStop()` from any thread, which it obeys at once and in any case
// within 2 seconds; it deletes itself (in the user-interface thread) after it
// has ended.
#pragma once

#include <QString>
#include <QThread>
#include <atomic>

namespace zor {

class TDirMonitorThread : public QThread {
    Q_OBJECT

public:
    // Longest wait between two looks at the stop request.
    static constexpr int kStopCheckMs = 2000;

    // `owner` is the control the thread reports to; it is only named, never touched.
    TDirMonitorThread(QObject* owner, QString path);

    QObject* owner() const { return owner_; }
    const QString& path() const { return path_; }

    void RequestStop();
    bool StopRequested() const { return stop_.load(); }

signals:
    // A change was seen in the watched directory.
    void ContentsChanged();

protected:
    void run() override;

private:
    QObject* owner_;
    const QString path_;
    std::atomic<bool> stop_{false};
};

}  // namespace zor
