// walk_omissions_test.cpp - the walk names everything it leaves out, and walks trees deeper and longer than the system's limits.
//
// Packing that drops a FIFO, a device or an unreadable folder without a
// word makes an archive that looks complete and is not; a walk that gives
// up past PATH_MAX or past the descriptor limit drops whole subtrees. Each
// case here left the item out silently (or stopped) before.
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "archive/archive_reader.h"
#include "archive/entry_names.h"
#include "archive/tree_walk.h"
#include "platform/directory_search.h"
#include "tests/archive/archive_fixture.h"
#include "tests/platform/folder_helpers.h"

namespace zor::test {
namespace {

using OnListed = std::function<void(const PackItem&)>;

int openDescriptors() {
    int count = 0;
    DirectorySearch search;
    DirectoryEntry entry;
    search.open("/proc/self/fd");
    while (search.next(entry)) ++count;
    return count - 1;  // the search's own
}

class WalkOmissions : public ArchiveFixture {
protected:
    void walk(const std::vector<std::string>& names, const OnListed& onListed = {}) {
        context.selection.clear();
        for (const auto& name : names) context.selection.push_back({name, 0, folder.path()});
        context.items.clear();
        TotalLength(context, [&](std::size_t index) {
            if (onListed) onListed(context.items[index]);
        });
    }

    std::vector<std::string> paths() const {
        std::vector<std::string> result;
        for (const auto& item : context.items) result.push_back(item.path);
        return result;
    }

    // Every report of the walk: those given at once, then the omissions.
    std::vector<std::string> allReports() const {
        std::vector<std::string> all = ui.reportTexts();
        all.insert(all.end(), context.walk.omissions.begin(), context.walk.omissions.end());
        return all;
    }
};

// One kind of item the walk must leave out, made at `root + "/" + at` by `make`.
struct OmittedCase {
    const char* label;
    const char* at;  // the item, "d/..." inside the walked folder d, otherwise selected
    void (*make)(const std::string& root, const std::string& item, OperationContext& context, OnListed& onListed);
    const char* says;
    bool atOnce = false;           // a message of its own at once rather than a line of the omissions
    bool keepsOwnEntry = false;    // an unreadable folder is still stored as an empty folder
    bool modeBitsOnly = false;     // made unreadable by its mode, which does not stop root
};

void PrintTo(const OmittedCase& omitted, std::ostream* out) { *out << omitted.label; }

void unixSocketAt(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

const OmittedCase kOmittedCases[] = {
    {"FifoInAFolder", "d/odd", [](auto&, auto& item, auto&, auto&) { ::mkfifo(item.c_str(), 0644); },
     ": Not packed: it is a FIFO"},
    {"SelectedFifo", "odd", [](auto&, auto& item, auto&, auto&) { ::mkfifo(item.c_str(), 0644); },
     ": Not packed: it is a FIFO"},
    {"SocketInAFolder", "d/odd", [](auto&, auto& item, auto&, auto&) { unixSocketAt(item); },
     ": Not packed: it is a socket"},
    {"DeviceInAFolder", "d/odd", [](auto&, auto& item, auto&, auto&) { ::symlink("/dev/null", item.c_str()); },
     ": Not packed: it is a device"},
    {"SelectedDevice", "odd", [](auto&, auto& item, auto&, auto&) { ::symlink("/dev/null", item.c_str()); },
     ": Not packed: it is a device"},
    {"LinkToAFolderInAFolder", "d/odd",
     [](auto& root, auto& item, auto&, auto&) { ::symlink((root + "/d").c_str(), item.c_str()); },
     ": Not packed: it is a link to a folder"},
    {"DanglingLinkInAFolder", "d/odd", [](auto&, auto& item, auto&, auto&) { ::symlink("nowhere", item.c_str()); },
     ": Not packed: what the link points to cannot be examined (No such file or directory)"},
    {"MissingSelectedItem", "odd", [](auto&, auto&, auto&, auto&) {},
     ": Cannot open file for length reading (No such file or directory)", true},
    {"SelectedDanglingLink", "odd", [](auto&, auto& item, auto&, auto&) { ::symlink("nowhere", item.c_str()); },
     ": Cannot open file for length reading (No such file or directory)", true},
    {"FolderGoneBeforeItIsRead", "d/odd",
     [](auto&, auto& item, auto&, OnListed& onListed) {
         writeFile(item + "/inner", "i");
         onListed = [item](const PackItem& listed) {
             if (listed.path == "d\\odd\\") std::filesystem::remove_all(item);
         };
     },
     ": The folder cannot be read; what it holds is not packed (No such file or directory)", false, true},
    {"UnreadableFolder", "d/odd",
     [](auto&, auto& item, auto&, auto&) {
         writeFile(item + "/inner", "i");
         ::chmod(item.c_str(), 0);
     },
     ": The folder cannot be read; what it holds is not packed (Permission denied)", false, true, true},
    {"UnreadableSelectedFile", "odd",
     [](auto&, auto& item, auto&, auto&) {
         writeFile(item, "secret");
         ::chmod(item.c_str(), 0);
     },
     ": Cannot open file for length reading (Permission denied)", true, false, true},
    {"ArchiveBeingWritten", "d/odd",
     [](auto&, auto& item, OperationContext& context, auto&) {
         writeFile(item, "an older archive");
         struct stat status {};
         ::stat(item.c_str(), &status);
         context.walk.hasExcludedFile = true;
         context.walk.excludedDevice = status.st_dev;
         context.walk.excludedInode = status.st_ino;
     },
     ": Not packed: it is the archive being written"},
    {"NameHoldingABackslash", "d/od\\d", [](auto&, auto& item, auto&, auto&) { writeFile(item, "x"); },
     "holds \"\\\" and cannot be stored; it is left out.", true},
    {"SelectedNameWithADrive", "c:odd", [](auto&, auto& item, auto&, auto&) { writeFile(item, "x"); },
     ": Not packed: extraction would refuse its name, as the name starts with a drive"},
};

class OmittedItem : public WalkOmissions, public testing::WithParamInterface<OmittedCase> {};

TEST_P(OmittedItem, IsReportedWithItsPathAndCountedWhileTheRestIsListedInOrder) {
    const OmittedCase& omitted = GetParam();
    context.plainArchive = true;  // links are packed as links otherwise
    if (omitted.modeBitsOnly && ::geteuid() == 0) GTEST_SKIP() << "mode bits do not stop root";
    writeFile(folder / "d/a", "a");
    writeFile(folder / "d/z", "zz");
    writeFile(folder / "first", "1");
    writeFile(folder / "last", "22");
    const std::string at = omitted.at;
    const std::string item = folder / at;
    OnListed onListed;
    omitted.make(folder.path(), item, context, onListed);

    std::vector<std::string> expected;
    const bool selected = at.rfind("d/", 0) != 0;
    if (selected) {
        walk({"first", at, "last"}, onListed);
        expected = {"first", "last"};
    } else {
        const std::vector<std::string> listedBefore = namesInListOrder(folder / "d");
        walk({"d"}, onListed);
        expected = {"d\\"};
        for (const auto& name : listedBefore) {
            if ("d/" + name != at) expected.push_back("d\\" + name);
            else if (omitted.keepsOwnEntry) expected.push_back("d\\" + name + "\\");
        }
    }
    EXPECT_EQ(paths(), expected);
    const std::vector<std::string> reports = allReports();
    ASSERT_EQ(reports.size(), 1u) << (reports.empty() ? "" : reports[0]);
    EXPECT_NE(reports[0].find(item), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find(omitted.says), std::string::npos) << reports[0];
    EXPECT_EQ(context.walk.omissions.size(), omitted.atOnce ? 0u : 1u);
    EXPECT_EQ(context.walk.leftOut, 1);
    EXPECT_EQ(context.walk.currentDepth, 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, OmittedItem, testing::ValuesIn(kOmittedCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(WalkOmissions, ATreeLongerThanPathMaxIsWalkedAndPackedWhole) {
    const std::string name(200, 'n');
    const std::string deepest = makeNestedFolders(folder.path(), 30, name);
    ASSERT_GT(deepest.size(), 4096u);
    walk({name});

    ASSERT_EQ(context.items.size(), 31u);
    EXPECT_EQ(context.walk.folders, 30);
    EXPECT_EQ(context.walk.files, 1);
    EXPECT_EQ(context.walk.bytes, 4u);
    EXPECT_EQ(context.items.back().depth, 30);
    EXPECT_EQ(context.items.back().diskPath, folder / deepest + "/bottom");
    EXPECT_EQ(context.walk.leftOut, 0);
    // The first folder whose name passes 2559 bytes is reported, once for all it holds.
    ASSERT_EQ(context.walk.omissions.size(), 1u);
    const std::string firstLong = context.items[12].diskPath;
    EXPECT_EQ(context.walk.omissions[0].rfind(firstLong + ": Packed, but its name in the archive", 0), 0u);

    const std::string deepestName = toEntryName(context.items.back().path);
    ASSERT_EQ(pack(folder / "deep.zor", {name}), OperationOutcome::Succeeded);
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(folder / "deep.zor"));
    ASSERT_FALSE(reader.readHeader());
    ArchiveEntry entry;
    std::vector<ArchiveEntry> entries;
    ArchiveReader::Step step;
    while ((step = reader.next(entry)) == ArchiveReader::Step::Entry) entries.push_back(entry);
    EXPECT_EQ(step, ArchiveReader::Step::End);
    ASSERT_EQ(entries.size(), 31u);
    EXPECT_TRUE(entries.back().name == deepestName) << "the deepest file is the last entry";
    EXPECT_EQ(entries.back().record.size, 4u);
}

TEST_F(WalkOmissions, AFolderPastTheLongestNameIsLeftOutAndTheWalkGoesOn) {
    const std::string name(200, 'n');
    makeNestedFolders(folder.path(), 165, name);
    writeFile(folder / "after", "a");
    walk({name, "after"});
    // Folder k's name in the archive is 201 * (k + 1) bytes; 164 of them pass 32766.
    ASSERT_EQ(context.walk.folders, 163);
    EXPECT_EQ(context.items.back().path, "after");
    EXPECT_EQ(context.walk.leftOut, 1);
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_EQ(ui.reports[0].text.rfind("The path " + folder.path() + "/" + name + "/", 0), 0u);
    EXPECT_NE(ui.reports[0].text.find(" is too long to be stored; it is left out."), std::string::npos);
}

TEST_F(WalkOmissions, MoreNestedFoldersThanTheDescriptorLimitAreWalkedWithoutLeak) {
    makeNestedFolders(folder.path(), 120, "level");
    writeFile(folder / "level/side", "s");  // listed after the deep branch or before it, either way once
    const int openBefore = openDescriptors();
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const rlimit lowered{static_cast<rlim_t>(openBefore + 24), saved.rlim_max};
    ASSERT_LT(lowered.rlim_cur, 120u);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    walk({"level"});
    ::setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_EQ(context.walk.folders, 120);
    EXPECT_EQ(context.walk.files, 2);
    EXPECT_EQ(context.walk.leftOut, 0);
    EXPECT_TRUE(context.walk.omissions.empty()) << context.walk.omissions.front();
    EXPECT_EQ(context.items.size(), 122u);
    EXPECT_EQ(openDescriptors(), openBefore);
}

// Items whose names differ only in letter case (or not at all) in one folder of the archive.
struct CollisionCase {
    const char* label;
    std::vector<std::string> files;   // written below the scratch folder
    std::vector<std::string> selected;
    const char* entryName;            // the name both take in the archive
    std::size_t items;
};

void PrintTo(const CollisionCase& collision, std::ostream* out) { *out << collision.label; }

class NameCollision : public WalkOmissions, public testing::WithParamInterface<CollisionCase> {};

TEST_P(NameCollision, BothAreListedAndThePairIsReported) {
    const CollisionCase& collision = GetParam();
    context.plainArchive = true;  // exact names bring both back otherwise
    for (const auto& file : collision.files) writeFile(folder / file, file);
    context.selection.clear();
    for (const auto& item : collision.selected) {
        const auto slash = item.rfind('/');
        context.selection.push_back(
            {item.substr(slash + 1), 0, slash == std::string::npos ? folder.path() : folder / item.substr(0, slash)});
    }
    TotalLength(context);
    EXPECT_EQ(context.items.size(), collision.items);
    ASSERT_EQ(context.walk.omissions.size(), 1u);
    const std::string& report = context.walk.omissions[0];
    EXPECT_NE(report.find(" have the same name in the archive: " + std::string(collision.entryName)), std::string::npos)
        << report;
    EXPECT_EQ(context.walk.leftOut, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, NameCollision,
    testing::Values(CollisionCase{"FilesInAFolder", {"d/Read.me", "d/READ.ME", "d/other"}, {"d"}, "d\\read.me", 4},
                    CollisionCase{"FileAndFolder", {"d/Sub", "d/sub/x"}, {"d"}, "d\\sub", 4},
                    CollisionCase{"SelectedFromTwoFolders", {"one/Notes", "two/notes"}, {"one/Notes", "two/notes"},
                                  "notes", 2}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(WalkOmissions, TheSameItemSelectedTwiceIsNoCollision) {
    writeFile(folder / "f", "x");
    walk({"f", "f"});
    EXPECT_EQ(context.items.size(), 2u);
    EXPECT_TRUE(context.walk.omissions.empty());
    EXPECT_EQ(context.walk.leftOut, 0);
}

}  // namespace
}  // namespace zor::test
