// shell_context_menu.cpp - the folder view's pop-up menu for the selected items.
#include "shellview/shell_context_menu.h"

#include "shellview/shell_actions.h"

#include <algorithm>

namespace zor {

ShellContextMenu::ShellContextMenu(std::vector<TListShellInfo> items, Launcher launcher, QWidget* parent)
    : items_(std::move(items)), launcher_(std::move(launcher)), menu_(parent) {
    menu_.setObjectName(QStringLiteral("ShellContextMenu"));
    AddCommand(kOpen, QStringLiteral("&Open"));
    const bool trashable = std::all_of(items_.begin(), items_.end(), [](const TListShellInfo& item) {
        return !item.notFileSystem && item.fileSystemType.isEmpty();
    });
    if (trashable) AddCommand(kTrash, QStringLiteral("Move to &Trash"));
    menu_.addSeparator();
    AddCommand(kProperties, QStringLiteral("&Properties"));
}

void ShellContextMenu::AddCommand(int command, const QString& caption) {
    QAction* action = menu_.addAction(caption);
    action->setData(command);
}

int ShellContextMenu::Track(const QPoint& globalPosition) {
    const QAction* chosen = menu_.exec(globalPosition);
    return chosen ? chosen->data().toInt() : kNone;
}

void ShellContextMenu::Invoke(int command) {
    for (const TListShellInfo& item : items_) {
        switch (command) {
        case kOpen: launcher_(item, QString()); break;
        case kTrash: MoveItemToTrash(item); break;
        case kProperties: launcher_(item, kPropertiesVerb); break;
        default: return;
        }
    }
}

}  // namespace zor
