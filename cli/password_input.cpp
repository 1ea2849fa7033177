// password_input.cpp - the password file's first line, and the terminal prompt with echo switched off.
#include "cli/password_input.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace zor::cli {
namespace {

// A password line with its "\r\n" ending: the longest password, a byte more
// to tell a longer line, and the two bytes of the ending.
constexpr std::size_t kLongestLineRead = kMaxPasswordLength + 2;

PasswordResult checked(std::string password) {
    if (password.empty()) return {std::nullopt, "the password is empty", false, true};
    if (password.size() > kMaxPasswordLength) return {std::nullopt, "the password is longer than 50 characters"};
    return {std::move(password), {}};
}

std::string withoutLineEnd(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// Set while a prompt waits, by Ctrl+C. The handler may run on any thread
// (a worker's too), so the flag is a lock-free atomic.
std::atomic<bool> promptInterrupted = false;
static_assert(std::atomic<bool>::is_always_lock_free);

void onPromptInterrupt(int) { promptInterrupted = true; }

// The signals that end the process while a prompt waits, and what handled
// them before. Their handler puts the terminal's modes back, then hands the
// signal on, so that echo is never left off.
constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previousEnding[std::size(kEndingSignals)];
int promptTerminal = -1;
termios promptModes {};

void onEndingSignal(int signalNumber) {
    if (promptTerminal >= 0) ::tcsetattr(promptTerminal, TCSANOW, &promptModes);
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
        if (kEndingSignals[i] != signalNumber) continue;
        ::sigaction(signalNumber, &previousEnding[i], nullptr);
        // Restored and raised again: the signal is blocked until this handler returns, then the previous one runs.
        ::raise(signalNumber);
    }
}

// The terminal with echo off for as long as this lives. Ctrl+C meanwhile
// ends the prompt (never the process, which would leave the echo off).
class SilentTerminal {
public:
    SilentTerminal() : tty_(std::fopen("/dev/tty", "r+")) {
        if (!tty_) return;
        promptInterrupted = false;
        struct sigaction action {};
        action.sa_handler = onPromptInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: the read that waits for the password returns
        ::sigaction(SIGINT, &action, &previousInterrupt_);
        if (::tcgetattr(::fileno(tty_), &saved_) == 0) {
            promptModes = saved_;
            promptTerminal = ::fileno(tty_);
            struct sigaction ending {};
            ending.sa_handler = onEndingSignal;
            sigfillset(&ending.sa_mask);
            for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
                ::sigaction(kEndingSignals[i], &ending, &previousEnding[i]);
            termios silent = saved_;
            silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            silenced_ = ::tcsetattr(::fileno(tty_), TCSAFLUSH, &silent) == 0;
        }
    }
    ~SilentTerminal() {
        if (!tty_) return;
        if (silenced_) ::tcsetattr(::fileno(tty_), TCSAFLUSH, &saved_);
        if (promptTerminal >= 0) {
            for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
                ::sigaction(kEndingSignals[i], &previousEnding[i], nullptr);
            promptTerminal = -1;
        }
        std::fclose(tty_);
        ::sigaction(SIGINT, &previousInterrupt_, nullptr);
    }
    SilentTerminal(const SilentTerminal&) = delete;
    SilentTerminal& operator=(const SilentTerminal&) = delete;

    bool usable() const { return tty_ && silenced_; }
    bool interrupted() const { return promptInterrupted; }

    std::optional<std::string> ask(const std::string& prompt) {
        if (interrupted()) return std::nullopt;
        std::fputs(prompt.c_str(), tty_);
        std::fflush(tty_);
        std::string line;
        int c = 0;
        while (!interrupted() && (c = std::fgetc(tty_)) != EOF && c != '\n') line += static_cast<char>(c);
        std::fputc('\n', tty_);  // the person's Enter was not echoed
        if (interrupted() || (c == EOF && line.empty())) return std::nullopt;
        return withoutLineEnd(line);
    }

private:
    std::FILE* tty_;
    termios saved_ {};
    bool silenced_ = false;
    struct sigaction previousInterrupt_ {};
};

// Up to `limit` bytes of the first line of `fd`, stopping at its "\n" (which
// is left out); false on a read error.
bool readFirstLine(int fd, std::size_t limit, std::string& line) {
    char c;
    while (line.size() < limit) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0 || c == '\n') break;
        line += c;
    }
    return true;
}

}  // namespace

PasswordResult readPasswordFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {std::nullopt, "cannot read the password file " + path};
    // A line without end (/dev/zero, a large file) is given up after what
    // tells it is too long, rather than read to its end.
    std::string line;
    const bool read = readFirstLine(fd, kLongestLineRead, line);
    ::close(fd);
    if (!read) return {std::nullopt, "cannot read the password file " + path};
    return checked(withoutLineEnd(line));
}

PasswordResult askPasswordOnTerminal(const std::string& prompt, bool confirm) {
    SilentTerminal terminal;
    if (!terminal.usable()) return {std::nullopt, "there is no terminal to ask the password on; use --password-file"};
    const auto first = terminal.ask(prompt);
    const auto second = first && confirm ? terminal.ask("Retype password: ") : first;
    if (terminal.interrupted()) return {std::nullopt, "aborted", true};
    if (!first) return {std::nullopt, "no password was entered"};
    if (second != first) return {std::nullopt, "the two passwords differ"};
    return checked(*first);
}

}  // namespace zor::cli
