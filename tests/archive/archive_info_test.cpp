// archive_info_test.cpp - the information dialog's values for headers at the edges of their fields.
#include <gtest/gtest.h>

#include "archive/archive_info.h"

namespace zor {
namespace {

TEST(ArchiveInfo, ShowsTheHeaderAsTheDialogDoes) {
    ArchiveHeader header = newArchiveHeader();
    header.totalSize = 4000000000u;  // beyond a signed 32-bit number
    header.totalPackedSize = 3000000000u;
    header.numberOfFiles = 12;
    header.numberOfDirectories = 3;
    header.ratio = 75;
    const ArchiveInfoValues values = archiveInfoValues(header);
    EXPECT_EQ(values.TotalSize, "4000000000");
    EXPECT_EQ(values.TotalPackedSize, "3000000000");
    EXPECT_EQ(values.NumberOfFiles, "12");
    EXPECT_EQ(values.NumberOfDirectories, "3");
    EXPECT_EQ(values.PasswordProtected, "No");
    EXPECT_EQ(values.Locked, "No");
    EXPECT_EQ(values.Ratio, "75 %");
    EXPECT_EQ(values.ratioBarPosition, 75);
}

TEST(ArchiveInfo, OnlyTheValueOneMeansProtectedOrLocked) {
    ArchiveHeader header = newArchiveHeader();
    for (int16_t value : {int16_t{-1}, int16_t{0}, int16_t{2}}) {
        header.passwordProtected = value;
        header.locked = value;
        EXPECT_EQ(archiveInfoValues(header).PasswordProtected, "No") << value;
        EXPECT_EQ(archiveInfoValues(header).Locked, "No") << value;
    }
    header.passwordProtected = 1;
    header.locked = 1;
    EXPECT_EQ(archiveInfoValues(header).PasswordProtected, "Yes");
    EXPECT_EQ(archiveInfoValues(header).Locked, "Yes");
}

TEST(ArchiveInfo, RatioBeyondTheBarKeepsItsTextAndStopsTheBar) {
    ArchiveHeader header = newArchiveHeader();
    header.ratio = 180;  // compression enlarged the data
    EXPECT_EQ(archiveInfoValues(header).Ratio, "180 %");
    EXPECT_EQ(archiveInfoValues(header).ratioBarPosition, 100);
    header.ratio = -1;
    EXPECT_EQ(archiveInfoValues(header).Ratio, "-1 %");
    EXPECT_EQ(archiveInfoValues(header).ratioBarPosition, 0);
}

}  // namespace
}  // namespace zor
