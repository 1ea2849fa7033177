// progressbox.h - the progress window shown while an archive is packed, unpacked or tested.
//
// The window is created hidden, lives as long as the program and is shown
// (not modally, always on top) for each operation. Its clock counts the
// seconds since it was last shown; its Abort button raises a flag that the
// running operation polls at its check points and clears once it has acted
// on it. Everything here runs in the user-interface thread.
#pragma once

#include "ui/zordialog.h"

#include <cstdint>

class QLabel;
class QProgressBar;

namespace zor {

class TThreadedTimer;

class TProgressform : public ZorDialog {
    Q_OBJECT
public:
    explicit TProgressform(QWidget* parent = nullptr);

    // An operation starts: show the window, enable Abort, zero both bars.
    void showForOperation();
    void enableAbort();
    // The operation ended, was aborted or reported an error; the window is
    // kept for the next one. Harmless when the window is hidden.
    void closeProgress();

    void setTotalFiles(int64_t count);
    void setTotalDirectories(int64_t count);
    void setCurrentFileNumber(int64_t number);
    void setCurrentFileName(const QString& name);
    void setAction(const QString& text);
    // Bar positions in whole percent.
    void setProgressBars(int filePercent, int totalPercent);
    // The progress thread's refresh step: the percentages truncated (99.9
    // shows as 99).
    void refreshBars(float filePercent, float totalPercent);

    bool abortRequested() const { return abortRequested_; }
    void clearAbortRequest() { abortRequested_ = false; }

    // "hh:mm:ss" as the three clock labels show it.
    QString elapsedText() const;

    void AbortClick();
    void ThreadedTimerTimer();

signals:
    // Abort was pressed; abortRequested() is now true.
    void abortClicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();

    QLabel* Label5;
    QLabel* TotalFiles;
    QLabel* Label6;
    QLabel* TotalDirectories;
    QLabel* Label7;
    QLabel* CurrentFileNumber;
    QLabel* Label4;
    QLabel* CurrentFileLabel;
    QLabel* Label1;
    QProgressBar* ProgressBar;
    QLabel* Label2;
    QProgressBar* TotalProgress;
    QLabel* Label3;
    QLabel* ActionLabel;
    QLabel* Label8;
    QLabel* HourLabel;
    QLabel* Label9;
    QLabel* MinLabel;
    QLabel* Label10;
    QLabel* SecLabel;
    QLabel* AbortLabel;
    QPushButton* Abort;
    TThreadedTimer* ThreadedTimer;

    int32_t seconds_ = 0;
    int32_t minutes_ = 0;
    int32_t hours_ = 0;
    bool abortRequested_ = false;
};

}  // namespace zor
