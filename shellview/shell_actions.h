// shell_actions.h - what the desktop does with an item: open it with its program, move it to the trash, describe it.
#pragma once

#include "shellview/listshellinfo.h"
#include "shellview/systemimagelist.h"

#include <QString>

class QWidget;

namespace zor {

// The verb that shows an item's properties; an empty verb is the default, "open".
inline const QString kPropertiesVerb = QStringLiteral("properties");

// Hands a file-system item to the program the desktop associates with its type.
bool OpenWithAssociatedProgram(const TListShellInfo& item);

// Moves a file-system item to the user's trash, from where it can be restored.
bool MoveItemToTrash(const TListShellInfo& item);

// The lines the properties box shows: name, type, location, size, modified, link target.
QString ItemPropertiesText(const TListShellInfo& item, TdfsSystemImageList& images);

// Shows the properties box for an item without blocking (it closes itself).
void ShowItemProperties(QWidget* parent, const TListShellInfo& item, TdfsSystemImageList& images);

}  // namespace zor
