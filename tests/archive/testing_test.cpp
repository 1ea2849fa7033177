// testing_test.cpp - testing all entries or a selection, with a corrupt entry, a password and an abort.
#include "archive/archive_reader.h"
#include "archive/testing.h"
#include "tests/archive/archive_fixture.h"

namespace zor::test {
namespace {

class Testing : public ArchiveFixture {
protected:
    // docs\, docs\a.txt, docs\img\, docs\img\b.png, then top.txt (with one.txt, two.txt, three.txt when asked).
    void packTree(const std::vector<std::string>& extra = {}) {
        writeFile(folder / "src/docs/a.txt", std::string(4000, 'a'));
        writeFile(folder / "src/docs/img/b.png", std::string(4000, 'b'));
        writeFile(folder / "src/top.txt", std::string(4000, 't'));
        for (const auto& name : extra) writeFile(folder / ("src/" + name), std::string(4000, name[0]));
        std::vector<std::string> items = {"docs", "top.txt"};
        items.insert(items.end(), extra.begin(), extra.end());
        ASSERT_EQ(pack(folder / "t.zor", items, folder / "src"), OperationOutcome::Succeeded);
        context.window.ArchivePath = folder / "t.zor";
        ui = ScriptedUi{};
        ArchiveReader reader;
        ASSERT_TRUE(reader.open(folder / "t.zor"));
        ASSERT_FALSE(reader.readHeader());
        ArchiveEntry entry;
        while (reader.next(entry) == ArchiveReader::Step::Entry) archiveOrder.push_back(entry.name);
    }

    std::vector<std::string> archiveOrder;

    // Flips a byte in the middle of the named entry's stored data.
    void damage(const std::string& entryName) {
        ArchiveReader reader;
        ASSERT_TRUE(reader.open(folder / "t.zor"));
        ASSERT_FALSE(reader.readHeader());
        ArchiveEntry entry;
        while (reader.next(entry) == ArchiveReader::Step::Entry && entry.name != entryName) {
        }
        ASSERT_EQ(entry.name, entryName);
        std::string bytes = readFile(folder / "t.zor");
        bytes[entry.dataOffset + entry.record.packedSize / 2] ^= 0x55;
        writeFile(folder / "t.zor", bytes);
    }

    std::size_t count(const std::string& label) const {
        return static_cast<std::size_t>(std::count(ui.actionLabels.begin(), ui.actionLabels.end(), label));
    }
};

TEST_F(Testing, EveryEntryPassesAndTheMainWindowComesBack) {
    packTree();
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Succeeded);
    EXPECT_TRUE(ui.reports.empty());
    EXPECT_EQ(ui.currentFiles, archiveOrder);
    EXPECT_EQ(count("File OK"), 5u);
    EXPECT_TRUE(ui.mainWindowEnabled);
    EXPECT_FALSE(ui.progressShown);
}

TEST_F(Testing, ACorruptMiddleEntryIsNamedAndTheNextIsStillTested) {
    packTree({"one.txt", "two.txt", "three.txt"});
    damage("two.txt");
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Failed);
    ASSERT_FALSE(ui.reports.empty());
    EXPECT_EQ(ui.reports.back().text, "two.txt is corrupt");
    EXPECT_EQ(ui.currentFiles, archiveOrder) << "every entry is still examined";
    EXPECT_EQ(count("File OK"), archiveOrder.size() - 1);
}

TEST_F(Testing, ASelectedFileInASubfolderIsTheOnlyEntryTested) {
    packTree();
    damage("top.txt");  // not selected, so never read
    context.listSelection = {{"a.txt", false, "docs\\"}};
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Succeeded);
    EXPECT_TRUE(ui.reports.empty());
    EXPECT_EQ(count("File OK"), 1u);
    EXPECT_EQ(count("Skipping file"), 4u);
    EXPECT_EQ(context.progress.TotalBytesDone, 0) << "counters are reset at the end";
}

TEST_F(Testing, ASelectedFolderTestsEverythingBeneathItAndNothingAfter) {
    packTree();
    damage("top.txt");
    context.listSelection = {{"docs", true, ""}};
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Succeeded);
    EXPECT_TRUE(ui.reports.empty()) << "top.txt lies after the folder and is skipped";
    EXPECT_EQ(count("File OK"), 4u);
    EXPECT_EQ(count("Skipping file"), 1u);
    EXPECT_EQ(ui.currentFiles, archiveOrder);
}

TEST_F(Testing, AProtectedArchiveIsTestedInMemoryAfterThePasswordCheck) {
    context.packingPassword = "open sesame";
    packTree();
    ui.passwords = {std::string("wrong")};
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"Password is not correct!"});
    EXPECT_TRUE(ui.currentFiles.empty());

    ui.reports.clear();
    ui.passwords = {std::string("open sesame")};
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Succeeded);
    EXPECT_TRUE(ui.reports.empty());
    EXPECT_EQ(count("File OK"), 5u);

    // Ctrl+C at the prompt is an abort, not a Cancel that a script would read as nothing done.
    ui.reports.clear();
    ui.abortAtPrompt = "password";
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Aborted);
    EXPECT_FALSE(ui.abort);
    EXPECT_TRUE(ui.reports.empty());
}

TEST_F(Testing, AbortEndsTestingAndReenablesTheWindow) {
    packTree();
    ui.abortAtFile = "docs\\a.txt";
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Aborted);
    EXPECT_FALSE(ui.abort);
    EXPECT_TRUE(ui.mainWindowEnabled);
    EXPECT_EQ(ui.currentFiles.back(), "docs\\a.txt");
}

TEST_F(Testing, AnArchiveThatCannotBeOpenedIsReported) {
    context.window.ArchivePath = folder / "missing.zor";
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"Cannot open file"});
    EXPECT_TRUE(ui.mainWindowEnabled);
}

}  // namespace
}  // namespace zor::test
