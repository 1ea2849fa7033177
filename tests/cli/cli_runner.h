// cli_runner.h - runs the built zor-cli in a scratch folder with given standard input, capturing its output and status.
#pragma once

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <string>
#include <termios.h>
#include <thread>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/platform/temp_folder.h"

namespace zor::test {

// Replaces the (forked) process with zor-cli run with `args`; 127 when it cannot be started.
[[noreturn]] inline void execCli(const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(ZOR_CLI_PATH)};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(ZOR_CLI_PATH, argv.data());
    ::_exit(127);
}

struct CliResult {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// A started zor-cli: its process, and where its output goes.
class CliProcess {
public:
    CliProcess(const std::string& folder, const std::vector<std::string>& args, const std::string& input = "")
        : folder_(folder) {
        writeFile(capture_ / "stdin", input);
        const std::string in = capture_ / "stdin", out = capture_ / "stdout", err = capture_ / "stderr";
        pid_ = ::fork();
        if (pid_ != 0) return;
        if (::chdir(folder_.c_str()) != 0) ::_exit(126);
        redirect(in, O_RDONLY, STDIN_FILENO);
        redirect(out, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
        redirect(err, O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
        execCli(args);
    }

    void interrupt() const { ::kill(pid_, SIGINT); }
    pid_t pid() const { return pid_; }

    // True while the process has not ended.
    bool running() {
        if (finished_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        record(status);
        return false;
    }

    CliResult wait() {
        if (!finished_) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
            record(status);
        }
        result_.out = readFile(capture_ / "stdout");
        result_.err = readFile(capture_ / "stderr");
        return result_;
    }

private:
    static void redirect(const std::string& path, int flags, int target) {
        const int fd = ::open(path.c_str(), flags, 0600);
        if (fd < 0 || ::dup2(fd, target) < 0) ::_exit(126);
        ::close(fd);
    }

    void record(int status) {
        finished_ = true;
        result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string folder_;
    TempFolder capture_;  // standard input, output and error, outside the folder the command works in
    pid_t pid_ = -1;
    bool finished_ = false;
    CliResult result_;
};

// Runs zor-cli to its end in `folder`.
inline CliResult runCli(const std::string& folder, const std::vector<std::string>& args, const std::string& input = "") {
    return CliProcess(folder, args, input).wait();
}

// The files process `pid` has open: the targets of its /proc/PID/fd links
// (an unnamed file shows as "FOLDER/#INODE (deleted)").
inline std::vector<std::string> openFilesOf(pid_t pid) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const auto target = std::filesystem::read_symlink(fd.path(), error);
        if (!error) files.push_back(target.string());
    }
    return files;
}

// A zor-cli whose standard input and controlling terminal are a pseudo
// terminal, as when a person runs it: its questions and password prompts
// can be answered (or interrupted) by the test. Standard output and error
// go to files, as with CliProcess.
class CliOnTerminal {
public:
    CliOnTerminal(const std::string& folder, const std::vector<std::string>& args) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        const std::string slave = ::ptsname(master_);
        const std::string out = capture_ / "stdout", err = capture_ / "stderr";
        pid_ = ::fork();
        if (pid_ != 0) return;
        ::setsid();  // a session of its own, whose controlling terminal the slave becomes
        const int tty = ::open(slave.c_str(), O_RDWR);
        if (tty < 0 || ::dup2(tty, STDIN_FILENO) < 0 || ::chdir(folder.c_str()) != 0) ::_exit(126);
        const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (outFd < 0 || errFd < 0) ::_exit(126);
        if (::dup2(outFd, STDOUT_FILENO) < 0 || ::dup2(errFd, STDERR_FILENO) < 0) ::_exit(126);
        execCli(args);
    }
    ~CliOnTerminal() {
        if (pid_ > 0 && !finished_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) ::close(master_);
    }
    CliOnTerminal(const CliOnTerminal&) = delete;
    CliOnTerminal& operator=(const CliOnTerminal&) = delete;

    bool started() const { return pid_ > 0; }

    // Waits (up to 10 s) until `text` has appeared on standard error or on
    // the terminal; false when it did not.
    bool waitFor(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            drainTerminal();
            if (readFile(capture_ / "stderr").find(text) != std::string::npos ||
                shown_.find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Types `keys` on the terminal.
    void type(const std::string& keys) const { [[maybe_unused]] auto n = ::write(master_, keys.data(), keys.size()); }
    void interrupt() const { ::kill(pid_, SIGINT); }

    // True when the terminal echoes what is typed (a password prompt switches it off while it waits).
    bool echoing() const {
        termios modes {};
        return ::tcgetattr(master_, &modes) == 0 && (modes.c_lflag & ECHO) != 0;
    }

    // Waits (up to 10 s) for the end; the status is -1 when it did not exit normally or in time.
    CliResult wait() {
        CliResult result;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int status = 0;
        while (!finished_ && std::chrono::steady_clock::now() < deadline) {
            drainTerminal();
            if (::waitpid(pid_, &status, WNOHANG) == pid_) finished_ = true;
            else std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (finished_) result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readFile(capture_ / "stdout");
        result.err = readFile(capture_ / "stderr");
        return result;
    }

private:
    void drainTerminal() {
        char buffer[4096];
        pollfd ready{master_, POLLIN, 0};
        while (::poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN)) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            shown_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    TempFolder capture_;
    int master_ = -1;
    pid_t pid_ = -1;
    bool finished_ = false;
    std::string shown_;  // what the program wrote on the terminal
};

}  // namespace zor::test

namespace zor::test {

// A started zor-cli whose standard input and output are descriptors the test
// holds (a pipe it feeds at its own pace, a terminal, a device); standard
// error is captured. The test's own ends of pipes must be O_CLOEXEC, or the
// child holds them open too (a pipe it reads would never end).
class CliOnDescriptors {
public:
    CliOnDescriptors(const std::string& folder, const std::vector<std::string>& args, int in, int out) {
        const std::string err = capture_ / "stderr";
        pid_ = ::fork();
        if (pid_ != 0) return;
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (::chdir(folder.c_str()) != 0 || errFd < 0 || ::dup2(in, STDIN_FILENO) < 0 ||
            ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(errFd, STDERR_FILENO) < 0)
            ::_exit(126);
        execCli(args);
    }

    pid_t pid() const { return pid_; }
    void signal(int number) const { ::kill(pid_, number); }

    // True while the process has not ended.
    bool running() {
        if (finished_) return false;
        if (::waitpid(pid_, &waitStatus_, WNOHANG) != pid_) return true;
        finished_ = true;
        return false;
    }

    // Waits for the end for at most `limit`, then kills the process (a
    // command that opened a FIFO would wait forever); false when it had to.
    bool endsWithin(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (running()) {
            if (std::chrono::steady_clock::now() > deadline) {
                signal(SIGKILL);
                wait();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    // Waits for the end; `out` stays empty (standard output went to the descriptor).
    CliResult wait() {
        if (!finished_) ::waitpid(pid_, &waitStatus_, 0);
        finished_ = true;
        CliResult result;
        result.status = WIFEXITED(waitStatus_) ? WEXITSTATUS(waitStatus_) : -1;
        result.err = readFile(capture_ / "stderr");
        return result;
    }
    // The signal that ended the process, once it has ended; 0 when it exited.
    int endedBy() const { return finished_ && WIFSIGNALED(waitStatus_) ? WTERMSIG(waitStatus_) : 0; }

private:
    TempFolder capture_;
    pid_t pid_ = -1;
    bool finished_ = false;
    int waitStatus_ = 0;
};

// Runs zor-cli to its end in `folder` with the given standard input and output.
inline CliResult runCliOn(const std::string& folder, const std::vector<std::string>& args, int in, int out) {
    return CliOnDescriptors(folder, args, in, out).wait();
}

}  // namespace zor::test

#include <sys/ioctl.h>

namespace zor::test {

// Runs zor-cli to its end in `folder` with standard error on a pseudo
// terminal `columns` wide, standard input empty and standard output in a
// file; `err` holds what the terminal showed (its line ends as "\r\n").
inline CliResult runCliWithErrorOnTerminal(const std::string& folder, const std::vector<std::string>& args,
                                           unsigned short columns) {
    CliResult result;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return result;
    winsize size {};
    size.ws_col = columns;
    size.ws_row = 24;
    ::ioctl(master, TIOCSWINSZ, &size);
    const std::string slave = ::ptsname(master);
    TempFolder capture;
    const std::string out = capture / "stdout";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        const int tty = ::open(slave.c_str(), O_RDWR);
        const int none = ::open("/dev/null", O_RDONLY);
        const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (tty < 0 || none < 0 || outFd < 0 || ::chdir(folder.c_str()) != 0) ::_exit(126);
        if (::dup2(none, STDIN_FILENO) < 0 || ::dup2(outFd, STDOUT_FILENO) < 0 || ::dup2(tty, STDERR_FILENO) < 0)
            ::_exit(126);
        execCli(args);
    }
    char buffer[4096];
    int status = 0;
    bool ended = false;
    for (;;) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, 20) > 0 && (ready.revents & POLLIN)) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                result.err.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
        }
        if (ended) break;  // ended, and everything it showed has been read
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
    }
    ::close(master);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readFile(out);
    return result;
}

}  // namespace zor::test
