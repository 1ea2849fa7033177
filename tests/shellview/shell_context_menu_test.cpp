// shell_context_menu_test.cpp - the pop-up menu's commands and what they do to the items.
#include "shellview/shell_context_menu.h"

#include "shellview/shell_actions.h"
#include "tests/shellview/shell_test_support.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace zor {
namespace {

using test::ScratchFolder;

TListShellInfo FileItem(const QString& path) {
    TListShellInfo item;
    item.absoluteId = ItemIdList::FromPath(path);
    item.relativeId = QFileInfo(path).fileName();
    return item;
}

QStringList Captions(QMenu& menu) {
    QStringList captions;
    for (const QAction* action : menu.actions()) {
        if (!action->isSeparator()) captions << action->text();
    }
    return captions;
}

TEST(ShellContextMenu, OffersOpenTrashAndPropertiesForFiles) {
    ShellContextMenu menu({FileItem("/tmp/a")}, {}, nullptr);
    EXPECT_EQ(Captions(menu.menu()), (QStringList{"&Open", "Move to &Trash", "&Properties"}));
}

TEST(ShellContextMenu, NeverOffersToTrashTheComputerOrAVolume) {
    TListShellInfo computer;
    computer.absoluteId = ItemIdList::Computer();
    computer.notFileSystem = true;
    TListShellInfo volume = FileItem("/");
    volume.fileSystemType = "ext4";
    for (const TListShellInfo& item : {computer, volume}) {
        ShellContextMenu menu({FileItem("/tmp/a"), item}, {}, nullptr);
        EXPECT_FALSE(Captions(menu.menu()).contains("Move to &Trash"));
    }
}

TEST(ShellContextMenu, OpenAndPropertiesGoThroughTheLauncherForEveryItem) {
    QStringList calls;
    ShellContextMenu menu({FileItem("/tmp/a"), FileItem("/tmp/b")},
                          [&](const TListShellInfo& item, const QString& verb) {
                              calls << item.relativeId + ":" + verb;
                              return true;
                          },
                          nullptr);
    menu.Invoke(ShellContextMenu::kOpen);
    menu.Invoke(ShellContextMenu::kProperties);
    menu.Invoke(ShellContextMenu::kNone);
    EXPECT_EQ(calls, (QStringList{"a:", "b:", "a:properties", "b:properties"}));
}

TEST(ShellContextMenu, TrashMovesTheItemsOutOfTheFolder) {
    ScratchFolder scratch;
    // Keep the test's trash inside the scratch folder, away from the user's.
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", scratch.at("data").toUtf8());
    scratch.Folder("data");
    scratch.File("doomed.txt", 10);
    scratch.Folder("doomed-folder");
    ShellContextMenu menu({FileItem(scratch.at("doomed.txt")), FileItem(scratch.at("doomed-folder"))}, {}, nullptr);
    menu.Invoke(ShellContextMenu::kTrash);
    EXPECT_FALSE(QFileInfo::exists(scratch.at("doomed.txt")));
    EXPECT_FALSE(QFileInfo::exists(scratch.at("doomed-folder")));
    if (savedDataHome.isEmpty()) {
        qunsetenv("XDG_DATA_HOME");
    } else {
        qputenv("XDG_DATA_HOME", savedDataHome);
    }
}

TEST(ShellActions, PropertiesNameTheTypeSizeAndLinkTarget) {
    ScratchFolder scratch;
    scratch.File("notes.txt", 1234);
    scratch.Link("link", scratch.at("notes.txt"));
    TdfsSystemImageList images;
    TListShellInfo item = FileItem(scratch.at("link"));
    item.link = true;
    item.size = 1234;
    const QString text = ItemPropertiesText(item, images);
    EXPECT_TRUE(text.contains("Name: link")) << text.toStdString();
    EXPECT_TRUE(text.contains("Link to: " + scratch.at("notes.txt"))) << text.toStdString();
    EXPECT_TRUE(text.contains("Size: ")) << text.toStdString();
}

}  // namespace
}  // namespace zor
