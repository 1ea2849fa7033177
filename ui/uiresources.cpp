// uiresources.cpp - the program's own pictures, compiled into the binary from ui/icons/*.svg.
#include "ui/uiresources.h"

#include <QtGlobal>

// The resources sit in a static library, whose registration the linker would
// drop unless something refers to it; Q_INIT_RESOURCE must be used outside
// any namespace.
static void registerZorResources() {
    Q_INIT_RESOURCE(zor);
}

namespace zor {

QIcon zorIcon(const QString& name) {
    static const bool registered = (registerZorResources(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

}  // namespace zor
