// archive_listing_test.cpp - opening archives, moving between their folders and listing one level.
#include <gtest/gtest.h>

#include "archive/archive_listing.h"
#include "tests/archive/archive_fixture.h"

namespace zor::test {
namespace {

std::vector<std::string> captions(const std::vector<ArchiveListRow>& rows) {
    std::vector<std::string> result;
    for (const auto& row : rows) result.push_back(row.caption);
    return result;
}

// "f7", "d7\\": built by appending (GCC 12 warns falsely about "f" + std::to_string(i)).
std::string numbered(const char* prefix, int i, const char* suffix = "") {
    std::string name = prefix;
    name += std::to_string(i);
    name += suffix;
    return name;
}

class ArchiveListingTest : public ArchiveFixture {
protected:
    void SetUp() override {
        archive = folder / "docs.zor";
        // Archive order deliberately differs from the sorted order; "\xe9" (an
        // accented letter) must sort after every ASCII letter.
        writeHandArchive(archive, {
            {"zeta\\", true, "", 0, 0},
            {"docs\\", true, "", 0, 0},
            {"docs\\img\\", true, "", 0, 1},
            {"docs\\img\\b.png", false, "xyz", 300, 2},
            {"docs\\a.txt", false, "ab", 20, 1},
            {"top.txt", false, "abcd", 1000, 0},
            {"\xe9t\xe9.txt", false, "", 0, 0},
            {"alpha\\", true, "", 0, 0},
            {"b.txt", false, "abcdef", 234, 0},
        });
        const ArchiveCheck check = checkArchiveFile(archive);
        ASSERT_EQ(check.result, ArchiveCheck::Result::Accepted) << check.message;
        enterArchive(context, archive, check);
    }

    ArchiveListing list() {
        auto listing = ListArchiveFolder(context);
        EXPECT_TRUE(listing.has_value()) << testing::PrintToString(ui.reportTexts());
        return listing.value_or(ArchiveListing{});
    }

    std::string archive;
};

TEST_F(ArchiveListingTest, TopLevelShowsFoldersThenFilesEachSortedByBytes) {
    const ArchiveListing top = list();
    EXPECT_EQ(captions(top.folders), (std::vector<std::string>{"alpha", "docs", "zeta"}));
    EXPECT_EQ(captions(top.files), (std::vector<std::string>{"b.txt", "top.txt", "\xC3\xA9t\xC3\xA9.txt"}));
    for (const auto& row : top.folders) {
        EXPECT_TRUE(row.isFolder);
        EXPECT_EQ(row.parentPath, "");
    }
    EXPECT_EQ(top.files[0].size, 234u);
    EXPECT_EQ(top.files[0].packedSize, 6u);
    EXPECT_EQ(top.files[2].size, 0u);
    EXPECT_EQ(top.files[2].packedSize, 0u);
    // Only this level counts: the 320 bytes inside docs are not part of it.
    EXPECT_EQ(top.totals, "Total 3 folders and 1.234 bytes in 3 files");
    EXPECT_TRUE(context.window.ListingFresh);
    EXPECT_TRUE(ui.reports.empty());
}

TEST_F(ArchiveListingTest, EnteringFoldersAndGoingUpWalksTheLevels) {
    enterArchiveFolder(context.window, "docs");
    EXPECT_EQ(context.window.currentArchiveFolder, "docs\\");
    ArchiveListing docs = list();
    ASSERT_EQ(captions(docs.folders), std::vector<std::string>{"img"});
    ASSERT_EQ(captions(docs.files), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(docs.folders[0].parentPath, "docs\\");
    EXPECT_EQ(docs.files[0].parentPath, "docs\\");
    EXPECT_EQ(docs.totals, "Total 1 folder and 20 bytes in 1 file");

    enterArchiveFolder(context.window, "img");
    const ArchiveListing img = list();
    ASSERT_EQ(captions(img.files), std::vector<std::string>{"b.png"});
    EXPECT_EQ(img.files[0].parentPath, "docs\\img\\");
    EXPECT_EQ(context.window.ArchiveLevel, 2);

    EXPECT_TRUE(archiveFolderUp(context.window));
    EXPECT_EQ(context.window.currentArchiveFolder, "docs\\");
    EXPECT_EQ(captions(list().files), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(archiveFolderUp(context.window));
    EXPECT_EQ(context.window.currentArchiveFolder, "");
    EXPECT_EQ(list().folders.size(), 3u);

    // Up at the top level leaves the archive.
    EXPECT_FALSE(archiveFolderUp(context.window));
    EXPECT_EQ(context.window.InArchive, 0);
    EXPECT_EQ(context.window.ArchiveLevel, -1);
    EXPECT_EQ(context.window.ListingFresh, 0);
    EXPECT_EQ(context.window.ArchivePath, "");
}

TEST_F(ArchiveListingTest, AnEmptyFolderListsNothing) {
    enterArchiveFolder(context.window, "alpha");
    const ArchiveListing alpha = list();
    EXPECT_TRUE(alpha.folders.empty());
    EXPECT_TRUE(alpha.files.empty());
    EXPECT_EQ(alpha.totals, "Total ");
}

TEST_F(ArchiveListingTest, FirstTopLevelListingReportsItsReadingProgressOnly) {
    std::vector<HandEntry> entries;
    for (int i = 0; i < 120; ++i) entries.push_back({numbered("f", i), false, "", 0, 0});
    writeHandArchive(archive, entries);
    std::vector<std::string> status;
    const auto record = [&](const std::string& text) { status.push_back(text); };
    ASSERT_TRUE(ListArchiveFolder(context, record));
    EXPECT_EQ(status, (std::vector<std::string>{"Reading files : 50", "Reading files : 100", "Reading files : 120"}));
    status.clear();
    ASSERT_TRUE(ListArchiveFolder(context, record));
    EXPECT_TRUE(status.empty());
}

TEST_F(ArchiveListingTest, ListingGoesBeyondThirtyThousandRowsOfAKind) {
    std::vector<HandEntry> entries;
    for (int i = 0; i < 30500; ++i) entries.push_back({numbered("f", i), false, "", 1, 0});
    for (int i = 0; i < 30500; ++i) entries.push_back({numbered("d", i, "\\"), true, "", 0, 0});
    writeHandArchive(archive, entries);
    const ArchiveListing top = list();
    EXPECT_EQ(top.files.size(), 30500u);
    EXPECT_EQ(top.folders.size(), 30500u);
    EXPECT_EQ(top.totals, "Total 30500 folders and 30.500 bytes in 30500 files");
}

TEST_F(ArchiveListingTest, OpeningTellsArchivesFromOtherFiles) {
    const std::string text = folder / "notes.txt";
    writeFile(text, "just some words, long enough to fill a whole header of seventy-six bytes ........");
    EXPECT_EQ(checkArchiveFile(text).result, ArchiveCheck::Result::NotZorArchive);
    EXPECT_EQ(checkArchiveFile(text).message, kNotZorArchiveMessage);

    const ArchiveCheck missing = checkArchiveFile(folder / "missing.zor");
    EXPECT_EQ(missing.result, ArchiveCheck::Result::CannotOpen);
    EXPECT_EQ(missing.message, "Cannot open file");
    EXPECT_EQ(checkArchiveFile(folder.path()).result, ArchiveCheck::Result::CannotOpen);

    // Never finished: archiveSize still -1.
    std::string bytes = readFile(archive);
    bytes[4] = bytes[5] = bytes[6] = bytes[7] = '\xff';
    writeFile(archive, bytes);
    const ArchiveCheck unfinished = checkArchiveFile(archive);
    EXPECT_EQ(unfinished.result, ArchiveCheck::Result::Refused);
    EXPECT_EQ(unfinished.message, kCorruptArchiveMessage);
}

TEST_F(ArchiveListingTest, ListingAVanishedArchiveSaysSo) {
    std::remove(archive.c_str());
    EXPECT_FALSE(ListArchiveFolder(context));
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"Cannot open file"});
}

// Damage applied to the bytes of a one-file archive "a.txt" holding 4 data bytes.
struct Damage {
    const char* what;
    std::size_t offset;
    std::string bytes;
    std::size_t truncateTo;  // 0: keep the length
};

class DamagedArchiveTest : public ArchiveFixture, public testing::WithParamInterface<Damage> {};

TEST_P(DamagedArchiveTest, IsReportedCorruptAndListsNothing) {
    const std::string archive = folder / "damaged.zor";
    writeHandArchive(archive, {{"a.txt", false, "data", 9, 0}});
    std::string bytes = readFile(archive);
    const Damage& damage = GetParam();
    bytes.replace(damage.offset, damage.bytes.size(), damage.bytes);
    if (damage.truncateTo) bytes.resize(damage.truncateTo);
    writeFile(archive, bytes);

    context.window.InArchive = 1;
    context.window.ArchiveLevel = 0;
    context.window.ArchivePath = archive;
    EXPECT_FALSE(ListArchiveFolder(context));
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{kCorruptArchiveMessage});
}

// Offsets: header 0-75, record 76-115 (nameLength at 96), name "a.txt\0" at 116-121, data 122-125.
INSTANTIATE_TEST_SUITE_P(
    Listing, DamagedArchiveTest,
    testing::Values(Damage{"zero name length", 96, std::string("\0\0", 2), 0},
                    Damage{"negative name length", 96, "\xff\xff", 0},
                    Damage{"name past the end", 96, std::string("\x40\x00", 2), 0},
                    Damage{"name without its zero", 121, "X", 0},
                    Damage{"data past the end", 88, std::string("\x00\x01\x00\x00", 4), 0},
                    Damage{"file cut inside the data", 0, "", 124},
                    Damage{"file cut inside the record", 0, "", 100},
                    Damage{"more files than the file holds", 16, std::string("\xff\xff\xff\x7f", 4), 0},
                    Damage{"negative folder count", 20, "\xff\xff\xff\xff", 0}),
    [](const testing::TestParamInfo<Damage>& info) {
        std::string name = info.param.what;
        for (char& c : name) if (c == ' ') c = '_';
        return name;
    });

}  // namespace
}  // namespace zor::test
