// pack_safety_test.cpp - zor-cli pack as a person at a terminal meets it: the replace question, Ctrl+C at a prompt or twice while packing.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/hardening/hardening_support.h"

namespace zor::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class PackAtTerminal : public testing::Test {
protected:
    void SetUp() override {
        writeFile(folder / "src/a.txt", "alpha alpha alpha\n");
        ASSERT_EQ(runCli(folder.path(), {"pack", "archive.zor", "src/a.txt"}).status, 0);
    }

    // The names in the scratch folder, other than src.
    std::vector<std::string> namesBeside() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            if (entry.path().filename() != "src") names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder folder;
};

enum class Reply { Yes, No, CtrlC };
struct QuestionCase {
    const char* label;
    bool isArchive;  // out.zor holds a finished archive, or a letter
    Reply reply;
    int status;
    bool replaced;
};

class ReplaceQuestion : public PackAtTerminal, public testing::WithParamInterface<QuestionCase> {};

TEST_P(ReplaceQuestion, ReplacesOnlyOnYesAndCtrlCAbortsInsteadOfAnsweringNo) {
    const QuestionCase& c = GetParam();
    if (c.isArchive) std::filesystem::rename(folder / "archive.zor", folder / "out.zor");
    else writeFile(folder / "out.zor", "a letter");
    const std::string before = readFile(folder / "out.zor");
    writeFile(folder / "src/b.txt", "bravo\n");

    CliOnTerminal pack(folder.path(), {"pack", "out.zor", "src/b.txt"});
    ASSERT_TRUE(pack.started());
    ASSERT_TRUE(pack.waitFor("File out.zor already exists. Overwrite ? [y]es, [n]o: "));
    if (c.reply == Reply::Yes) pack.type("maybe\ny\n");  // asked again until the answer is one it knows
    if (c.reply == Reply::No) pack.type("n\n");
    if (c.reply == Reply::CtrlC) pack.interrupt();
    const CliResult result = pack.wait();

    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_EQ(contains(result.err, "zor-cli: out.zor is not a ZOR archive\n"), !c.isArchive) << result.err;
    EXPECT_EQ(contains(result.err, "zor-cli: aborted"), c.reply == Reply::CtrlC) << result.err;
    if (c.replaced) {
        EXPECT_TRUE(contains(runCli(folder.path(), {"list", "out.zor"}).out, "b.txt"));
    } else {
        EXPECT_EQ(readFile(folder / "out.zor"), before);
    }
    const std::vector<std::string> expected =
        c.isArchive ? std::vector<std::string>{"out.zor"} : std::vector<std::string>{"archive.zor", "out.zor"};
    EXPECT_EQ(namesBeside(), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplaceQuestion,
                         testing::Values(QuestionCase{"ArchiveYes", true, Reply::Yes, 0, true},
                                         QuestionCase{"ArchiveNo", true, Reply::No, 1, false},
                                         QuestionCase{"ArchiveCtrlC", true, Reply::CtrlC, 130, false},
                                         QuestionCase{"LetterYes", false, Reply::Yes, 0, true},
                                         QuestionCase{"LetterNo", false, Reply::No, 1, false},
                                         QuestionCase{"LetterCtrlC", false, Reply::CtrlC, 130, false}),
                         [](const testing::TestParamInfo<QuestionCase>& info) { return info.param.label; });

struct PromptCase {
    const char* label;
    std::vector<std::string> args;
    const char* prompt;
};

class PasswordPrompt : public PackAtTerminal, public testing::WithParamInterface<PromptCase> {};

TEST_P(PasswordPrompt, CtrlCAbortsWithTheTerminalEchoingAgainAndNothingWritten) {
    const std::vector<std::string> lock{"pack", "locked.zor", "src/a.txt", "--password-file", "/dev/stdin"};
    ASSERT_EQ(runCli(folder.path(), lock, "pw\n").status, 0);
    CliOnTerminal command(folder.path(), GetParam().args);
    ASSERT_TRUE(command.started());
    ASSERT_TRUE(command.waitFor(GetParam().prompt));
    EXPECT_FALSE(command.echoing());
    command.interrupt();
    const CliResult result = command.wait();
    EXPECT_EQ(result.status, 130) << result.err;
    EXPECT_TRUE(contains(result.err, "zor-cli: aborted")) << result.err;
    EXPECT_TRUE(command.echoing());
    EXPECT_EQ(namesBeside(), (std::vector<std::string>{"archive.zor", "locked.zor"}));
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, PasswordPrompt,
    testing::Values(PromptCase{"Pack", {"pack", "new.zor", "src/a.txt", "--password"}, "Enter password: "},
                    PromptCase{"Unpack", {"unpack", "locked.zor", "-d", "out", "--password"},
                               "Enter password to decrypt archive :"}),
    [](const testing::TestParamInfo<PromptCase>& info) { return info.param.label; });

TEST_F(PackAtTerminal, ASecondCtrlCEndsPackingAtOnceAndLeavesNothingBeside) {
    writeFile(folder / "src/big.bin", incompressibleBytes(6'000'000));
    CliProcess pack(folder.path(), {"pack", "-q", "out.zor", "src/big.bin"});
    const auto writing = [&] {
        for (const std::string& file : openFilesOf(pack.pid()))
            if (file.rfind(folder.path() + "/", 0) == 0 && !contains(file, "/src")) return true;
        return false;
    };
    while (pack.running() && !writing()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    pack.interrupt();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pack.interrupt();
    const CliResult result = pack.wait();
    if (result.status == 0) GTEST_SKIP() << "packing ended before Ctrl+C arrived";
    // The first Ctrl+C may already have ended packing as an abort (130) before the second came.
    if (result.status != 130) {
        EXPECT_EQ(result.status, -1) << "ended by the signal: " << result.err;
    }
    EXPECT_EQ(namesBeside(), std::vector<std::string>{"archive.zor"});
}

}  // namespace
}  // namespace zor::test
