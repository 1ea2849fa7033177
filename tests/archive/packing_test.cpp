// packing_test.cpp - archives written by packing: exact witnesses, repeatability, passwords, aborts and failures.
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "archive/archive_reader.h"
#include "archive/cipher.h"
#include "platform/dos_time.h"
#include "tests/archive/archive_fixture.h"

namespace zor::test {
namespace {

std::string le16(uint16_t v) { return {char(v & 0xFF), char(v >> 8)}; }
std::string le32(uint32_t v) { return le16(uint16_t(v)) + le16(uint16_t(v >> 16)); }

// The header a finished archive without a password carries, spelled out byte by byte.
std::string plainHeader(uint32_t archiveSize, int32_t files, int32_t folders) {
    return std::string("ZOR\0", 4) + le32(archiveSize) + le32(0) + le32(0) + le32(files) + le32(folders) +
           std::string("2.00\0\0", 6) + le16(9) + le16(0) + le16(0xFFFF) + std::string(12, '\0') + le16(0xFFFF) +
           std::string("1.56\0\0", 6) + le16(0xFFFF) + le16(0xFFFF) + le16(0xFFFF) + le16(0xFFFF) +
           std::string(12, '\0');
}

std::vector<std::string> folderListing(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    while (dirent* entry = ::readdir(dir)) {
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.push_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> entryNames(const std::string& archive) {
    ArchiveReader reader;
    std::vector<std::string> names;
    if (!reader.open(archive) || reader.readHeader()) return names;
    ArchiveEntry entry;
    while (reader.next(entry) == ArchiveReader::Step::Entry) names.push_back(entry.name);
    return names;
}

using Packing = ArchiveFixture;

TEST_F(Packing, OneEmptyFileGivesThe162ByteArchive) {
    writeFile(folder / "A.txt", "");
    setTime(folder / "A.txt");
    ASSERT_EQ(pack(folder / "out.zor", {"A.txt"}), OperationOutcome::Succeeded);
    const std::string record = le32(toDosDateTime(1700000000)) + le32(0) + le32(0) + le32(0) + le32(32) + le16(6) +
                               le16(0) + le32(0) + le16(0) + std::string(10, '\0');
    const std::string expected = plainHeader(162, 1, 0) + record + std::string("a.txt\0", 6) + record;
    EXPECT_EQ(readFile(folder / "out.zor"), expected);
    EXPECT_TRUE(ui.reports.empty());
}

TEST_F(Packing, OneEmptyFolderGivesThe119ByteArchive) {
    ASSERT_EQ(::mkdir((folder / "d").c_str(), 0755), 0);
    ASSERT_EQ(pack(folder / "out.zor", {"d"}), OperationOutcome::Succeeded);
    const std::string record = le32(0) + le32(1) + le32(0) + le32(0) + le32(0) + le16(3) + le16(0) + le32(3) +
                               le16(0) + std::string(10, '\0');
    EXPECT_EQ(readFile(folder / "out.zor"), plainHeader(119, 0, 1) + record + std::string("d\\\0", 3));
}

TEST_F(Packing, NothingSelectedGivesHeaderAndPlaceholder) {
    ASSERT_EQ(pack(folder / "out.zor", {}), OperationOutcome::Succeeded);
    EXPECT_EQ(readFile(folder / "out.zor"), plainHeader(116, 0, 0) + std::string(40, '\0'));
}

TEST_F(Packing, RepeatsByteForByteAndAPasswordOnlyEnciphersTheData) {
    writeFile(folder / "src/one.txt", std::string(30000, 'a') + "tail");
    writeFile(folder / "src/Two.bin", "some other bytes, repeated repeated repeated");
    writeFile(folder / "src/empty", "");
    for (const char* name : {"src/one.txt", "src/Two.bin", "src/empty"}) setTime(folder / name);

    ASSERT_EQ(pack(folder / "plain1.zor", {"src"}), OperationOutcome::Succeeded);
    ASSERT_EQ(pack(folder / "plain2.zor", {"src"}), OperationOutcome::Succeeded);
    context.packingPassword = "Secret!";
    ASSERT_EQ(pack(folder / "locked1.zor", {"src"}), OperationOutcome::Succeeded);
    ASSERT_EQ(pack(folder / "locked2.zor", {"src"}), OperationOutcome::Succeeded);
    const std::string plain = readFile(folder / "plain1.zor");
    const std::string locked = readFile(folder / "locked1.zor");
    EXPECT_EQ(plain, readFile(folder / "plain2.zor"));
    EXPECT_EQ(locked, readFile(folder / "locked2.zor"));
    ASSERT_EQ(plain.size(), locked.size());

    const ArchiveHeader header = headerOf(folder / "locked1.zor");
    EXPECT_EQ(header.passwordProtected, 1);
    EXPECT_EQ(header.markerLength, 10);
    EXPECT_EQ(header.marker[10], 0);
    CipherState state;
    EXPECT_TRUE(checkPassword(state, header.marker.data(), "Secret!"));

    // Records and names stay in clear; each file's data deciphers on its own keystream.
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(folder / "plain1.zor"));
    ASSERT_FALSE(reader.readHeader());
    ArchiveEntry entry;
    int files = 0;
    while (reader.next(entry) == ArchiveReader::Step::Entry) {
        EXPECT_EQ(locked.substr(entry.offset, entry.dataOffset - entry.offset),
                  plain.substr(entry.offset, entry.dataOffset - entry.offset));
        if (entry.record.packedSize == 0) continue;
        ++files;
        std::string data = locked.substr(entry.dataOffset, entry.record.packedSize);
        resetCipher(state, "Secret!");
        cipherBuffer(state, reinterpret_cast<uint8_t*>(data.data()), data.size());
        EXPECT_EQ(data, plain.substr(entry.dataOffset, entry.record.packedSize)) << entry.name;
    }
    EXPECT_EQ(files, 2);
    EXPECT_EQ(headerOf(folder / "plain1.zor").archiveSize, static_cast<int32_t>(plain.size()));
}

TEST_F(Packing, TotalsRatioAndTrailingRecordDescribeWhatWasWritten) {
    writeFile(folder / "data.txt", std::string(100000, 'z'));
    ASSERT_EQ(pack(folder / "out.zor", {"data.txt"}), OperationOutcome::Succeeded);
    const ArchiveHeader header = headerOf(folder / "out.zor");
    const std::string bytes = readFile(folder / "out.zor");
    EXPECT_EQ(header.totalSize, 100000u);
    EXPECT_EQ(header.numberOfFiles, 1);
    const EntryRecord record = decodeEntryRecord(reinterpret_cast<const uint8_t*>(bytes.data()) + 76);
    EXPECT_EQ(record.size, 100000u);
    EXPECT_EQ(header.totalPackedSize, record.packedSize);
    EXPECT_EQ(header.ratio, static_cast<int16_t>(record.packedSize * 100 / 100000));
    EXPECT_EQ(bytes.size(), 76u + 40 + 9 + record.packedSize + 40);
    EXPECT_EQ(bytes.substr(bytes.size() - 40), bytes.substr(76, 40)) << "trailing copy of the last file's record";
}

TEST_F(Packing, AbortDuringTheSecondFileLeavesNoArchiveAndSourcesUntouched) {
    writeFile(folder / "src/a.txt", std::string(5000, 'a'));
    writeFile(folder / "src/b.txt", std::string(5000, 'b'));
    writeFile(folder / "out.zor", "an older archive");
    int filesSeen = 0;
    ui.onCurrentFile = [&](const std::string& file) {
        if (file.find("b.txt") != std::string::npos || file.find("a.txt") != std::string::npos) {
            if (++filesSeen == 2) ui.abort = true;
        }
    };
    EXPECT_EQ(pack(folder / "out.zor", {"src"}), OperationOutcome::Aborted);
    EXPECT_FALSE(ui.abort) << "the request is cleared";
    EXPECT_EQ(readFile(folder / "out.zor"), "an older archive");
    EXPECT_EQ(folderListing(folder.path()), (std::vector<std::string>{"out.zor", "src"}));
    EXPECT_EQ(readFile(folder / "src/a.txt"), std::string(5000, 'a'));
    EXPECT_TRUE(context.items.empty());
}

TEST_F(Packing, AnInputThatVanishesStopsPackingAndLeavesNoArchive) {
    writeFile(folder / "src/a.txt", std::string(5000, 'a'));
    writeFile(folder / "src/b.txt", std::string(5000, 'b'));
    ui.onCurrentFile = [&](const std::string&) {
        ::unlink((folder / "src/a.txt").c_str());
        ::unlink((folder / "src/b.txt").c_str());
    };
    EXPECT_EQ(pack(folder / "out.zor", {"src"}), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"Cannot open input file"});
    EXPECT_EQ(folderListing(folder.path()), std::vector<std::string>{"src"});
}

TEST_F(Packing, AnArchiveThatCannotBeCreatedIsReported) {
    writeFile(folder / "a.txt", "x");
    EXPECT_EQ(pack(folder / "missing/out.zor", {"a.txt"}), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"Cannot create archive"});
    EXPECT_FALSE(ui.progressShown);
}

TEST_F(Packing, TheArchiveIsNeverPackedIntoItself) {
    writeFile(folder / "src/a.txt", "alpha");
    ASSERT_EQ(pack(folder / "src/self.zor", {"src"}), OperationOutcome::Succeeded);
    ASSERT_EQ(pack(folder / "src/self.zor", {"src"}), OperationOutcome::Succeeded);
    EXPECT_EQ(entryNames(folder / "src/self.zor"), (std::vector<std::string>{"src\\", "src\\a.txt"}));
    EXPECT_EQ(headerOf(folder / "src/self.zor").numberOfFiles, 1);
}

TEST_F(Packing, AFileOf4GiBIsRefusedBeforeAnythingIsWritten) {
    const int fd = ::open((folder / "huge").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t{1} << 32), 0);  // sparse: takes no room
    ::close(fd);
    EXPECT_EQ(pack(folder / "out.zor", {"huge"}), OperationOutcome::Failed);
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_NE(ui.reports[0].text.find("4 GiB"), std::string::npos);
    EXPECT_FALSE(exists(folder / "out.zor"));
}

TEST_F(Packing, AWriteFailureIsReportedAndLeavesNoPartialArchive) {
    std::string noise(300000, '\0');
    uint32_t x = 12345;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    writeFile(folder / "noise.bin", noise);
    // A file-size limit makes writes past 100 kB fail as a full disk would.
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous {};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limit = previous;
    limit.rlim_cur = 100000;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const OperationOutcome outcome = pack(folder / "out.zor", {"noise.bin"});
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(outcome, OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"I/O or other error, bailing out."});
    EXPECT_EQ(folderListing(folder.path()), std::vector<std::string>{"noise.bin"});
    EXPECT_EQ(readFile(folder / "noise.bin"), noise);
}

struct NameCase {
    const char* caption;
    const char* suggestion;
};
class SuggestedName : public testing::TestWithParam<NameCase> {};
TEST_P(SuggestedName, DropsTheLastExtensionOfLongCaptions) {
    EXPECT_EQ(suggestedArchiveName(GetParam().caption), GetParam().suggestion);
}
INSTANTIATE_TEST_SUITE_P(Captions, SuggestedName,
                         testing::Values(NameCase{"report.doc", "report"}, NameCase{"data", "data"},
                                         NameCase{"a.b", "a.b"}, NameCase{"Documents", "Documents"},
                                         NameCase{"a.b.c.d", "a.b.c"}, NameCase{".profile", ".profile"}));

}  // namespace
}  // namespace zor::test
