// qt_operation_ui.h - the window's side of the archive operations: progress window, questions, password prompt, error boxes.
//
// Everything runs in the user-interface thread, inside the operation; the
// pump lets Qt serve the progress window (Abort, clock, bars) between the
// operation's steps. The error box is a critical message box titled
// "Error"; like every box here it opens above the window in front (the
// progress window, a dialog) with the focus. A fatal report ends the
// process with status 3 once the box is confirmed.
#pragma once

#include "archive/operation_ui.h"
#include "ui/qt_message_pump.h"

#include <QPointer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace zor {

class TDecrypt;
class TExpListView;
class TProgressform;
class TQuestion;
class UpdateProgress;

// The windows the operations show, all owned elsewhere and living as long as this object.
struct OperationWindows {
    QWidget* owner = nullptr;  // the main window: owns the message boxes, disabled while testing
    TProgressform* progress = nullptr;
    TQuestion* question = nullptr;
    TDecrypt* decrypt = nullptr;
    TExpListView* folderList = nullptr;
};

// What a test found, counted from its "File OK" labels and its
// "NAME is corrupt" reports while a tally runs.
struct TestTally {
    int64_t passed = 0;  // files; folders pass too but are not counted
    std::string currentEntry;
    std::vector<std::string> corrupt;  // entry names, in archive order
    int64_t tested() const { return passed + static_cast<int64_t>(corrupt.size()); }
};

class QtOperationUi final : public OperationUi {
public:
    // How a fatal report ends the process; std::_Exit by default, replaced by tests.
    using Terminate = std::function<void(int status)>;
    static constexpr int kFatalExitStatus = 3;

    explicit QtOperationUi(OperationWindows windows, Terminate terminate = {});
    ~QtOperationUi() override;

    // DriverUi
    void reportError(const std::string& text, bool fatal) override;
    void setActionLabel(const std::string& text) override;
    void setProgressBars(int filePercent, int totalPercent) override;
    bool abortRequested() const override;
    void pumpMessages() override { pump_.pump(); }

    // OperationUi
    QuestionAnswer askQuestion(const std::string& label) override;
    QuestionAnswer askOverwrite(const std::string& path) override;
    bool confirmReadOnlyOverwrite(const std::string& text) override;
    bool confirmArchiveOverwrite(const std::string& path, bool isArchive) override;
    // One warning box listing them all; a long list shows its first lines
    // and keeps the whole of it in the box's scrollable details.
    void reportOmissions(const std::vector<std::string>& lines) override;
    std::optional<std::string> askDecryptPassword() override;
    void clearDecryptPassword() override;
    void showProgress() override;
    void hideProgress() override;
    void closeProgress() override;
    void enableAbort() override;
    void clearAbortRequest() override;
    void setCurrentFileLabel(const std::string& text) override;
    void setCurrentFileNumber(int64_t number) override;
    void setTotalFiles(int64_t count) override;
    void setTotalDirectories(int64_t count) override;
    void startProgressUpdates(const DriverProgress& progress) override;
    void stopProgressUpdates() override;
    void suspendFolderMonitoring() override;
    void resumeFolderMonitoring() override;
    void setMainWindowEnabled(bool enabled) override;

    // Counting a test's results: from start until finish.
    void startTestTally();
    TestTally finishTestTally();
    // The information box that ends a test: how many files were tested and
    // which were corrupt (the first few in the text, all in the details).
    void showTestResult(const TestTally& tally);

    // The plain box of a start-up argument whose header is refused: caption
    // "Error", an OK button, no icon.
    void showPlainError(const std::string& text);

    QtMessagePump& pump() { return pump_; }

private:
    OperationWindows windows_;
    Terminate terminate_;
    QtMessagePump pump_;
    QPointer<UpdateProgress> progressThread_;
    std::optional<TestTally> tally_;
};

}  // namespace zor
