// exact_block_test.cpp - stored names in Windows-1252, and which exact-restore blocks a reader believes.
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/archive_listing.h"
#include "archive/archive_reader.h"
#include "archive/entry_names.h"
#include "archive/exact_block.h"
#include "archive/extraction.h"
#include "tests/archive/archive_fixture.h"

namespace zor::test {
namespace {

TEST(StoredNames, EachComponentInWindows1252WhenItCanBeAndTheBlockOnlyWhenReadingLosesTheName) {
    struct Case {
        std::string disk;
        std::string stored;
        bool needsBlock;
    };
    const Case cases[] = {
        {"readme.txt", "readme.txt", false},
        {"Docs/README", "docs\\readme", true},
        {"r\xC3\xA9sum\xC3\xA9.txt", "r\xE9sum\xE9.txt", false},             // résumé.txt
        {"\xE2\x82\xACuro \xC5\x93uvre", "\x80uro \x9Cuvre", false},          // €uro œuvre
        {"\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80", "\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80", false},  // CJK, emoji
        {"caf\xC3\xA9/\xE4\xB8\xAD", "caf\xE9\\\xE4\xB8\xAD", false},          // decided per component
        {"\xC3\x83\xC2\xA9", "\xC3\xA9", true},   // "Ã©" in Windows-1252 is the UTF-8 of "é"
        {"\xE9t\xE9", "\xE9t\xE9", true},         // not UTF-8 on disk: reads back as "été"
        {"\xC2\x81", "\xC2\x81", false},          // U+0081 is no character of the code page
        {"Caf\xC3\xA9", "caf\xE9", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disk);
        EXPECT_EQ(toEntryName(c.disk), c.stored);
        std::string exact = c.disk;
        std::replace(exact.begin(), exact.end(), '/', '\\');
        EXPECT_EQ(storedNameLosesExactName(exact), c.needsBlock);
    }
    EXPECT_EQ(readableEntryName("r\xE9sum\xE9.txt"), "r\xC3\xA9sum\xC3\xA9.txt");
    EXPECT_EQ(readableEntryName("\x81\\x"), "\xC2\x81\\x");
}

class ExactBlockTest : public ArchiveFixture {
protected:
    // A plain archive of a folder and an empty file, stored as "docs\" and "docs\readme".
    std::string plainArchive() {
        const std::string path = folder.path() + "/plain.zor";
        writeHandArchive(path, {{"docs\\", true, "", 0, 0}, {"docs\\readme", false, "", 0, 1}});
        return readFile(path);
    }

    static std::vector<ExactRecord> soundRecords() {
        ExactRecord docs{ExactKind::Folder, 0700, 1600000000, 5, "Docs\\", ""};
        ExactRecord readme{ExactKind::File, 0600, 1600000001, 999999999, "Docs\\README", ""};
        return {docs, readme};
    }

    static std::string blockOf(const std::vector<ExactRecord>& records) {
        const auto block = encodeExactBlock(records);
        return asBytes(block.data(), block.size());
    }

    // The names a reader gives the archive's entries, and whether it believed a block.
    std::pair<std::vector<std::string>, bool> namesRead(const std::string& bytes) {
        const std::string path = folder.path() + "/read.zor";
        writeFile(path, bytes);
        ArchiveReader reader;
        EXPECT_TRUE(reader.open(path));
        EXPECT_FALSE(reader.readHeader());
        std::vector<std::string> names;
        ArchiveEntry entry;
        while (reader.next(entry) == ArchiveReader::Step::Entry) names.push_back(entry.name);
        return {names, reader.hasExactBlock()};
    }
};

TEST_F(ExactBlockTest, ASoundBlockGivesExactNamesAndAnyDoubtReadsThePlainArchive) {
    const std::string plain = plainArchive();
    auto renamed = soundRecords();
    renamed[1].name = "Docs\\READ";
    auto retyped = soundRecords();
    retyped[1].kind = ExactKind::Folder;
    retyped[1].name += "\\";
    auto more = soundRecords();
    more.push_back(more[1]);
    const std::string sound = blockOf(soundRecords());
    std::string flipped = sound;
    flipped[20] ^= 0x04;
    std::string badCrc = sound;
    badCrc[sound.size() - 12] ^= 0x01;
    std::string tooLong = sound;
    tooLong[sound.size() - 16] = '\x7F';  // the body would reach back into the entries
    struct Case {
        const char* what;
        std::string appended;
        bool believed;
    };
    const Case cases[] = {
        {"sound", sound, true},
        {"after other bytes", std::string(40, 'x') + sound, true},
        {"truncated", sound.substr(0, sound.size() - 1), false},
        {"first byte gone", sound.substr(1), false},
        {"a bit flipped", flipped, false},
        {"a wrong CRC", badCrc, false},
        {"a length past the entries", tooLong, false},
        {"too few records", blockOf({soundRecords()[0]}), false},
        {"too many records", blockOf(more), false},
        {"an exact name that is not the stored one", blockOf(renamed), false},
        {"a file recorded as a folder", blockOf(retyped), false},
        {"nothing", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto [names, believed] = namesRead(plain + c.appended);
        EXPECT_EQ(believed, c.believed);
        const std::vector<std::string> expected = c.believed ? std::vector<std::string>{"Docs\\", "Docs\\README"}
                                                             : std::vector<std::string>{"docs\\", "docs\\readme"};
        EXPECT_EQ(names, expected);
    }
}

TEST_F(ExactBlockTest, DecodingRefusesRecordsThatCannotBeAndCountsBeyondTheBody) {
    auto block = encodeExactBlock(soundRecords());
    const std::size_t body = block.size() - kExactTrailerSize;
    ASSERT_TRUE(decodeExactBlock(block.data(), body, 2));
    EXPECT_FALSE(decodeExactBlock(block.data(), body, 3));
    EXPECT_FALSE(decodeExactBlock(block.data(), body, 1'000'000'000));
    auto setuid = block;
    setuid[16 + 2 + 1] = 0x08;  // mode 04xxx
    EXPECT_FALSE(decodeExactBlock(setuid.data(), body, 2));
    auto link = soundRecords();
    link[1].kind = ExactKind::Link;  // a link without a target
    const auto linkBlock = encodeExactBlock(link);
    EXPECT_FALSE(decodeExactBlock(linkBlock.data(), linkBlock.size() - kExactTrailerSize, 2));
}

TEST_F(ExactBlockTest, NamesOfTheWindowsProgramListAndExtractInUtf8) {
    const std::string archive = folder.path() + "/windows.zor";
    writeHandArchive(archive, {{"caf\xE9\\", true, "", 0, 0}, {"caf\xE9\\r\xE9sum\xE9.txt", false, "", 0, 1}});
    context.window.ArchivePath = archive;
    context.window.ArchiveLevel = 1;
    context.window.currentArchiveFolder = "caf\xC3\xA9\\";
    const auto listing = ListArchiveFolder(context);
    ASSERT_TRUE(listing);
    ASSERT_EQ(listing->files.size(), 1u);
    EXPECT_EQ(listing->files[0].caption, "r\xC3\xA9sum\xC3\xA9.txt");
    EXPECT_EQ(extract(archive, folder.path() + "/out"), OperationOutcome::Succeeded);
    EXPECT_TRUE(exists(folder.path() + "/out/caf\xC3\xA9/r\xC3\xA9sum\xC3\xA9.txt"));
}

TEST_F(ExactBlockTest, NoEntryIsWrittenThroughALinkTheArchiveMakes) {
    const std::string outside = folder.path() + "/outside";
    ASSERT_EQ(::mkdir(outside.c_str(), 0755), 0);
    const std::string archive = folder.path() + "/link.zor";
    writeHandArchive(archive, {{"out", false, "", static_cast<uint32_t>(outside.size()), 0},
                               {"out\\evil", false, "", 0, 1}});
    const ExactRecord link{ExactKind::Link, 0777, 1600000000, 0, "out", outside};
    const ExactRecord evil{ExactKind::File, 0644, 1600000000, 0, "out\\evil", ""};
    writeFile(archive, readFile(archive) + blockOf({link, evil}));
    const std::string destination = folder.path() + "/dest";
    EXPECT_EQ(extract(archive, destination), OperationOutcome::Failed);
    char target[4096] = {};
    ASSERT_GT(::readlink((destination + "/out").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), outside);
    EXPECT_FALSE(exists(outside + "/evil"));
    std::string reported;
    for (const std::string& text : ui.reportTexts()) reported += text + "\n";
    EXPECT_NE(reported.find("Entry \"out\\evil\""), std::string::npos) << reported;
    EXPECT_NE(reported.find("symbolic link"), std::string::npos) << reported;
}

}  // namespace
}  // namespace zor::test
