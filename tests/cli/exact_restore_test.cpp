// exact_restore_test.cpp - zor-cli packs a Linux tree and gives it back exactly, and a plain tree as plain bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/cli/cli_runner.h"

namespace zor::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Each entry below `folder` as "path mode kind link-target time", sorted.
std::string listing(const std::string& folder) {
    const std::string command = "cd '" + folder + "' && find . -printf '%P %m %y %l %T@\\n' | LC_ALL=C sort";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    if (pipe) ::pclose(pipe);
    return text;
}

void setTime(const std::string& path, long seconds, long nanoseconds) {
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

TEST(ExactRestore, ATreeOfCaseModesLinksAndTimesComesBackExactlyOnAnyThreadCount) {
    TempFolder work;
    const std::string src = work.path() + "/Src";
    for (const char* sub : {"", "/Docs", "/Docs/sub", "/ro"}) ASSERT_EQ(::mkdir((src + sub).c_str(), 0755), 0);
    writeFile(src + "/Docs/README", "upper\n");
    writeFile(src + "/Docs/readme", "lower\n");
    writeFile(src + "/Docs/CMakeLists.txt", "project(x)\n");
    writeFile(src + "/Docs/r\xC3\xA9sum\xC3\xA9.txt", "accents\n");
    writeFile(src + "/Docs/\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80", "cjk and emoji\n");
    writeFile(src + "/id_key", "secret\n");
    ::chmod((src + "/id_key").c_str(), 0600);
    writeFile(src + "/run.sh", "#!/bin/sh\necho hi\n");
    ::chmod((src + "/run.sh").c_str(), 0755);
    writeFile(src + "/ro/inside", "kept\n");
    ::chmod((src + "/ro/inside").c_str(), 0444);
    ASSERT_EQ(::symlink("../../run.sh", (src + "/Docs/sub/to-file").c_str()), 0);
    ASSERT_EQ(::symlink("Docs", (src + "/to-folder").c_str()), 0);
    ASSERT_EQ(::symlink("/etc", (src + "/absolute").c_str()), 0);
    ASSERT_EQ(::symlink("missing", (src + "/dangling").c_str()), 0);
    setTime(src + "/id_key", 1577934245, 123456789);
    setTime(src + "/to-folder", 1500000000, 987654321);
    for (const char* sub : {"/Docs/sub", "/Docs", "/ro", ""}) setTime(src + sub, 1600000000, 500000001);
    ::chmod((src + "/ro").c_str(), 0555);

    const CliResult one = runCli(work.path(), {"pack", "--threads", "1", "one.zor", "Src"});
    const CliResult three = runCli(work.path(), {"pack", "--threads", "3", "three.zor", "Src"});
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_EQ(three.status, 0) << three.err;
    EXPECT_EQ(readFile(work.path() + "/one.zor"), readFile(work.path() + "/three.zor"));

    const CliResult listed = runCli(work.path(), {"list", "one.zor"});
    EXPECT_TRUE(contains(listed.out, "Src")) << listed.out << listed.err;
    const CliResult unpacked = runCli(work.path(), {"unpack", "-d", "out", "one.zor"});
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;
    EXPECT_EQ(listing(work.path() + "/out/Src"), listing(src));
    EXPECT_EQ(runCli(work.path(), {"test", "one.zor"}).status, 0);
    ::chmod((src + "/ro").c_str(), 0755);
    ::chmod((work.path() + "/out/Src/ro").c_str(), 0755);
}

TEST(ExactRestore, ATreeThatLosesNothingGivesThePlainBytesWithNamesInWindows1252) {
    TempFolder work;
    const std::string src = work.path() + "/src";
    ASSERT_EQ(::mkdir(src.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((src + "/d").c_str(), 0755), 0);
    writeFile(src + "/d/r\xC3\xA9sum\xC3\xA9.txt", "text\n");
    writeFile(src + "/a.txt", "");
    ::chmod((src + "/a.txt").c_str(), 0444);
    ::chmod((src + "/d/r\xC3\xA9sum\xC3\xA9.txt").c_str(), 0644);
    ASSERT_EQ(runCli(work.path(), {"pack", "exact.zor", "src"}).status, 0);
    ASSERT_EQ(runCli(work.path(), {"pack", "--plain", "plain.zor", "src"}).status, 0);
    const std::string bytes = readFile(work.path() + "/exact.zor");
    EXPECT_EQ(bytes, readFile(work.path() + "/plain.zor"));
    EXPECT_FALSE(contains(bytes, "ZOREX"));
    EXPECT_TRUE(contains(bytes, std::string("src\\d\\r\xE9sum\xE9.txt") + '\0'));
    ASSERT_EQ(runCli(work.path(), {"unpack", "-d", "out", "exact.zor"}).status, 0);
    EXPECT_EQ(readFile(work.path() + "/out/src/d/r\xC3\xA9sum\xC3\xA9.txt"), "text\n");
}

TEST(ExactRestore, PlainPackingNamesWhatItLoses) {
    TempFolder work;
    const std::string src = work.path() + "/src";
    ASSERT_EQ(::mkdir(src.c_str(), 0755), 0);
    writeFile(src + "/Key", "secret\n");
    ::chmod((src + "/Key").c_str(), 0600);
    writeFile(src + "/plain.txt", "x\n");
    ::chmod((src + "/plain.txt").c_str(), 0644);
    ASSERT_EQ(::symlink("plain.txt", (src + "/link").c_str()), 0);
    const CliResult packed = runCli(work.path(), {"pack", "--plain", "plain.zor", "src"});
    EXPECT_EQ(packed.status, 1);
    EXPECT_TRUE(contains(packed.err, "src/Key: Packed, but it comes back as src/key")) << packed.err;
    EXPECT_TRUE(contains(packed.err, "src/link: Packed as the file it points to, not as a link")) << packed.err;
    EXPECT_FALSE(contains(packed.err, "plain.txt:")) << packed.err;
    EXPECT_FALSE(contains(readFile(work.path() + "/plain.zor"), "ZOREX"));

    ::chmod((src + "/plain.txt").c_str(), 0640);
    ::unlink((src + "/link").c_str());
    ::rename((src + "/Key").c_str(), (src + "/key").c_str());
    const CliResult modes = runCli(work.path(), {"pack", "--plain", "-f", "plain.zor", "src"});
    EXPECT_EQ(modes.status, 1);
    EXPECT_TRUE(contains(modes.err, "src/key: Packed, but its permissions 0600 are not kept")) << modes.err;
    EXPECT_TRUE(contains(modes.err, "src/plain.txt: Packed, but its permissions 0640 are not kept")) << modes.err;
}

}  // namespace
}  // namespace zor::test
