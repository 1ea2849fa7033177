// entry_names.h - converts between disk paths and entry names, and tells which stored names are unsafe to write.
//
// Entry names are relative, lower case (only A-Z are changed), with "\"
// between components; a folder's name ends with "\". On disk the separator
// is "/", so a disk name holding "\" cannot be stored faithfully.
#pragma once

#include <optional>
#include <string>

namespace zor {

// "Docs/Read Me.TXT" -> "docs\read me.txt".
std::string toEntryName(const std::string& relativeDiskPath);

// "docs\img\" -> "docs/img/". Only for names that passed unsafeEntryNameReason.
std::string toDiskPath(const std::string& entryName);

// Why a stored name must not be written to disk: empty, absolute ("\..." or
// a drive such as "c:"), a ".." or "." component, an empty component, a "/" or
// a zero byte. Nothing when the name is safe.
std::optional<std::string> unsafeEntryNameReason(const std::string& entryName, bool isFolder);

// The text after the last "\" (a folder's final "\" not counted).
std::string lastEntryComponent(const std::string& entryName);

}  // namespace zor
