// delete_files_test.cpp - deleting a selection from disk: confirmation, the read-only/hidden question, folders and links.
#include <gtest/gtest.h>
#include <unistd.h>

#include "archive/delete_files.h"
#include "tests/archive/archive_fixture.h"

namespace zor::test {
namespace {

class DeleteFilesTest : public ArchiveFixture {
protected:
    void select(const std::vector<std::string>& names) {
        for (const auto& name : names) context.selection.push_back({name, 0, folder.path()});
    }

    OperationOutcome deleteConfirmed(bool answer = true) {
        return deleteSelectedItems(context, [&](const std::string& text) {
            confirmations.push_back(text);
            return answer;
        });
    }

    static void makeReadOnly(const std::string& path) { ::chmod(path.c_str(), 0444); }

    std::vector<std::string> confirmations;
};

TEST_F(DeleteFilesTest, NoToTheQuestionKeepsOnlyTheReadOnlyFile) {
    writeFile(folder / "a.txt", "a");
    writeFile(folder / "b.txt", "b");
    makeReadOnly(folder / "a.txt");
    select({"a.txt", "b.txt"});
    ui.questionAnswers = {QuestionAnswer::No};

    EXPECT_EQ(deleteConfirmed(), OperationOutcome::Succeeded);
    EXPECT_EQ(confirmations, std::vector<std::string>{"Delete the selected files/directories. Are you sure?"});
    EXPECT_EQ(ui.questions, std::vector<std::string>{"File a.txt is read-only or hidden. Delete anyway ?"});
    EXPECT_TRUE(exists(folder / "a.txt"));
    EXPECT_FALSE(exists(folder / "b.txt"));
    EXPECT_TRUE(context.selection.empty());
}

TEST_F(DeleteFilesTest, AllAtTheFirstQuestionCoversTheRestOfTheOperation) {
    for (const char* name : {"x/one", "x/two", "x/deeper/three", "y/four"}) {
        writeFile(folder / name, name);
        makeReadOnly(folder / name);
    }
    writeFile(folder / ".hidden", "h");
    select({"x", ".hidden", "y"});
    ui.questionAnswers = {QuestionAnswer::All};

    deleteConfirmed();
    EXPECT_EQ(ui.questions.size(), 1u);
    EXPECT_FALSE(exists(folder / "x"));
    EXPECT_FALSE(exists(folder / ".hidden"));
    EXPECT_FALSE(exists(folder / "y"));
}

TEST_F(DeleteFilesTest, YesDeletesOneHiddenFileAndAsksAgainForTheNext) {
    writeFile(folder / "d/.one", "1");
    writeFile(folder / "d/.two", "2");
    writeFile(folder / "d/plain", "p");
    select({"d"});
    ui.questionAnswers = {QuestionAnswer::Yes, QuestionAnswer::No};

    deleteConfirmed();
    EXPECT_EQ(ui.questions.size(), 2u);
    EXPECT_FALSE(exists(folder / "d/plain"));
    // One hidden file stays, so the folder stays too, without a message.
    EXPECT_TRUE(exists(folder / "d"));
    EXPECT_EQ(exists(folder / "d/.one") + exists(folder / "d/.two"), 1);
    EXPECT_TRUE(ui.reports.empty());
}

TEST_F(DeleteFilesTest, NoToTheConfirmationDeletesNothing) {
    writeFile(folder / "keep.txt", "k");
    select({"keep.txt"});
    EXPECT_EQ(deleteConfirmed(false), OperationOutcome::Cancelled);
    EXPECT_TRUE(exists(folder / "keep.txt"));
    EXPECT_TRUE(context.selection.empty());
}

TEST_F(DeleteFilesTest, RefusesInsideAnArchiveAndWithNothingSelected) {
    writeFile(folder / "keep.txt", "k");
    select({"keep.txt"});
    context.window.InArchive = 1;
    deleteConfirmed();
    EXPECT_TRUE(exists(folder / "keep.txt"));

    context.window.InArchive = 0;
    deleteConfirmed();
    EXPECT_TRUE(confirmations.empty());
    EXPECT_EQ(ui.reportTexts(),
              (std::vector<std::string>{"Delete in archive isn't supported yet", "No files/directories selected"}));
}

TEST_F(DeleteFilesTest, LinksAreDeletedNeverFollowed) {
    TempFolder outside;
    writeFile(outside / "precious/data.txt", "keep me");
    writeFile(outside / "file.txt", "keep me too");
    writeFile(folder / "tree/plain.txt", "p");
    ASSERT_EQ(::symlink((outside / "precious").c_str(), (folder / "tree/to-folder").c_str()), 0);
    ASSERT_EQ(::symlink((outside / "file.txt").c_str(), (folder / "to-file").c_str()), 0);
    ASSERT_EQ(::symlink((outside / "precious").c_str(), (folder / "selected-link").c_str()), 0);
    ASSERT_EQ(::symlink((outside / "gone").c_str(), (folder / "dangling").c_str()), 0);
    makeReadOnly(outside / "file.txt");
    select({"tree", "to-file", "selected-link", "dangling"});

    deleteConfirmed();
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_FALSE(exists(folder / "tree"));
    EXPECT_FALSE(exists(folder / "to-file"));
    EXPECT_FALSE(exists(folder / "selected-link"));
    EXPECT_FALSE(exists(folder / "dangling"));
    EXPECT_EQ(readFile(outside / "precious/data.txt"), "keep me");
    EXPECT_EQ(readFile(outside / "file.txt"), "keep me too");
}

TEST_F(DeleteFilesTest, NamesThatReachOutOfTheFolderAreIgnored) {
    writeFile(folder / "inner/keep.txt", "k");
    context.selection.push_back({"..", 0, folder / "inner"});
    context.selection.push_back({"inner/keep.txt", 0, folder.path()});
    context.selection.push_back({"missing", 0, folder.path()});
    EXPECT_EQ(deleteConfirmed(), OperationOutcome::Succeeded);
    EXPECT_TRUE(exists(folder / "inner/keep.txt"));
}

}  // namespace
}  // namespace zor::test
