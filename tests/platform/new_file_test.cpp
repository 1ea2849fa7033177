// new_file_test.cpp - new files appear only when committed, never overwrite without being asked, never write through links.
#include "platform/new_file.h"

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/signal_cleanup.h"
#include "tests/platform/temp_folder.h"

namespace zor {
namespace {

using test::readFile;
using test::TempFolder;
using test::writeFile;

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool writeAll(int fd, const std::string& bytes) {
    return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

// Both ways of making the file: unnamed, and a part file beside the target.
class NewFileTest : public ::testing::TestWithParam<bool> {
protected:
    bool create(NewFile& file, const std::string& name) {
        const int folder = ::open(dir_.path().c_str(), O_RDONLY | O_DIRECTORY);
        const bool created = file.create(folder, name, 0666, GetParam());
        ::close(folder);
        return created;
    }
    TempFolder dir_;
};

TEST_P(NewFileTest, CommittedFileAppearsWholeAndNothingElseStays) {
    NewFile file;
    ASSERT_TRUE(create(file, "out.zor"));
    EXPECT_EQ(file.unnamed(), GetParam());
    ASSERT_TRUE(writeAll(file.descriptor(), "payload"));
    EXPECT_EQ(namesIn(dir_.path()).size(), GetParam() ? 0u : 1u);
    ASSERT_TRUE(file.commit(false));
    EXPECT_EQ(namesIn(dir_.path()), std::vector<std::string>{"out.zor"});
    EXPECT_EQ(readFile(dir_ / "out.zor"), "payload");
}

TEST_P(NewFileTest, DiscardAndDestructionLeaveNothing) {
    {
        NewFile dropped;
        ASSERT_TRUE(create(dropped, "a"));
        writeAll(dropped.descriptor(), "x");
        NewFile discarded;
        ASSERT_TRUE(create(discarded, "b"));
        discarded.discard();
        EXPECT_EQ(discarded.descriptor(), -1);
    }
    EXPECT_TRUE(namesIn(dir_.path()).empty());
}

TEST_P(NewFileTest, AnExistingNameIsKeptUnlessReplacingIsAsked) {
    writeFile(dir_ / "kept", "old");
    NewFile file;
    ASSERT_TRUE(create(file, "kept"));
    writeAll(file.descriptor(), "new");
    EXPECT_FALSE(file.commit(false));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readFile(dir_ / "kept"), "old");
    EXPECT_EQ(namesIn(dir_.path()), std::vector<std::string>{"kept"});

    NewFile replacing;
    ASSERT_TRUE(create(replacing, "kept"));
    writeAll(replacing.descriptor(), "new");
    ASSERT_TRUE(replacing.commit(true));
    EXPECT_EQ(readFile(dir_ / "kept"), "new");
    EXPECT_EQ(namesIn(dir_.path()), std::vector<std::string>{"kept"});
}

TEST_P(NewFileTest, ReplacingALinkReplacesTheLinkNotItsTarget) {
    TempFolder outside;
    writeFile(outside / "target", "precious");
    ASSERT_EQ(::symlink((outside / "target").c_str(), (dir_ / "link").c_str()), 0);
    NewFile file;
    ASSERT_TRUE(create(file, "link"));
    writeAll(file.descriptor(), "new");
    EXPECT_FALSE(file.commit(false));
    NewFile replacing;
    ASSERT_TRUE(create(replacing, "link"));
    writeAll(replacing.descriptor(), "new");
    ASSERT_TRUE(replacing.commit(true));
    struct stat status {};
    ASSERT_EQ(::lstat((dir_ / "link").c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(readFile(outside / "target"), "precious");
}

INSTANTIATE_TEST_SUITE_P(UnnamedAndPartFile, NewFileTest, ::testing::Bool());

TEST(NewFileBeside, CreatesInThePathsFolderAndFailsForAMissingOne) {
    TempFolder dir;
    NewFile file;
    ASSERT_TRUE(file.createBeside(dir / "x.zs"));
    ASSERT_TRUE(file.commit(false));
    EXPECT_TRUE(std::filesystem::exists(dir / "x.zs"));
    NewFile missing;
    EXPECT_FALSE(missing.createBeside(dir / "no/such/x.zs"));
    EXPECT_EQ(errno, ENOENT);
}

TEST(SignalCleanup, AFatalSignalRemovesThePartFilesAndEndsByThatSignal) {
    TempFolder dir;
    for (int signalNumber : {SIGTERM, SIGHUP}) {
        const pid_t child = ::fork();
        if (child == 0) {
            installPartFileRemovalOnSignals();
            NewFile file;
            const int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
            if (!file.create(folder, "big", 0666, false)) ::_exit(2);
            ::raise(signalNumber);
            ::_exit(3);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signalNumber);
        EXPECT_TRUE(namesIn(dir.path()).empty());
    }
}

}  // namespace
}  // namespace zor
