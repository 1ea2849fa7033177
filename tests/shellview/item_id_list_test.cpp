// item_id_list_test.cpp - the chain of places above a folder and the special folder numbers.
#include "shellview/item_id_list.h"

#include <QDir>
#include <gtest/gtest.h>

namespace zor {
namespace {

TEST(ItemIdList, UpGoesThroughTheRootAndTheComputerToTheDesktopAndStays) {
    ItemIdList place = ItemIdList::FromPath("/usr/include");
    const QStringList expected = {"/usr", "/", "Computer", "Desktop", "Desktop"};
    for (const QString& name : expected) {
        place = place.parent();
        EXPECT_EQ(place.isFileSystem() ? place.path() : place.displayName(), name);
    }
    EXPECT_EQ(place, ItemIdList::Desktop());
}

TEST(ItemIdList, PathsAreAbsoluteAndClean) {
    EXPECT_EQ(ItemIdList::FromPath("/usr//include/../lib/").path(), "/usr/lib");
    EXPECT_EQ(ItemIdList::FromPath("sub").path(), QDir::current().absoluteFilePath("sub"));
    EXPECT_EQ(ItemIdList::FromPath("/usr/lib"), ItemIdList::FromPath("/usr/lib/"));
}

TEST(ItemIdList, VirtualPlacesHaveNoPath) {
    EXPECT_TRUE(ItemIdList::Desktop().path().isEmpty());
    EXPECT_TRUE(ItemIdList::Computer().path().isEmpty());
    EXPECT_EQ(ItemIdList::FromPath("/").displayName(), "/");
    EXPECT_EQ(ItemIdList::FromPath("/usr/lib").displayName(), "lib");
}

TEST(ItemIdList, KnowsItsSpecialFolderNumber) {
    EXPECT_EQ(ItemIdList::Desktop().specialFolder(), ItemIdList::kDesktop);
    EXPECT_EQ(ItemIdList::Computer().specialFolder(), ItemIdList::kDrives);
    EXPECT_EQ(ItemIdList::FromPath(QDir::homePath()).specialFolder(), ItemIdList::kProfile);
    EXPECT_EQ(ItemIdList::FromPath("/usr").specialFolder(), -1);
    EXPECT_EQ(ItemIdList::FromSpecialFolder(ItemIdList::kDrives), ItemIdList::Computer());
    EXPECT_EQ(ItemIdList::FromSpecialFolder(12345), ItemIdList::Desktop());
}

}  // namespace
}  // namespace zor
