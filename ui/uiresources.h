// uiresources.h - the program's own pictures, compiled into the binary from ui/icons/*.svg.
#pragma once

#include <QIcon>
#include <QString>

namespace zor {

// The icon ui/icons/<name>.svg ("pack", "unpack", "test", "info", "lock",
// "delete", "up", "help", "about", "abort", "tray", "zor").
QIcon zorIcon(const QString& name);

}  // namespace zor
