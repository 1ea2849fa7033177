// unpack_safety_test.cpp - zor-cli unpack over what stands in the destination, and Ctrl+C while it asks.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/cli/cli_runner.h"

namespace zor::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// zor-cli with its standard input a pipe that the test holds open, so that
// a question waits for an answer as it does on a terminal.
class WaitingCli {
public:
    WaitingCli(const std::string& folder, const std::vector<std::string>& args) {
        int input[2];
        if (::pipe(input) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            if (::chdir(folder.c_str()) != 0) ::_exit(126);
            const int err = ::open(errPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (err < 0 || ::dup2(input[0], STDIN_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0) ::_exit(126);
            ::close(input[1]);
            execCli(args);
        }
        ::close(input[0]);
        answers_ = input[1];
    }
    ~WaitingCli() {
        if (answers_ >= 0) ::close(answers_);
        if (pid_ > 0 && status_ == kRunning) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    WaitingCli(const WaitingCli&) = delete;
    WaitingCli& operator=(const WaitingCli&) = delete;

    // True once standard error holds `text`, false after some seconds without it.
    bool waitForError(const std::string& text) const {
        for (int i = 0; i < 500; ++i) {
            if (contains(err(), text)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    void interrupt() const { ::kill(pid_, SIGINT); }

    // The exit status; -1 when the process did not exit by itself within some seconds.
    int wait() {
        for (int i = 0; i < 500 && status_ == kRunning; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            else std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return status_;
    }

    std::string err() const { return readFile(errPath()); }

private:
    static constexpr int kRunning = -2;
    std::string errPath() const { return capture_ / "stderr"; }

    TempFolder capture_;
    pid_t pid_ = -1;
    int answers_ = -1;
    int status_ = kRunning;
};

class UnpackSafetyTest : public testing::Test {
protected:
    void SetUp() override {
        writeFile(folder / "src/a.txt", "new a\n");
        writeFile(folder / "src/b.txt", "new b\n");
        const CliResult packed = runCli(folder / "src", {"pack", "-q", "../ab.zor", "a.txt", "b.txt"});
        ASSERT_EQ(packed.status, 0) << packed.err;
        std::filesystem::create_directory(folder / "out");
    }

    TempFolder folder;
};

// Ctrl+C while the overwrite question waits ends the run as an abort: the
// file asked about stays, nothing after it is extracted, and the status says so.
TEST_F(UnpackSafetyTest, CtrlCAtTheOverwriteQuestionAbortsWithStatus130) {
    writeFile(folder / "out/a.txt", "old a\n");
    writeFile(folder / "out/b.txt", "old b\n");
    WaitingCli cli(folder.path(), {"unpack", "-q", "ab.zor", "-d", "out", "--overwrite", "ask", "--threads", "1"});
    ASSERT_TRUE(cli.waitForError("Overwrite ?")) << cli.err();
    cli.interrupt();
    EXPECT_EQ(cli.wait(), 130) << cli.err();
    EXPECT_TRUE(contains(cli.err(), "aborted")) << cli.err();
    EXPECT_EQ(readFile(folder / "out/a.txt"), "old a\n");
    EXPECT_EQ(readFile(folder / "out/b.txt"), "old b\n");
    EXPECT_EQ(occurrences(cli.err(), "Overwrite ?"), 1) << "asked once, then stopped: " << cli.err();
}

// What stands at a destination path, as zor-cli users meet it: the exit
// status and message tell what was left out, and nothing outside changes.
TEST_F(UnpackSafetyTest, WhatStandsInTheDestinationDecidesTheStatusNeverAnOutsideFile) {
    struct Case {
        const char* name;
        const char* mode;
        int status;
        const char* message;  // in standard error; nullptr for none
        const char* aAfter;   // what out/a.txt reads as afterwards
    };
    const Case cases[] = {
        {"hard link, overwrite all", "all", 0, nullptr, "new a\n"},
        {"hard link, skip", "skip", 0, "skipped", "outside\n"},
        {"named pipe", "all", 1, "out/a.txt is a named pipe, not a file", ""},
        {"folder", "all", 1, "out/a.txt is a folder, not a file", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder / "out");
        std::filesystem::create_directory(folder / "out");
        writeFile(folder / "outside.txt", "outside\n");
        const std::string a = folder / "out/a.txt";
        const int planted = contains(c.name, "hard link") ? ::link((folder / "outside.txt").c_str(), a.c_str())
                            : contains(c.name, "pipe")    ? ::mkfifo(a.c_str(), 0666)
                                                          : ::mkdir(a.c_str(), 0755);
        ASSERT_EQ(planted, 0);
        // A pipe opened here for reading would keep a faulty open for writing from hanging.
        const int reader = ::open(a.c_str(), O_RDONLY | O_NONBLOCK);

        const CliResult result = runCli(folder.path(), {"unpack", "-q", "ab.zor", "-d", "out", "--overwrite", c.mode});
        if (reader >= 0) ::close(reader);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_TRUE(c.message ? contains(result.err, c.message) : result.err.empty()) << result.err;
        EXPECT_EQ(readFile(folder / "outside.txt"), "outside\n");
        EXPECT_EQ(readFile(folder / "out/b.txt"), "new b\n") << "the other entry is extracted";
        struct stat status {};
        ASSERT_EQ(::lstat(a.c_str(), &status), 0);
        EXPECT_EQ(S_ISREG(status.st_mode) ? readFile(a) : "", c.aAfter);
    }
}

}  // namespace
}  // namespace zor::test
