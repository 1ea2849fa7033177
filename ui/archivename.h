// archivename.h - how a new archive's name is proposed, given the ".zor" extension and joined to its folder.
#pragma once

#include <QString>

namespace zor {

// Archive names are limited to this many characters by the pack-to dialog.
inline constexpr int kArchiveNameLimit = 250;

// The base name proposed for packing `caption` (the first selected item): a
// caption longer than 4 characters with a "." after its first character
// loses its last "." and what follows ("report.txt" -> "report"); anything
// else is taken whole ("a.b", ".bashrc", "Documents").
QString proposeArchiveBaseName(const QString& caption);

// Gives `name` the extension "zor": everything from the first "." on is
// replaced by ".zor" ("a.b.txt" -> "a.zor"), a name without "." gets ".zor"
// appended; a name too long for either (near kArchiveNameLimit) is kept.
QString forceZorExtension(const QString& name);

// `folder` + "/" + `name`, without doubling the separator of a folder that
// already ends in one (the root "/"); an empty folder leaves `name` relative.
QString joinArchivePath(const QString& folder, const QString& name);

}  // namespace zor
