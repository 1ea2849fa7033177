// resource_bounds_test.cpp - hostile archives cannot make a listing or a decoder hold unbounded memory; no growth over many cycles.
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>

#include "archive/archive_listing.h"
#include "archive/testing.h"
#include "tests/archive/archive_fixture.h"
#include "tests/hardening/hardening_support.h"

namespace zor::test {
namespace {

// Memory figures mean little under AddressSanitizer (shadow memory,
// quarantine of freed blocks); LeakSanitizer watches leaks there instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasuresMemory = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMeasuresMemory = false;
#else
constexpr bool kMeasuresMemory = true;
#endif
#else
constexpr bool kMeasuresMemory = true;
#endif

constexpr std::size_t kListingLimit = 100000;

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
int64_t statusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) return std::stoll(line.substr(field.size() + 1));
    }
    return -1;
}

int openDescriptors() {
    int count = 0;
    if (DIR* folder = ::opendir("/proc/self/fd")) {
        while (::readdir(folder)) ++count;
        ::closedir(folder);
    }
    return count;
}

std::string numbered(const char* prefix, std::size_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%06zu", prefix, number);
    return name;
}

class ResourceBoundsTest : public ArchiveFixture {
protected:
    std::optional<ArchiveListing> listAt(const std::string& archive, const std::string& folderInside, int level) {
        const ArchiveCheck check = checkArchiveFile(archive);
        EXPECT_EQ(check.result, ArchiveCheck::Result::Accepted) << check.message;
        enterArchive(context, archive, check);
        context.window.currentArchiveFolder = folderInside;
        context.window.ArchiveLevel = level;
        return ListArchiveFolder(context);
    }
};

// Entries are stored from the highest number down, so that a listing that
// kept the first ones it met would show the wrong end of the order.
TEST_F(ResourceBoundsTest, ListingHoldsABoundedNumberOfFoldersAndFilesAndShowsTheFirstInOrder) {
    const std::size_t count = kListingLimit + 7;
    for (const std::string& inside : {std::string(), std::string("top\\")}) {
        std::vector<HandEntry> entries;
        const int16_t depth = inside.empty() ? 0 : 1;
        if (!inside.empty()) entries.push_back({inside, true, "", 0, 0});
        for (std::size_t i = count; i-- > 0;) {
            entries.push_back({inside + numbered("d", i) + "\\", true, "", 0, depth});
            entries.push_back({inside + numbered("f", i), false, "", 2, depth});
        }
        writeHandArchive(folder / "many.zor", entries);
        const auto listing = listAt(folder / "many.zor", inside, depth);
        ASSERT_TRUE(listing) << inside;
        ASSERT_EQ(listing->folders.size(), kListingLimit);
        ASSERT_EQ(listing->files.size(), kListingLimit);
        EXPECT_EQ(listing->folders.front().caption, numbered("d", 0));
        EXPECT_EQ(listing->folders.back().caption, numbered("d", kListingLimit - 1));
        EXPECT_EQ(listing->files.front().caption, numbered("f", 0));
        EXPECT_EQ(listing->files.back().caption, numbered("f", kListingLimit - 1));
        EXPECT_EQ(listing->listedBytes, 2 * kListingLimit);
        EXPECT_TRUE(ui.reports.empty());
    }
}

// Many streams claiming the largest block size, one after another in one
// entry and across entries: the decoder's memory is taken per stream and
// given back, so the peak stays that of one stream.
TEST_F(ResourceBoundsTest, DecodingManyLargeBlockStreamsKeepsThePeakOfOne) {
    if (!kMeasuresMemory) GTEST_SKIP() << "memory is not measured under AddressSanitizer";
    writeFile(folder / "block", std::string(900000, 'z'));
    ASSERT_EQ(runCli(folder.path(), {"compress", "block", "block.zst"}).status, 0);
    const std::string stream = readFile(folder / "block.zst");
    std::string manyStreams;
    for (int i = 0; i < 8; ++i) manyStreams += stream;
    std::vector<HandEntry> entries;
    for (int i = 0; i < 10; ++i) entries.push_back({numbered("f", i), false, manyStreams, 900000 * 8});
    writeHandArchive(folder / "large.zor", entries);

    std::ofstream("/proc/self/clear_refs") << "5";  // restarts the peak (VmHWM) at the current size
    const int64_t before = statusKilobytes("VmHWM");
    context.window.ArchivePath = folder / "large.zor";
    EXPECT_EQ(TestButtonClick(context), OperationOutcome::Succeeded);
    const int64_t peakGrowth = statusKilobytes("VmHWM") - before;
    EXPECT_LT(peakGrowth, 16 * 1024) << "kB above the starting size";
}

// A record that claims 10 bytes for a stream of 20 MB: a small archive
// cannot fill a disk, on one thread or on two, and the entry is damaged.
TEST_F(ResourceBoundsTest, AnEntryWritesNoMoreThanItsRecordedSize) {
    writeFile(folder / "zeros", std::string(20 << 20, '\0'));
    ASSERT_EQ(pack(folder / "zeros.zor", {"zeros"}), OperationOutcome::Succeeded);
    writeHandArchive(folder / "claims10.zor", {{"zeros", false, storedStreamOf(folder / "zeros.zor"), 10, 0}});
    ASSERT_LT(readFile(folder / "claims10.zor").size(), 1000u);
    for (const char* threads : {"1", "2"}) {
        std::filesystem::remove_all(folder / "out");
        // Files limited to 1 MB, so that a decoder that ignored the record could not fill the disk either.
        const CliResult unpacked = runCliWithFileLimit(
            folder.path(), {"unpack", "-q", "--threads", threads, "claims10.zor", "-d", "out"}, 1 << 20);
        EXPECT_EQ(unpacked.status, 1) << threads << " threads: " << unpacked.err;
        EXPECT_NE(unpacked.err.find("Decompressed data longer than the recorded size"), std::string::npos)
            << unpacked.err;
        std::error_code ignored;
        const auto written = std::filesystem::file_size(folder / "out/zeros", ignored);
        EXPECT_TRUE(ignored || written <= 10) << written << " bytes written, " << threads << " threads";
        const CliResult tested = runCli(folder.path(), {"test", "--threads", threads, "claims10.zor"});
        EXPECT_EQ(tested.status, 1) << threads << " threads: " << tested.err;
        EXPECT_NE(tested.err.find("zeros is corrupt"), std::string::npos) << tested.err;
    }
}

TEST_F(ResourceBoundsTest, ThousandPackAndUnpackCyclesLeaveNoGrowthOfMemoryOrDescriptors) {
    writeFile(folder / "src/a.txt", "cycle after cycle after cycle\n");
    std::filesystem::create_directories(folder / "src/sub");
    int64_t rssAfterWarmUp = 0;
    int descriptorsAfterWarmUp = 0;
    ui.questionAnswers.clear();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        ASSERT_EQ(pack(folder / "cycle.zor", {"a.txt", "sub"}, folder / "src"), OperationOutcome::Succeeded);
        ui.questionAnswers.assign(1, QuestionAnswer::All);
        ASSERT_EQ(extract(folder / "cycle.zor", folder / "out"), OperationOutcome::Succeeded);
        if (cycle == 49) {
            rssAfterWarmUp = statusKilobytes("VmRSS");
            descriptorsAfterWarmUp = openDescriptors();
        }
    }
    EXPECT_EQ(readFile(folder / "out/a.txt"), "cycle after cycle after cycle\n");
    EXPECT_TRUE(ui.reports.empty());
    EXPECT_EQ(openDescriptors(), descriptorsAfterWarmUp);
    if (kMeasuresMemory) {
        EXPECT_LT(statusKilobytes("VmRSS") - rssAfterWarmUp, 2048) << "kB";
    }
}

}  // namespace
}  // namespace zor::test
