// archivename.cpp - how a new archive's name is proposed, given the ".zor" extension and joined to its folder.
#include "ui/archivename.h"

namespace zor {

QString proposeArchiveBaseName(const QString& caption) {
    const qsizetype lastDot = caption.lastIndexOf(QLatin1Char('.'));
    if (caption.size() > 4 && lastDot > 0) return caption.left(lastDot);
    return caption;
}

QString forceZorExtension(const QString& name) {
    // A "." at position p leaves room for "zor" behind it only while
    // p + 4 < kArchiveNameLimit; the same bound applies to appending.
    for (qsizetype p = 0; p < name.size() && p + 4 < kArchiveNameLimit; ++p) {
        if (name[p] == QLatin1Char('.')) return name.left(p + 1) + QStringLiteral("zor");
    }
    if (name.size() + 4 < kArchiveNameLimit) return name + QStringLiteral(".zor");
    return name;
}

QString joinArchivePath(const QString& folder, const QString& name) {
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/'))) return folder + name;
    return folder + QLatin1Char('/') + name;
}

}  // namespace zor
