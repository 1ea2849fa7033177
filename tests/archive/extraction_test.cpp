// extraction_test.cpp - unpacking: round trips, the overwrite questions, passwords, unsafe names, links and damaged archives.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/dos_time.h"
#include "tests/archive/archive_fixture.h"

namespace zor::test {
namespace {

class Extraction : public ArchiveFixture {
protected:
    // src/ with a read-only file, a hidden one, an empty one and a subfolder, packed into box.zor.
    void packSample() {
        writeFile(folder / "src/Read Me.TXT", "hello\n");
        writeFile(folder / "src/.hidden", std::string(20000, 'h'));
        writeFile(folder / "src/empty", "");
        writeFile(folder / "src/sub/deep.bin", std::string("\0\1\2\3", 4));
        ::mkdir((folder / "src/sub/void").c_str(), 0755);
        setTime(folder / "src/Read Me.TXT", 1600000000);
        setTime(folder / "src/empty", 1500000000);
        ::chmod((folder / "src/Read Me.TXT").c_str(), 0444);
        ASSERT_EQ(pack(folder / "box.zor", {"src"}), OperationOutcome::Succeeded);
    }
};

TEST_F(Extraction, RestoresNamesContentsTimesAndReadOnlyState) {
    packSample();
    ASSERT_EQ(extract(folder / "box.zor", folder / "out"), OperationOutcome::Succeeded);
    EXPECT_TRUE(ui.reports.empty());
    EXPECT_EQ(readFile(folder / "out/src/read me.txt"), "hello\n");  // names are stored in lower case
    EXPECT_EQ(readFile(folder / "out/src/.hidden"), std::string(20000, 'h'));
    EXPECT_EQ(readFile(folder / "out/src/empty"), "");
    EXPECT_EQ(readFile(folder / "out/src/sub/deep.bin"), std::string("\0\1\2\3", 4));
    EXPECT_TRUE(exists(folder / "out/src/sub/void"));
    EXPECT_EQ(modificationTime(folder / "out/src/read me.txt"), 1600000000);
    EXPECT_EQ(modificationTime(folder / "out/src/empty"), 1500000000);
    EXPECT_TRUE(isReadOnly(folder / "out/src/read me.txt"));
    EXPECT_FALSE(isReadOnly(folder / "out/src/.hidden"));
}

TEST_F(Extraction, NoAnswersOnlyThatFileAndAllStopsAsking) {
    packSample();
    ASSERT_EQ(extract(folder / "box.zor", folder / "out"), OperationOutcome::Succeeded);
    writeFile(folder / "out/src/.hidden", "mine");
    writeFile(folder / "out/src/empty", "mine too");

    // Archive order is the walk's; answer No to the first question, All to the second.
    ui.questionAnswers = {QuestionAnswer::No, QuestionAnswer::All};
    ui.readOnlyAnswers = {true};
    ASSERT_EQ(extract(folder / "box.zor", folder / "out"), OperationOutcome::Succeeded);
    ASSERT_EQ(ui.questions.size(), 2u) << "after All nothing more is asked";
    EXPECT_EQ(ui.questions[0].rfind("File " + folder.path() + "/out/src/", 0), 0u);
    EXPECT_NE(ui.questions[0].find(" already exists. Overwrite ?"), std::string::npos);
    // The file answered No keeps its content; the read-only one is still asked about after All.
    const bool hiddenFirst = ui.questions[0].find(".hidden") != std::string::npos;
    EXPECT_EQ(readFile(folder / (hiddenFirst ? "out/src/.hidden" : "out/src/empty")), hiddenFirst ? "mine" : "mine too");
    ASSERT_EQ(ui.readOnlyWarnings.size(), 1u);
    EXPECT_EQ(ui.readOnlyWarnings[0], "File " + folder.path() + "/out/src/read me.txt is read-only. Overwrite ?");
    EXPECT_TRUE(isReadOnly(folder / "out/src/read me.txt"));
}

TEST_F(Extraction, OverwritingAReadOnlyFileAnsweredNoKeepsItAndYesLeavesItReadOnly) {
    writeFile(folder / "plain.txt", "new content");
    ASSERT_EQ(pack(folder / "p.zor", {"plain.txt"}), OperationOutcome::Succeeded);
    writeFile(folder / "out/plain.txt", "old");
    ::chmod((folder / "out/plain.txt").c_str(), 0444);

    ui.questionAnswers = {QuestionAnswer::Yes, QuestionAnswer::Yes};
    ui.readOnlyAnswers = {false, true};
    extract(folder / "p.zor", folder / "out");
    EXPECT_EQ(readFile(folder / "out/plain.txt"), "old");
    extract(folder / "p.zor", folder / "out");
    EXPECT_EQ(readFile(folder / "out/plain.txt"), "new content");
    EXPECT_TRUE(isReadOnly(folder / "out/plain.txt")) << "stored attributes were writable, but the file was read-only";
}

TEST_F(Extraction, PasswordIsCheckedBeforeAnythingIsWrittenAndNothingIsLeftInTemp) {
    writeFile(folder / "src/a.txt", std::string(10000, 'q'));
    context.packingPassword = "pw";
    ASSERT_EQ(pack(folder / "p.zor", {"src"}), OperationOutcome::Succeeded);
    TempFolder temp;
    ::setenv("TMPDIR", temp.path().c_str(), 1);

    ui.passwords = {std::nullopt};
    EXPECT_EQ(extract(folder / "p.zor", folder / "out"), OperationOutcome::Cancelled);
    EXPECT_TRUE(ui.reports.empty());
    ui.passwords = {std::string("PW")};
    EXPECT_EQ(extract(folder / "p.zor", folder / "out"), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"Password is not correct!"});
    EXPECT_FALSE(exists(folder / "out/src"));

    ui.passwords = {std::string("pw")};
    EXPECT_EQ(extract(folder / "p.zor", folder / "out"), OperationOutcome::Succeeded);
    EXPECT_EQ(readFile(folder / "out/src/a.txt"), std::string(10000, 'q'));
    ::unsetenv("TMPDIR");
    DIR* dir = ::opendir(temp.path().c_str());
    int entries = 0;
    while (dirent* e = ::readdir(dir)) entries += e->d_name[0] != '.';
    ::closedir(dir);
    EXPECT_EQ(entries, 0);
    EXPECT_FALSE(exists(folder / "out/src/a.txt.tmp"));
    EXPECT_GE(ui.passwordClears, 3);
}

TEST_F(Extraction, AProtectedArchiveOfOnlyFoldersAndEmptyFilesStillChecksThePassword) {
    writeFile(folder / "src/empty", "");
    context.packingPassword = "pw";
    ASSERT_EQ(pack(folder / "p.zor", {"src"}), OperationOutcome::Succeeded);
    ui.passwords = {std::string("nope")};
    EXPECT_EQ(extract(folder / "p.zor", folder / "out"), OperationOutcome::Failed);
    EXPECT_EQ(ui.passwordPrompts, 1);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"Password is not correct!"});
    EXPECT_FALSE(exists(folder / "out/src"));
}

TEST_F(Extraction, ASelectionInTheListExtractsNothing) {
    packSample();
    context.listSelection = {{"src", true, ""}};
    EXPECT_EQ(extract(folder / "box.zor", folder / "out"), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"Decompress selected files isn't supported yet"});
    EXPECT_FALSE(exists(folder / "out/src"));
}

TEST_F(Extraction, AMissingDestinationIsCreatedAndAnEmptyOneRefused) {
    packSample();
    EXPECT_EQ(extract(folder / "box.zor", folder / "new/deeper/out/"), OperationOutcome::Succeeded);
    EXPECT_EQ(readFile(folder / "new/deeper/out/src/read me.txt"), "hello\n");
    EXPECT_EQ(extract(folder / "box.zor", ""), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"You have to choose an extraction path"});
}

TEST_F(Extraction, UnsafeNamesAreReportedSkippedAndTheRestIsExtracted) {
    writeFile(folder / "x", "payload");
    ASSERT_EQ(pack(folder / "one.zor", {"x"}), OperationOutcome::Succeeded);
    const std::string stream = storedStreamOf(folder / "one.zor");
    const std::vector<std::string> unsafe = {
        "..\\escape", "\\absolute", "c:drive", "a\\..\\..\\up", "a/b", std::string("zero\0byte", 9), "", "a\\\\b", "."};
    std::vector<HandEntry> entries;
    for (const auto& name : unsafe)
        entries.push_back({name, false, stream, 7, static_cast<int16_t>(std::count(name.begin(), name.end(), '\\'))});
    entries.push_back({"..\\", true, "", 0, 0});
    entries.push_back({"good", false, stream, 7, 0});
    writeHandArchive(folder / "evil.zor", entries);

    ::mkdir((folder / "jail").c_str(), 0755);
    EXPECT_EQ(extract(folder / "evil.zor", folder / "jail/out"), OperationOutcome::Failed);
    EXPECT_EQ(ui.reports.size(), unsafe.size() + 1);
    for (const auto& report : ui.reports) EXPECT_NE(report.text.find("was not extracted"), std::string::npos);
    EXPECT_EQ(readFile(folder / "jail/out/good"), "payload");
    EXPECT_FALSE(exists(folder / "jail/escape"));
    EXPECT_FALSE(exists(folder / "escape"));
    EXPECT_FALSE(exists(folder / "up"));
    EXPECT_FALSE(exists(folder / "jail/out/a/b"));
}

TEST_F(Extraction, LinksInTheDestinationAreReplacedNeverFollowed) {
    writeFile(folder / "src/docs/a.txt", "inside");
    writeFile(folder / "src/b.txt", "bee");
    ASSERT_EQ(pack(folder / "l.zor", {"docs", "b.txt"}, folder / "src"), OperationOutcome::Succeeded);
    writeFile(folder / "outside/a.txt", "precious");
    writeFile(folder / "outside/b.txt", "precious");
    ::mkdir((folder / "out").c_str(), 0755);
    ASSERT_EQ(::symlink((folder / "outside").c_str(), (folder / "out/docs").c_str()), 0);
    ASSERT_EQ(::symlink((folder / "outside/b.txt").c_str(), (folder / "out/b.txt").c_str()), 0);

    ui.questionAnswers = {QuestionAnswer::All};
    EXPECT_EQ(extract(folder / "l.zor", folder / "out"), OperationOutcome::Succeeded);
    EXPECT_EQ(readFile(folder / "outside/a.txt"), "precious");
    EXPECT_EQ(readFile(folder / "outside/b.txt"), "precious");
    EXPECT_EQ(readFile(folder / "out/docs/a.txt"), "inside");
    EXPECT_EQ(readFile(folder / "out/b.txt"), "bee");
}

TEST_F(Extraction, ADamagedRecordStopsWithCorruptInsteadOfReadingGarbage) {
    writeFile(folder / "x", "payload");
    ASSERT_EQ(pack(folder / "one.zor", {"x"}), OperationOutcome::Succeeded);
    const std::string stream = storedStreamOf(folder / "one.zor");
    writeHandArchive(folder / "cut.zor", {{"first", false, stream, 7, 0}, {"second", false, stream, 7, 0}});
    std::string bytes = readFile(folder / "cut.zor");
    bytes.resize(bytes.size() - 5);  // the second entry's data now run past the end
    writeFile(folder / "cut.zor", bytes);

    EXPECT_EQ(extract(folder / "cut.zor", folder / "out"), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"ZOR archive is corrupt"});
    EXPECT_EQ(readFile(folder / "out/first"), "payload");
    EXPECT_FALSE(exists(folder / "out/second"));
}

TEST_F(Extraction, DataThatAreNotAStreamAreReportedNotSilentlyEmpty) {
    writeHandArchive(folder / "bad.zor", {{"junk", false, "this is not a compressed stream", 50, 0}});
    EXPECT_EQ(extract(folder / "bad.zor", folder / "out"), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"junk is corrupt"});
}

TEST_F(Extraction, AbortKeepsEarlierFilesAndEndsTheOperation) {
    writeFile(folder / "src/a.txt", std::string(3000, 'a'));
    writeFile(folder / "src/b.txt", std::string(3000, 'b'));
    ASSERT_EQ(pack(folder / "ab.zor", {"a.txt", "b.txt"}, folder / "src"), OperationOutcome::Succeeded);
    ui.abortAtFile = folder / "out/a.txt";
    EXPECT_EQ(extract(folder / "ab.zor", folder / "out"), OperationOutcome::Aborted);
    EXPECT_FALSE(ui.abort);
    EXPECT_TRUE(exists(folder / "out/a.txt"));
    EXPECT_FALSE(exists(folder / "out/b.txt"));
}

}  // namespace
}  // namespace zor::test
