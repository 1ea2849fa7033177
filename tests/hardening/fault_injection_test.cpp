// fault_injection_test.cpp - full disks, inputs that vanish, archives changed while browsed, read-only destinations.
//
// Each fault must end with a clear message and a failing status; a failed
// pack leaves no archive (and an older archive of the same name intact), no
// source file ever changes, and an extraction that stops keeps complete
// files for the entries before the failure.
#include <atomic>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "archive/archive_listing.h"
#include "archive/testing.h"
#include "tests/archive/archive_fixture.h"
#include "tests/hardening/hardening_support.h"

namespace zor::test {
namespace {

constexpr char kWriteError[] = "I/O or other error, bailing out.";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class FaultInjectionTest : public ArchiveFixture {
protected:
    void SetUp() override {
        writeFile(folder / "src/a.txt", "first file, small\n");
        writeFile(folder / "src/big.bin", incompressibleBytes(300000));
        writeFile(folder / "src/z.txt", "last file\n");
        sources = snapshotOf(folder / "src");
    }

    // Packs the three sources with zor-cli (items in this order) into `archive`.
    CliResult packSources(const std::string& archive, rlim_t fileLimit = RLIM_INFINITY) {
        const std::vector<std::string> args{"pack", "-q", "-f", archive, "a.txt", "big.bin", "z.txt"};
        return runCliWithFileLimit(folder / "src", args, fileLimit);
    }

    FolderSnapshot sources;
};

// --- a full disk ------------------------------------------------------------

TEST_F(FaultInjectionTest, PackingPastTheFileSizeLimitFailsAndLeavesOnlyTheOlderArchive) {
    std::filesystem::create_directory(folder / "out");
    ASSERT_EQ(packSources(folder / "out/old.zor").status, 0);
    std::filesystem::rename(folder / "out/old.zor", folder / "out/archive.zor");
    const std::string older = readFile(folder / "out/archive.zor");

    const CliResult result = packSources(folder / "out/archive.zor", 64 * 1024);
    EXPECT_NE(result.status, 0);
    EXPECT_TRUE(contains(result.err, kWriteError)) << result.err;
    EXPECT_EQ(readFile(folder / "out/archive.zor"), older);
    EXPECT_EQ(snapshotOf(folder / "out").size(), 1u) << "a partial archive was left beside it";
    EXPECT_EQ(snapshotOf(folder / "src"), sources);
}

TEST_F(FaultInjectionTest, PackingOntoAFullFilesystemFailsAndLeavesNoArchive) {
    SmallFilesystem small(folder / "small", 128 * 1024);
    if (!small.mounted()) GTEST_SKIP() << "cannot mount a small filesystem here";
    const CliResult result = packSources(folder / "small/archive.zor");
    EXPECT_NE(result.status, 0);
    EXPECT_TRUE(contains(result.err, kWriteError)) << result.err;
    EXPECT_TRUE(snapshotOf(folder / "small").empty()) << "something was left on the full disk";
    EXPECT_EQ(snapshotOf(folder / "src"), sources);
}

TEST_F(FaultInjectionTest, ExtractingPastTheFileSizeLimitStopsWithCompleteEarlierFiles) {
    ASSERT_EQ(packSources(folder / "archive.zor").status, 0);
    const std::string archive = readFile(folder / "archive.zor");
    const CliResult result = runCliWithFileLimit(
        folder.path(), {"unpack", "-q", "archive.zor", "-d", "out", "--overwrite", "all"}, 64 * 1024);
    EXPECT_NE(result.status, 0);
    EXPECT_TRUE(contains(result.err, kWriteError)) << result.err;
    EXPECT_EQ(readFile(folder / "out/a.txt"), "first file, small\n");
    EXPECT_EQ(readFile(folder / "archive.zor"), archive);
}

TEST_F(FaultInjectionTest, ExtractingOntoAFullFilesystemStopsWithCompleteEarlierFiles) {
    ASSERT_EQ(packSources(folder / "archive.zor").status, 0);
    SmallFilesystem small(folder / "small", 128 * 1024);
    if (!small.mounted()) GTEST_SKIP() << "cannot mount a small filesystem here";
    const CliResult result =
        runCli(folder.path(), {"unpack", "-q", "archive.zor", "-d", "small/out", "--overwrite", "all"});
    EXPECT_NE(result.status, 0);
    EXPECT_TRUE(contains(result.err, kWriteError)) << result.err;
    EXPECT_EQ(readFile(folder / "small/out/a.txt"), "first file, small\n");
    EXPECT_FALSE(exists(folder / "small/out/z.txt"));
}

TEST_F(FaultInjectionTest, ExtractingIntoAReadOnlyFilesystemFailsWithAMessage) {
    ASSERT_EQ(packSources(folder / "archive.zor").status, 0);
    SmallFilesystem readOnly(folder / "ro", 64 * 1024, true);
    if (!readOnly.mounted()) GTEST_SKIP() << "cannot mount a read-only filesystem here";
    for (const std::string destination : {"ro", "ro/out"}) {
        const CliResult result = runCli(folder.path(), {"unpack", "-q", "archive.zor", "-d", destination});
        EXPECT_EQ(result.status, 1) << destination;
        EXPECT_FALSE(result.err.empty()) << destination;
    }
    EXPECT_TRUE(snapshotOf(folder / "ro").empty());
}

TEST_F(FaultInjectionTest, PackingIntoAReadOnlyFilesystemFailsWithAMessage) {
    SmallFilesystem readOnly(folder / "ro", 64 * 1024, true);
    if (!readOnly.mounted()) GTEST_SKIP() << "cannot mount a read-only filesystem here";
    const CliResult result = packSources(folder / "ro/archive.zor");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(result.err, kCannotCreateArchiveMessage)) << result.err;
    EXPECT_EQ(snapshotOf(folder / "src"), sources);
}

// --- inputs that change between the tree walk and their turn ----------------

enum class InputFault { Vanishes, BecomesAFolder, BecomesAFifo };

class ChangingInputTest : public FaultInjectionTest, public testing::WithParamInterface<InputFault> {};

TEST_P(ChangingInputTest, PackingFailsWithAMessageAndLeavesNoArchive) {
    const std::string victim = folder / "src/z.txt";
    ui.onCurrentFile = [&](const std::string& label) {
        if (label != "a.txt") return;
        ::unlink(victim.c_str());
        if (GetParam() == InputFault::BecomesAFolder) ::mkdir(victim.c_str(), 0755);
        if (GetParam() == InputFault::BecomesAFifo) ::mkfifo(victim.c_str(), 0644);
    };
    // Should opening the fifo block, a writer that opens it late lets the test end and fail.
    std::atomic<bool> packingReturned = false;
    std::thread watchdog([&] {
        for (int tenths = 0; tenths < 300 && !packingReturned; ++tenths) ::usleep(100000);
        if (!packingReturned && GetParam() == InputFault::BecomesAFifo) {
            ADD_FAILURE() << "packing blocked on a fifo";
            ::close(::open(victim.c_str(), O_WRONLY | O_NONBLOCK));
        }
    });
    const OperationOutcome outcome = pack(folder / "archive.zor", {"a.txt", "big.bin", "z.txt"}, folder / "src");
    packingReturned = true;
    watchdog.join();
    EXPECT_EQ(outcome, OperationOutcome::Failed);
    ASSERT_FALSE(ui.reports.empty());
    EXPECT_EQ(ui.reports.back().text.rfind(victim + ": " + kCannotOpenInputMessage, 0), 0u) << ui.reports.back().text;
    EXPECT_FALSE(exists(folder / "archive.zor"));
    EXPECT_EQ(snapshotOf(folder.path()).count("archive.zor"), 0u);
    const FolderSnapshot after = snapshotOf(folder / "src");
    EXPECT_EQ(after.at("a.txt"), sources.at("a.txt"));
    EXPECT_EQ(after.at("big.bin"), sources.at("big.bin"));
}

INSTANTIATE_TEST_SUITE_P(Faults, ChangingInputTest,
                         testing::Values(InputFault::Vanishes, InputFault::BecomesAFolder, InputFault::BecomesAFifo));

// --- an archive changed while it is browsed ---------------------------------

class ChangedArchiveTest : public FaultInjectionTest {
protected:
    void SetUp() override {
        FaultInjectionTest::SetUp();
        ASSERT_EQ(packSources(folder / "archive.zor").status, 0);
        archivePath = folder / "archive.zor";
        const ArchiveCheck check = checkArchiveFile(archivePath);
        ASSERT_EQ(check.result, ArchiveCheck::Result::Accepted);
        enterArchive(context, archivePath, check);
        ASSERT_TRUE(ListArchiveFolder(context));
    }

    // Lists, tests and extracts the changed archive: each must fail with `message`.
    void expectEveryOperationToFailWith(const std::string& message) {
        ui.reports.clear();
        EXPECT_FALSE(ListArchiveFolder(context));
        EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{message}) << "listing";
        ui.reports.clear();
        EXPECT_EQ(TestButtonClick(context), OperationOutcome::Failed);
        EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{message}) << "testing";
        ui.reports.clear();
        EXPECT_EQ(ExtractArchive(context, folder / "out"), OperationOutcome::Failed);
        ASSERT_FALSE(ui.reports.empty());
        EXPECT_TRUE(ui.reports.back().text == message || ui.reports.back().text == kCouldNotOpenFileMessage)
            << ui.reports.back().text;
        // Entries that still fit the file may come out whole; nothing else may.
        EXPECT_EQ(unexpectedItems(snapshotOf(folder / "out"), {"first file, small\n"}), std::vector<std::string>{});
    }

    std::string archivePath;
};

TEST_F(ChangedArchiveTest, TruncatedWhileBrowsed) {
    ::truncate(archivePath.c_str(), 200);
    expectEveryOperationToFailWith(kCorruptArchiveMessage);
}

TEST_F(ChangedArchiveTest, ReplacedByAnotherFileWhileBrowsed) {
    writeFile(archivePath, std::string(200, 'x'));
    expectEveryOperationToFailWith(kNotZorArchiveMessage);
}

TEST_F(ChangedArchiveTest, ReplacedByAFolderWhileBrowsed) {
    std::filesystem::remove(archivePath);
    std::filesystem::create_directory(archivePath);
    expectEveryOperationToFailWith(kCannotOpenFileMessage);
}

TEST_F(ChangedArchiveTest, TruncatedDuringExtractionFailsTheLaterEntriesWithAMessage) {
    ui.onCurrentFile = [&](const std::string& label) {
        if (contains(label, "big.bin")) ::truncate(archivePath.c_str(), 400);
    };
    EXPECT_EQ(ExtractArchive(context, folder / "out"), OperationOutcome::Failed);
    EXPECT_FALSE(ui.reports.empty());
    EXPECT_EQ(readFile(folder / "out/a.txt"), "first file, small\n");
    EXPECT_FALSE(exists(folder / "out/z.txt") && readFile(folder / "out/z.txt") == "last file\n");
}

TEST_F(ChangedArchiveTest, TruncatedDuringTestingReportsTheLaterEntriesCorrupt) {
    ui.onCurrentFile = [&](const std::string& label) {
        if (contains(label, "big.bin")) ::truncate(archivePath.c_str(), 400);
    };
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Failed);
    EXPECT_FALSE(ui.reports.empty());
    EXPECT_TRUE(ui.mainWindowEnabled);
}

}  // namespace
}  // namespace zor::test
