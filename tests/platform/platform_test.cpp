// platform_test.cpp - attributes, DOS times, directory search, folders and volumes on a real file system.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

#include "platform/directory_search.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/folders.h"
#include "platform/regular_file.h"
#include "platform/volumes.h"
#include "tests/platform/folder_helpers.h"
#include "tests/platform/temp_folder.h"

namespace zor {
namespace {

using test::makeNestedFolders;
using test::TempFolder;
using test::writeFile;

TEST(DosTime, PacksLocalTimeFieldsIntoTheirBits) {
    std::tm local {};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 6;  // July
    local.tm_mday = 15;
    local.tm_hour = 13;
    local.tm_min = 45;
    local.tm_sec = 31;  // odd seconds round down to the 2-second step
    local.tm_isdst = -1;
    const uint32_t dos = toDosDateTime(std::mktime(&local));
    EXPECT_EQ(dos >> 25, 2024u - 1980u);
    EXPECT_EQ((dos >> 21) & 0xF, 7u);
    EXPECT_EQ((dos >> 16) & 0x1F, 15u);
    EXPECT_EQ((dos >> 11) & 0x1F, 13u);
    EXPECT_EQ((dos >> 5) & 0x3F, 45u);
    EXPECT_EQ(dos & 0x1F, 15u);
    EXPECT_EQ(toDosDateTime(fromDosDateTime(dos)), dos);
}

TEST(DosTime, ClampsTimesTheFormatCannotHold) {
    const uint32_t first = toDosDateTime(0);  // 1970
    EXPECT_EQ(first, (uint32_t{(0u << 9) | (1u << 5) | 1u} << 16));
    std::tm late {};
    late.tm_year = 2200 - 1900;
    late.tm_mday = 1;
    late.tm_isdst = -1;
    EXPECT_EQ(toDosDateTime(std::mktime(&late)) >> 25, 127u);
}

TEST(DosTime, SetOnAnOpenFileIsReadBack) {
    TempFolder folder;
    writeFile(folder / "f", "x");
    const int fd = ::open((folder / "f").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    const uint32_t dos = (uint32_t{(2001 - 1980) << 9 | 2 << 5 | 3} << 16) | (4u << 11 | 5u << 5 | 3u);
    EXPECT_TRUE(setFileDosDateTime(fd, dos));
    EXPECT_EQ(getFileDosDateTime(fd), dos);
    ::close(fd);
}

TEST(FileAttributes, ReadOnlyHiddenFolderAndArchiveComeFromModeAndName) {
    TempFolder folder;
    writeFile(folder / ".hidden", "x");
    writeFile(folder / "plain", "x");
    EXPECT_EQ(getAttributes(folder / ".hidden"), kAttributeHidden | kAttributeArchive);
    EXPECT_EQ(getAttributes(folder / "plain"), kAttributeArchive);
    EXPECT_EQ(getAttributes(folder.path()).value() & kAttributeFolder, kAttributeFolder);
    EXPECT_FALSE(getAttributes(folder / "missing").has_value());

    ASSERT_TRUE(setAttributes(folder / "plain", kAttributeReadOnly));
    EXPECT_EQ(getAttributes(folder / "plain"), kAttributeReadOnly | kAttributeArchive);
    struct stat status {};
    ::stat((folder / "plain").c_str(), &status);
    EXPECT_EQ(status.st_mode & 0222, 0u) << "read-only clears every write bit, not only the owner's";

    ASSERT_TRUE(setAttributes(folder / "plain", kAttributeArchive));
    EXPECT_EQ(getAttributes(folder / "plain"), kAttributeArchive);
}

TEST(DirectorySearch, ListsEveryEntryButDotAndDotDotWithKindAndSize) {
    TempFolder folder;
    writeFile(folder / "a.txt", "hello");
    writeFile(folder / ".hidden", "");
    writeFile(folder / "sub/inner", "x");
    ASSERT_EQ(::symlink("a.txt", (folder / "link").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (folder / "dangling").c_str()), 0);

    DirectorySearch search;
    ASSERT_TRUE(search.open(folder.path()));
    std::set<std::string> names;
    DirectoryEntry entry;
    while (search.next(entry)) {
        names.insert(entry.name);
        if (entry.name == "a.txt") {
            EXPECT_EQ(entry.kind, DirectoryEntry::Kind::File);
            EXPECT_EQ(entry.size, 5u);
        }
        if (entry.name == "sub") {
            EXPECT_EQ(entry.kind, DirectoryEntry::Kind::Folder);
        }
        if (entry.name == "link") {
            EXPECT_TRUE(entry.isLink);
            EXPECT_EQ(entry.kind, DirectoryEntry::Kind::File);
        }
        if (entry.name == "dangling") {
            EXPECT_EQ(entry.kind, DirectoryEntry::Kind::Missing);
            EXPECT_EQ(entry.error, ENOENT);
        }
    }
    EXPECT_EQ(names, (std::set<std::string>{"a.txt", ".hidden", "sub", "link", "dangling"}));
    EXPECT_FALSE(search.open(folder / "missing"));
    EXPECT_EQ(search.error(), ENOENT);
}

TEST(DirectorySearch, ThroughADescriptorReadsFromTheStartAndOpensNoLinkUnlessAsked) {
    TempFolder folder;
    writeFile(folder / "sub/one", "1");
    writeFile(folder / "sub/two", "2");
    ASSERT_EQ(::symlink("sub", (folder / "link").c_str()), 0);
    ASSERT_EQ(::mkfifo((folder / "sub/pipe").c_str(), 0644), 0);
    const int top = openFolder(AT_FDCWD, folder.path(), false);
    ASSERT_GE(top, 0);
    EXPECT_EQ(openFolder(top, "link", false), -1) << "a link swapped in for a listed folder is not followed";
    EXPECT_EQ(openFolder(top, "sub/one", false), -1);
    EXPECT_EQ(errno, ENOTDIR);
    const int sub = openFolder(top, "link", true);
    ASSERT_GE(sub, 0);
    ::close(top);

    for (int pass = 0; pass < 2; ++pass) {  // the second search starts at the first entry again
        DirectorySearch search;
        ASSERT_TRUE(search.open(sub));
        std::set<std::string> names;
        DirectoryEntry entry;
        while (search.next(entry)) {
            names.insert(entry.name);
            if (entry.name == "pipe") {
                EXPECT_EQ(entry.type, static_cast<mode_t>(S_IFIFO));
            }
        }
        EXPECT_EQ(search.error(), 0);
        EXPECT_EQ(names, (std::set<std::string>{"one", "two", "pipe"}));
    }
    EXPECT_EQ(examineDescriptor(sub).kind, DirectoryEntry::Kind::Folder);
    ::close(sub);
}

TEST(Folders, CreatePathMakesEveryMissingFolderAndRemoveDeletes) {
    TempFolder folder;
    EXPECT_TRUE(createFolderPath(folder / "x/y/z"));
    EXPECT_TRUE(createFolderPath(folder / "x/y/z"));  // already there
    EXPECT_FALSE(createFolder(folder / "x"));
    EXPECT_FALSE(createFolder(folder / "missing/parent"));
    writeFile(folder / "file", "x");
    EXPECT_FALSE(createFolderPath(folder / "file/below"));
    EXPECT_TRUE(removeFolder(folder / "x/y/z"));
    EXPECT_TRUE(deleteFile(folder / "file"));
    EXPECT_FALSE(deleteFile(folder / "file"));
}

TEST(Folders, TemporaryFolderFollowsTmpdirAndEndsWithSlash) {
    TempFolder folder;
    const char* saved = std::getenv("TMPDIR");
    const std::string previous = saved ? saved : "";
    ::setenv("TMPDIR", folder.path().c_str(), 1);
    EXPECT_EQ(temporaryFolder(), folder.path() + "/");
    ::setenv("TMPDIR", (folder / "missing").c_str(), 1);
    EXPECT_EQ(temporaryFolder(), "/tmp/");
    if (saved) ::setenv("TMPDIR", previous.c_str(), 1); else ::unsetenv("TMPDIR");
}

TEST(RegularFile, OpensFilesButNeverWaitsOnAPipeOrOpensAFolder) {
    TempFolder folder;
    writeFile(folder / "file", "abc");
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
    std::FILE* file = openRegularFile(folder / "file");
    ASSERT_NE(file, nullptr);
    char buffer[4] = {};
    EXPECT_EQ(std::fread(buffer, 1, 4, file), 3u);
    std::fclose(file);
    EXPECT_EQ(openRegularFile(folder / "pipe"), nullptr) << "no writer: a blocking open would hang here";
    EXPECT_EQ(openRegularFile(folder.path()), nullptr);
    EXPECT_EQ(openRegularFile(folder / "missing"), nullptr);

    struct stat status {};
    const int fd = openRegularDescriptor(folder / "file", status);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(status.st_size, 3);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << "reads must block like those of any opened file";
    ::close(fd);
    EXPECT_EQ(openRegularDescriptor(folder / "pipe", status), -1);
}

// A path longer than one system call takes, with a link to a folder along
// the way and a link to the file at its end, both followed.
TEST(RegularFile, OpensAPathLongerThanPathMaxComponentByComponent) {
    TempFolder folder;
    const std::string name(200, 'p');
    const std::string upper = makeNestedFolders(folder.path(), 10, name);
    const std::string lower = makeNestedFolders(folder / upper, 15, name, [](int deepest) {
        EXPECT_EQ(::symlinkat("bottom", deepest, "link"), 0);
        EXPECT_EQ(::mkfifoat(deepest, "pipe", 0644), 0);
    });
    ASSERT_EQ(::symlink(name.c_str(), (folder / upper + "/hop").c_str()), 0);
    const std::string throughHop = upper + "/hop" + lower.substr(name.size());
    ASSERT_GT(throughHop.size(), static_cast<std::size_t>(PATH_MAX));

    const int saved = ::open(".", O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::chdir(folder.path().c_str()), 0);
    for (const std::string& path : {throughHop + "/link", folder / throughHop + "/link", "./" + throughHop + "//bottom"}) {
        std::FILE* file = openRegularFile(path);
        ASSERT_NE(file, nullptr) << path.substr(0, 40) << " " << std::strerror(errno);
        char bytes[8] = {};
        EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, file), 4u);
        EXPECT_EQ(std::string(bytes), "deep");
        std::fclose(file);
    }
    struct stat status {};
    EXPECT_EQ(openRegularDescriptor(throughHop + "/pipe", status), -1) << "no writer: a blocking open would hang here";
    EXPECT_EQ(openRegularDescriptor(throughHop + "/missing", status), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(openRegularDescriptor(throughHop, status), -1) << "a folder";
    EXPECT_EQ(examinePath(throughHop + "/link").kind, DirectoryEntry::Kind::File);
    EXPECT_EQ(examinePath(throughHop + "/link").size, 4u);
    EXPECT_EQ(::fchdir(saved), 0);
    ::close(saved);
}

TEST(Volumes, KeepsRealFileSystemsRootFirstAndDecodesEscapes) {
    TempFolder folder;
    writeFile(folder / "mounts",
              "proc /proc proc rw 0 0\n"
              "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
              "/dev/sda1 / ext4 rw 0 0\n"
              "tmpfs /run tmpfs rw 0 0\n"
              "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n");
    const auto volumes = mountedVolumes(folder / "mounts");
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_EQ(volumes[0].mountPoint, "/");
    EXPECT_EQ(volumes[1].mountPoint, "/media/usb stick");
    EXPECT_EQ(mountedVolumes(folder / "missing").front().mountPoint, "/");
}

}  // namespace
}  // namespace zor
