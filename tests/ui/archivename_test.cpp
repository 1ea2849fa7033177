// archivename_test.cpp - the proposed archive name, the forced ".zor" extension and the archive path.
#include "ui/archivename.h"

#include <gtest/gtest.h>

namespace zor {
namespace {

struct NameCase {
    const char* input;
    const char* expected;
};

class ProposedBaseName : public testing::TestWithParam<NameCase> {};

TEST_P(ProposedBaseName, CutsTheLastExtensionOfLongCaptions) {
    EXPECT_EQ(proposeArchiveBaseName(QString::fromUtf8(GetParam().input)), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Captions, ProposedBaseName,
    testing::Values(NameCase{"report.txt", "report"}, NameCase{"Documents", "Documents"},
                    NameCase{"a.b", "a.b"},                       // 4 characters or fewer: whole
                    NameCase{"ab.c", "ab.c"},                     // exactly 4: whole
                    NameCase{"abc.d", "abc"},                     // 5: cut
                    NameCase{"backup.tar.gz", "backup.tar"},      // only the last "." goes
                    NameCase{".bashrc", ".bashrc"},               // the only "." is the first character
                    NameCase{".config.old", ".config"},           // a later "." still counts
                    NameCase{"notes.", "notes"},
                    NameCase{"", ""}, NameCase{"Ünïcødé.txt", "Ünïcødé"}));

class ForcedExtension : public testing::TestWithParam<NameCase> {};

TEST_P(ForcedExtension, ReplacesFromTheFirstDotOrAppends) {
    EXPECT_EQ(forceZorExtension(QString::fromUtf8(GetParam().input)), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Names, ForcedExtension,
    testing::Values(NameCase{"backup", "backup.zor"}, NameCase{"backup.tar.gz", "backup.zor"},
                    NameCase{"a.b.txt", "a.zor"}, NameCase{"a.b.zor", "a.zor"}, NameCase{"backup.zor", "backup.zor"},
                    NameCase{"backup.", "backup.zor"}, NameCase{".hidden", ".zor"}));

TEST(ForcedExtensionLimits, DotsAndEndsNearTheNameLimit) {
    // A dot at position 245 still leaves room for "zor" (245 + 4 < 250).
    const QString dotAt245 = QString(245, QLatin1Char('n')) + QStringLiteral(".txt");
    EXPECT_EQ(forceZorExtension(dotAt245), QString(245, QLatin1Char('n')) + QStringLiteral(".zor"));
    // A dot at 246 is not used, and the name is too long to append to.
    const QString dotAt246 = QString(246, QLatin1Char('n')) + QStringLiteral(".txt");
    EXPECT_EQ(forceZorExtension(dotAt246), dotAt246);
    // Without a dot: 245 characters get ".zor", 246 are kept as they are.
    EXPECT_EQ(forceZorExtension(QString(245, QLatin1Char('n'))), QString(245, QLatin1Char('n')) + ".zor");
    EXPECT_EQ(forceZorExtension(QString(246, QLatin1Char('n'))), QString(246, QLatin1Char('n')));
}

TEST(ArchivePath, JoinsFolderAndNameWithOneSeparator) {
    EXPECT_EQ(joinArchivePath("/home/ann/Data", "backup.zor"), "/home/ann/Data/backup.zor");
    EXPECT_EQ(joinArchivePath("/", "backup.zor"), "/backup.zor");
    EXPECT_EQ(joinArchivePath("/home/ann/", "backup.zor"), "/home/ann/backup.zor");
    EXPECT_EQ(joinArchivePath("", "backup.zor"), "backup.zor");
}

}  // namespace
}  // namespace zor
