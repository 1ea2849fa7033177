// walk_memory_test.cpp - the walk's fatal report names the step whose allocation failed.
#include <new>

#include "archive/tree_walk.h"
#include "tests/archive/archive_fixture.h"

namespace zor::test {
namespace {

class WalkMemory : public ArchiveFixture {};

// The listing callback runs right after each item is added, so throwing from
// it stands for the allocation of that item failing.
TEST_F(WalkMemory, AFolderItemThatCannotBeListedIsSizeDirsAndAFileItemTotalLengths) {
    writeFile(folder / "top/inner/b.txt", "b");
    writeFile(folder / "top/a.txt", "a");
    struct Case {
        const char* failing;  // the item whose listing fails
        const char* message;
    };
    for (const Case& c : {Case{"top\\", "Memory allocation error in SizeDir."},
                          Case{"top\\inner\\", "Memory allocation error in SizeDir."},
                          Case{"top\\a.txt", "Memory allocation error in TotalLength."}}) {
        ui.reports.clear();
        context.items.clear();
        context.selection = {{"top", 0, folder.path()}};
        TotalLength(context, [&](std::size_t index) {
            std::string path = context.items[index].path;
            for (char& ch : path) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            if (path == c.failing) throw std::bad_alloc();
        });
        ASSERT_EQ(ui.reports.size(), 1u) << c.failing;
        EXPECT_EQ(ui.reports[0].text, c.message) << c.failing;
        EXPECT_TRUE(ui.reports[0].fatal);
        EXPECT_TRUE(context.walk.fatalReported);
        EXPECT_EQ(context.walk.currentDepth, 0);
    }
}

}  // namespace
}  // namespace zor::test
