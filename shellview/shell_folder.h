// shell_folder.h - one folder of the Linux shell namespace: its items, its detail columns and its item order.
#pragma once

#include "shellview/item_id_list.h"
#include "shellview/listshellinfo.h"
#include "shellview/systemimagelist.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace zor {

struct ShellColumn {
    QString caption;
    Qt::Alignment alignment = Qt::AlignLeft;
};

class ShellFolder {
public:
    // The folder's items are typed through `images`, which must outlive the folder.
    ShellFolder(ItemIdList id, TdfsSystemImageList& images);

    const ItemIdList& id() const { return id_; }

    // The folder's items in no particular order: sub-folders always, other
    // items unless `foldersOnly`, names starting with "." only when
    // `showHidden`. A folder that cannot be read gives no items; an item whose
    // directory entry cannot be read is left out.
    std::vector<TListShellInfo> Enumerate(bool foldersOnly, bool showHidden) const;

    // Virtual folders describe their items in columns of their own; the
    // file-system folders have none and the view shows its standard four.
    bool HasShellDetails() const;
    std::vector<ShellColumn> DetailColumns() const;
    // The text of detail column `column` (1 or more) for an item of this folder.
    QString DetailText(const TListShellInfo& item, int column) const;

    // The folder's order of two of its items by column `column`: negative when
    // `a` comes first. Folders come before other items, ties are broken by name,
    // so the order is total.
    int CompareIDs(int column, const TListShellInfo& a, const TListShellInfo& b) const;

private:
    std::vector<TListShellInfo> DesktopItems() const;
    std::vector<TListShellInfo> VolumeItems() const;
    std::vector<TListShellInfo> DirectoryItems(bool foldersOnly, bool showHidden) const;

    ItemIdList id_;
    TdfsSystemImageList& images_;
};

}  // namespace zor
