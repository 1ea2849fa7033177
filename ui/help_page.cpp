// help_page.cpp - where the help page lies: installed beside the program, or in the sources of a build tree.
#include "ui/help_page.h"

#include <QDir>
#include <QFileInfo>

namespace zor {

namespace {

// Build trees lie at most this many levels below the sources (build/release/ui).
constexpr int kBuildTreeDepth = 5;

}  // namespace

QString findHelpPage(const QString& programFolder) {
    const QDir program(programFolder);
    const QString installed = QDir::cleanPath(program.absoluteFilePath(QStringLiteral("../share/zor/help/index.html")));
    if (QFileInfo::exists(installed)) return installed;
    QDir folder = program;
    for (int level = 0; level < kBuildTreeDepth && folder.cdUp(); ++level) {
        const QString candidate = folder.absoluteFilePath(QStringLiteral("data/help/index.html"));
        if (QFileInfo::exists(candidate)) return candidate;
    }
    return installed;
}

}  // namespace zor
