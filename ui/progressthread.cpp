// progressthread.cpp - the thread that keeps the progress bars moving while an archive is packed.
#include "ui/progressthread.h"

#include "ui/progressbox.h"

namespace zor {

namespace {

// A short rest between passes: the user-interface thread lets the loop run
// at most every few tens of milliseconds while it packs, so no refresh is
// lost, and an idle user-interface thread (a message box is open) is not
// kept busy by an endless stream of refresh calls.
constexpr unsigned long kRestMs = 10;

}  // namespace

UpdateProgress::UpdateProgress(TProgressform* form, ReadPercents readPercents)
    : form_(form), readPercents_(std::move(readPercents)) {
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

UpdateProgress* UpdateProgress::launch(TProgressform* form, ReadPercents readPercents) {
    auto* thread = new UpdateProgress(form, std::move(readPercents));
    thread->start();
    return thread;
}

void UpdateProgress::stop() {
    requestInterruption();
}

void UpdateProgress::run() {
    while (!isInterruptionRequested()) {
        QMetaObject::invokeMethod(
            form_,
            [this] {
                const ProgressPercents percents = readPercents_();
                form_->refreshBars(percents.file, percents.total);
            },
            Qt::BlockingQueuedConnection);
        msleep(kRestMs);
    }
}

}  // namespace zor
