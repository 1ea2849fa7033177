// damage_test.cpp - every truncation and single flipped bits of sample archives: a clear failure or a sound result, never worse.
//
// Each damaged archive is extracted and tested. Allowed outcomes: success
// in which every original content comes out and nothing else (damage the
// readers never look at, such as a date or the trailing record copy; a
// flipped name bit may rename a file), or failure with a message. A lower
// entry count in the header is the one damage no reader can see: the
// entries it no longer counts are bytes after the last entry, which the
// format leaves uninterpreted. Never a crash, a fatal end, a hang, a file
// outside the destination or a damaged file presented as a success.
#include <gtest/gtest.h>
#include <set>

#include "archive/extraction.h"
#include "archive/testing.h"
#include "tests/archive/archive_fixture.h"
#include "tests/hardening/hardening_support.h"

namespace zor::test {
namespace {

constexpr char kPassword[] = "secret";

class DamageTest : public ArchiveFixture, public testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        sample.writeInto(folder / "src");
        std::vector<std::string> args{"pack", "-q", "../sample.zor", "d", "b.txt", "e"};
        if (protectedArchive()) {
            writeFile(folder / "password", std::string(kPassword) + "\n");
            args.insert(args.end(), {"--password-file", "../password"});
        }
        const CliResult packed = runCli(folder / "src", args);
        ASSERT_EQ(packed.status, 0) << packed.err;
        original = readFile(folder / "sample.zor");
        ASSERT_GT(original.size(), 200u);
        trailingCopyStart = original.size() - kEntryRecordSize;  // the last entry is the empty file e
    }

    bool protectedArchive() const { return GetParam(); }

    // Extracts and tests `damaged` in this process; returns a description of what went wrong, or nothing.
    std::string checkInProcess(const std::string& damaged, const std::string& label, bool countsIntact = true) {
        const std::string work = folder / ("case-" + std::to_string(++cases));
        writeFile(work + "/damaged.zor", damaged);
        std::string problems;
        for (const bool testing : {false, true}) {
            ui.reports.clear();
            if (protectedArchive()) ui.passwords.assign(1, std::string(kPassword));
            // A renamed entry may meet an earlier one: overwrite, as zor-cli's runs below do.
            ui.questionAnswers.assign(8, QuestionAnswer::All);
            context.window.ArchivePath = work + "/damaged.zor";
            context.listSelection.clear();
            const OperationOutcome outcome = testing ? TestButtonClick(context) : ExtractArchive(context, work + "/out");
            const char* what = testing ? " testing: " : " extraction: ";
            for (const auto& report : ui.reports)
                if (report.fatal) problems += label + what + "fatal report " + report.text + "\n";
            if (outcome == OperationOutcome::Failed && ui.reports.empty())
                problems += label + what + "failed without a message\n";
            if (outcome != OperationOutcome::Failed && outcome != OperationOutcome::Succeeded)
                problems += label + what + "unexpected outcome\n";
            if (!testing && outcome == OperationOutcome::Succeeded)
                problems += checkSuccess(work + "/out", label, countsIntact);
        }
        const FolderSnapshot after = snapshotOf(work);
        for (const auto& [path, what] : after) {
            if (path != "damaged.zor" && path != "out" && path.rfind("out/", 0) != 0)
                problems += label + ": " + path + " appeared outside the destination\n";
        }
        std::filesystem::remove_all(work);
        return problems;
    }

    // Runs zor-cli on `damaged`; returns a description of what went wrong, or nothing.
    std::string checkWithCli(const std::string& damaged, const std::string& label, bool unpack, bool mustFail,
                             bool countsIntact = true) {
        const std::string work = folder / ("cli-" + std::to_string(++cases));
        writeFile(work + "/damaged.zor", damaged);
        std::vector<std::string> args{unpack ? "unpack" : "test", "-q", "damaged.zor"};
        if (unpack) args.insert(args.end(), {"-d", "out", "--overwrite", "all"});
        if (protectedArchive()) args.insert(args.end(), {"--password-file", "../password"});
        const CliResult result = runCli(work, args);
        std::string problems;
        if (result.status != 0 && result.status != 1)
            problems += label + ": exit status " + std::to_string(result.status) + " " + result.err + "\n";
        if (result.status == 1 && result.err.empty()) problems += label + ": exit status 1 without a message\n";
        if (mustFail && result.status == 0) problems += label + ": damage reported as success\n";
        if (unpack && result.status == 0) problems += checkSuccess(work + "/out", label, countsIntact);
        for (const auto& [path, what] : snapshotOf(work)) {
            if (path != "damaged.zor" && path != "out" && path.rfind("out/", 0) != 0)
                problems += label + ": " + path + " appeared outside the destination\n";
        }
        std::filesystem::remove_all(work);
        return problems;
    }

    // An extraction that reports success must have brought out every original content and nothing else.
    std::string checkSuccess(const std::string& out, const std::string& label, bool complete) const {
        std::string problems;
        const FolderSnapshot extracted = snapshotOf(out);
        for (const auto& item : unexpectedItems(extracted, sample.contents()))
            problems += label + ": success with a wrong file " + item + "\n";
        if (!complete) return problems;
        for (const auto& bytes : missingContents(extracted, sample.contents()))
            problems += label + ": success without the file holding \"" + bytes + "\"\n";
        return problems;
    }

    // numberOfFiles and numberOfDirectories.
    static bool inEntryCounts(std::size_t offset) { return offset >= 16 && offset < 24; }

    static std::string flipped(std::string bytes, std::size_t offset, int bit) {
        bytes[offset] = static_cast<char>(bytes[offset] ^ (1 << bit));
        return bytes;
    }

    bool inRecordsOrNames(std::size_t offset) const {
        for (const auto& [start, end] : recordAndNameRanges(folder / "sample.zor"))
            if (offset >= start && offset < end) return true;
        return false;
    }

    SampleTree sample;
    std::string original;
    std::size_t trailingCopyStart = 0;
    int cases = 0;
};

TEST_P(DamageTest, UndamagedSampleExtractsAndTests) {
    EXPECT_EQ(checkInProcess(original, "undamaged"), "");
    EXPECT_EQ(snapshotOf(folder / "src").size(), 4u);
}

TEST_P(DamageTest, EveryTruncationFailsCleanlyInProcess) {
    std::string problems;
    for (std::size_t length = 0; length < original.size(); ++length)
        problems += checkInProcess(original.substr(0, length), "cut to " + std::to_string(length));
    EXPECT_EQ(problems, "");
}

// zor-cli runs take tens of milliseconds each: every cut inside the header
// and around each record, name and data boundary, and every fifth length
// elsewhere (every length is covered in process above).
TEST_P(DamageTest, TruncationsGiveExitStatusOneFromZorCli) {
    std::set<std::size_t> lengths;
    for (std::size_t length = 0; length <= kArchiveHeaderSize + 1; ++length) lengths.insert(length);
    for (const auto& [start, end] : recordAndNameRanges(folder / "sample.zor")) {
        for (const std::size_t edge : {start, start + kEntryRecordSize, end})
            for (const std::size_t length : {edge - 1, edge, edge + 1}) lengths.insert(length);
    }
    for (std::size_t length = 0; length < original.size(); length += 5) lengths.insert(length);
    std::string problems;
    for (const std::size_t length : lengths) {
        if (length >= original.size()) continue;
        // Cutting only into the trailing record copy loses nothing a reader looks at.
        const bool mustFail = length < trailingCopyStart;
        problems += checkWithCli(original.substr(0, length), "cut to " + std::to_string(length), true, mustFail);
    }
    EXPECT_EQ(problems, "");
}

// One flipped bit in each byte, the bit moving with the offset so that every
// bit position of every field is hit across neighbouring bytes; in the
// records and names also the lowest bit, which turns flags (isFolder, the
// entry type) and small counts (depth, nameLength) into neighbouring values.
TEST_P(DamageTest, FlippedBitsInEveryByteFailCleanlyOrExtractTheOriginalsInProcess) {
    std::string problems;
    for (std::size_t offset = 0; offset < original.size(); ++offset) {
        std::set<int> bits{int(offset % 8)};
        if (inRecordsOrNames(offset)) bits.insert(0);
        for (const int bit : bits) {
            problems += checkInProcess(flipped(original, offset, bit),
                                       "bit " + std::to_string(bit) + " of byte " + std::to_string(offset),
                                       !inEntryCounts(offset));
        }
    }
    EXPECT_EQ(problems, "");
}

// One bit turns a file's record into a folder's: its data must not be
// skipped quietly, neither by testing nor by extraction.
TEST_P(DamageTest, AFileRecordMarkedAsAFolderIsReportedNotSkipped) {
    const auto ranges = recordAndNameRanges(folder / "sample.zor");
    ASSERT_GE(ranges.size(), 3u);  // the header, d\ and d\a.txt
    const std::size_t isFolderOffset = ranges[2].first + 4;
    writeFile(folder / "marked.zor", flipped(original, isFolderOffset, 0));
    context.window.ArchivePath = folder / "marked.zor";
    if (protectedArchive()) ui.passwords.assign(2, std::string(kPassword));
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"d\\a.txt is corrupt"});
    ui.reports.clear();
    EXPECT_EQ(ExtractArchive(context, folder / "out"), OperationOutcome::Failed);
    EXPECT_EQ(ui.reports.size(), 1u);
    EXPECT_FALSE(exists(folder / "out/d/a.txt"));
}

TEST_P(DamageTest, FlippedBitsInRecordsAndNamesGiveAClearStatusFromZorCli) {
    std::string problems;
    for (std::size_t offset = 0; offset < trailingCopyStart; offset += 3) {
        if (!inRecordsOrNames(offset)) continue;
        const int bit = int(offset % 8);
        problems += checkWithCli(flipped(original, offset, bit),
                                 "bit " + std::to_string(bit) + " of byte " + std::to_string(offset), offset % 2, false,
                                 !inEntryCounts(offset));
    }
    EXPECT_EQ(problems, "");
}

INSTANTIATE_TEST_SUITE_P(PlainAndProtected, DamageTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Protected" : "Plain"; });

}  // namespace
}  // namespace zor::test
