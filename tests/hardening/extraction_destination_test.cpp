// extraction_destination_test.cpp - extraction into a destination prepared by an attacker: nothing outside is touched, nothing in the way is removed.
//
// Each case plants something at a destination path (a hard link to a file
// outside, a named pipe, a symbolic link, a file where a folder goes, a
// folder where a file goes), extracts over it answering All or No, and
// compares what the destination and the outside folder hold afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/archive/archive_fixture.h"
#include "tests/hardening/hardening_support.h"

namespace zor::test {
namespace {

enum class Planted { HardLink, ReadOnlyHardLink, Pipe, PipeAtFolder, FileLink, FolderLink, FileAtFolder, FolderAtFile };

struct HostileCase {
    const char* name;
    Planted planted;
    bool overwrite;  // All (and Yes to the read-only box), or No to every question
    OperationOutcome outcome;
    FolderSnapshot out;  // the destination afterwards
    const char* leftOutReason;  // in every report of an entry not extracted; nullptr when none
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

const FolderSnapshot kExtracted{{"d", "folder"}, {"d/a.txt", "file: inside a\n"}, {"top.txt", "file: top\n"}};

FolderSnapshot extractedWith(const std::string& path, const std::string& what) {
    FolderSnapshot snapshot = kExtracted;
    if (path == "d") snapshot.erase("d/a.txt");
    snapshot[path] = what;
    return snapshot;
}

const HostileCase kCases[] = {
    {"HardLinkReplaced", Planted::HardLink, true, OperationOutcome::Succeeded, kExtracted, nullptr},
    {"ReadOnlyHardLinkReplaced", Planted::ReadOnlyHardLink, true, OperationOutcome::Succeeded, kExtracted, nullptr},
    {"HardLinkSkipped", Planted::HardLink, false, OperationOutcome::Succeeded,
     extractedWith("top.txt", "file: victim\n"), nullptr},
    {"ReadOnlyHardLinkSkipped", Planted::ReadOnlyHardLink, false, OperationOutcome::Succeeded,
     extractedWith("top.txt", "file: victim\n"), nullptr},
    {"PipeNeverOpened", Planted::Pipe, true, OperationOutcome::Failed, extractedWith("top.txt", "other"),
     "is a named pipe, not a file"},
    {"PipeAtAFolderPathNeverOpened", Planted::PipeAtFolder, true, OperationOutcome::Failed, extractedWith("d", "other"),
     "is a named pipe, not a folder"},
    {"FileLinkReplacedItself", Planted::FileLink, true, OperationOutcome::Succeeded, kExtracted, nullptr},
    {"FileLinkSkipped", Planted::FileLink, false, OperationOutcome::Succeeded,
     extractedWith("top.txt", "link -> ../outside/victim.txt"), nullptr},
    {"FolderLinkKeptWhenOverwriting", Planted::FolderLink, true, OperationOutcome::Failed,
     extractedWith("d", "link -> ../outside"), "is a symbolic link, not a folder"},
    {"FolderLinkKeptWhenSkipping", Planted::FolderLink, false, OperationOutcome::Failed,
     extractedWith("d", "link -> ../outside"), "is a symbolic link, not a folder"},
    {"FileAtAFolderPathKept", Planted::FileAtFolder, true, OperationOutcome::Failed,
     extractedWith("d", "file: mine\n"), "is a file, not a folder"},
    {"FolderAtAFilePathKept", Planted::FolderAtFile, true, OperationOutcome::Failed,
     [] {
         FolderSnapshot snapshot = extractedWith("top.txt", "folder");
         snapshot["top.txt/mine"] = "file: mine\n";
         return snapshot;
     }(),
     "is a folder, not a file"},
};

class HostileDestinationTest : public ArchiveFixture, public testing::WithParamInterface<std::tuple<HostileCase, int>> {
protected:
    void SetUp() override {
        writeFile(folder / "src/d/a.txt", "inside a\n");
        writeFile(folder / "src/top.txt", "top\n");
        setTime(folder / "src/top.txt", 1600000000);
        ASSERT_EQ(pack(folder / "archive.zor", {"d", "top.txt"}, folder / "src"), OperationOutcome::Succeeded);
        writeFile(folder / "outside/victim.txt", "victim\n");
        setTime(folder / "outside/victim.txt", 1500000000);
        std::filesystem::create_directory(folder / "out");
        context.settings.threads = std::get<1>(GetParam());
    }

    // Plants the case's object; a pipe is also opened for reading here,
    // without blocking, so that a faulty open for writing could not hang the test.
    void plant(Planted planted) {
        const std::string out = folder / "out", victim = folder / "outside/victim.txt";
        switch (planted) {
            case Planted::ReadOnlyHardLink: ::chmod(victim.c_str(), 0444); [[fallthrough]];
            case Planted::HardLink: ASSERT_EQ(::link(victim.c_str(), (out + "/top.txt").c_str()), 0); break;
            case Planted::Pipe:
            case Planted::PipeAtFolder: {
                const std::string pipe = out + (planted == Planted::Pipe ? "/top.txt" : "/d");
                ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
                pipeReader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
                ASSERT_GE(pipeReader, 0);
                break;
            }
            case Planted::FileLink: ASSERT_EQ(::symlink("../outside/victim.txt", (out + "/top.txt").c_str()), 0); break;
            case Planted::FolderLink: ASSERT_EQ(::symlink("../outside", (out + "/d").c_str()), 0); break;
            case Planted::FileAtFolder: writeFile(out + "/d", "mine\n"); break;
            case Planted::FolderAtFile: writeFile(out + "/top.txt/mine", "mine\n"); break;
        }
    }

    void TearDown() override {
        if (pipeReader >= 0) ::close(pipeReader);
    }

    int pipeReader = -1;
};

TEST_P(HostileDestinationTest, NothingOutsideChangesAndNothingInTheWayIsRemoved) {
    const HostileCase& c = std::get<0>(GetParam());
    plant(c.planted);
    const FolderSnapshot outsideBefore = snapshotOf(folder / "outside");
    struct stat victimBefore {};
    ASSERT_EQ(::stat((folder / "outside/victim.txt").c_str(), &victimBefore), 0);
    ui.questionAnswers.assign(4, c.overwrite ? QuestionAnswer::All : QuestionAnswer::No);
    ui.readOnlyAnswers.assign(4, c.overwrite);

    ::alarm(60);  // a hang ends the test program instead of the suite's patience
    EXPECT_EQ(extract(folder / "archive.zor", folder / "out"), c.outcome);
    ::alarm(0);

    EXPECT_EQ(snapshotOf(folder / "out"), c.out);
    EXPECT_EQ(snapshotOf(folder / "outside"), outsideBefore);
    struct stat victim {};
    ASSERT_EQ(::stat((folder / "outside/victim.txt").c_str(), &victim), 0);
    EXPECT_EQ(victim.st_mode, victimBefore.st_mode) << "the file outside keeps its mode";
    EXPECT_EQ(victim.st_mtime, 1500000000) << "and its time";
    if (c.out.at("top.txt") == "file: top\n") {
        EXPECT_EQ(modificationTime(folder / "out/top.txt"), 1600000000) << "the new file has its stored time";
        EXPECT_EQ(victim.st_nlink, 1u) << "the hard link was replaced, not written through";
        EXPECT_EQ(isReadOnly(folder / "out/top.txt"), c.planted == Planted::ReadOnlyHardLink);
    }
    if (pipeReader >= 0) {
        char byte = 0;
        EXPECT_LE(::read(pipeReader, &byte, 1), 0) << "nothing was written into the pipe";
    }

    std::size_t leftOut = 0;
    for (const std::string& text : ui.reportTexts()) {
        if (text.find("was not extracted") == std::string::npos) continue;
        ++leftOut;
        ASSERT_NE(c.leftOutReason, nullptr) << text;
        EXPECT_NE(text.find(c.leftOutReason), std::string::npos) << text;
        EXPECT_NE(text.find(folder / "out/"), std::string::npos) << "names the path: " << text;
    }
    // A folder in the way leaves out the folder entry and the file below it; anything else one file.
    const bool folderInTheWay = c.planted == Planted::FolderLink || c.planted == Planted::FileAtFolder ||
                                c.planted == Planted::PipeAtFolder;
    EXPECT_EQ(leftOut, c.leftOutReason ? (folderInTheWay ? 2u : 1u) : 0u);
    EXPECT_EQ(ui.reports.size(), leftOut) << "nothing else is reported";
}

INSTANTIATE_TEST_SUITE_P(OneThreadAndDecodingAhead, HostileDestinationTest,
                         testing::Combine(testing::ValuesIn(kCases), testing::Values(1, 4)),
                         [](const testing::TestParamInfo<std::tuple<HostileCase, int>>& info) {
                             return std::string(std::get<0>(info.param).name) + "Threads" +
                                    std::to_string(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace zor::test
