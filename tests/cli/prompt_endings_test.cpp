// prompt_endings_test.cpp - zor-cli's prompts on a real terminal: signals that end them, empty passwords, the read-only question.
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

#include "tests/cli/cli_runner.h"

namespace zor::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The process this thread started last (a CliOnTerminal keeps its own to itself).
pid_t lastChild() {
    std::ifstream children("/proc/thread-self/children");
    pid_t pid = -1, last = -1;
    while (children >> pid) last = pid;
    return last;
}

class PromptEndings : public testing::Test {
protected:
    void SetUp() override {
        writeFile(folder / "src/a.txt", "alpha\n");
        writeFile(folder / "pw", "secret\n");
        ASSERT_EQ(runCli(folder.path(), {"pack", "-q", "locked.zor", "src/a.txt", "--password-file", "pw"}).status, 0);
        ASSERT_EQ(runCli(folder.path(), {"pack", "-q", "plain.zor", "src/a.txt"}).status, 0);
    }

    TempFolder folder;
};

TEST_F(PromptEndings, ASignalThatEndsThePasswordPromptLeavesTheTerminalEchoing) {
    for (const int signalNumber : {SIGTERM, SIGHUP}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"unpack", "locked.zor", "-d", "out", "--password"},
              {"pack", "new.zor", "src/a.txt", "--password"}}) {
            CliOnTerminal command(folder.path(), args);
            ASSERT_TRUE(command.started());
            ASSERT_TRUE(command.waitFor("password"));
            ASSERT_FALSE(command.echoing());
            const pid_t pid = lastChild();
            ASSERT_GT(pid, 0);
            ::kill(pid, signalNumber);
            const CliResult result = command.wait();
            EXPECT_EQ(result.status, -1) << args[0] << " ended by signal " << signalNumber << ": " << result.err;
            EXPECT_TRUE(command.echoing()) << args[0] << ", signal " << signalNumber;
            EXPECT_FALSE(std::filesystem::exists(folder / "out/a.txt"));
            EXPECT_FALSE(std::filesystem::exists(folder / "new.zor"));
        }
    }
}

TEST_F(PromptEndings, AnEmptyPasswordAtTheDecryptPromptIsNotCorrect) {
    CliOnTerminal command(folder.path(), {"unpack", "locked.zor", "-d", "out", "--password"});
    ASSERT_TRUE(command.started());
    ASSERT_TRUE(command.waitFor("Enter password to decrypt archive :"));
    command.type("\n");
    const CliResult result = command.wait();
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "zor-cli: locked.zor: Password is not correct!\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "out/a.txt"));
}

// --overwrite all answers the overwrite question as All does; a read-only
// file is still asked about on a terminal, and replaced at once without one.
TEST_F(PromptEndings, OverwriteAllStillAsksAboutAReadOnlyFileOnATerminal) {
    struct Case {
        const char* label;
        const char* reply;  // typed at the read-only question; nullptr: no terminal
        const char* after;
    };
    for (const Case& c : {Case{"TerminalNo", "n\n", "mine\n"}, Case{"TerminalYes", "y\n", "alpha\n"},
                          Case{"NoTerminal", nullptr, "alpha\n"}}) {
        std::filesystem::remove_all(folder / "out");
        writeFile(folder / "out/a.txt", "mine\n");
        ::chmod((folder / "out/a.txt").c_str(), 0444);
        const std::vector<std::string> args{"unpack", "-q", "plain.zor", "-d", "out", "--overwrite", "all"};
        CliResult result;
        if (c.reply) {
            CliOnTerminal command(folder.path(), args);
            ASSERT_TRUE(command.started());
            ASSERT_TRUE(command.waitFor("Warning: File out/a.txt is read-only. Overwrite ? [y]es, [n]o: ")) << c.label;
            command.type(c.reply);
            result = command.wait();
        } else {
            result = runCli(folder.path(), args);
            EXPECT_FALSE(contains(result.err, "read-only")) << c.label << ": " << result.err;
        }
        EXPECT_EQ(result.status, 0) << c.label << ": " << result.err;
        EXPECT_EQ(readFile(folder / "out/a.txt"), c.after) << c.label;
    }
}

}  // namespace
}  // namespace zor::test
