// operation_ui.h - the one interface through which archive operations talk to the person.
//
// The window, zor-cli and the tests each implement it. Everything runs in
// the thread that runs the operation; no call may be made from elsewhere.
// Fatal reports: the real front ends end the process (status 3) after
// showing the text; an implementation that returns makes the operation stop
// cleanly, so no operation relies on the process ending.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_drivers.h"

namespace zor {

// The question dialog's buttons, with the values the dialog returns.
enum class QuestionAnswer : int32_t { Yes = 6, No = 7, All = 8 };

// The question before an existing file at `path` is replaced.
inline std::string fileExistsQuestion(const std::string& path) {
    return "File " + path + " already exists. Overwrite ?";
}

class OperationUi : public DriverUi {
public:
    // ReportError: inherited `reportError(text, fatal)`. Recoverable mode
    // closes the progress window first, shows the box and returns; fatal mode
    // ends the process.

    // The question dialog (caption "Question") with `label` as its
    // QuestionLabel text and the buttons Yes, No and All.
    virtual QuestionAnswer askQuestion(const std::string& label) = 0;

    // Before extraction replaces the existing file at `path`: the question
    // dialog with fileExistsQuestion(path) and Yes, No and All (zor-cli:
    // --overwrite, or its own question on the terminal).
    virtual QuestionAnswer askOverwrite(const std::string& path) = 0;

    // The read-only warning box: `text`, caption "Warning", warning icon, Yes
    // and No. True for Yes.
    virtual bool confirmReadOnlyOverwrite(const std::string& text) = 0;

    // Before packing onto an existing file at the archive path: the question
    // fileExistsQuestion(path) with Yes and No (zor-cli:
    // --force, or the question on a terminal). `isArchive` tells whether
    // the file is a finished ZOR archive, so that the person can be told
    // when it is not. True replaces it.
    virtual bool confirmArchiveOverwrite(const std::string& path, bool isArchive) = 0;

    // What an operation left out without one of its own messages (an
    // unreadable folder, a FIFO, a link to a folder), each line naming the
    // path and the reason, reported together once the operation ends. The
    // window shows one box; by default each line is a recoverable error.
    virtual void reportOmissions(const std::vector<std::string>& lines) {
        for (const std::string& line : lines) reportError(line, false);
    }

    // The decrypt-password dialog, shown modally. Nothing for Cancel. The
    // dialog keeps its text until clearDecryptPassword().
    virtual std::optional<std::string> askDecryptPassword() = 0;
    virtual void clearDecryptPassword() = 0;

    // The progress window.
    virtual void showProgress() = 0;
    virtual void hideProgress() = 0;   // hidden for a question, shown again afterwards
    virtual void closeProgress() = 0;  // closing a window that is not shown does nothing
    virtual void enableAbort() = 0;
    virtual void clearAbortRequest() = 0;
    virtual void setCurrentFileLabel(const std::string& text) = 0;
    virtual void setCurrentFileNumber(int64_t number) = 0;
    // These two repaint their label at once.
    virtual void setTotalFiles(int64_t count) = 0;
    virtual void setTotalDirectories(int64_t count) = 0;

    // While packing, the progress thread copies FileProgressPercent and
    // TotalProgressPercent from `progress` into the two bars, in the
    // interface's own thread. Between start and stop `progress` stays valid.
    virtual void startProgressUpdates(const DriverProgress& progress) { (void)progress; }
    virtual void stopProgressUpdates() {}

    // The window's own state around an operation: the folder list stops
    // following disk changes while an archive is written and rescans after;
    // the main window is disabled while testing runs.
    virtual void suspendFolderMonitoring() {}
    virtual void resumeFolderMonitoring() {}
    virtual void setMainWindowEnabled(bool enabled) { (void)enabled; }
};

}  // namespace zor
