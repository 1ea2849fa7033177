// links_test.cpp - extraction never follows a symbolic link at or above a destination path, even one planted mid-way, and never removes one standing where a folder goes.
#include <algorithm>
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
        expectOutsideUntouched();
        const FolderSnapshot out = snapshotOf(folder / "out");
        EXPECT_EQ(out.at("d"), "folder");
        EXPECT_EQ(out.at("d/e"), "folder");
        EXPECT_EQ(out.at("d/a.txt"), "file: inside a\n");
        EXPECT_EQ(out.at("d/b.txt"), "file: inside b\n");
        EXPECT_EQ(out.at("d/e/c.txt"), "file: inside c\n");
        EXPECT_EQ(out.at("top.txt"), "file: top\n");
    }

    void expectOutsideUntouched() {
        EXPECT_EQ(snapshotOf(folder / "outside"), outsideBefore);
        EXPECT_FALSE(exists(folder / "outside/a.txt") || exists(folder / "outside/b.txt") ||
                     exists(folder / "outside/c.txt") || exists(folder / "outside/e"));
    }

    // The entries reported as not extracted, by name, sorted (the walk keeps the folder's order).
    std::vector<std::string> entriesLeftOut() const {
        std::vector<std::string> names;
        for (const std::string& text : ui.reportTexts()) {
            const std::size_t open = text.find("Entry \""), close = text.find("\" was not extracted");
            if (open == 0 && close != std::string::npos) names.push_back(text.substr(7, close - 7));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    FolderSnapshot outsideBefore;
};

// A link where a file goes is replaced itself; a link where a folder goes
// stays, and every entry below it is reported as not extracted.
TEST_F(LinksTest, ALinkedFileIsReplacedAndALinkedFolderStaysWithItsEntriesReported) {
    link(folder / "outside", folder / "out/d");
    link(folder / "outside/top.txt", folder / "out/top.txt");
    EXPECT_EQ(extract(folder / "archive.zor", folder / "out"), OperationOutcome::Failed);
    expectOutsideUntouched();
    EXPECT_EQ(snapshotOf(folder / "out"),
              (FolderSnapshot{{"d", "link -> " + folder / "outside"}, {"top.txt", "file: top\n"}}));
    EXPECT_EQ(entriesLeftOut(), (std::vector<std::string>{"d\\", "d\\a.txt", "d\\b.txt", "d\\e\\", "d\\e\\c.txt"}));
}

TEST_F(LinksTest, ALinkedFolderDeeperDownStaysAndOnlyItsEntriesAreLeftOut) {
    std::filesystem::create_directory(folder / "out/d");
    link(folder / "outside", folder / "out/d/e");
    EXPECT_EQ(extract(folder / "archive.zor", folder / "out"), OperationOutcome::Failed);
    expectOutsideUntouched();
    EXPECT_EQ(snapshotOf(folder / "out"), (FolderSnapshot{{"d", "folder"},
                                                          {"d/a.txt", "file: inside a\n"},
                                                          {"d/b.txt", "file: inside b\n"},
                                                          {"d/e", "link -> " + folder / "outside"},
                                                          {"top.txt", "file: top\n"}}));
    EXPECT_EQ(entriesLeftOut(), (std::vector<std::string>{"d\\e\\", "d\\e\\c.txt"}));
}

TEST_F(LinksTest, DanglingLinksCreateNothingWhereTheyPoint) {
    link(folder / "outside/new.txt", folder / "out/top.txt");
    link(folder / "outside/newfolder", folder / "out/d");
    EXPECT_EQ(extract(folder / "archive.zor", folder / "out"), OperationOutcome::Failed);
    EXPECT_FALSE(exists(folder / "outside/new.txt"));
    EXPECT_FALSE(exists(folder / "outside/newfolder"));
    expectOutsideUntouched();
    EXPECT_EQ(readFile(folder / "out/top.txt"), "top\n");
    EXPECT_EQ(entriesLeftOut().size(), 5u);
}

// The folder d is swapped for a link to the outside while the first of its
// files is being written: the files after it must not land outside; they are
// reported as not extracted.
TEST_F(LinksTest, AFolderSwappedForALinkDuringExtractionIsNotFollowed) {
    bool swapped = false;
    ui.onCurrentFile = [&](const std::string& label) {
        if (swapped || label.find("/d/") == std::string::npos) return;
        swapped = true;
        std::filesystem::rename(folder / "out/d", folder / "moved-d");
        ::symlink((folder / "outside").c_str(), (folder / "out/d").c_str());
    };
    EXPECT_EQ(extract(folder / "archive.zor", folder / "out"), OperationOutcome::Failed);
    ASSERT_TRUE(swapped);
    EXPECT_EQ(snapshotOf(folder / "outside"), outsideBefore);
    const std::vector<std::string> leftOut = entriesLeftOut();
    EXPECT_FALSE(leftOut.empty());
    for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"a.txt", "inside a\n"},
                                      {"b.txt", "inside b\n"}, {"e/c.txt", "inside c\n"}}) {
        std::string entry = "d\\" + name;
        if (name == "e/c.txt") entry = "d\\e\\c.txt";
        const bool reported = std::find(leftOut.begin(), leftOut.end(), entry) != leftOut.end();
        EXPECT_TRUE(reported || readFile(folder / ("moved-d/" + name)) == bytes) << name;
    }
}

TEST_F(LinksTest, ADestinationThatIsItselfALinkIsUsed) {
    link(folder / "out", folder / "chosen");
    EXPECT_EQ(extract(folder / "archive.zor", folder / "chosen"), OperationOutcome::Succeeded);
    expectOutsideUntouchedAndAllExtracted();
}

TEST_F(LinksTest, ZorCliNeverWritesThroughOrRemovesALinkWhetherItOverwritesOrSkips) {
    for (const std::string mode : {"skip", "all"}) {
        std::filesystem::remove_all(folder / "out");
        std::filesystem::create_directory(folder / "out");
        link(folder / "outside", folder / "out/d");
        link(folder / "outside/top.txt", folder / "out/top.txt");
        const CliResult result =
            runCli(folder.path(), {"unpack", "-q", "archive.zor", "-d", "out", "--overwrite", mode});
        EXPECT_EQ(result.status, 1) << mode << ": the folder's entries were left out: " << result.err;
        EXPECT_NE(result.err.find("out/d is a symbolic link, not a folder"), std::string::npos) << mode << result.err;
        EXPECT_EQ(snapshotOf(folder / "outside"), outsideBefore) << mode;
        const FolderSnapshot out = snapshotOf(folder / "out");
        EXPECT_EQ(out.at("d"), "link -> " + folder / "outside") << mode;
        EXPECT_EQ(out.at("top.txt"), mode == "skip" ? "link -> " + folder / "outside/top.txt" : "file: top\n") << mode;
    }
}

}  // namespace
}  // namespace zor::test
