// own_archive_test.cpp - extraction never overwrites the archive it is reading, whatever the person answers.
//
// An archive may hold an entry with the archive's own name (packed
// elsewhere, or crafted). Extracting it next to itself with "overwrite all"
// used to truncate the archive while it was being read: the archive was
// lost and every later entry came out empty.
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/archive/archive_fixture.h"
#include "tests/hardening/hardening_support.h"

namespace zor::test {
namespace {

class OwnArchiveTest : public ArchiveFixture {
protected:
    void SetUp() override {
        writeFile(folder / "src/a.txt", "first\n");
        writeFile(folder / "src/self.zor", std::string(5000, 'x'));
        writeFile(folder / "src/z.txt", "last\n");
        std::filesystem::create_directory(folder / "out");
        ASSERT_EQ(pack(folder / "out/self.zor", {"a.txt", "self.zor", "z.txt"}, folder / "src"),
                  OperationOutcome::Succeeded);
        archive = readFile(folder / "out/self.zor");
    }

    std::string archive;
};

TEST_F(OwnArchiveTest, TheArchiveIsSkippedWithAMessageAndTheOtherEntriesAreExtracted) {
    ui.questionAnswers.assign(3, QuestionAnswer::All);
    EXPECT_EQ(extract(folder / "out/self.zor", folder / "out"), OperationOutcome::Failed);
    EXPECT_EQ(readFile(folder / "out/self.zor"), archive);
    EXPECT_EQ(readFile(folder / "out/a.txt"), "first\n");
    EXPECT_EQ(readFile(folder / "out/z.txt"), "last\n");
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_NE(ui.reports[0].text.find("is the archive being extracted"), std::string::npos) << ui.reports[0].text;
    EXPECT_TRUE(ui.questions.empty()) << "nobody should be asked to overwrite the archive";
}

TEST_F(OwnArchiveTest, AHardLinkToTheArchiveIsNotOverwrittenEither) {
    ASSERT_EQ(::link((folder / "out/self.zor").c_str(), (folder / "elsewhere.zor").c_str()), 0);
    ui.questionAnswers.assign(3, QuestionAnswer::All);
    EXPECT_EQ(extract(folder / "elsewhere.zor", folder / "out"), OperationOutcome::Failed);
    EXPECT_EQ(readFile(folder / "elsewhere.zor"), archive);
}

TEST_F(OwnArchiveTest, ZorCliKeepsTheArchiveAndExitsWithOne) {
    const CliResult result = runCli(folder / "out", {"unpack", "-q", "self.zor", "--overwrite", "all"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("is the archive being extracted"), std::string::npos) << result.err;
    EXPECT_EQ(readFile(folder / "out/self.zor"), archive);
    EXPECT_EQ(readFile(folder / "out/z.txt"), "last\n");
}

}  // namespace
}  // namespace zor::test
