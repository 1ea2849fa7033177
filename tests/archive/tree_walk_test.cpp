// tree_walk_test.cpp - the walk's order, depths and totals, what it leaves out, and the totals text.
#include <algorithm>
#include <map>

#include "archive/totals_text.h"
#include "archive/tree_walk.h"
#include "tests/archive/archive_fixture.h"
#include "tests/platform/folder_helpers.h"

namespace zor::test {
namespace {

class TreeWalk : public ArchiveFixture {
protected:
    void walk(const std::vector<std::string>& names) {
        context.selection.clear();
        for (const auto& name : names) context.selection.push_back({name, 0, folder.path()});
        context.items.clear();
        TotalLength(context);
    }

    std::vector<std::string> paths() const {
        std::vector<std::string> result;
        for (const auto& item : context.items) result.push_back(item.path);
        return result;
    }
};

TEST_F(TreeWalk, FoldersComeBeforeTheirContentsInFileSystemOrder) {
    writeFile(folder / "Top/a.txt", "12345");
    writeFile(folder / "Top/sub/b.txt", "xy");
    writeFile(folder / "Top/.hidden", "h");
    writeFile(folder / "single.txt", "1");
    walk({"Top", "single.txt"});

    std::vector<std::string> expected = {"Top\\"};
    for (const auto& name : namesInListOrder(folder / "Top")) {
        if (name == "sub") {
            expected.push_back("Top\\sub\\");
            expected.push_back("Top\\sub\\b.txt");
        } else {
            expected.push_back("Top\\" + name);
        }
    }
    expected.push_back("single.txt");
    EXPECT_EQ(paths(), expected);
    for (const auto& item : context.items) {
        std::string path = item.path;
        if (item.isFolder) path.pop_back();
        EXPECT_EQ(item.depth, std::count(path.begin(), path.end(), '\\')) << item.path;
        EXPECT_EQ(item.isFolder, item.path.back() == '\\');
    }
    EXPECT_EQ(context.walk.files, 4);
    EXPECT_EQ(context.walk.folders, 2);
    EXPECT_EQ(context.walk.bytes, 9u);
    EXPECT_EQ(context.walk.currentDepth, 0);
}

TEST_F(TreeWalk, TwoFilesAndAnEmptyFolderGiveThreeItems) {
    writeFile(folder / "a", "a");
    writeFile(folder / "b", "bb");
    ::mkdir((folder / "e").c_str(), 0755);
    walk({"a", "e", "b"});
    EXPECT_EQ(paths(), (std::vector<std::string>{"a", "e\\", "b"}));
    EXPECT_EQ(context.items[1].isFolder, 1);
    EXPECT_EQ(context.items[2].depth, 0);
}

TEST_F(TreeWalk, LinksInsideFoldersAreListedAsLinksAndASelectedLinkIsFollowed) {
    writeFile(folder / "real/kept", "12345");
    ::symlink("kept", (folder / "real/link").c_str());
    ::symlink("..", (folder / "real/up").c_str());
    ::symlink((folder / "real").c_str(), (folder / "linked").c_str());
    walk({"linked"});
    std::vector<std::string> got = paths();
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string>{"linked\\", "linked\\kept", "linked\\link", "linked\\up"}));
    std::map<std::string, std::string> targets;
    for (const PackItem& item : context.items) {
        if (item.isLink) targets[item.path] = item.linkTarget;
    }
    EXPECT_EQ(targets, (std::map<std::string, std::string>{{"linked\\link", "kept"}, {"linked\\up", ".."}}));
    EXPECT_EQ(context.walk.bytes, 5u + 4u + 2u);
    EXPECT_TRUE(context.walk.omissions.empty());
}

TEST_F(TreeWalk, APlainArchiveStoresLinksToFilesAsTheFilesAndNamesThem) {
    context.plainArchive = true;
    writeFile(folder / "real/kept", "12345");
    ::symlink((folder / "real/kept").c_str(), (folder / "real/link").c_str());
    ::symlink((folder / "real").c_str(), (folder / "linked").c_str());
    walk({"real", "linked"});
    std::vector<std::string> got = paths();
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string>{"linked\\", "linked\\kept", "linked\\link", "real\\", "real\\kept",
                                             "real\\link"}));
    EXPECT_EQ(context.walk.bytes, 20u);
    EXPECT_TRUE(ui.reports.empty());
    EXPECT_EQ(context.walk.omissions.size(), 2u);
    EXPECT_EQ(context.walk.leftOut, 2);
}

TEST_F(TreeWalk, AnAbortStopsTheWalk) {
    for (int i = 0; i < 60; ++i) writeFile(folder / ("many/f" + std::to_string(i)), "x");
    ui.abort = true;
    walk({"many", "other"});
    EXPECT_EQ(context.items.size(), 1u) << "only the folder's own entry";
    EXPECT_EQ(context.walk.currentDepth, 0);
}

TEST_F(TreeWalk, CountLabelsAreUpdatedEvery50Files) {
    for (int i = 0; i < 120; ++i) writeFile(folder / ("many/f" + std::to_string(i)), "x");
    walk({"many"});
    EXPECT_EQ(ui.totalFiles, 100);
}

struct TotalsCase {
    int64_t folders;
    int64_t files;
    uint64_t bytes;
    const char* text;
};
class TotalsText : public testing::TestWithParam<TotalsCase> {};
TEST_P(TotalsText, ReadsAsTheStatusBarShowsIt) {
    EXPECT_EQ(totalsText(GetParam().folders, GetParam().files, GetParam().bytes), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(
    Sentences, TotalsText,
    testing::Values(TotalsCase{2, 3, 12345, "Total 2 folders and 12.345 bytes in 3 files"},
                    TotalsCase{1, 0, 0, "Total 1 folder "}, TotalsCase{0, 0, 0, "Total "},
                    TotalsCase{0, 1, 5, "Total 5 bytes in 1 file"}, TotalsCase{1, 1, 0, "Total 1 folder and 0 bytes in 1 file"},
                    TotalsCase{0, 2, 1000, "Total 1.000 bytes in 2 files"},
                    TotalsCase{0, 2, 999, "Total 999 bytes in 2 files"},
                    TotalsCase{0, 2, 4294967295u, "Total 4.294.967.295 bytes in 2 files"}));

TEST_F(TreeWalk, DiskFolderTotalsCountOnlyDirectContents) {
    writeFile(folder / "shown/a", "123");
    writeFile(folder / "shown/.b", "45");
    writeFile(folder / "shown/sub/deep", "not counted");
    EXPECT_EQ(diskFolderTotalsText(folder / "shown"), "Total 1 folder and 5 bytes in 2 files");
}

}  // namespace
}  // namespace zor::test
