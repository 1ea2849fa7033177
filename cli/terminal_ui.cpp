// terminal_ui.cpp - the terminal's questions, messages, progress line and Ctrl+C handling.
#include "cli/terminal_ui.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

#include "archive/archive_header.h"
#include "archive/cipher.h"
#include "cli/password_input.h"
#include "platform/signal_cleanup.h"

namespace zor::cli {
namespace {

// Set by the interrupt handler, read by the operation's polls. The handler
// may run on any thread (a worker's too), so the flags are lock-free atomics,
// which a signal handler may use. The abort request is cleared once
// honoured; `interruptedBefore` is not, so the next Ctrl+C always ends the program.
std::atomic<bool> interruptReceived = false;
std::atomic<bool> interruptedBefore = false;
static_assert(std::atomic<bool>::is_always_lock_free);

void onInterrupt(int signalNumber) {
    if (interruptedBefore) {
        // Everything here is async-signal-safe; the signal is blocked until the handler returns.
        removePartFilesNow();
        ::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber);
        return;
    }
    interruptedBefore = true;
    interruptReceived = true;
    static const char notice[] = "\nzor-cli: stopping at the next safe point (Ctrl+C again ends at once)\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, notice, sizeof notice - 1);
}

// The engine may pump per byte: the clock is looked at only every so many calls.
constexpr unsigned kPumpsBetweenClockReads = 4096;
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

std::string elapsedText(std::chrono::steady_clock::duration elapsed) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

// "src\docs\a.txt" as a person reads a path: "src/docs/a.txt".
std::string withSlashes(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

// Columns of the terminal on standard error; 80 when it does not say.
std::size_t terminalColumns() {
    winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// Where each character of UTF-8 `text` begins (a byte that does not continue a sequence), and its end.
std::vector<std::size_t> characterStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    starts.push_back(text.size());
    return starts;
}

}  // namespace

std::string shortenedInTheMiddle(const std::string& name, std::size_t columns) {
    const std::vector<std::size_t> starts = characterStarts(name);
    const std::size_t characters = starts.size() - 1;
    if (characters <= columns) return name;
    const std::string dots = "...";
    if (columns <= dots.size()) return dots.substr(0, columns);
    const std::size_t kept = columns - dots.size();
    const std::size_t head = kept / 2;
    const std::size_t tail = kept - head;
    return name.substr(0, starts[head]) + dots + name.substr(starts[characters - tail]);
}

std::string progressLine(int percent, const std::string& elapsed, const std::string& name, std::size_t columns) {
    char start[48];
    std::snprintf(start, sizeof start, "%3d%%  %s  ", percent, elapsed.c_str());
    const std::string line = start;
    const std::size_t room = columns > line.size() + 1 ? columns - line.size() - 1 : 0;
    if (room == 0) return shortenedInTheMiddle(line, columns > 0 ? columns - 1 : 0);
    return line + shortenedInTheMiddle(printableName(withSlashes(name)), room);
}

std::string terminalMessage(const std::string& text) {
    std::string message;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        message += "zor-cli: " + printableName(text.substr(start, end - start)) + "\n";
        if (end == std::string::npos) return message;
        start = end + 1;
    }
}

void printMessage(const std::string& text) { std::fputs(terminalMessage(text).c_str(), stderr); }

std::string printableName(const std::string& text) {
    std::string shown = text;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) c = '?';
    }
    return shown;
}

TerminalUi::TerminalUi(TerminalOptions options) : options_(std::move(options)) {
    showsProgress_ = !options_.quiet && ::isatty(STDERR_FILENO);
    interruptReceived = false;
    interruptedBefore = false;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: Ctrl+C at a question ends the read that waits for the answer
    ::sigaction(SIGINT, &action, &previousInterrupt_);
}

TerminalUi::~TerminalUi() {
    clearProgressLine();
    ::sigaction(SIGINT, &previousInterrupt_, nullptr);
}

void TerminalUi::reportError(const std::string& text, bool fatal) {
    clearProgressLine();
    const bool aboutTheArchive = text == kCorruptArchiveMessage || text == kWrongPasswordMessage;
    printMessage(aboutTheArchive && !options_.archive.empty() ? options_.archive + ": " + text : text);
    reported_ = true;
    fatal_ = fatal_ || fatal;
}

void TerminalUi::setActionLabel(const std::string& text) {
    if (options_.printFileOk && text == "File OK") {
        clearProgressLine();
        std::printf("%s: File OK\n", printableName(currentFile_).c_str());
        std::fflush(stdout);
    }
}

void TerminalUi::setProgressBars(int, int totalPercent) { totalPercent_ = totalPercent; }

bool TerminalUi::abortRequested() const { return interruptReceived; }

void TerminalUi::clearAbortRequest() { interruptReceived = false; }

void TerminalUi::pumpMessages() {
    if (!showsProgress_ || pumpCountdown_-- > 0) return;
    pumpCountdown_ = kPumpsBetweenClockReads;
    if (std::chrono::steady_clock::now() - lastDrawn_ >= kRedrawInterval) drawProgress();
}

void TerminalUi::showProgress() {
    if (started_ == std::chrono::steady_clock::time_point{}) started_ = std::chrono::steady_clock::now();
}

void TerminalUi::nameDone(const std::string& name) {
    clearProgressLine();
    std::FILE* to = options_.namesOnStandardError ? stderr : stdout;
    std::fprintf(to, "%s\n", printableName(withSlashes(name)).c_str());
    std::fflush(to);
}

void TerminalUi::setCurrentFileLabel(const std::string& text) {
    // Packing names a file when it starts the next one, or ends.
    if (options_.namePackedFiles && !currentFile_.empty() && text != currentFile_) nameDone(currentFile_);
    currentFile_ = text;
    if (showsProgress_ && !text.empty()) drawProgress();
}

void TerminalUi::drawProgress() {
    if (!showsProgress_) return;
    const auto now = std::chrono::steady_clock::now();
    lastDrawn_ = now;
    const int percent = packing_ ? static_cast<int>(packing_->TotalProgressPercent) : totalPercent_;
    const std::string elapsed = started_ == std::chrono::steady_clock::time_point{} ? elapsedText({})
                                                                                    : elapsedText(now - started_);
    // "\r" and erase-line keep one line that is redrawn in place.
    std::fprintf(stderr, "\r\033[K%s", progressLine(percent, elapsed, currentFile_, terminalColumns()).c_str());
    std::fflush(stderr);
    lineDrawn_ = true;
}

void TerminalUi::clearProgressLine() {
    if (!lineDrawn_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    lineDrawn_ = false;
}

std::optional<std::string> TerminalUi::readAnswer(const std::string& prompt) {
    if (abortRequested()) return std::nullopt;  // the operation is stopping: nothing more is asked
    clearProgressLine();
    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line)) {
        std::fputc('\n', stderr);
        if (abortRequested()) {
            // Ctrl+C broke off the read: the answer is the abort, and the
            // next question (if any) may read again.
            interruptedAtPrompt_ = true;
            std::cin.clear();
            std::clearerr(stdin);
        }
        return std::nullopt;
    }
    for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return line;
}

QuestionAnswer TerminalUi::askQuestion(const std::string& label) {
    for (;;) {
        const auto answer = readAnswer(printableName(label) + " [y]es, [n]o, [a]ll: ");
        if (!answer || *answer == "n" || *answer == "no") return QuestionAnswer::No;
        if (*answer == "y" || *answer == "yes") return QuestionAnswer::Yes;
        if (*answer == "a" || *answer == "all") return QuestionAnswer::All;
    }
}

QuestionAnswer TerminalUi::askOverwrite(const std::string& path) {
    switch (options_.overwrite) {
    case OverwriteMode::All:
        return QuestionAnswer::All;
    case OverwriteMode::Skip:
        clearProgressLine();
        std::fprintf(stderr, "zor-cli: skipped %s: it exists already\n", printableName(path).c_str());
        return QuestionAnswer::No;
    case OverwriteMode::Ask:
        break;
    }
    return askQuestion(fileExistsQuestion(path));
}

bool TerminalUi::confirmArchiveOverwrite(const std::string& path, bool isArchive) {
    if (options_.force) return true;
    if (!::isatty(STDIN_FILENO)) {
        reportError(path + (isArchive ? " already exists" : " already exists and is not a ZOR archive") +
                        "; nothing was packed (--force replaces it)",
                    false);
        return false;
    }
    if (!isArchive) reportError(path + " is not a ZOR archive", false);
    for (;;) {
        const auto answer = readAnswer(fileExistsQuestion(printableName(path)) + " [y]es, [n]o: ");
        if (!answer || *answer == "n" || *answer == "no") return false;
        if (*answer == "y" || *answer == "yes") return true;
    }
}

bool TerminalUi::confirmReadOnlyOverwrite(const std::string& text) {
    // --overwrite all stands for answering All, which still leaves the read-only
    // question to the person on a terminal; without one, all means all.
    if (options_.overwrite == OverwriteMode::Skip) return false;
    if (options_.overwrite == OverwriteMode::All && !::isatty(STDIN_FILENO)) return true;
    for (;;) {
        const auto answer = readAnswer("Warning: " + printableName(text) + " [y]es, [n]o: ");
        if (!answer || *answer == "n" || *answer == "no") return false;
        if (*answer == "y" || *answer == "yes") return true;
    }
}

std::optional<std::string> TerminalUi::askDecryptPassword() {
    if (options_.password) return options_.password;
    if (!options_.askPassword) {
        reportError("the archive is password protected; give --password-file FILE or --password", false);
        return std::nullopt;
    }
    clearProgressLine();
    PasswordResult result = askPasswordOnTerminal("Enter password to decrypt archive :", false);
    if (result.interrupted) {
        // Ctrl+C at the prompt is the abort request, as anywhere else in the operation.
        interruptedBefore = true;
        interruptReceived = true;
        interruptedAtPrompt_ = true;
        return std::nullopt;
    }
    // An empty line is a password that does not fit, as the dialog's empty text is.
    if (result.empty) return std::string();
    if (!result.password) {
        reportError(result.error, false);
        return std::nullopt;
    }
    // Asked once for the whole run, as the dialog keeps its text.
    options_.password = result.password;
    return result.password;
}

}  // namespace zor::cli
