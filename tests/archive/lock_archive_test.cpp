// lock_archive_test.cpp - locking rewrites only the locked field, once, and never touches other files.
#include <gtest/gtest.h>

#include "archive/archive_info.h"
#include "archive/lock_archive.h"
#include "tests/archive/archive_fixture.h"

namespace zor::test {
namespace {

class LockArchiveTest : public ArchiveFixture {
protected:
    void SetUp() override {
        archive = folder / "locked.zor";
        writeHandArchive(archive, {{"d\\", true, "", 0, 0}, {"d\\a.txt", false, "stream", 10, 1}});
        context.window.ArchivePath = archive;
    }
    std::string archive;
};

TEST_F(LockArchiveTest, LockingSetsOnlyTheLockedFieldAndTheDialogFollows) {
    const std::string before = readFile(archive);
    context.header = headerOf(archive);
    EXPECT_EQ(archiveInfoValues(context.header).Locked, "No");

    EXPECT_EQ(lockArchive(context), OperationOutcome::Succeeded);
    const std::string after = readFile(archive);
    ASSERT_EQ(after.size(), before.size());
    std::string expected = before;
    expected[62] = '\x01';
    expected[63] = '\x00';
    EXPECT_EQ(after, expected);
    EXPECT_EQ(archiveInfoValues(context.header).Locked, "Yes");
    EXPECT_TRUE(ui.reports.empty());
}

TEST_F(LockArchiveTest, LockingTwiceIsRefusedAndChangesNothing) {
    ASSERT_EQ(lockArchive(context), OperationOutcome::Succeeded);
    const std::string once = readFile(archive);
    EXPECT_EQ(lockArchive(context), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"Archive already locked."});
    EXPECT_EQ(readFile(archive), once);
}

TEST_F(LockArchiveTest, FilesThatAreNoFinishedArchiveAreLeftUntouched) {
    const std::string text = folder / "notes.txt";
    const std::string words(200, 'w');
    writeFile(text, words);
    context.window.ArchivePath = text;
    EXPECT_EQ(lockArchive(context), OperationOutcome::Failed);
    EXPECT_EQ(readFile(text), words);

    std::string unfinished = readFile(archive);
    unfinished.replace(4, 4, "\xff\xff\xff\xff");
    writeFile(archive, unfinished);
    context.window.ArchivePath = archive;
    EXPECT_EQ(lockArchive(context), OperationOutcome::Failed);
    EXPECT_EQ(readFile(archive), unfinished);

    context.window.ArchivePath = folder / "missing.zor";
    EXPECT_EQ(lockArchive(context), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(),
              (std::vector<std::string>{kNotZorArchiveMessage, kCorruptArchiveMessage, "Cannot open file"}));
}

}  // namespace
}  // namespace zor::test
