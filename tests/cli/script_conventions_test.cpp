// script_conventions_test.cpp - zor-cli as scripts meet it: message prefixes, exit statuses, -q and -v, the progress line.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zor::test
