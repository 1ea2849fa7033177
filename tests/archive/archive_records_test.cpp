// archive_records_test.cpp - header and entry record layout, header refusals, and the bounded entry walk.
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "archive/archive_header.h"
#include "archive/archive_reader.h"
#include "archive/entry_record.h"
#include "tests/platform/temp_folder.h"

namespace zor {
namespace {

using test::TempFolder;

std::string bytesOf(const uint8_t* data, std::size_t length) { return std::string(reinterpret_cast<const char*>(data), length); }

// A finished header for `files` and `folders` entries.
ArchiveHeader finishedHeader(int32_t files, int32_t folders) {
    ArchiveHeader header = newArchiveHeader();
    header.numberOfFiles = files;
    header.numberOfDirectories = folders;
    header.archiveSize = 1000;
    return header;
}

std::string entryBytes(const EntryRecord& record, const std::string& nameWithZero, const std::string& data = "") {
    const auto bytes = encodeEntryRecord(record);
    return bytesOf(bytes.data(), bytes.size()) + nameWithZero + data;
}

EntryRecord folderRecord(int16_t nameLength) {
    EntryRecord record;
    record.isFolder = 1;
    record.entryType = kEntryTypeFolder;
    record.nameLength = nameLength;
    return record;
}

TEST(ArchiveHeader, CreationValuesLandAtTheirOffsets) {
    ArchiveHeader header = newArchiveHeader();
    header.totalSize = 0x01020304;
    header.numberOfFiles = 5;
    header.numberOfDirectories = 6;
    const auto b = encodeArchiveHeader(header);
    EXPECT_EQ(bytesOf(b.data(), 4), std::string("ZOR\0", 4));
    EXPECT_EQ(bytesOf(b.data() + 4, 4), "\xff\xff\xff\xff");  // unfinished
    EXPECT_EQ(bytesOf(b.data() + 8, 4), "\x04\x03\x02\x01");
    EXPECT_EQ(bytesOf(b.data() + 12, 4), "\xff\xff\xff\xff");
    EXPECT_EQ(b[16], 5);
    EXPECT_EQ(b[20], 6);
    EXPECT_EQ(bytesOf(b.data() + 24, 6), std::string("2.00\0\0", 6));
    EXPECT_EQ(bytesOf(b.data() + 30, 2), std::string("\x09\x00", 2));
    EXPECT_EQ(bytesOf(b.data() + 32, 4), "\xff\xff\xff\xff");  // ratio, no password
    EXPECT_EQ(bytesOf(b.data() + 36, 12), std::string(12, '\0'));
    EXPECT_EQ(bytesOf(b.data() + 48, 2), "\xff\xff");
    EXPECT_EQ(bytesOf(b.data() + 50, 6), std::string("1.56\0\0", 6));
    EXPECT_EQ(bytesOf(b.data() + 56, 8), std::string(8, '\xff'));  // reserved and unlocked
    EXPECT_EQ(bytesOf(b.data() + 64, 12), std::string(12, '\0'));

    const ArchiveHeader back = decodeArchiveHeader(b.data());
    EXPECT_EQ(encodeArchiveHeader(back), b);
}

TEST(EntryRecord, FieldsLandAtTheirOffsetsAndRoundTrip) {
    EntryRecord record;
    record.fileTime = 0x11223344;
    record.size = 0xA0B0C0D0;
    record.packedSize = 7;
    record.attributes = 33;
    record.nameLength = 0x0102;
    record.depth = -2;
    const auto b = encodeEntryRecord(record);
    EXPECT_EQ(bytesOf(b.data(), 4), "\x44\x33\x22\x11");
    EXPECT_EQ(bytesOf(b.data() + 8, 4), "\xd0\xc0\xb0\xa0");
    EXPECT_EQ(b[12], 7);
    EXPECT_EQ(b[16], 33);
    EXPECT_EQ(bytesOf(b.data() + 20, 2), "\x02\x01");
    EXPECT_EQ(bytesOf(b.data() + 28, 2), "\xfe\xff");
    EXPECT_EQ(encodeEntryRecord(decodeEntryRecord(b.data())), b);
}

struct RefusalCase {
    const char* version;
    const char* minVersion;
    bool refused;
};

class VersionRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(VersionRefusal, ComparesVersionTextsByteWise) {
    ArchiveHeader header = finishedHeader(0, 0);
    std::memset(header.version.data(), 0, 6);
    std::memcpy(header.version.data(), GetParam().version, std::strlen(GetParam().version));
    std::memset(header.minVersion.data(), 0, 6);
    std::memcpy(header.minVersion.data(), GetParam().minVersion, std::strlen(GetParam().minVersion));
    EXPECT_EQ(headerValidationError(header).has_value(), GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionRefusal,
                         testing::Values(RefusalCase{"2.00", "1.55", true}, RefusalCase{"2.00", "1.56", false},
                                         RefusalCase{"2.00", "1.57", false}, RefusalCase{"2.01", "1.56", true},
                                         RefusalCase{"1.99", "1.56", false},
                                         RefusalCase{"10.00", "1.56", false}));  // "1" < "2": older

TEST(ArchiveHeader, RefusalMessagesAreExact) {
    ArchiveHeader header = finishedHeader(0, 0);
    header.signature[2] = 'X';
    EXPECT_EQ(headerValidationError(header), "The header signature is not ZOR, this is not a ZOR archive!");

    header = finishedHeader(0, 0);
    header.archiveSize = -1;
    std::memcpy(header.version.data(), "9.99", 4);  // unfinished wins whatever else the header holds
    EXPECT_EQ(headerValidationError(header), "ZOR archive is corrupt");

    header = finishedHeader(0, 0);
    std::memcpy(header.minVersion.data(), "1.55", 4);
    EXPECT_EQ(headerValidationError(header),
              "Archive structure changed since ZOR version 1.56\n"
              "This archive is made with ZOR version 1.55\n"
              "You need to decompress this archive with ZOR version 1.55 or lower.");

    header = finishedHeader(0, 0);
    std::memcpy(header.version.data(), "2.01", 4);
    EXPECT_EQ(headerValidationError(header),
              "This archive was made with ZOR version 2.01\n"
              "Your ZOR version is 2.00\n"
              "You need to decompress this archive with ZOR version 2.01 or higher.");
}

TEST(ArchiveHeader, RatioTruncatesAndHandlesEmptyAndHugeTotals) {
    EXPECT_EQ(computeRatio(0, 0), 0);
    EXPECT_EQ(computeRatio(50, 0), 0);
    EXPECT_EQ(computeRatio(1, 3), 33);
    EXPECT_EQ(computeRatio(2, 3), 66);  // truncated, not rounded
    EXPECT_EQ(computeRatio(150, 100), 150);
    EXPECT_EQ(computeRatio(0xFFFFFFFFu, 1), 32767);
}

// Writes header + body to a file and returns its path.
std::string archiveFile(const TempFolder& folder, const ArchiveHeader& header, const std::string& body) {
    const auto bytes = encodeArchiveHeader(header);
    test::writeFile(folder / "a.zor", bytesOf(bytes.data(), bytes.size()) + body);
    return folder / "a.zor";
}

TEST(ArchiveReader, WalksCountedEntriesAndIgnoresTrailingBytes) {
    TempFolder folder;
    EntryRecord file;
    file.size = 3;
    file.packedSize = 4;
    file.nameLength = 4;
    file.depth = 1;
    const std::string body = entryBytes(folderRecord(3), std::string("d\\\0", 3)) +
                             entryBytes(file, std::string("d\\f\0", 4), "DATA") + "garbage after the entries";
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(archiveFile(folder, finishedHeader(1, 1), body)));
    ASSERT_EQ(reader.readHeader(), std::nullopt);
    ArchiveEntry entry;
    ASSERT_EQ(reader.next(entry), ArchiveReader::Step::Entry);
    EXPECT_EQ(entry.name, "d\\");
    EXPECT_TRUE(entry.record.folder());
    ASSERT_EQ(reader.next(entry), ArchiveReader::Step::Entry);
    EXPECT_EQ(entry.name, "d\\f");
    EXPECT_EQ(entry.dataOffset, 76u + 43u + 44u);
    EXPECT_EQ(reader.next(entry), ArchiveReader::Step::End);
}

struct DamageCase {
    const char* what;
    int16_t nameLength;
    std::string name;
    uint32_t packedSize;
};

class DamagedRecord : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedRecord, MakesTheArchiveCorruptInsteadOfReadingGarbage) {
    TempFolder folder;
    EntryRecord record;
    record.nameLength = GetParam().nameLength;
    record.packedSize = GetParam().packedSize;
    record.size = 10;
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(archiveFile(folder, finishedHeader(1, 0), entryBytes(record, GetParam().name, "xy"))));
    ASSERT_EQ(reader.readHeader(), std::nullopt);
    ArchiveEntry entry;
    EXPECT_EQ(reader.next(entry), ArchiveReader::Step::Corrupt) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Records, DamagedRecord,
    testing::Values(DamageCase{"zero name length", 0, std::string("a\0", 2), 0},
                    DamageCase{"negative name length", -5, std::string("a\0", 2), 0},
                    DamageCase{"name past the end", 500, std::string("a\0", 2), 0},
                    DamageCase{"name without its zero", 2, "ab", 2},
                    DamageCase{"data past the end", 2, std::string("a\0", 2), 3},
                    DamageCase{"huge data", 2, std::string("a\0", 2), 0xFFFFFFFFu}));

TEST(ArchiveReader, RefusesCountsTheFileCannotHold) {
    TempFolder folder;
    for (const auto& [files, folders] : {std::pair{-1, 0}, std::pair{0, -1}, std::pair{2, 0},
                                         std::pair{0x7FFFFFFF, 0x7FFFFFFF}}) {
        ArchiveReader reader;
        ASSERT_TRUE(reader.open(archiveFile(folder, finishedHeader(files, folders), entryBytes(folderRecord(3), std::string("d\\\0", 3)))));
        EXPECT_EQ(reader.readHeader(), "ZOR archive is corrupt") << files << " " << folders;
    }
}

TEST(ArchiveReader, ShortFilesAreNotArchivesOrCorrupt) {
    TempFolder folder;
    test::writeFile(folder / "tiny", "ZO");
    test::writeFile(folder / "short", std::string("ZOR\0\x10\0", 6));
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(folder / "tiny"));
    EXPECT_EQ(reader.readHeader(), "The header signature is not ZOR, this is not a ZOR archive!");
    ASSERT_TRUE(reader.open(folder / "short"));
    EXPECT_EQ(reader.readHeader(), "ZOR archive is corrupt");
    EXPECT_FALSE(reader.open(folder / "missing"));
    EXPECT_FALSE(reader.open(folder.path())) << "a folder is not an archive";
}

}  // namespace
}  // namespace zor
