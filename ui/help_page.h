// help_page.h - where the help page lies: installed beside the program, or in the sources of a build tree.
#pragma once

#include <QString>

namespace zor {

// The help page for the program in `programFolder`: installed as
// PREFIX/share/zor/help/index.html (the program in PREFIX/bin), or, in a
// build tree, the sources' data/help/index.html a few levels above it.
// When neither exists, the installed path (Help then reports it missing).
QString findHelpPage(const QString& programFolder);

}  // namespace zor
