// codec_commands_test.cpp - zor-cli compress and decompress as a person runs them: round trips, --force, terminals, failed writes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <stdlib.h>
#include <sys/stat.h>

#include "platform/unique_descriptor.h"
#include "tests/cli/cli_runner.h"

namespace zor::test {
namespace {

using namespace std::chrono_literals;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string mixedBytes(std::size_t length, uint32_t seed = 5) {
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes += (i / 3000) % 2 ? char('a' + i % 5) : char(seed >> 24);
    }
    return bytes;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t permissionsOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

class CliCodecTest : public testing::Test {
protected:
    CliResult run(const std::vector<std::string>& args, const std::string& input = "") {
        return runCli(folder.path(), args, input);
    }
    TempFolder folder;
};

TEST_F(CliCodecTest, FilesAndStandardStreamsRoundTripAndLeaveOnlyTheirOutputs) {
    const std::string inputs[] = {"", "x", mixedBytes(300000), mixedBytes(2'000'000, 9)};
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input.size());
        TempFolder here;
        writeFile(here / "in", input);
        ASSERT_EQ(runCli(here.path(), {"compress", "in", "in.zs"}).status, 0);
        ASSERT_EQ(runCli(here.path(), {"decompress", "in.zs", "back"}).status, 0);
        EXPECT_EQ(readFile(here / "back"), input);
        EXPECT_EQ(namesIn(here.path()), (std::vector<std::string>{"back", "in", "in.zs"}));

        // The same stream through the standard streams, left out and given as "-".
        const CliResult piped = runCli(here.path(), {"compress"}, input);
        ASSERT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(piped.out, readFile(here / "in.zs"));
        const CliResult unpiped = runCli(here.path(), {"decompress", "-", "-"}, piped.out);
        ASSERT_EQ(unpiped.status, 0) << unpiped.err;
        EXPECT_EQ(unpiped.out, input);
    }
}

TEST_F(CliCodecTest, ANewOutputHasTheUsualModeAndAReplacedOneKeepsItsPermissionBits) {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    writeFile(folder / "words.txt", "some words\n");
    ASSERT_EQ(run({"compress", "words.txt", "new.zs"}).status, 0);
    EXPECT_EQ(permissionsOf(folder / "new.zs"), 0666 & ~mask);

    writeFile(folder / "old.zs", "an older stream");
    ::chmod((folder / "old.zs").c_str(), 0640);
    ASSERT_EQ(run({"compress", "words.txt", "old.zs", "-f"}).status, 0);
    EXPECT_EQ(readFile(folder / "old.zs"), readFile(folder / "new.zs"));
    EXPECT_EQ(permissionsOf(folder / "old.zs"), 0640u);

    writeFile(folder / "words.txt", "older words\n");
    ::chmod((folder / "words.txt").c_str(), 0600);
    ASSERT_EQ(run({"decompress", "new.zs", "words.txt", "--force"}).status, 0);
    EXPECT_EQ(readFile(folder / "words.txt"), "some words\n");
    EXPECT_EQ(permissionsOf(folder / "words.txt"), 0600u);
}

TEST_F(CliCodecTest, CompressedDataIsNeitherWrittenToNorReadFromATerminal) {
    UniqueDescriptor master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (master.get() < 0 || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0)
        GTEST_SKIP() << "no pseudo-terminal here";
    const std::string terminalName = ::ptsname(master.get());
    UniqueDescriptor terminal(::open(terminalName.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    UniqueDescriptor nothing(::open("/dev/null", O_RDWR | O_CLOEXEC));
    writeFile(folder / "words.txt", "some words\n");
    ASSERT_EQ(run({"compress", "words.txt", "words.zs"}).status, 0);

    struct TerminalCase {
        const char* what;
        std::vector<std::string> args;
        int in, out;
        int status;
    };
    const TerminalCase cases[] = {
        {"compress to standard output", {"compress", "words.txt"}, nothing.get(), terminal.get(), 2},
        {"compress to the terminal by name", {"compress", "words.txt", terminalName}, nothing.get(), nothing.get(), 2},
        {"decompress from standard input", {"decompress"}, terminal.get(), nothing.get(), 2},
        // Only the end that carries compressed data matters.
        {"decompress a named stream", {"decompress", "words.zs"}, terminal.get(), nothing.get(), 0},
    };
    for (const TerminalCase& c : cases) {
        SCOPED_TRACE(c.what);
        CliOnDescriptors process(folder.path(), c.args, c.in, c.out);
        ASSERT_TRUE(process.endsWithin(30s));
        const CliResult result = process.wait();
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_EQ(contains(result.err, "compressed data will not be"), c.status == 2) << result.err;
    }
    EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{"words.txt", "words.zs"}));
}

TEST_F(CliCodecTest, AnInputThatIsNoRegularFileIsRefusedAtOnce) {
    writeFile(folder / "words.txt", "some words\n");
    std::filesystem::create_directory(folder / "box");
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
    std::filesystem::create_symlink("words.txt", folder / "alias");
    struct InputCase {
        const char* input;
        int status;
        const char* message;
    };
    const InputCase cases[] = {
        {"missing.txt", 1, "cannot open missing.txt for reading: No such file or directory"},
        {"box", 1, "cannot open box for reading: it is a folder, not a regular file"},
        {"pipe", 1, "cannot open pipe for reading: it is a FIFO, not a regular file (give it on standard input)"},
        {"alias", 0, ""},  // a link to a file reads the file
    };
    for (const InputCase& c : cases) {
        SCOPED_TRACE(c.input);
        UniqueDescriptor nothing(::open("/dev/null", O_RDWR | O_CLOEXEC));
        CliOnDescriptors process(folder.path(), {"compress", c.input}, nothing.get(), nothing.get());
        ASSERT_TRUE(process.endsWithin(30s)) << "zor-cli waited on its input";
        const CliResult result = process.wait();
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_TRUE(contains(result.err, c.message)) << result.err;
    }
}

TEST_F(CliCodecTest, AFailedWriteToStandardOutputIsReportedWithItsReason) {
    const std::string bytes = mixedBytes(1'000'000);
    writeFile(folder / "small.txt", "a few bytes\n");
    writeFile(folder / "large.txt", bytes);
    ASSERT_EQ(run({"compress", "large.txt", "large.zs"}).status, 0);

    struct WriteCase {
        std::vector<std::string> args;
        bool toClosedPipe;  // otherwise to a full disk
        const char* reason;
    };
    const WriteCase cases[] = {
        // A small stream fails only when the last bytes are flushed at the end.
        {{"compress", "small.txt"}, false, "No space left on device"},
        {{"compress", "large.txt"}, false, "No space left on device"},
        {{"decompress", "large.zs"}, false, "No space left on device"},
        {{"compress", "large.txt"}, true, "Broken pipe"},
        {{"decompress", "large.zs"}, true, "Broken pipe"},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + (c.toClosedPipe ? " to a closed pipe" : " to /dev/full"));
        int ends[2] = {-1, -1};
        if (c.toClosedPipe) {
            ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
            ::close(ends[0]);
        }
        UniqueDescriptor out(c.toClosedPipe ? ends[1] : ::open("/dev/full", O_WRONLY | O_CLOEXEC));
        UniqueDescriptor nothing(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        const CliResult result = runCliOn(folder.path(), c.args, nothing.get(), out.get());
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_TRUE(contains(result.err, "zor-cli: (standard output): ")) << result.err;
        EXPECT_TRUE(contains(result.err, std::string("(") + c.reason + ")")) << result.err;
        EXPECT_FALSE(contains(result.err, "Internal error")) << result.err;
    }
}

}  // namespace
}  // namespace zor::test
