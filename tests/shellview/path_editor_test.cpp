// path_editor_test.cpp - the folder line follows the view and moves it to a typed folder.
#include "shellview/path_editor.h"

#include "shellview/explistview.h"
#include "tests/shellview/shell_test_support.h"

#include <QDir>
#include <gtest/gtest.h>

namespace zor {
namespace {

TEST(PathEditor, FollowsTheViewAndShowsTypedFolders) {
    test::ScratchFolder scratch;
    scratch.Folder("inner");
    TExpListView view;
    view.SetMonitorDirectory(false);
    TPathEditor editor(&view);
    EXPECT_EQ(editor.text(), "Desktop");

    view.SetFolder(scratch.path());
    EXPECT_EQ(editor.text(), scratch.path());

    editor.setText(scratch.at("inner"));
    QTest::keyClick(&editor, Qt::Key_Return);
    EXPECT_EQ(view.Folder(), scratch.at("inner"));

    editor.setText(scratch.at("missing"));
    QTest::keyClick(&editor, Qt::Key_Return);
    EXPECT_EQ(view.Folder(), scratch.at("inner"));
    EXPECT_EQ(editor.text(), scratch.at("inner"));

    editor.setText("~");
    QTest::keyClick(&editor, Qt::Key_Return);
    EXPECT_EQ(view.Folder(), QDir::homePath());
}

}  // namespace
}  // namespace zor
