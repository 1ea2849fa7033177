// packing_test.cpp - archives written by packing: exact witnesses, repeatability, passwords, aborts and failures.
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "archive/archive_reader.h"
#include "archive/cipher.h"
#include "archive/packing_streams.h"
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
    writeFile(folder / "a.txt", "");
    setTime(folder / "a.txt");
    ASSERT_EQ(pack(folder / "out.zor", {"a.txt"}), OperationOutcome::Succeeded);
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
    EXPECT_EQ(ui.reportTexts(),
              std::vector<std::string>{folder / "src/a.txt" + ": Cannot open input file (No such file or directory)"});
    EXPECT_EQ(folderListing(folder.path()), std::vector<std::string>{"src"});
}

TEST_F(Packing, AnArchiveThatCannotBeCreatedIsReported) {
    writeFile(folder / "a.txt", "x");
    EXPECT_EQ(pack(folder / "missing/out.zor", {"a.txt"}), OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{folder / "missing/out.zor" +
                                                         ": Cannot create archive (No such file or directory)"});
    EXPECT_FALSE(ui.progressShown);
}

// The archive being replaced is left out and named, and the exit status says so.
TEST_F(Packing, TheArchiveIsNeverPackedIntoItself) {
    writeFile(folder / "src/a.txt", "alpha");
    ASSERT_EQ(pack(folder / "src/self.zor", {"src"}), OperationOutcome::Succeeded);
    ui.reports.clear();
    ASSERT_EQ(pack(folder / "src/self.zor", {"src"}), OperationOutcome::Failed);
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_NE(ui.reports[0].text.find("self.zor: Not packed: it is the archive being written"), std::string::npos);
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
    // The driver's text names no file: the report names the one being packed.
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{folder / "noise.bin: I/O or other error, bailing out."});
    EXPECT_EQ(folderListing(folder.path()), std::vector<std::string>{"noise.bin"});
    EXPECT_EQ(readFile(folder / "noise.bin"), noise);
}

// --- what stands at the archive path ------------------------------------------

// Records whether each replace question was told the file is a ZOR archive.
class ReplaceQuestionUi : public ScriptedUi {
public:
    std::vector<bool> toldArchive;
    bool abortAtQuestion = false;  // Ctrl+C while the question waits
    bool confirmArchiveOverwrite(const std::string& path, bool isArchive) override {
        toldArchive.push_back(isArchive);
        const bool answer = ScriptedUi::confirmArchiveOverwrite(path, isArchive);
        if (abortAtQuestion) abort = true;
        return answer && !abortAtQuestion;
    }
};

enum class AtPath { Nothing, Archive, UnfinishedArchive, OtherFile, LinkToFile, ReadOnlyFile, Folder, Fifo };
enum class Answer { Yes, No, CtrlC };

struct ArchivePathCase {
    const char* label;
    AtPath at;
    Answer answer;
    OperationOutcome outcome;
    int asked;         // -1: not asked; 0/1: asked, telling whether it is an archive
    bool replaced;     // the path holds the new archive afterwards
    const char* text;  // the report, after "<path>: "; empty for none
};

class ArchivePath : public testing::TestWithParam<ArchivePathCase> {
protected:
    ArchivePath() : context(ui) {}
    TempFolder folder;
    ReplaceQuestionUi ui;
    OperationContext context;
};

TEST_P(ArchivePath, IsReplacedOnlyWhenItIsAFileOrLinkAndThePersonSaysSo) {
    const ArchivePathCase& c = GetParam();
    const std::string target = folder / "out.zor";
    writeFile(folder / "a.txt", "alpha alpha alpha");
    writeFile(folder / "elsewhere", "the link's target");
    // A finished archive of its own, mode 0600, to stand at the path.
    {
        OperationContext maker(ui);
        maker.selection.push_back({"elsewhere", 0, folder.path()});
        maker.window.ArchivePath = folder / "old.zor";
        ASSERT_EQ(Initialize_Compression(maker), OperationOutcome::Succeeded);
        ::chmod((folder / "old.zor").c_str(), 0600);
    }
    std::string unfinished = readFile(folder / "old.zor");
    unfinished.replace(4, 4, std::string(4, '\xff'));
    switch (c.at) {
    case AtPath::Nothing: break;
    case AtPath::Archive: std::filesystem::rename(folder / "old.zor", target); break;
    case AtPath::UnfinishedArchive: writeFile(target, unfinished); ::chmod(target.c_str(), 0600); break;
    case AtPath::OtherFile: writeFile(target, "a letter"); ::chmod(target.c_str(), 0600); break;
    case AtPath::LinkToFile: ASSERT_EQ(::symlink("elsewhere", target.c_str()), 0); break;
    case AtPath::ReadOnlyFile: writeFile(target, "a letter"); ::chmod(target.c_str(), 0444); break;
    case AtPath::Folder: ASSERT_EQ(::mkdir(target.c_str(), 0755), 0); break;
    case AtPath::Fifo: ASSERT_EQ(::mkfifo(target.c_str(), 0644), 0); break;
    }
    struct stat before {};
    const bool existed = ::lstat(target.c_str(), &before) == 0;
    const std::string oldBytes = existed && S_ISREG(before.st_mode) ? readFile(target) : "";
    ui.replaceArchive = c.answer == Answer::Yes;
    ui.abortAtQuestion = c.answer == Answer::CtrlC;
    ui.reports.clear();

    context.selection.push_back({"a.txt", 0, folder.path()});
    context.window.ArchivePath = target;
    EXPECT_EQ(Initialize_Compression(context), c.outcome);
    EXPECT_FALSE(ui.abort) << "the abort request is cleared once honoured";
    if (c.asked < 0) {
        EXPECT_TRUE(ui.toldArchive.empty());
    } else {
        EXPECT_EQ(ui.archiveOverwriteQuestions, std::vector<std::string>{target});
        EXPECT_EQ(ui.toldArchive, std::vector<bool>{c.asked == 1});
    }
    if (*c.text) {
        EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{target + ": " + c.text});
    } else {
        EXPECT_TRUE(ui.reports.empty()) << ui.reportTexts()[0];
    }

    struct stat after {};
    ASSERT_EQ(::lstat(target.c_str(), &after), existed ? 0 : (c.replaced ? 0 : -1));
    EXPECT_EQ(readFile(folder / "elsewhere"), "the link's target") << "a link's target is never written";
    if (c.replaced) {
        ArchiveReader reader;
        ASSERT_TRUE(S_ISREG(after.st_mode)) << "the link itself is replaced";
        ASSERT_TRUE(reader.open(target));
        EXPECT_FALSE(reader.readHeader());
        const mode_t mask = ::umask(0);
        ::umask(mask);
        const mode_t ordinary = 0666 & ~mask;
        EXPECT_EQ(after.st_mode & 0777, existed && S_ISREG(before.st_mode) ? 0600 : ordinary);
    } else if (existed) {
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        if (S_ISREG(before.st_mode)) {
            EXPECT_EQ(readFile(target), oldBytes);
        }
    }
    // Nothing else was left beside it.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) ++entries;
    EXPECT_EQ(entries, std::size_t(c.at == AtPath::Archive ? 3 : 4) - (existed || c.replaced ? 0 : 1));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArchivePath,
    testing::Values(
        ArchivePathCase{"Nothing", AtPath::Nothing, Answer::No, OperationOutcome::Succeeded, -1, true, ""},
        ArchivePathCase{"ArchiveYes", AtPath::Archive, Answer::Yes, OperationOutcome::Succeeded, 1, true, ""},
        ArchivePathCase{"ArchiveNo", AtPath::Archive, Answer::No, OperationOutcome::Cancelled, 1, false, ""},
        ArchivePathCase{"ArchiveCtrlC", AtPath::Archive, Answer::CtrlC, OperationOutcome::Aborted, 1, false, ""},
        ArchivePathCase{"UnfinishedYes", AtPath::UnfinishedArchive, Answer::Yes, OperationOutcome::Succeeded, 0, true,
                        ""},
        ArchivePathCase{"OtherFileYes", AtPath::OtherFile, Answer::Yes, OperationOutcome::Succeeded, 0, true, ""},
        ArchivePathCase{"OtherFileNo", AtPath::OtherFile, Answer::No, OperationOutcome::Cancelled, 0, false, ""},
        ArchivePathCase{"LinkYes", AtPath::LinkToFile, Answer::Yes, OperationOutcome::Succeeded, 0, true, ""},
        ArchivePathCase{"LinkNo", AtPath::LinkToFile, Answer::No, OperationOutcome::Cancelled, 0, false, ""},
        ArchivePathCase{"ReadOnly", AtPath::ReadOnlyFile, Answer::Yes, OperationOutcome::Failed, -1, false,
                        "Cannot create archive (Permission denied)"},
        ArchivePathCase{"Folder", AtPath::Folder, Answer::Yes, OperationOutcome::Failed, -1, false,
                        "Cannot create archive (it is a folder)"},
        ArchivePathCase{"Fifo", AtPath::Fifo, Answer::Yes, OperationOutcome::Failed, -1, false,
                        "Cannot create archive (it is a FIFO)"}),
    [](const testing::TestParamInfo<ArchivePathCase>& info) { return info.param.label; });

struct SelfCase {
    const char* label;
    const char* archive;  // relative to the scratch folder
    const char* item;     // as selected, in the scratch folder
    bool archiveExists;
    const char* hardLink;  // a second name of the archive, or empty
};

class PackingIntoItself : public ArchiveFixture, public testing::WithParamInterface<SelfCase> {};

TEST_P(PackingIntoItself, ASelectedItemThatIsTheArchiveRefusesThePackEvenWhenReplacingIsAllowed) {
    const SelfCase& c = GetParam();
    writeFile(folder / "notes.txt", "my notes");
    writeFile(folder / "sub/keep.txt", "kept");
    if (c.archiveExists && std::string(c.archive) != "notes.txt") writeFile(folder / c.archive, "old archive");
    if (*c.hardLink) {
        ASSERT_EQ(::link((folder / c.archive).c_str(), (folder / c.hardLink).c_str()), 0);
    }
    const auto before = folderListing(folder.path());
    ui.replaceArchive = true;  // as --force would
    EXPECT_EQ(pack(folder / c.archive, {"sub", c.item}), OperationOutcome::Failed);
    EXPECT_TRUE(ui.archiveOverwriteQuestions.empty()) << "refused before any question";
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_EQ(ui.reports[0].text.rfind(folder / c.item + ": ", 0), 0u) << ui.reports[0].text;
    EXPECT_EQ(readFile(folder / "notes.txt"), "my notes");
    EXPECT_EQ(folderListing(folder.path()), before);
    EXPECT_FALSE(ui.progressShown);
}

INSTANTIATE_TEST_SUITE_P(Cases, PackingIntoItself,
                         testing::Values(SelfCase{"SameFile", "notes.txt", "notes.txt", true, ""},
                                         SelfCase{"HardLink", "old.zor", "twin.zor", true, "twin.zor"},
                                         SelfCase{"NotYetThere", "new.zor", "new.zor", false, ""},
                                         SelfCase{"OtherSpelling", "new.zor", "sub/../new.zor", false, ""}),
                         [](const testing::TestParamInfo<SelfCase>& info) { return info.param.label; });

// --- passwords: nothing in clear on disk --------------------------------------

// The bytes of every file open in this process under `folder` (an unnamed file included) and of every file there.
std::vector<std::string> filesBeingWritten(const std::string& folder) {
    std::vector<std::string> contents;
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const auto target = std::filesystem::read_symlink(fd.path(), error).string();
        if (!error && target.rfind(folder + "/", 0) == 0 && std::filesystem::is_regular_file(fd.path(), error))
            contents.push_back(readFile(fd.path().string()));
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file()) contents.push_back(readFile(entry.path()));
    return contents;
}

// Looks into the archive's folder once the stream is written, before the packer goes on.
class DiskWatchingUi : public ScriptedUi {
public:
    std::string folder;
    std::vector<std::string> seen;
    void setActionLabel(const std::string& text) override {
        const bool streamWritten = text == "Writing to disk and cleaning up unused memory...";
        if (streamWritten && seen.empty()) seen = filesBeingWritten(folder);
        ScriptedUi::setActionLabel(text);
    }
};

class PasswordStreams : public testing::TestWithParam<int> {};

TEST_P(PasswordStreams, NeverReachTheDiskInClearAndGiveTheSameBytesOnEveryThreadCount) {
    TempFolder folder;
    ::mkdir((folder / "out").c_str(), 0755);
    writeFile(folder / "big.bin", noiseBytes(2'500'000, 7) + wordsText(400'000, 3));
    auto packInto = [&](const std::string& archive, std::optional<std::string> password, DiskWatchingUi& ui) {
        OperationContext context(ui);
        ui.folder = folder / "out";
        context.settings.threads = GetParam();
        context.packingPassword = password;
        context.selection.push_back({"big.bin", 0, folder.path()});
        context.window.ArchivePath = archive;
        return Initialize_Compression(context);
    };
    DiskWatchingUi plainUi, lockedUi, oneThreadUi;
    ASSERT_EQ(packInto(folder / "plain.zor", std::nullopt, plainUi), OperationOutcome::Succeeded);
    ASSERT_EQ(packInto(folder / "out/locked.zor", "pass word", lockedUi), OperationOutcome::Succeeded);
    const std::string plain = readFile(folder / "plain.zor");
    const EntryRecord record = decodeEntryRecord(reinterpret_cast<const uint8_t*>(plain.data()) + 76);
    const std::string stream = plain.substr(76 + 40 + 8, record.packedSize);
    ASSERT_GT(stream.size(), 2'000'000u);

    ASSERT_FALSE(lockedUi.seen.empty()) << "the archive being written is open in the folder";
    for (const std::string& bytes : lockedUi.seen) {
        // Any 256 bytes of the stream in clear would give the data away.
        for (std::size_t at = 1000; at + 256 < stream.size(); at += 250'000)
            EXPECT_EQ(bytes.find(stream.substr(at, 256)), std::string::npos) << "clear stream at " << at;
    }
    // The finished archive: the stream enciphered as a whole, and the one-thread bytes.
    const std::string locked = readFile(folder / "out/locked.zor");
    ASSERT_EQ(locked.size(), plain.size());
    std::string data = locked.substr(76 + 40 + 8, record.packedSize);
    CipherState state;
    resetCipher(state, "pass word");
    cipherBuffer(state, reinterpret_cast<uint8_t*>(data.data()), data.size());
    EXPECT_TRUE(data == stream);
    if (GetParam() > 1) {
        oneThreadUi.folder = folder / "out";
        OperationContext one(oneThreadUi);
        one.settings.threads = 1;
        one.packingPassword = "pass word";
        one.selection.push_back({"big.bin", 0, folder.path()});
        one.window.ArchivePath = folder / "one.zor";
        ASSERT_EQ(Initialize_Compression(one), OperationOutcome::Succeeded);
        EXPECT_TRUE(readFile(folder / "one.zor") == locked);
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, PasswordStreams, testing::Values(1, 2));

TEST(PackingStreams, TheEncipheringWriterGivesTheBytesOfEncipheringAtOnceHoweverTheWritesAreCut) {
    TempFolder folder;
    const std::string bytes = noiseBytes(3 * kCipherChunkSize + 77, 5);
    std::string expected = bytes;
    CipherState whole;
    resetCipher(whole, "k3y");
    cipherBuffer(whole, reinterpret_cast<uint8_t*>(expected.data()), expected.size());
    for (std::size_t piece : {std::size_t(1), std::size_t(4999), kCipherChunkSize + 1, bytes.size()}) {
        std::FILE* archive = std::fopen((folder / "out").c_str(), "w+b");
        ASSERT_NE(archive, nullptr);
        CipherState state;
        resetCipher(state, "k3y");
        EncipheringWriter writer(archive, state);
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            ASSERT_EQ(std::fwrite(bytes.data() + at, 1, std::min(piece, bytes.size() - at), writer.stream()),
                      std::min(piece, bytes.size() - at));
        EXPECT_TRUE(writer.close());
        std::fclose(archive);
        EXPECT_TRUE(readFile(folder / "out") == expected) << "writes of " << piece;
    }
}

TEST(PackingStreams, TheLimitedReaderStopsAtItsLimitOrAtTheEndOfTheFile) {
    TempFolder folder;
    writeFile(folder / "in", "0123456789");
    for (const auto& [limit, expected] : std::vector<std::pair<uint64_t, std::string>>{
             {4, "0123"}, {10, "0123456789"}, {25, "0123456789"}, {0, ""}}) {
        LimitedReader reader(::open((folder / "in").c_str(), O_RDONLY), limit);
        ASSERT_NE(reader.stream(), nullptr);
        char buffer[64];
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, reader.stream());
        EXPECT_EQ(std::string(buffer, n), expected);
        EXPECT_EQ(reader.bytesRead(), expected.size());
        EXPECT_TRUE(std::feof(reader.stream()));
    }
}

// The archive writer leaves the bytes that plain positioned writes would, with
// a window small enough that every step crosses or leaves it: writes into
// the window, at its end, before it, past the end of the file (a gap reads as
// zeros), larger than the window, and cuts inside the window and on the disk.
TEST(PackingStreams, TheArchiveWriterLeavesTheBytesOfPlainPositionedWrites) {
    TempFolder folder;
    struct Step {
        int64_t seek;  // from the start; -1: at the end
        std::string bytes;
        int64_t cutTo = -1;  // after the write: the file's new length
    };
    const std::vector<Step> steps{
        {0, "header--"},       {-1, "record1."},     {-1, "stream-one"},  {8, "RECORD1!"},
        {-1, std::string(40, 'x')}, {2, "ad"},        {-1, "tail"},        {90, "past the end"},
        {-1, "0123456789abcdefghij"}, {120, "", 110}, {-1, "after the cut"}, {0, "HEADER"},
        {-1, "short", 20},     {-1, "end"}};
    std::string model;
    ArchiveWriter writer(::open((folder / "out").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644), 16);
    ASSERT_NE(writer.stream(), nullptr);
    for (const Step& step : steps) {
        const std::size_t at = step.seek < 0 ? model.size() : std::size_t(step.seek);
        ASSERT_EQ(::fseeko(writer.stream(), off_t(at), SEEK_SET), 0);
        ASSERT_EQ(std::fwrite(step.bytes.data(), 1, step.bytes.size(), writer.stream()), step.bytes.size());
        if (model.size() < at + step.bytes.size()) model.resize(at + step.bytes.size(), '\0');
        model.replace(at, step.bytes.size(), step.bytes);
        if (step.cutTo >= 0) {
            ASSERT_TRUE(writer.truncate(uint64_t(step.cutTo)));
            model.resize(std::size_t(step.cutTo));
        }
        ASSERT_EQ(::fseeko(writer.stream(), 0, SEEK_END), 0);
        EXPECT_EQ(::ftello(writer.stream()), off_t(model.size())) << "after writing \"" << step.bytes << "\"";
    }
    ASSERT_TRUE(writer.sync());
    EXPECT_EQ(readFile(folder / "out"), model);
    EXPECT_EQ(std::fclose(writer.stream()), 0);
    EXPECT_EQ(readFile(folder / "out"), model);
}

// A write that fails at the disk fails the stream: at the write that sends
// the window to the disk, or at the close that does.
TEST(PackingStreams, TheArchiveWriterReportsAFailedWriteAtTheWriteOrTheClose) {
    ArchiveWriter full(::open("/dev/full", O_WRONLY | O_CLOEXEC), 16);
    if (!full.stream()) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(std::fwrite("in the window", 1, 13, full.stream()), 13u);
    EXPECT_EQ(std::fwrite("past it", 1, 7, full.stream()), 0u);
    EXPECT_TRUE(std::ferror(full.stream()));
    ArchiveWriter closing(::open("/dev/full", O_WRONLY | O_CLOEXEC), 16);
    EXPECT_EQ(std::fwrite("held", 1, 4, closing.stream()), 4u);
    EXPECT_NE(std::fclose(closing.stream()), 0);
}

// --- files that change while they are packed ----------------------------------

// Counts how often the omissions were reported, and keeps their lines.
class OmissionsUi : public ScriptedUi {
public:
    std::vector<std::vector<std::string>> omissionReports;
    void reportOmissions(const std::vector<std::string>& lines) override { omissionReports.push_back(lines); }
};

enum class Change { Shrinks, Grows, Empties };
struct ChangeCase {
    const char* label;
    Change change;
    int threads;
};

class ChangingFile : public testing::TestWithParam<ChangeCase> {};

TEST_P(ChangingFile, IsStoredAsReadNamedAtTheEndAndFailsThePack) {
    const ChangeCase& c = GetParam();
    TempFolder folder;
    OmissionsUi ui;
    OperationContext context(ui);
    context.settings.threads = c.threads;
    // Larger than a block, so no worker has read it before its turn.
    const std::string original = wordsText(1'300'000, 9);
    const std::string victim = folder / "src/big.txt";
    writeFile(victim, original);
    writeFile(folder / "src/after.txt", "the file after it");
    std::string expected = original;
    ui.onCurrentFile = [&](const std::string& label) {
        if (label != "src\\big.txt") return;
        if (c.change == Change::Shrinks) expected.resize(1000);
        if (c.change == Change::Empties) expected.clear();
        if (c.change == Change::Grows) {
            std::ofstream(victim, std::ios::app) << "appended while packed";
        } else {
            ASSERT_EQ(::truncate(victim.c_str(), off_t(expected.size())), 0);
        }
    };
    context.selection.push_back({"src", 0, folder.path()});
    context.window.ArchivePath = folder / "out.zor";
    EXPECT_EQ(Initialize_Compression(context), OperationOutcome::Failed);
    EXPECT_TRUE(ui.reports.empty()) << ui.reportTexts()[0];
    EXPECT_EQ(ui.omissionReports, (std::vector<std::vector<std::string>>{{victim + " changed while it was packed"}}));

    // The record tells what the stream holds, and the header the records' sum.
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(folder / "out.zor"));
    ASSERT_FALSE(reader.readHeader());
    ArchiveEntry entry;
    uint64_t total = 0;
    while (reader.next(entry) == ArchiveReader::Step::Entry) {
        total += entry.record.size;
        EXPECT_TRUE(entryRecordAgrees(entry)) << entry.name;
        if (entry.name == "src\\big.txt") {
            EXPECT_EQ(entry.record.size, expected.size());
            EXPECT_EQ(entry.record.packedSize == 0, expected.empty());
        }
    }
    EXPECT_EQ(reader.header().totalSize, total);
    reader.close();
    ScriptedUi extractUi;
    OperationContext extracting(extractUi);
    extracting.window.ArchivePath = folder / "out.zor";
    ASSERT_EQ(ExtractArchive(extracting, folder / "back"), OperationOutcome::Succeeded) << extractUi.reportTexts()[0];
    EXPECT_TRUE(readFile(folder / "back/src/big.txt") == expected);
    EXPECT_EQ(readFile(folder / "back/src/after.txt"), "the file after it");
}

INSTANTIATE_TEST_SUITE_P(Cases, ChangingFile,
                         testing::Values(ChangeCase{"Shrinks", Change::Shrinks, 1},
                                         ChangeCase{"Grows", Change::Grows, 1},
                                         ChangeCase{"Empties", Change::Empties, 1},
                                         ChangeCase{"ShrinksOnTwoThreads", Change::Shrinks, 2},
                                         ChangeCase{"GrowsOnTwoThreads", Change::Grows, 2}),
                         [](const testing::TestParamInfo<ChangeCase>& info) { return info.param.label; });

TEST_F(Packing, AMissingSelectedItemIsReportedTheRestPackedAndThePackFails) {
    writeFile(folder / "a.txt", "alpha");
    EXPECT_EQ(pack(folder / "out.zor", {"a.txt", "missing"}), OperationOutcome::Failed);
    EXPECT_FALSE(ui.reports.empty());
    EXPECT_EQ(entryNames(folder / "out.zor"), std::vector<std::string>{"a.txt"});
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
