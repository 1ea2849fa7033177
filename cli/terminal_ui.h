// terminal_ui.h - zor-cli's side of the archive operations: messages on standard error, questions and progress on the terminal.
//
// Messages go to standard error, one line each. The progress line (current
// file, overall percent, elapsed time) is drawn on standard error only when
// it is a terminal and -q was not given; a message of several lines is
// printed as several lines. Ctrl+C acts as the Abort button while the
// interface lives, also at a question or the password prompt (the answer is
// then the abort, never a No); a second Ctrl+C removes the part files and
// ends the program at once.
#pragma once

#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "archive/operation_ui.h"

namespace zor::cli {

// What extraction does with a file that exists already.
enum class OverwriteMode {
    Ask,   // the Yes / No / All question (and the read-only warning) on the terminal
    All,   // overwrite every one (a read-only one is still asked about when standard input is a terminal)
    Skip,  // keep every one, naming each on standard error
};

struct TerminalOptions {
    bool quiet = false;
    OverwriteMode overwrite = OverwriteMode::Skip;
    std::optional<std::string> password;  // the decrypt password, when one was given
    bool askPassword = false;             // ask for the decrypt password on the terminal
    bool printFileOk = false;             // print "<entry>: File OK" on standard output for each passed entry
    bool namePackedFiles = false;         // pack -v: each file's name on standard output once it is packed
    bool namesOnStandardError = false;    // -v names go to standard error (standard output carries data)
    // pack: replace an existing file at the archive path without asking
    // (without it: the question on a terminal, else a refusal).
    bool force = false;
    // The archive worked on: named before the reports that are about it as a whole (corrupt, wrong password).
    std::string archive;
};

class TerminalUi : public OperationUi {
public:
    explicit TerminalUi(TerminalOptions options);
    ~TerminalUi() override;
    TerminalUi(const TerminalUi&) = delete;
    TerminalUi& operator=(const TerminalUi&) = delete;

    void reportError(const std::string& text, bool fatal) override;
    void setActionLabel(const std::string& text) override;
    void setProgressBars(int filePercent, int totalPercent) override;
    bool abortRequested() const override;
    void pumpMessages() override;

    QuestionAnswer askQuestion(const std::string& label) override;
    QuestionAnswer askOverwrite(const std::string& path) override;
    bool confirmReadOnlyOverwrite(const std::string& text) override;
    bool confirmArchiveOverwrite(const std::string& path, bool isArchive) override;
    std::optional<std::string> askDecryptPassword() override;
    void clearDecryptPassword() override {}

    void showProgress() override;
    void hideProgress() override { clearProgressLine(); }
    void closeProgress() override { clearProgressLine(); }
    void enableAbort() override {}
    void clearAbortRequest() override;
    void setCurrentFileLabel(const std::string& text) override;
    void setCurrentFileNumber(int64_t) override {}
    void setTotalFiles(int64_t) override {}
    void setTotalDirectories(int64_t) override {}
    void startProgressUpdates(const DriverProgress& progress) override { packing_ = &progress; }
    void stopProgressUpdates() override { packing_ = nullptr; }

    // One line on standard output (or error) naming what was just done, "/" between its components.
    void nameDone(const std::string& name);

    bool fatalReported() const { return fatal_; }
    bool errorReported() const { return reported_; }
    // Ctrl+C broke off a question or the password prompt.
    bool interruptedAtPrompt() const { return interruptedAtPrompt_; }

private:
    void drawProgress();
    void clearProgressLine();
    // One line of standard input, lower-cased; nothing at its end.
    std::optional<std::string> readAnswer(const std::string& prompt);

    TerminalOptions options_;
    bool showsProgress_ = false;  // standard error is a terminal and -q was not given
    bool lineDrawn_ = false;
    std::string currentFile_;
    int totalPercent_ = 0;
    const DriverProgress* packing_ = nullptr;
    std::chrono::steady_clock::time_point started_ {};
    std::chrono::steady_clock::time_point lastDrawn_ {};
    unsigned pumpCountdown_ = 0;
    bool reported_ = false;
    bool fatal_ = false;
    bool interruptedAtPrompt_ = false;
    struct sigaction previousInterrupt_ {};
};

// Text from an archive made safe for the terminal: control bytes are shown as "?".
std::string printableName(const std::string& text);

// `name` in at most `columns` characters (UTF-8 sequences counted as one):
// a longer one keeps its start and end around "...".
std::string shortenedInTheMiddle(const std::string& name, std::size_t columns);

// The progress line for a terminal `columns` wide: percent, elapsed time and
// the current name with "/" between components, shortened to leave the
// last column free so that the line never wraps.
std::string progressLine(int percent, const std::string& elapsed, const std::string& name, std::size_t columns);

// A message as zor-cli prints it: each of its lines made printable and
// after "zor-cli: ", each ending with a line break.
std::string terminalMessage(const std::string& text);
// Prints terminalMessage(text) on standard error.
void printMessage(const std::string& text);

}  // namespace zor::cli
