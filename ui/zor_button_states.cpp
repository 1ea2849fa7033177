// zor_button_states.cpp - which toolbar buttons, menu items and the drive box are on, by context and by selection.
//
// By context (later events override earlier ones):
//
//   event                                   Pack UnPack Test Info Lock Drive box
//   start-up in a folder                     off  off   off  off  off  on
//   a ZOR archive entered                    off  on    on   on   on   off
//   a foreign archive entered                off  off   off  off  off  off
//   an archive left with Up at its root      off  off   off  off  off  on
//   Up in a disk folder, Delete, a pack      off   -     -    -    -    -
//
// In a disk folder the selection then switches Pack and File > Delete:
// a click turns them on when something is selected at drive level or
// below, a released mouse button turns them off when nothing is selected,
// the list is above drive level, or the first selected item is not on disk.
// That last rule also follows every other change of the selection (the
// keyboard, the right button, a folder entered or read again).
#include "ui/zor.h"

#include "shellview/explistview.h"

#include <QAction>
#include <QComboBox>
#include <QToolButton>

namespace zor {

void TZOR_Main::setToolButtons(bool pack, bool unpack, bool test, bool info, bool lock) {
    PackButton->setEnabled(pack);
    UnPackButton->setEnabled(unpack);
    TestButton->setEnabled(test);
    InfoButton->setEnabled(info);
    LockButton->setEnabled(lock);
}

void TZOR_Main::setPackAndDelete(bool enabled) {
    PackButton->setEnabled(enabled);
    Delete1->setEnabled(enabled);
}

void TZOR_Main::showFolderContextButtons() {
    setToolButtons(false, false, false, false, false);
    Delete1->setEnabled(false);
    DriveBox->setEnabled(true);
}

void TZOR_Main::showZorArchiveButtons() {
    setToolButtons(false, true, true, true, true);
    DriveBox->setEnabled(false);
}

bool TZOR_Main::anyRowSelected() const { return !DirList->SelectedRows().empty(); }

void TZOR_Main::DirListClick() {
    context_->selection.clear();
    if (state().InArchive || state().InForeignArchive) return;
    if (!anyRowSelected()) setPackAndDelete(false);
    else if (state().FolderDepth >= 0) setPackAndDelete(true);
}

void TZOR_Main::DirListMouseUp() { applySelectionRules(); }

void TZOR_Main::applySelectionRules() {
    if (state().InArchive || state().InForeignArchive) return;
    const std::vector<int> rows = DirList->SelectedRows();
    const TListShellInfo* first = rows.empty() ? nullptr : DirList->GetShellInfo(rows.front());
    setPackAndDelete(first && state().FolderDepth >= 0 && !first->notFileSystem);
}

}  // namespace zor
