// shell_context_menu.h - the pop-up menu of commands for the selected items of the folder view.
#pragma once

#include "shellview/listshellinfo.h"

#include <QMenu>
#include <functional>
#include <vector>

namespace zor {

// The menu holds commands numbered from 1 ("&Open", "Move to &Trash",
// "&Properties"), each applied to every item it was built for. Commands that
// cannot apply to the items (trashing the computer or a volume) are left out.
class ShellContextMenu {
public:
    enum Command { kNone = 0, kOpen = 1, kTrash = 2, kProperties = 3 };
    // Runs a verb on one item; the view's own launcher.
    using Launcher = std::function<bool(const TListShellInfo&, const QString& verb)>;

    // The menu keeps its own copies of the items: the list may be read again while it is open.
    ShellContextMenu(std::vector<TListShellInfo> items, Launcher launcher, QWidget* parent);

    QMenu& menu() { return menu_; }
    // Shows the menu at a screen position and returns the command chosen, kNone when dismissed.
    int Track(const QPoint& globalPosition);
    // Applies a command to the items; failures are not reported.
    void Invoke(int command);

private:
    void AddCommand(int command, const QString& caption);

    std::vector<TListShellInfo> items_;
    Launcher launcher_;
    QMenu menu_;
};

}  // namespace zor
