// listshellinfo.h - TListShellInfo, the shell information each row of the folder view keeps about its item.
#pragma once

#include "shellview/item_id_list.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

namespace zor {

// One per list row, owned by the row. The directory-entry fields are a
// snapshot taken when the folder was read, as a shell item identifier
// carries them; the view never re-reads the disk to show or sort a row.
struct TListShellInfo {
    ItemIdList absoluteId;  // where the item is (its own path, or the computer)
    QString relativeId;     // the item's name inside the folder shown

    bool notFileSystem = false;  // a virtual item with no path (the computer)
    bool folder = false;         // a directory, or a symbolic link to one
    bool link = false;           // a symbolic link
    bool shared = false;         // shared with other users (never set on Linux)
    bool ghosted = false;        // a hidden item, drawn dimmed
    bool filled = false;         // icon and details already filled in

    uint64_t size = 0;       // a file's bytes; a volume's capacity
    uint64_t freeBytes = 0;  // a volume's free space
    QDateTime modified;      // last write, invalid for virtual items
    QString fileSystemType;  // a volume's file system ("ext4"), empty otherwise

    // The type name, looked up once and kept (sorting and display both need it).
    mutable std::optional<QString> typeName;
};

}  // namespace zor
