// damage_test.cpp - every truncation and single flipped bits of sample archives: a clear failure or a sound result, never worse.
//
// Each damaged archive is extracted and tested. Allowed outcomes: success
// whose extracted files each hold one of the original contents (damage
// the readers never look at, such as a date or the trailing record copy),
// or failure with a message. Never a crash, a fatal end, a hang, a file
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
    std::string checkInProcess(const std::string& damaged, const std::string& label) {
        const std::string work = folder / ("case-" + std::to_string(++cases));
        writeFile(work + "/damaged.zor", damaged);
        std::string problems;
        for (const bool testing : {false, true}) {
            ui.reports.clear();
            if (protectedArchive()) ui.passwords.assign(1, std::string(kPassword));
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
            if (!testing && outcome == OperationOutcome::Succeeded) {
                for (const auto& item : unexpectedItems(snapshotOf(work + "/out"), sample.contents()))
                    problems += label + " extraction succeeded with a wrong file " + item + "\n";
            }
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
    std::string checkWithCli(const std::string& damaged, const std::string& label, bool unpack, bool mustFail) {
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
        if (unpack && result.status == 0) {
            for (const auto& item : unexpectedItems(snapshotOf(work + "/out"), sample.contents()))
                problems += label + ": success with a wrong file " + item + "\n";
        }
        for (const auto& [path, what] : snapshotOf(work)) {
            if (path != "damaged.zor" && path != "out" && path.rfind("out/", 0) != 0)
                problems += label + ": " + path + " appeared outside the destination\n";
        }
        std::filesystem::remove_all(work);
        return problems;
    }

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
// bit position of every field is hit across neighbouring bytes.
TEST_P(DamageTest, AFlippedBitInEveryByteFailsCleanlyOrExtractsTheOriginalsInProcess) {
    std::string problems;
    for (std::size_t offset = 0; offset < original.size(); ++offset) {
        const int bit = int(offset % 8);
        problems += checkInProcess(flipped(original, offset, bit),
                                   "bit " + std::to_string(bit) + " of byte " + std::to_string(offset));
    }
    EXPECT_EQ(problems, "");
}

TEST_P(DamageTest, FlippedBitsInRecordsAndNamesGiveAClearStatusFromZorCli) {
    std::string problems;
    for (std::size_t offset = 0; offset < trailingCopyStart; offset += 3) {
        if (!inRecordsOrNames(offset)) continue;
        const int bit = int(offset % 8);
        problems += checkWithCli(flipped(original, offset, bit),
                                 "bit " + std::to_string(bit) + " of byte " + std::to_string(offset), offset % 2, false);
    }
    EXPECT_EQ(problems, "");
}

INSTANTIATE_TEST_SUITE_P(PlainAndProtected, DamageTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Protected" : "Plain"; });

}  // namespace
}  // namespace zor::test
