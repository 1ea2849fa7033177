// progressthread.h - the thread that keeps the progress bars moving while an archive is packed.
//
// Its loop hands one refresh step at a time to the user-interface thread
// and waits there until that thread has run it, which happens only when the
// packing lets the event loop run. The step reads the two percentages and
// sets the bars; the thread itself touches neither.
//
// Life: launch() starts it; stop() asks it to end and it deletes itself after
// its last pass, so the caller must not delete it or wait for it (waiting in
// the user-interface thread would block the very call the thread is waiting
// on).
#pragma once

#include <QThread>

#include <functional>

namespace zor {

class TProgressform;

// The two percentages of the running operation, read in the user-interface
// thread.
struct ProgressPercents {
    float file = 0;
    float total = 0;
};

class UpdateProgress final : public QThread {
    Q_OBJECT
public:
    using ReadPercents = std::function<ProgressPercents()>;

    static UpdateProgress* launch(TProgressform* form, ReadPercents readPercents);
    void stop();

protected:
    void run() override;

private:
    UpdateProgress(TProgressform* form, ReadPercents readPercents);

    TProgressform* const form_;
    const ReadPercents readPercents_;
};

}  // namespace zor
