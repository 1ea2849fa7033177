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
        // A plain archive: names in lower case (packing names the loss, hence Failed).
        context.plainArchive = true;
        ASSERT_EQ(pack(folder / "box.zor", {"src"}), OperationOutcome::Failed);
        ui.reports.clear();
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
    // Safe names that no file system here can hold: a component over 255 bytes, as a file and as a folder.
    entries.push_back({std::string(256, 'n'), false, stream, 7, 0});
    entries.push_back({std::string(256, 'f') + "\\x", false, stream, 7, 1});
    entries.push_back({"good", false, stream, 7, 0});
    writeHandArchive(folder / "evil.zor", entries);

    ::mkdir((folder / "jail").c_str(), 0755);
    EXPECT_EQ(extract(folder / "evil.zor", folder / "jail/out"), OperationOutcome::Failed);
    EXPECT_EQ(ui.reports.size(), unsafe.size() + 3);
    for (const auto& report : ui.reports) EXPECT_NE(report.text.find("was not extracted"), std::string::npos);
    EXPECT_EQ(readFile(folder / "jail/out/good"), "payload");
    EXPECT_FALSE(exists(folder / "jail/escape"));
    EXPECT_FALSE(exists(folder / "escape"));
    EXPECT_FALSE(exists(folder / "up"));
    EXPECT_FALSE(exists(folder / "jail/out/a/b"));
    EXPECT_NE(ui.reports.back().text.find("(File name too long)"), std::string::npos) << ui.reports.back().text;
}

TEST_F(Extraction, ALinkedFileIsReplacedItselfAndALinkedFolderIsNeitherFollowedNorRemoved) {
    writeFile(folder / "src/docs/a.txt", "inside");
    writeFile(folder / "src/b.txt", "bee");
    ASSERT_EQ(pack(folder / "l.zor", {"docs", "b.txt"}, folder / "src"), OperationOutcome::Succeeded);
    writeFile(folder / "outside/a.txt", "precious");
    writeFile(folder / "outside/b.txt", "precious");
    ::mkdir((folder / "out").c_str(), 0755);
    ASSERT_EQ(::symlink((folder / "outside").c_str(), (folder / "out/docs").c_str()), 0);
    ASSERT_EQ(::symlink((folder / "outside/b.txt").c_str(), (folder / "out/b.txt").c_str()), 0);

    ui.questionAnswers = {QuestionAnswer::All};
    EXPECT_EQ(extract(folder / "l.zor", folder / "out"), OperationOutcome::Failed);
    EXPECT_EQ(readFile(folder / "outside/a.txt"), "precious");
    EXPECT_EQ(readFile(folder / "outside/b.txt"), "precious");
    struct stat status {};
    ASSERT_EQ(::lstat((folder / "out/docs").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    ASSERT_EQ(::lstat((folder / "out/b.txt").c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(readFile(folder / "out/b.txt"), "bee");
    const std::string link = folder / "out/docs";
    EXPECT_EQ(ui.reportTexts(), (std::vector<std::string>{
                                    "Entry \"docs\\\" was not extracted: " + link + " is a symbolic link, not a folder.",
                                    "Entry \"docs\\a.txt\" was not extracted: " + link + " is a symbolic link, not a folder."}));
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

// Ctrl+C at a question or at the password prompt ends the operation as an
// abort: nothing is answered No on the person's behalf and nothing after it
// is extracted.
TEST_F(Extraction, CtrlCAtAQuestionOrThePasswordPromptAbortsInsteadOfAnsweringNo) {
    struct Case {
        std::string prompt;
        bool protectedArchive;
        bool readOnlyExisting;
    };
    for (const Case& c : {Case{"question", false, false}, Case{"read-only", false, true}, Case{"password", true, false}}) {
        SCOPED_TRACE(c.prompt);
        TempFolder scratch;
        writeFile(scratch / "src/a.txt", "new a");
        writeFile(scratch / "src/b.txt", "new b");
        context.packingPassword = c.protectedArchive ? std::optional<std::string>("pw") : std::nullopt;
        ASSERT_EQ(pack(scratch / "ab.zor", {"a.txt", "b.txt"}, scratch / "src"), OperationOutcome::Succeeded);
        writeFile(scratch / "out/a.txt", "old a");
        if (c.readOnlyExisting) ::chmod((scratch / "out/a.txt").c_str(), 0444);
        ui = ScriptedUi{};
        ui.questionAnswers = {QuestionAnswer::Yes};
        ui.abortAtPrompt = c.prompt;

        EXPECT_EQ(extract(scratch / "ab.zor", scratch / "out"), OperationOutcome::Aborted);
        EXPECT_FALSE(ui.abort) << "the request is cleared as at the end of every abort";
        EXPECT_EQ(readFile(scratch / "out/a.txt"), "old a");
        EXPECT_FALSE(exists(scratch / "out/b.txt"));
    }
}

// A stream that turns out damaged, or an abort in the middle of a file: where
// nothing stood, the file stays as far as it got; where a file stood, that
// file stays whole. The same on one thread and with workers decoding ahead.
TEST_F(Extraction, AFileCutShortNeverCostsTheFileThatStoodAtItsPath) {
    const std::string original = wordsText(400000, 7);
    writeFile(folder / "src/big.txt", original);
    ASSERT_EQ(pack(folder / "one.zor", {"big.txt"}, folder / "src"), OperationOutcome::Succeeded);
    const std::string stream = storedStreamOf(folder / "one.zor");
    writeHandArchive(folder / "cut.zor",
                     {{"big.txt", false, stream.substr(0, stream.size() / 2), static_cast<uint32_t>(original.size())}});
    struct Case {
        bool abort;
        bool existing;
    };
    for (const int threads : {1, 4}) {
        for (const Case c : {Case{false, false}, Case{false, true}, Case{true, false}, Case{true, true}}) {
            SCOPED_TRACE(std::string(c.abort ? "abort" : "damaged") + (c.existing ? " over a file" : " where nothing stood") +
                         ", threads " + std::to_string(threads));
            const std::string out = folder / "out";
            std::filesystem::remove_all(out);
            if (c.existing) writeFile(out + "/big.txt", "the old file");
            ui = ScriptedUi{};
            ui.questionAnswers = {QuestionAnswer::Yes};
            context.settings.threads = threads;
            if (c.abort) ui.abortAtFile = out + "/big.txt";
            const OperationOutcome outcome = extract(folder / (c.abort ? "one.zor" : "cut.zor"), out);

            EXPECT_EQ(outcome, c.abort ? OperationOutcome::Aborted : OperationOutcome::Failed);
            if (c.existing) {
                EXPECT_EQ(readFile(out + "/big.txt"), "the old file");
            } else {
                ASSERT_TRUE(exists(out + "/big.txt"));
                const std::string partial = readFile(out + "/big.txt");
                if (!c.abort) {
                    EXPECT_LT(partial.size(), original.size());
                }
                EXPECT_EQ(partial, original.substr(0, partial.size()));
            }
            std::vector<std::string> leftBehind;
            for (const auto& item : std::filesystem::directory_iterator(out)) leftBehind.push_back(item.path().filename());
            EXPECT_EQ(leftBehind, std::vector<std::string>{"big.txt"}) << "no part file stays";
        }
    }
}

// A replaced file gets its stored time and read-only state through the new
// file and keeps the permissions of the file it replaced (never a setuid
// bit), and the file that stood there is not changed in any way.
TEST_F(Extraction, AReplacedFileHasItsStoredTimeAndModeAndTheOldInodeIsUntouched) {
    writeFile(folder / "src/t.txt", "stored");
    setTime(folder / "src/t.txt", 1600000000);
    ::chmod((folder / "src/t.txt").c_str(), 0444);
    ASSERT_EQ(pack(folder / "t.zor", {"t.txt"}, folder / "src"), OperationOutcome::Succeeded);
    writeFile(folder / "keep.txt", "kept");
    setTime(folder / "keep.txt", 1500000000);
    ::chmod((folder / "keep.txt").c_str(), 04640);
    ::mkdir((folder / "out").c_str(), 0755);
    ASSERT_EQ(::link((folder / "keep.txt").c_str(), (folder / "out/t.txt").c_str()), 0);

    ui.questionAnswers = {QuestionAnswer::Yes};
    EXPECT_EQ(extract(folder / "t.zor", folder / "out"), OperationOutcome::Succeeded);
    EXPECT_EQ(readFile(folder / "out/t.txt"), "stored");
    EXPECT_EQ(modificationTime(folder / "out/t.txt"), 1600000000);
    struct stat replaced {};
    ASSERT_EQ(::stat((folder / "out/t.txt").c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0440u) << "the old permissions without their write bits";
    struct stat kept {};
    ASSERT_EQ(::stat((folder / "keep.txt").c_str(), &kept), 0);
    EXPECT_EQ(readFile(folder / "keep.txt"), "kept");
    EXPECT_EQ(kept.st_mode & 07777, 04640u);
    EXPECT_EQ(kept.st_mtime, 1500000000);
    EXPECT_EQ(kept.st_nlink, 1u);
}

}  // namespace
}  // namespace zor::test
