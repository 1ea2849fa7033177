// archive_streams_test.cpp - "-" as the archive: read from standard input (a file or a pipe), packed to standard output.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/cli/cli_runner.h"

namespace zor::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A pseudo terminal's two ends, closed when this ends.
struct Terminal {
    Terminal() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~Terminal() {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
    }
    int master = -1;
    int slave = -1;
};

class ArchiveStreams : public testing::Test {
protected:
    void SetUp() override {
        writeFile(folder / "src/a.txt", "alpha\n");
        writeFile(folder / "src/docs/b.txt", "bravo\n");
        ASSERT_EQ(runCli(folder.path(), {"pack", "-q", "a.zor", "src"}).status, 0);
        archive = readFile(folder / "a.zor");
        ASSERT_LT(archive.size(), 60000u) << "it must fit in a pipe written before the command reads it";
        // Spool files go to a temporary folder of the test's own, checked empty afterwards.
        std::filesystem::create_directory(folder / "tmp");
        ::setenv("TMPDIR", (folder / "tmp").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("TMPDIR");
        EXPECT_TRUE(std::filesystem::is_empty(folder / "tmp")) << "nothing left in the temporary folder";
    }

    // Runs zor-cli with the archive's bytes on a pipe as standard input and standard output in a file.
    CliResult runOnPipe(const std::vector<std::string>& args) {
        int pipeEnds[2];
        EXPECT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
        EXPECT_EQ(::write(pipeEnds[1], archive.data(), archive.size()), static_cast<ssize_t>(archive.size()));
        ::close(pipeEnds[1]);
        const std::string out = folder / "tmp-out";
        const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        CliResult result = runCliOn(folder.path(), args, pipeEnds[0], outFd);
        ::close(pipeEnds[0]);
        ::close(outFd);
        result.out = readFile(out);
        std::filesystem::remove(out);
        return result;
    }

    TempFolder folder;
    std::string archive;
};

TEST_F(ArchiveStreams, ReadingCommandsTakeTheArchiveFromStandardInputFileOrPipe) {
    struct Case {
        std::vector<std::string> args;
        const char* out;  // part of standard output
    };
    const Case cases[] = {
        {{"list", "-r", "-"}, "src/docs/b.txt\n"},
        {{"list", "--json", "-", "src"}, "\"path\": \"src/a.txt\""},
        {{"test", "-"}, "src\\docs\\b.txt: File OK\n"},
        {{"info", "-"}, "Info about archive: (standard input)\n"},
        {{"unpack", "-c", "-", "src/docs/b.txt"}, "bravo\n"},
    };
    for (const bool pipe : {false, true}) {
        for (const Case& c : cases) {
            const CliResult result = pipe ? runOnPipe(c.args) : runCli(folder.path(), c.args, archive);
            EXPECT_EQ(result.status, 0) << c.args[0] << (pipe ? " on a pipe: " : ": ") << result.err;
            EXPECT_TRUE(contains(result.out, c.out)) << c.args[0] << (pipe ? " on a pipe: " : ": ") << result.out;
        }
        std::filesystem::remove_all(folder / "out");
        const std::vector<std::string> unpack{"unpack", "-", "-d", "out"};
        const CliResult unpacked = pipe ? runOnPipe(unpack) : runCli(folder.path(), unpack, archive);
        EXPECT_EQ(unpacked.status, 0) << unpacked.err;
        EXPECT_EQ(readFile(folder / "out/src/docs/b.txt"), "bravo\n");
    }
    // Damaged input is named as standard input (cut past the trailing record copy, into the last file's data).
    archive.resize(archive.size() - 50);
    const CliResult cut = runOnPipe({"test", "-"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(contains(cut.err, "zor-cli: (standard input): ")) << cut.err;
}

TEST_F(ArchiveStreams, PackDashWritesTheArchiveToStandardOutputAndLeavesNothingBehind) {
    const CliResult packed = runCli(folder.path(), {"pack", "-v", "-", "src"});
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(packed.out, archive) << "the same bytes as packing into a file";
    EXPECT_TRUE(contains(packed.err, "src/docs/b.txt\n")) << "-v names go to standard error: " << packed.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "-"));
}

TEST_F(ArchiveStreams, TerminalsAreRefused) {
    Terminal terminal;
    ASSERT_GE(terminal.slave, 0);
    const int none = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const CliResult packed = runCliOn(folder.path(), {"pack", "-", "src"}, none, terminal.slave);
    EXPECT_EQ(packed.status, 2);
    EXPECT_TRUE(contains(packed.err, "zor-cli: the archive will not be written to a terminal")) << packed.err;
    const CliResult listed = runCliOn(folder.path(), {"list", "-"}, terminal.slave, none);
    EXPECT_EQ(listed.status, 2);
    EXPECT_TRUE(contains(listed.err, "zor-cli: an archive will not be read from a terminal")) << listed.err;
    ::close(none);
}

}  // namespace
}  // namespace zor::test
