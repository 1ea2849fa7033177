// platform_test.cpp - attributes, DOS times, directory search, folders and volumes on a real file system.
#include <algorithm>
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
#include "tests/platform/temp_folder.h"

namespace zor {
namespace {

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
        }
    }
    EXPECT_EQ(names, (std::set<std::string>{"a.txt", ".hidden", "sub", "link", "dangling"}));
    EXPECT_FALSE(search.open(folder / "missing"));
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
