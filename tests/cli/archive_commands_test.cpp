// archive_commands_test.cpp - zor-cli's archive commands run as a person runs them: round trips, exit statuses, questions, passwords.
#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>
#include <thread>
#include <utime.h>

#include "archive/archive_reader.h"
#include "tests/cli/cli_runner.h"

namespace zor::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class CliArchiveTest : public testing::Test {
protected:
    CliResult run(const std::vector<std::string>& args, const std::string& input = "") {
        return runCli(folder.path(), args, input);
    }

    // Writes a file with a fixed, even modification time (DOS times keep 2-second steps).
    void put(const std::string& relative, const std::string& bytes, std::time_t when = 1700000000) {
        writeFile(folder / relative, bytes);
        struct utimbuf times { when, when };
        ::utime((folder / relative).c_str(), &times);
    }

    void makeReadOnly(const std::string& relative) { ::chmod((folder / relative).c_str(), 0444); }

    struct stat statusOf(const std::string& relative) {
        struct stat status {};
        EXPECT_EQ(::stat((folder / relative).c_str(), &status), 0) << relative;
        return status;
    }

    bool readOnly(const std::string& relative) { return (statusOf(relative).st_mode & S_IWUSR) == 0; }

    static std::string mixedBytes(std::size_t length, uint32_t seed) {
        std::string bytes;
        for (std::size_t i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            bytes += (i / 1000) % 2 ? char('a' + i % 7) : char(seed >> 24);
        }
        return bytes;
    }

    TempFolder folder;
};

TEST_F(CliArchiveTest, RoundTripKeepsNamesContentsTimesAndReadOnlyState) {
    const std::string blob = mixedBytes(300000, 7);
    put("src/Project/README.md", "# Read me\n", 1600000000);
    put("src/Project/Data/blob.bin", blob, 1650000000);
    put("src/Project/Data/Empty.txt", "", 1700000002);
    put("src/Project/.hidden", "dot file");
    put("src/Project/caf\xc3\xa9 MENU.txt", "accents stay as they are");
    put("src/single.TXT", "one file");
    std::filesystem::create_directories(folder / "src/Project/Nothing");
    makeReadOnly("src/Project/Data/Empty.txt");
    makeReadOnly("src/single.TXT");

    // A plain archive, which names the letter case it loses (hence status 1).
    const CliResult packed = run({"pack", "--plain", "a.zor", "src/Project", "src/single.TXT"});
    ASSERT_EQ(packed.status, 1);
    EXPECT_NE(packed.err.find("src/single.TXT: Packed, but it comes back as single.txt"), std::string::npos) << packed.err;
    const CliResult unpacked = run({"unpack", "a.zor", "-d", "out/new"});
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;

    // Names come back in lower case; other letters are kept.
    EXPECT_EQ(readFile(folder / "out/new/project/readme.md"), "# Read me\n");
    EXPECT_EQ(readFile(folder / "out/new/project/data/blob.bin"), blob);
    EXPECT_EQ(readFile(folder / "out/new/project/data/empty.txt"), "");
    EXPECT_EQ(readFile(folder / "out/new/project/.hidden"), "dot file");
    EXPECT_EQ(readFile(folder / "out/new/project/caf\xc3\xa9 menu.txt"), "accents stay as they are");
    EXPECT_EQ(readFile(folder / "out/new/single.txt"), "one file");
    EXPECT_TRUE(S_ISDIR(statusOf("out/new/project/nothing").st_mode));

    EXPECT_EQ(statusOf("out/new/project/readme.md").st_mtime, 1600000000);
    EXPECT_EQ(statusOf("out/new/project/data/blob.bin").st_mtime, 1650000000);
    EXPECT_EQ(statusOf("out/new/project/data/empty.txt").st_mtime, 1700000002);
    EXPECT_TRUE(readOnly("out/new/project/data/empty.txt"));
    EXPECT_TRUE(readOnly("out/new/single.txt"));
    EXPECT_FALSE(readOnly("out/new/project/readme.md"));

    // The same items packed again give the same bytes.
    ASSERT_EQ(run({"pack", "--plain", "b.zor", "src/Project", "src/single.TXT"}).status, 1);
    EXPECT_EQ(readFile(folder / "a.zor"), readFile(folder / "b.zor"));
}

TEST_F(CliArchiveTest, ExitStatusesTellUsageFailuresAndSuccess) {
    put("src/a.txt", "a");
    put("notes.txt", std::string(100, 'n'));
    ASSERT_EQ(run({"pack", "a.zor", "src"}).status, 0);

    EXPECT_EQ(run({"unpack"}).status, 2);
    EXPECT_EQ(run({"unpack", "a.zor", "--overwrite", "maybe"}).status, 2);
    EXPECT_EQ(run({"pack", "b.zor", "src", "--password", "--password-file", "pw"}).status, 2);
    EXPECT_EQ(run({"pack", "b.zor"}).status, 2);

    const CliResult notArchive = run({"list", "notes.txt"});
    EXPECT_EQ(notArchive.status, 1);
    EXPECT_TRUE(contains(notArchive.err, "The header signature is not ZOR, this is not a ZOR archive!"));
    EXPECT_EQ(run({"info", "missing.zor"}).status, 1);
    EXPECT_EQ(run({"list", "a.zor", "nope"}).status, 1);

    EXPECT_EQ(run({"lock", "a.zor"}).status, 0);
    const CliResult again = run({"lock", "a.zor"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(contains(again.err, "Archive already locked."));
    EXPECT_EQ(run({"lock", "notes.txt"}).status, 1);
    EXPECT_EQ(readFile(folder / "notes.txt"), std::string(100, 'n'));
    EXPECT_TRUE(contains(run({"info", "a.zor"}).out, "Locked:                 Yes"));
}

TEST_F(CliArchiveTest, ListAndInfoShowWhatTheWindowShows) {
    put("src/docs/img/b.png", std::string(3000, 'b'));
    put("src/docs/a.txt", "abc");
    put("src/docs/z.txt", "");
    ASSERT_EQ(run({"pack", "a.zor", "src/docs"}).status, 0);

    const CliResult docs = run({"list", "a.zor", "DOCS"});
    ASSERT_EQ(docs.status, 0) << docs.err;
    std::istringstream lines(docs.out);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        rows.emplace_back(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>());
    }
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"Name", "Size", "Packed", "Type", "Path"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"img", "<DIR>", "docs\\"}));
    ASSERT_EQ(rows[2].size(), 6u);
    EXPECT_EQ(rows[2][0], "a.txt");
    EXPECT_EQ(rows[2][1], "3");
    EXPECT_EQ(rows[3][0], "z.txt");
    EXPECT_EQ(rows[3][1], "0");
    EXPECT_EQ(rows[3][2], "0");
    EXPECT_EQ(rows.back(), (std::vector<std::string>{"Total", "1", "folder", "and", "3", "bytes", "in", "2", "files"}));

    const CliResult img = run({"list", "a.zor", "docs\\img\\"});
    EXPECT_TRUE(contains(img.out, "Total 3.000 bytes in 1 file"));

    const CliResult info = run({"info", "a.zor"});
    EXPECT_TRUE(contains(info.out, "Total size:             3003\n"));
    EXPECT_TRUE(contains(info.out, "Number of files:        3\n"));
    EXPECT_TRUE(contains(info.out, "Number of directories:  2\n"));
    EXPECT_TRUE(contains(info.out, "Password protected:     No\n"));
    EXPECT_TRUE(contains(info.out, "Locked:                 No\n"));
}

TEST_F(CliArchiveTest, TestNamesTheCorruptEntryAndGoesOn) {
    for (const char* name : {"one.txt", "two.txt", "three.txt"}) put(std::string("src/") + name, mixedBytes(5000, name[1]));
    ASSERT_EQ(run({"pack", "a.zor", "src/one.txt", "src/two.txt", "src/three.txt"}).status, 0);
    EXPECT_EQ(run({"test", "a.zor"}).status, 0);

    // Damage the middle of the second entry's stream.
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(folder / "a.zor"));
    ASSERT_FALSE(reader.readHeader());
    ArchiveEntry entry;
    ASSERT_EQ(reader.next(entry), ArchiveReader::Step::Entry);
    ASSERT_EQ(reader.next(entry), ArchiveReader::Step::Entry);
    reader.close();
    std::string bytes = readFile(folder / "a.zor");
    bytes[entry.dataOffset + entry.record.packedSize / 2] ^= 0x55;
    writeFile(folder / "a.zor", bytes);

    const CliResult all = run({"test", "a.zor"});
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(all.out, "one.txt: File OK\nthree.txt: File OK\n");
    EXPECT_TRUE(contains(all.err, "two.txt is corrupt"));

    const CliResult named = run({"test", "a.zor", "THREE.txt"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, "three.txt: File OK\n");
    EXPECT_EQ(run({"test", "a.zor", "two.txt"}).status, 1);
    const CliResult missing = run({"test", "a.zor", "four.txt", "one.txt"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "one.txt: File OK\n");
}

TEST_F(CliArchiveTest, ThreadsChangeNeitherTheFilesNorTheMessagesOfUnpackAndTest) {
    for (int i = 0; i < 30; ++i) put("src/f" + std::to_string(i), mixedBytes(3000 + 100 * i, i));
    put("src/big.bin", mixedBytes(2500000, 3));
    ASSERT_EQ(run({"pack", "a.zor", "src"}).status, 0);
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(folder / "a.zor"));
    ASSERT_FALSE(reader.readHeader());
    ArchiveEntry entry;
    for (int i = 0; i < 12; ++i) ASSERT_EQ(reader.next(entry), ArchiveReader::Step::Entry);
    reader.close();
    std::string bytes = readFile(folder / "a.zor");
    bytes[entry.dataOffset + entry.record.packedSize / 2] ^= 0x55;
    writeFile(folder / "a.zor", bytes);

    const CliResult testedOnce = run({"test", "a.zor", "--threads", "1"});
    const CliResult tested = run({"test", "a.zor", "--threads", "3"});
    EXPECT_EQ(testedOnce.status, 1);
    EXPECT_EQ(tested.status, testedOnce.status);
    EXPECT_EQ(tested.out, testedOnce.out);
    EXPECT_EQ(tested.err, testedOnce.err);

    const CliResult unpackedOnce = run({"unpack", "-q", "a.zor", "-d", "one", "--threads", "1"});
    const CliResult unpacked = run({"unpack", "-q", "a.zor", "-d", "three", "--threads", "3"});
    EXPECT_EQ(unpacked.status, unpackedOnce.status);
    for (int i = 0; i < 30; ++i) {
        const std::string name = "/src/f" + std::to_string(i);
        EXPECT_EQ(readFile(folder / ("three" + name)), readFile(folder / ("one" + name))) << name;
    }
    EXPECT_EQ(readFile(folder / "three/src/big.bin"), mixedBytes(2500000, 3));
    EXPECT_EQ(run({"unpack", "a.zor", "--threads", "0"}).status, 2);
}

TEST_F(CliArchiveTest, TestOfAFolderCoversEverythingBeneathIt) {
    put("src/d/x/deep.txt", "deep");
    put("src/d/top.txt", "top");
    put("src/other.txt", "other");
    ASSERT_EQ(run({"pack", "a.zor", "src/d", "src/other.txt"}).status, 0);
    const CliResult folderOnly = run({"test", "a.zor", "d/x/"});
    EXPECT_EQ(folderOnly.status, 0);
    EXPECT_EQ(folderOnly.out, "d\\x\\: File OK\nd\\x\\deep.txt: File OK\n");
}

class CliOverwriteTest : public CliArchiveTest {
protected:
    void SetUp() override {
        for (const char* name : {"f1", "f2", "f3"}) put(std::string("src/") + name, std::string("new ") + name);
        ASSERT_EQ(run({"pack", "a.zor", "src/f1", "src/f2", "src/f3"}).status, 0);
        for (const char* name : {"f1", "f2", "f3"}) put(std::string("out/") + name, "old");
    }
    std::string contentOf(const char* name) { return readFile(folder / (std::string("out/") + name)); }
};

TEST_F(CliOverwriteTest, WithoutATerminalExistingFilesAreSkippedAndNamed) {
    const CliResult result = run({"unpack", "a.zor", "-d", "out"});
    EXPECT_EQ(result.status, 0);
    for (const char* name : {"f1", "f2", "f3"}) {
        EXPECT_EQ(contentOf(name), "old");
        EXPECT_TRUE(contains(result.err, std::string("skipped out/") + name)) << result.err;
    }
}

TEST_F(CliOverwriteTest, AskTakesNoThenAllForTheRest) {
    const CliResult result = run({"unpack", "a.zor", "-d", "out", "--overwrite", "ask"}, "n\na\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(contentOf("f1"), "old");
    EXPECT_EQ(contentOf("f2"), "new f2");
    EXPECT_EQ(contentOf("f3"), "new f3");
    EXPECT_TRUE(contains(result.err, "File out/f1 already exists. Overwrite ?"));
    EXPECT_FALSE(contains(result.err, "File out/f3 already exists"));
}

TEST_F(CliOverwriteTest, ReadOnlyFilesAreAskedAboutAgainAndStayReadOnly) {
    makeReadOnly("out/f1");
    makeReadOnly("out/f2");
    const CliResult asked = run({"unpack", "a.zor", "-d", "out", "--overwrite", "ask"}, "y\nn\ny\ny\nn\n");
    EXPECT_TRUE(contains(asked.err, "File out/f1 is read-only. Overwrite ?"));
    EXPECT_EQ(contentOf("f1"), "old");     // Yes, then No to the warning
    EXPECT_EQ(contentOf("f2"), "new f2");  // Yes, then Yes
    EXPECT_TRUE(readOnly("out/f2"));
    EXPECT_EQ(contentOf("f3"), "old");     // No

    EXPECT_EQ(run({"unpack", "a.zor", "-d", "out", "--overwrite", "all"}).status, 0);
    for (const char* name : {"f1", "f2", "f3"}) EXPECT_EQ(contentOf(name), std::string("new ") + name);
    EXPECT_TRUE(readOnly("out/f1"));
}

TEST_F(CliArchiveTest, PasswordFilesProtectAndOpenArchives) {
    put("src/secret.txt", mixedBytes(20000, 3));
    put("pw", "s3cret\n");
    put("pw-crlf", "s3cret\r\nthe second line is not part of it\n");
    put("wrong", "guess\n");
    put("empty", "\n");
    put("long", std::string(51, 'x'));
    ASSERT_EQ(run({"pack", "a.zor", "src/secret.txt", "--password-file", "pw"}).status, 0);
    ASSERT_EQ(run({"pack", "b.zor", "src/secret.txt", "--password-file", "pw-crlf"}).status, 0);
    EXPECT_EQ(readFile(folder / "a.zor"), readFile(folder / "b.zor"));
    EXPECT_TRUE(contains(run({"info", "a.zor"}).out, "Password protected:     Yes"));

    const CliResult wrong = run({"unpack", "a.zor", "-d", "out", "--password-file", "wrong"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_TRUE(contains(wrong.err, "Password is not correct!"));
    EXPECT_FALSE(std::filesystem::exists(folder / "out/secret.txt"));
    const CliResult none = run({"test", "a.zor"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(contains(none.err, "--password-file"));

    EXPECT_EQ(run({"test", "a.zor", "--password-file", "pw"}).out, "secret.txt: File OK\n");
    ASSERT_EQ(run({"unpack", "a.zor", "-d", "out", "--password-file", "pw"}).status, 0);
    EXPECT_EQ(readFile(folder / "out/secret.txt"), readFile(folder / "src/secret.txt"));

    EXPECT_EQ(run({"pack", "c.zor", "src", "--password-file", "empty"}).status, 2);
    EXPECT_EQ(run({"pack", "c.zor", "src", "--password-file", "long"}).status, 2);
    EXPECT_EQ(run({"pack", "c.zor", "src", "--password-file", "missing"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(folder / "c.zor"));
}

TEST_F(CliArchiveTest, CtrlCAbortsPackingAndLeavesNoArchive) {
    put("src/big.bin", mixedBytes(4'000'000, 11));
    CliProcess pack(folder.path(), {"pack", "a.zor", "src/big.bin"});
    // Wait until the archive is being written (it may have no name yet), then press Ctrl+C.
    const auto writing = [&] {
        for (const std::string& file : openFilesOf(pack.pid()))
            if (file.rfind(folder.path() + "/", 0) == 0 && file.find("/src/") == std::string::npos) return true;
        return false;
    };
    while (pack.running() && !writing()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    pack.interrupt();
    const CliResult result = pack.wait();
    if (result.status == 0) GTEST_SKIP() << "packing ended before Ctrl+C arrived";
    EXPECT_EQ(result.status, 130);
    EXPECT_TRUE(contains(result.err, "zor-cli: aborted")) << result.err;
    for (const auto& file : std::filesystem::directory_iterator(folder.path()))
        EXPECT_EQ(file.path().filename().string().rfind("a.zor", 0), std::string::npos) << file.path();
    EXPECT_EQ(readFile(folder / "src/big.bin").size(), 4'000'000u);
}

struct ExistingCase {
    const char* label;
    const char* what;  // "archive", "letter", "folder" or "link"
    bool force;
    int status;
    const char* message;  // part of standard error
    bool replaced;
};

class CliExistingArchivePath : public CliArchiveTest, public testing::WithParamInterface<ExistingCase> {
protected:
    // What stands at `relative`, never following a link.
    std::string whatIsAt(const std::string& relative) {
        const auto path = folder / relative;
        const auto status = std::filesystem::symlink_status(path);
        if (std::filesystem::is_symlink(status)) return "link to " + std::filesystem::read_symlink(path).string();
        if (std::filesystem::is_directory(status)) return "folder";
        return "file " + readFile(path) + " mode " + std::to_string(statusOf(relative).st_mode);
    }
};

TEST_P(CliExistingArchivePath, IsReplacedOnlyWithForceWhenNoTerminalCanAsk) {
    const ExistingCase& c = GetParam();
    put("src/new.txt", "new contents");
    put("letter.txt", "dear reader");
    ASSERT_EQ(run({"pack", "older.zor", "letter.txt"}).status, 0);
    const std::string what = c.what;
    if (what == "archive") std::filesystem::rename(folder / "older.zor", folder / "out.zor");
    if (what == "letter") put("out.zor", "not an archive");
    if (what == "folder") std::filesystem::create_directory(folder / "out.zor");
    if (what == "link") std::filesystem::create_symlink("letter.txt", folder / "out.zor");
    const std::string before = whatIsAt("out.zor");

    std::vector<std::string> args{"pack", "out.zor", "src/new.txt"};
    if (c.force) args.push_back("--force");
    const CliResult result = run(args);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_TRUE(contains(result.err, c.message)) << result.err;
    EXPECT_EQ(readFile(folder / "letter.txt"), "dear reader") << "nothing is written through a link";
    if (c.replaced) {
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(folder / "out.zor")));
        EXPECT_TRUE(contains(run({"list", "out.zor"}).out, "new.txt"));
    } else {
        EXPECT_EQ(whatIsAt("out.zor"), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliExistingArchivePath,
    testing::Values(
        ExistingCase{"Archive", "archive", false, 1,
                     "zor-cli: out.zor already exists; nothing was packed (--force replaces it)", false},
        ExistingCase{"ArchiveForced", "archive", true, 0, "", true},
        ExistingCase{"NotAnArchive", "letter", false, 1, "out.zor already exists and is not a ZOR archive", false},
        ExistingCase{"NotAnArchiveForced", "letter", true, 0, "", true},
        ExistingCase{"Link", "link", false, 1, "out.zor already exists and is not a ZOR archive", false},
        ExistingCase{"LinkForced", "link", true, 0, "", true},
        ExistingCase{"Folder", "folder", false, 1, "zor-cli: out.zor: Cannot create archive (it is a folder)", false},
        ExistingCase{"FolderForced", "folder", true, 1, "Cannot create archive (it is a folder)", false}),
    [](const testing::TestParamInfo<ExistingCase>& info) { return info.param.label; });

TEST_F(CliArchiveTest, AnItemThatIsTheArchiveIsRefusedEvenWithForce) {
    put("notes.txt", "my notes");
    for (const auto& args : std::vector<std::vector<std::string>>{{"pack", "notes.txt", "notes.txt"},
                                                                  {"pack", "-f", "notes.txt", "notes.txt"},
                                                                  {"pack", "-f", "./new.zor", "new.zor"}}) {
        const CliResult result = run(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(contains(result.err, "it cannot be packed into itself")) << result.err;
    }
    EXPECT_EQ(readFile(folder / "notes.txt"), "my notes");
    EXPECT_FALSE(std::filesystem::exists(folder / "new.zor"));
}

TEST_F(CliArchiveTest, ASelectionWithAMissingItemPacksTheRestAndFails) {
    put("a.txt", "alpha");
    const CliResult result = run({"pack", "out.zor", "a.txt", "missing"});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_TRUE(contains(result.err, "missing")) << result.err;
    EXPECT_TRUE(contains(run({"list", "out.zor"}).out, "a.txt"));
}

TEST_F(CliArchiveTest, PasswordFilesAreReadOnlyAsFarAsAPasswordGoes) {
    put("sixty", std::string(60, 'p') + "\n");
    put("fifty", std::string(50, 'p') + "\r\n");
    put("src/a.txt", "alpha");
    struct Case {
        const char* file;
        int status;
        const char* message;
    };
    for (const Case& c : {Case{"/dev/zero", 2, "longer than 50 characters"},
                          Case{"sixty", 2, "longer than 50 characters"}, Case{"fifty", 0, ""}}) {
        CliProcess pack(folder.path(), {"pack", "-f", "out.zor", "src/a.txt", "--password-file", c.file});
        for (int waited = 0; pack.running() && waited < 500; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (pack.running()) {
            pack.interrupt();
            ADD_FAILURE() << c.file << " is still being read after 5 s";
        }
        const CliResult result = pack.wait();
        EXPECT_EQ(result.status, c.status) << c.file << ": " << result.err;
        EXPECT_TRUE(contains(result.err, c.message)) << result.err;
    }
}

TEST_F(CliArchiveTest, AMessageOfSeveralLinesKeepsItsLineBreaks) {
    put("a.txt", "alpha");
    ASSERT_EQ(run({"pack", "a.zor", "a.txt"}).status, 0);
    std::string bytes = readFile(folder / "a.zor");
    bytes.replace(50, 4, "1.55");  // minVersion: an older structure
    writeFile(folder / "a.zor", bytes);
    const CliResult result = run({"list", "a.zor"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "zor-cli: a.zor: Archive structure changed since ZOR version 1.56\n"
              "zor-cli: This archive is made with ZOR version 1.55\n"
              "zor-cli: You need to decompress this archive with ZOR version 1.55 or lower.\n");
}

}  // namespace
}  // namespace zor::test
