// codec_output_test.cpp - compress/decompress against careless and hostile destinations: nothing there is lost, nothing half-written stays.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>

#include "tests/hardening/hardening_support.h"

namespace zor::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A device that behaves as /dev/null, made inside the test's own folder so
// that a fault can never take the system's; where the test may not make
// devices, a link to /dev/null stands in (then the device's own row checks
// the link, and the link row a link to a link).
void makeNullDevice(const std::string& path) {
    if (::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) fs::create_symlink("/dev/null", path);
}

// The paths whose entries differ between two snapshots, with both (shortened), for readable failures.
std::vector<std::string> differences(const FolderSnapshot& expected, const FolderSnapshot& found) {
    auto shown = [](const FolderSnapshot& snapshot, const std::string& path) {
        const auto it = snapshot.find(path);
        return it == snapshot.end() ? std::string("nothing") : it->second.substr(0, 40);
    };
    std::set<std::string> paths;
    for (const auto& [path, what] : expected) paths.insert(path);
    for (const auto& [path, what] : found) paths.insert(path);
    std::vector<std::string> differing;
    for (const std::string& path : paths) {
        const auto want = expected.find(path), have = found.find(path);
        if (want == expected.end() || have == found.end() || want->second != have->second)
            differing.push_back(path + ": expected " + shown(expected, path) + ", found " + shown(found, path));
    }
    return differing;
}

// The folder every case starts from.
class CodecOutputTest : public testing::Test {
protected:
    void SetUp() override {
        writeFile(folder / "words.txt", words);
        writeFile(folder / "notastream.txt", "plain text, no stream signature\n");
        writeFile(folder / "existing.txt", "keep me\n");
        ASSERT_EQ(runCli(folder.path(), {"compress", "words.txt", "words.zs"}).status, 0);
        stream = readFile(folder / "words.zs");
        writeFile(folder / "damaged.zs", stream.substr(0, stream.size() / 2));
    }

    const std::string words = [] {
        std::string text;
        for (int i = 0; i < 2000; ++i) text += "a person's words, line " + std::to_string(i) + "\n";
        return text;
    }();
    std::string stream;  // words.txt compressed
    TempFolder folder;
};

struct DestinationCase {
    const char* what;
    std::function<void(const TempFolder&)> prepare;  // items this case adds to the common folder
    std::vector<std::string> args;
    int status;
    const char* message;                    // part of standard error
    const char* appendStandardOutputTo = nullptr;  // a file of the folder standard output is appended to
    std::vector<std::string> nowHoldTheStream{};   // the paths that hold words.txt compressed afterwards
};

TEST_F(CodecOutputTest, NothingThatStoodAtTheOutputIsDestroyedAndFailuresLeaveNothing) {
    auto none = [](const TempFolder&) {};
    const DestinationCase cases[] = {
        {"an existing output without --force", none, {"compress", "words.txt", "existing.txt"}, 1,
         "existing.txt already exists"},
        {"a decompress refused onto an existing output", none, {"decompress", "notastream.txt", "existing.txt"}, 1,
         "existing.txt already exists"},
        {"a failed decompress with --force", none, {"decompress", "notastream.txt", "existing.txt", "--force"}, 1,
         "not a ZOR compressed stream"},
        {"a damaged stream with --force", none, {"decompress", "damaged.zs", "existing.txt", "-f"}, 1,
         "ends unexpectedly"},
        {"compressing a file into itself", none, {"compress", "words.txt", "words.txt"}, 1,
         "words.txt is the same file as the input words.txt"},
        {"decompressing a stream into itself with --force", none, {"decompress", "words.zs", "words.zs", "--force"}, 1,
         "same file as the input"},
        {"the input through a symbolic link",
         [](const TempFolder& f) { fs::create_symlink("words.txt", f / "alias"); },
         {"compress", "words.txt", "alias", "--force"}, 1, "alias is the same file as the input words.txt"},
        {"the input through a hard link",
         [](const TempFolder& f) { fs::create_hard_link(f / "words.txt", f / "twin"); },
         {"compress", "words.txt", "twin", "--force"}, 1, "twin is the same file as the input words.txt"},
        {"standard output appended to the input", none, {"compress", "words.txt"}, 1,
         "(standard output) is the input file words.txt", "words.txt"},
        {"a null device given a damaged stream", [](const TempFolder& f) { makeNullDevice(f / "null"); },
         {"decompress", "damaged.zs", "null", "--force"}, 1, "ends unexpectedly"},
        {"a link to a null device",
         [](const TempFolder& f) {
             makeNullDevice(f / "null");
             fs::create_symlink("null", f / "devlink");
         },
         {"decompress", "words.zs", "devlink"}, 0, ""},
        {"a folder",
         [](const TempFolder& f) { writeFile(f / "box/inside.txt", "inside"); },
         {"compress", "words.txt", "box", "--force"}, 1, "box is a folder"},
        {"a FIFO", [](const TempFolder& f) { ::mkfifo((f / "pipe").c_str(), 0644); },
         {"compress", "words.txt", "pipe", "--force"}, 1, "pipe is a FIFO"},
        {"a dangling link without --force",
         [](const TempFolder& f) { fs::create_symlink("nowhere", f / "dangling"); },
         {"compress", "words.txt", "dangling"}, 1, "dangling already exists"},
        {"a missing folder", none, {"compress", "words.txt", "none/out.zs"}, 1,
         "cannot open none/out.zs for writing"},
        {"a link replaced with --force, never its target",
         [](const TempFolder& f) { fs::create_symlink("existing.txt", f / "shortcut"); },
         {"compress", "words.txt", "shortcut", "--force"}, 0, "", nullptr, {"shortcut"}},
        {"a file replaced with --force, never its other names",
         [](const TempFolder& f) { fs::create_hard_link(f / "existing.txt", f / "other-name.txt"); },
         {"compress", "words.txt", "existing.txt", "--force"}, 0, "", nullptr, {"existing.txt"}},
    };
    for (const DestinationCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder scratch;
        for (const auto& entry : fs::directory_iterator(folder.path()))
            fs::copy(entry.path(), scratch / entry.path().filename().string());
        c.prepare(scratch);
        FolderSnapshot expected = snapshotOf(scratch.path());
        for (const std::string& path : c.nowHoldTheStream) expected[path] = "file: " + stream;

        TempFolder capture;
        const std::string outPath = c.appendStandardOutputTo ? scratch / c.appendStandardOutputTo : capture / "out";
        const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        CliOnDescriptors process(scratch.path(), c.args, in, out);
        ::close(in);
        ::close(out);
        ASSERT_TRUE(process.endsWithin(60s)) << "zor-cli hung";
        const CliResult result = process.wait();

        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_TRUE(contains(result.err, c.message)) << result.err;
        EXPECT_FALSE(contains(result.err, "Internal error")) << result.err;
        EXPECT_EQ(differences(expected, snapshotOf(scratch.path())), std::vector<std::string>{});
    }
}

TEST_F(CodecOutputTest, AFullDiskIsReportedWithTheOutputsNameAndLeavesNothingThere) {
    SmallFilesystem disk(folder / "disk", 64 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small file system here";
    writeFile(folder / "large.bin", incompressibleBytes(1'000'000));
    ASSERT_EQ(runCli(folder.path(), {"compress", "large.bin", "large.zs"}).status, 0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"compress", "large.bin", "disk/out"},
                                                 std::vector<std::string>{"decompress", "large.zs", "disk/out"}}) {
        SCOPED_TRACE(args[0]);
        const CliResult result = runCli(folder.path(), args);
        EXPECT_EQ(result.status, 1) << result.err;
        const std::string message = "zor-cli: disk/out: I/O or other error, bailing out. (No space left on device)";
        EXPECT_TRUE(contains(result.err, message)) << result.err;
        EXPECT_TRUE(snapshotOf(folder / "disk").empty());
    }
}

// A signal that ends the process while it writes: the target gets nothing,
// an existing file there stays as it was, and no part file stays beside it.
TEST_F(CodecOutputTest, AFatalSignalWhileWritingLeavesNothingBehind) {
    const std::string source = incompressibleBytes(3'000'000);
    ASSERT_EQ(runCli(folder.path(), {"compress", "-", "source.zs"}, source).status, 0);
    const std::string sourceStream = readFile(folder / "source.zs");

    struct SignalCase {
        int signal;
        std::vector<std::string> args;
        const std::string& feed;  // what the pipe on standard input gets before the signal (a part of it)
    };
    const SignalCase cases[] = {
        {SIGTERM, {"compress", "-", "new.zs"}, source},
        {SIGINT, {"compress", "-", "existing.txt", "--force"}, source},
        {SIGHUP, {"compress", "-", "new.zs"}, source},
        {SIGTERM, {"decompress", "-", "new.txt"}, sourceStream},
        {SIGINT, {"decompress", "-", "existing.txt", "--force"}, sourceStream},
    };
    for (const SignalCase& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + " during " + c.args[0] + " to " + c.args[2]);
        const FolderSnapshot before = snapshotOf(folder.path());
        int feed[2];
        ASSERT_EQ(::pipe2(feed, O_CLOEXEC), 0);
        const int out = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        CliOnDescriptors process(folder.path(), c.args, feed[0], out);
        ::close(feed[0]);
        ::close(out);
        // More than a block, so that output is being written, but not all: the process waits for the rest.
        const std::size_t part = c.feed.size() * 2 / 3;
        ASSERT_EQ(::write(feed[1], c.feed.data(), part), static_cast<ssize_t>(part));
        std::this_thread::sleep_for(300ms);
        ASSERT_TRUE(process.running()) << process.wait().err;
        process.signal(c.signal);
        ASSERT_TRUE(process.endsWithin(30s));
        ::close(feed[1]);
        EXPECT_EQ(process.endedBy(), c.signal) << process.wait().err;
        EXPECT_EQ(differences(before, snapshotOf(folder.path())), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace zor::test
