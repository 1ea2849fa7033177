// links_test.cpp - extraction never follows a symbolic link at or above a destination path, even one planted mid-way.
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/archive/archive_fixture.h"
#include "tests/hardening/hardening_support.h"

namespace zor::test {
namespace {

class LinksTest : public ArchiveFixture {
protected:
    void SetUp() override {
        writeFile(folder / "src/d/a.txt", "inside a\n");
        writeFile(folder / "src/d/b.txt", "inside b\n");
        writeFile(folder / "src/d/e/c.txt", "inside c\n");
        writeFile(folder / "src/top.txt", "top\n");
        ASSERT_EQ(pack(folder / "archive.zor", {"d", "top.txt"}, folder / "src"), OperationOutcome::Succeeded);
        writeFile(folder / "outside/keep.txt", "keep me\n");
        writeFile(folder / "outside/top.txt", "outside top\n");
        outsideBefore = snapshotOf(folder / "outside");
        std::filesystem::create_directory(folder / "out");
        ui.questionAnswers.assign(10, QuestionAnswer::All);
    }

    void link(const std::string& target, const std::string& at) {
        ASSERT_EQ(::symlink(target.c_str(), at.c_str()), 0) << at;
    }

    void expectOutsideUntouchedAndAllExtracted() {
        EXPECT_EQ(snapshotOf(folder / "outside"), outsideBefore);
        EXPECT_FALSE(exists(folder / "outside/a.txt") || exists(folder / "outside/b.txt") ||
                     exists(folder / "outside/c.txt") || exists(folder / "outside/e"));
        const FolderSnapshot out = snapshotOf(folder / "out");
        EXPECT_EQ(out.at("d"), "folder");
        EXPECT_EQ(out.at("d/e"), "folder");
        EXPECT_EQ(out.at("d/a.txt"), "file: inside a\n");
        EXPECT_EQ(out.at("d/b.txt"), "file: inside b\n");
        EXPECT_EQ(out.at("d/e/c.txt"), "file: inside c\n");
        EXPECT_EQ(out.at("top.txt"), "file: top\n");
    }

    FolderSnapshot outsideBefore;
};

TEST_F(LinksTest, LinkedFoldersAndFilesAtDestinationPathsAreReplaced) {
    link(folder / "outside", folder / "out/d");
    link(folder / "outside/top.txt", folder / "out/top.txt");
    EXPECT_EQ(extract(folder / "archive.zor", folder / "out"), OperationOutcome::Succeeded);
    expectOutsideUntouchedAndAllExtracted();
}

TEST_F(LinksTest, ALinkedFolderDeeperDownIsReplaced) {
    std::filesystem::create_directory(folder / "out/d");
    link(folder / "outside", folder / "out/d/e");
    EXPECT_EQ(extract(folder / "archive.zor", folder / "out"), OperationOutcome::Succeeded);
    expectOutsideUntouchedAndAllExtracted();
}

TEST_F(LinksTest, DanglingLinksCreateNothingWhereTheyPoint) {
    link(folder / "outside/new.txt", folder / "out/top.txt");
    link(folder / "outside/newfolder", folder / "out/d");
    EXPECT_EQ(extract(folder / "archive.zor", folder / "out"), OperationOutcome::Succeeded);
    EXPECT_FALSE(exists(folder / "outside/new.txt"));
    EXPECT_FALSE(exists(folder / "outside/newfolder"));
    expectOutsideUntouchedAndAllExtracted();
}

// The folder d is swapped for a link to the outside while the first of its
// files is being written: the files after it must still land inside.
TEST_F(LinksTest, AFolderSwappedForALinkDuringExtractionIsNotFollowed) {
    bool swapped = false;
    ui.onCurrentFile = [&](const std::string& label) {
        if (swapped || label.find("/d/") == std::string::npos) return;
        swapped = true;
        std::filesystem::rename(folder / "out/d", folder / "moved-d");
        ::symlink((folder / "outside").c_str(), (folder / "out/d").c_str());
    };
    EXPECT_EQ(extract(folder / "archive.zor", folder / "out"), OperationOutcome::Succeeded);
    ASSERT_TRUE(swapped);
    EXPECT_EQ(snapshotOf(folder / "outside"), outsideBefore);
    int landedAfterTheSwap = 0;
    for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"a.txt", "inside a\n"},
                                      {"b.txt", "inside b\n"}, {"e/c.txt", "inside c\n"}}) {
        const bool inside = readFile(folder / ("out/d/" + name)) == bytes;
        EXPECT_TRUE(inside || readFile(folder / ("moved-d/" + name)) == bytes) << name;
        landedAfterTheSwap += inside;
    }
    EXPECT_GT(landedAfterTheSwap, 0);
}

TEST_F(LinksTest, ADestinationThatIsItselfALinkIsUsed) {
    link(folder / "out", folder / "chosen");
    EXPECT_EQ(extract(folder / "archive.zor", folder / "chosen"), OperationOutcome::Succeeded);
    expectOutsideUntouchedAndAllExtracted();
}

TEST_F(LinksTest, ZorCliNeverWritesThroughALinkWhetherItOverwritesOrSkips) {
    for (const std::string mode : {"skip", "all"}) {
        std::filesystem::remove_all(folder / "out");
        std::filesystem::create_directory(folder / "out");
        link(folder / "outside", folder / "out/d");
        link(folder / "outside/top.txt", folder / "out/top.txt");
        const CliResult result =
            runCli(folder.path(), {"unpack", "-q", "archive.zor", "-d", "out", "--overwrite", mode});
        EXPECT_EQ(result.status, 0) << mode << ": " << result.err;
        EXPECT_EQ(snapshotOf(folder / "outside"), outsideBefore) << mode;
        EXPECT_EQ(readFile(folder / "out/d/a.txt"), "inside a\n") << mode;
    }
}

}  // namespace
}  // namespace zor::test
