// unpack_entries_test.cpp - zor-cli unpack with named entries, and unpack --stdout: what is extracted, what is written where.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/cli/cli_runner.h"

namespace zor::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class UnpackEntries : public testing::Test {
protected:
    void SetUp() override {
        writeFile(folder / "src/a.txt", "alpha\n");
        writeFile(folder / "src/docs/b.txt", "bravo\n");
        writeFile(folder / "src/docs/img/c.png", std::string(5000, 'c'));
        writeFile(folder / "src/docs2/d.txt", "delta\n");  // "docs" must not take it
        writeFile(folder / "pw", "secret\n");
        ASSERT_EQ(run({"pack", "-q", "a.zor", "src"}).status, 0);
        ASSERT_EQ(run({"pack", "-q", "locked.zor", "src", "--password-file", "pw"}).status, 0);
    }

    CliResult run(const std::vector<std::string>& args) { return runCli(folder.path(), args); }

    // Every file below `relative`, as paths below it, sorted.
    std::vector<std::string> filesBelow(const std::string& relative) {
        std::vector<std::string> files;
        std::error_code error;
        for (const auto& item : std::filesystem::recursive_directory_iterator(folder / relative, error))
            if (item.is_regular_file()) files.push_back(item.path().lexically_relative(folder / relative).string());
        std::sort(files.begin(), files.end());
        return files;
    }

    TempFolder folder;
};

TEST_F(UnpackEntries, NamedFilesAndFoldersAreExtractedWithTheirPathsAndNothingElse) {
    struct Case {
        const char* label;
        std::vector<std::string> entries;
        std::vector<std::string> files;  // below out/, sorted
        int status;
        const char* message;  // in standard error; "" for none
    };
    const Case cases[] = {
        {"Folder", {"src/docs"}, {"src/docs/b.txt", "src/docs/img/c.png"}, 0, ""},
        {"FolderWithSlash", {"src/docs/"}, {"src/docs/b.txt", "src/docs/img/c.png"}, 0, ""},
        {"InnerFolder", {"src/docs/img"}, {"src/docs/img/c.png"}, 0, ""},
        {"FileInAnyCaseWithBackslashes", {"SRC\\Docs\\B.TXT"}, {"src/docs/b.txt"}, 0, ""},
        {"Several", {"src/a.txt", "src/docs2"}, {"src/a.txt", "src/docs2/d.txt"}, 0, ""},
        {"OneMissing", {"src/a.txt", "src/nope"}, {"src/a.txt"}, 1, "zor-cli: no entry src/nope in a.zor\n"},
        {"AllMissing", {"nope"}, {}, 1, "zor-cli: no entry nope in a.zor\n"},
        {"APrefixIsNoFolder", {"src/doc"}, {}, 1, "no entry src/doc"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(folder / "out");
        std::vector<std::string> args{"unpack", "a.zor", "-d", "out"};
        args.insert(args.end(), c.entries.begin(), c.entries.end());
        const CliResult result = run(args);
        EXPECT_EQ(result.status, c.status) << c.label << ": " << result.err;
        EXPECT_EQ(filesBelow("out"), c.files) << c.label;
        EXPECT_TRUE(contains(result.err, c.message)) << c.label << ": " << result.err;
        if (*c.message == '\0') {
            EXPECT_EQ(result.err, "") << c.label;
        }
    }
}

TEST_F(UnpackEntries, NamedEntriesFollowTheOverwriteRulesAndPasswords) {
    writeFile(folder / "out/src/docs/b.txt", "mine\n");
    const CliResult kept = run({"unpack", "a.zor", "-d", "out", "src/docs", "--overwrite", "skip"});
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_TRUE(contains(kept.err, "zor-cli: skipped out/src/docs/b.txt: it exists already")) << kept.err;
    EXPECT_EQ(readFile(folder / "out/src/docs/b.txt"), "mine\n");
    EXPECT_EQ(readFile(folder / "out/src/docs/img/c.png"), std::string(5000, 'c'));

    const CliResult replaced = run({"unpack", "a.zor", "-d", "out", "src/docs/b.txt", "--overwrite", "all"});
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(readFile(folder / "out/src/docs/b.txt"), "bravo\n");

    const CliResult locked = run({"unpack", "locked.zor", "-d", "locked", "src/a.txt", "--password-file", "pw"});
    EXPECT_EQ(locked.status, 0) << locked.err;
    EXPECT_EQ(filesBelow("locked"), std::vector<std::string>{"src/a.txt"});
    EXPECT_EQ(readFile(folder / "locked/src/a.txt"), "alpha\n");
}

TEST_F(UnpackEntries, StdoutGivesTheNamedFilesInArchiveOrderAndWritesNothingOnDisk) {
    // The order `test` walks the entries in is the archive's.
    std::string inOrder;
    const std::string tested = run({"test", "a.zor"}).out;
    const std::size_t a = tested.find("src\\a.txt:"), b = tested.find("src\\docs\\b.txt:"),
                      c = tested.find("src\\docs\\img\\c.png:");
    ASSERT_TRUE(a != std::string::npos && b != std::string::npos && c != std::string::npos) << tested;
    std::vector<std::pair<std::size_t, std::string>> order{{a, "alpha\n"}, {b, "bravo\n"}, {c, std::string(5000, 'c')}};
    std::sort(order.begin(), order.end());
    for (const auto& [at, bytes] : order) inOrder += bytes;

    const auto before = filesBelow(".");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"unpack", "-c", "a.zor", "src/docs", "src/a.txt"},
          {"unpack", "--stdout", "locked.zor", "src/a.txt", "src/docs", "--password-file", "pw"}}) {
        const CliResult result = run(args);
        EXPECT_EQ(result.status, 0) << args[2] << ": " << result.err;
        EXPECT_EQ(result.out, inOrder) << args[2];
        EXPECT_EQ(result.err, "") << args[2];
    }
    const CliResult missing = run({"unpack", "-c", "a.zor", "src/a.txt", "nope"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "alpha\n");
    EXPECT_TRUE(contains(missing.err, "zor-cli: no entry nope in a.zor")) << missing.err;
    EXPECT_EQ(filesBelow("."), before) << "nothing written on the disk";

    EXPECT_EQ(run({"unpack", "-c", "a.zor", "src/a.txt", "-d", "out"}).status, 2);
}

// Archives with exact names keep their case: a name given in any case finds
// the entry, and unpack, test and list then take the entry itself.
TEST_F(UnpackEntries, ExactNamesInTheirOwnCaseAreFoundByANameInAnyCase) {
    writeFile(folder / "Mixed/Case.TXT", "mixed\n");
    writeFile(folder / "Mixed/Sub/Other.txt", "other\n");
    ASSERT_EQ(run({"pack", "-q", "m.zor", "Mixed"}).status, 0);
    const CliResult tested = run({"test", "m.zor", "mixed/case.txt", "MIXED\\SUB"});
    EXPECT_EQ(tested.status, 0) << tested.err;
    EXPECT_TRUE(contains(tested.out, "Mixed\\Case.TXT: File OK\n")) << tested.out;
    EXPECT_TRUE(contains(tested.out, "Mixed\\Sub\\Other.txt: File OK\n")) << tested.out;
    const CliResult unpacked = run({"unpack", "m.zor", "-d", "out", "mixed/sub"});
    EXPECT_EQ(unpacked.status, 0) << unpacked.err;
    EXPECT_EQ(filesBelow("out"), std::vector<std::string>{"Mixed/Sub/Other.txt"});
    const CliResult listed = run({"list", "m.zor", "mixed/SUB"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_TRUE(contains(listed.out, "Other.txt")) << listed.out;
}

TEST_F(UnpackEntries, StdoutIsRefusedOnATerminal) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    const int none = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const CliResult result = runCliOn(folder.path(), {"unpack", "-c", "a.zor", "src/a.txt"}, none, terminal);
    ::close(none);
    ::close(terminal);
    ::close(master);
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(contains(result.err, "zor-cli: file contents will not be written to a terminal")) << result.err;
}

}  // namespace
}  // namespace zor::test
