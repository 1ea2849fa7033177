// script_conventions_test.cpp - zor-cli as scripts meet it: message prefixes, exit statuses, -q and -v, the progress line.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/cli/cli_runner.h"

namespace zor::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// True when every line of `text` begins with "zor-cli: " (and the text ends with a line break).
bool everyLinePrefixed(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        if (text.compare(start, 9, "zor-cli: ") != 0) return false;
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) return false;
        start = end + 1;
    }
    return true;
}

class ScriptConventions : public testing::Test {
protected:
    void SetUp() override {
        writeFile(folder / "src/a.txt", "alpha\n");
        writeFile(folder / "src/docs/b.txt", "bravo\n");
        writeFile(folder / "pw", "secret\n");
        writeFile(folder / "wrong", "guess\n");
        ASSERT_EQ(run({"pack", "-q", "plain.zor", "src"}).status, 0);
        ASSERT_EQ(run({"pack", "-q", "locked.zor", "src", "--password-file", "pw"}).status, 0);
        // The first entry's name length zeroed: the header is sound, the walk meets a record that cannot be.
        std::string bytes = readFile(folder / "plain.zor");
        bytes[76 + 20] = bytes[76 + 21] = '\0';
        writeFile(folder / "broken.zor", bytes);
    }

    CliResult run(const std::vector<std::string>& args) { return runCli(folder.path(), args); }

    TempFolder folder;
};

TEST_F(ScriptConventions, EveryErrorLineIsPrefixedAndNamesTheArchiveItConcerns) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;  // all of standard error, or a part of it when it ends in "..."
    };
    const Case cases[] = {
        {{"unpack"}, 2, "zor-cli: ARCHIVE is required\nzor-cli: Run with --help for more information.\n"},
        {{"list", "--bogus", "plain.zor"}, 2, "zor-cli: The following argument was not expected: --bogus\n..."},
        {{"frobnicate"}, 2, "zor-cli: ..."},
        {{"test", "broken.zor"}, 1, "zor-cli: broken.zor: ZOR archive is corrupt\n..."},
        {{"unpack", "broken.zor", "-d", "out"}, 1, "zor-cli: broken.zor: ZOR archive is corrupt\n..."},
        {{"list", "broken.zor"}, 1, "zor-cli: broken.zor: ZOR archive is corrupt\n..."},
        {{"test", "locked.zor", "--password-file", "wrong"}, 1, "zor-cli: locked.zor: Password is not correct!\n"},
        {{"unpack", "locked.zor", "-d", "out", "--password-file", "wrong"}, 1,
         "zor-cli: locked.zor: Password is not correct!\n"},
    };
    for (const Case& c : cases) {
        const CliResult result = run(c.args);
        const std::string shown = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_EQ(result.status, c.status) << shown << ": " << result.err;
        EXPECT_TRUE(everyLinePrefixed(result.err)) << shown << ": " << result.err;
        std::string expected = c.message;
        if (expected.ends_with("...")) {
            EXPECT_TRUE(contains(result.err, expected.substr(0, expected.size() - 3))) << shown << ": " << result.err;
        } else {
            EXPECT_EQ(result.err, expected) << shown;
        }
    }
}

TEST_F(ScriptConventions, HelpNamesTheProgramAndEveryExitStatus) {
    const CliResult help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "Usage: zor-cli [OPTIONS] SUBCOMMAND")) << help.out;
    EXPECT_TRUE(contains(help.out, "130 interrupted (Ctrl+C)")) << help.out;
    EXPECT_TRUE(contains(run({"unpack", "--help"}).out, "Usage: zor-cli unpack"));
}

// Lines of `text`, each without its "\n".
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

TEST_F(ScriptConventions, QuietLeavesOnlyErrorsAndIsRefusedWhereItMeansNothing) {
    EXPECT_TRUE(contains(run({"test", "plain.zor"}).out, "src\\docs\\b.txt: File OK\n"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"test", "-q", "plain.zor"}, {"pack", "-q", "again.zor", "src"},
          {"unpack", "-q", "plain.zor", "-d", "out"}}) {
        const CliResult result = run(args);
        EXPECT_EQ(result.status, 0) << args[0] << ": " << result.err;
        EXPECT_EQ(result.out + result.err, "") << args[0];
    }
    const CliResult damaged = run({"test", "-q", "broken.zor"});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_TRUE(contains(damaged.err, "ZOR archive is corrupt")) << "errors stay: " << damaged.err;
    for (const char* command : {"list", "info", "lock"}) {
        const CliResult refused = run({command, "-q", "plain.zor"});
        EXPECT_EQ(refused.status, 2) << command;
        EXPECT_TRUE(contains(refused.err, "not expected: -q")) << command << ": " << refused.err;
    }
}

TEST_F(ScriptConventions, VerboseNamesEachEntryDoneWithSlashes) {
    const CliResult packed = run({"pack", "-v", "verbose.zor", "src"});
    ASSERT_EQ(packed.status, 0) << packed.err;
    std::vector<std::string> files = linesOf(packed.out);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"src/a.txt", "src/docs/b.txt"}));

    const CliResult unpacked = run({"unpack", "-v", "plain.zor", "-d", "out"});
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;
    std::vector<std::string> entries = linesOf(unpacked.out);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"src/", "src/a.txt", "src/docs/", "src/docs/b.txt"}));

    // A file kept as it was is not named as extracted.
    writeFile(folder / "kept/src/a.txt", "mine\n");
    const CliResult skipped = run({"unpack", "-v", "plain.zor", "-d", "kept", "--overwrite", "skip"});
    EXPECT_EQ(skipped.status, 0) << skipped.err;
    EXPECT_FALSE(contains(skipped.out, "src/a.txt\n")) << skipped.out;
    EXPECT_TRUE(contains(skipped.out, "src/docs/b.txt\n")) << skipped.out;
    EXPECT_EQ(readFile(folder / "kept/src/a.txt"), "mine\n");
}

// The progress line on a narrow terminal: every drawing fits in one line
// short of the width, long names lose their middle, "\" shows as "/", and
// the line is gone when the command ends.
TEST_F(ScriptConventions, TheProgressLineFitsTheTerminalAndIsClearedAtTheEnd) {
    const std::string longName = "src/deep/" + std::string(60, 'x') + "-middle-" + std::string(60, 'y') + ".txt";
    writeFile(folder / longName, "long\n");
    writeFile(folder / "src/deep/caf\xc3\xa9.txt", "accent\n");
    const unsigned short columns = 40;
    const CliResult packed = runCliWithErrorOnTerminal(folder.path(), {"pack", "wide.zor", "src"}, columns);
    ASSERT_EQ(packed.status, 0) << packed.err;
    const std::string erase = "\r\033[K";
    ASSERT_TRUE(packed.err.ends_with(erase)) << "cleared at the end: " << packed.err;
    std::size_t drawings = 0;
    bool shortened = false;
    for (std::size_t at = 0; (at = packed.err.find(erase, at)) != std::string::npos; at += erase.size()) {
        const std::size_t next = packed.err.find(erase, at + erase.size());
        const std::string drawn = packed.err.substr(at + erase.size(), next - at - erase.size());
        if (drawn.empty()) continue;
        ++drawings;
        std::size_t characters = 0;
        for (unsigned char c : drawn) characters += (c & 0xC0) != 0x80;
        EXPECT_LT(characters, columns) << drawn;
        EXPECT_EQ(drawn.find_first_of("\\\n"), std::string::npos) << drawn;
        shortened = shortened || (contains(drawn, "src/deep/x...") && drawn.ends_with("yy.txt"));
    }
    EXPECT_GE(drawings, 3u);
    EXPECT_TRUE(shortened) << testing::PrintToString(packed.err);
}

}  // namespace
}  // namespace zor::test
