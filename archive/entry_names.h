// entry_names.h - converts between disk paths and entry names, and tells which stored names are unsafe to write.
//
// Entry names are relative, lower case (only A-Z are changed), with "\"
// between components; a folder's name ends with "\". On disk the separator
// is "/", so a disk name holding "\" cannot be stored faithfully. Each
// component whose characters all exist in Windows-1252 is stored in that
// code page, as the first ZOR programs wrote and read names; any other
// component keeps its bytes. Reading undoes it (readableEntryName), so a
// stored name reads back as the disk name whenever only A-Z lose their case.
#pragma once

#include <optional>
#include <string>

namespace zor {

// "Docs/Read Me.TXT" -> "docs\read me.txt"; "résumé" (UTF-8) -> "r\xE9sum\xE9". "/" and "\" both separate.
std::string toEntryName(const std::string& relativeDiskPath);

// A stored name as text: each component that is not valid UTF-8 is read as Windows-1252.
std::string readableEntryName(const std::string& storedName);

// True when the name stored for `exactName` ("\" between components) reads back as something else.
bool storedNameLosesExactName(const std::string& exactName);

// "docs\img\" -> "docs/img/". Only for names that passed unsafeEntryNameReason.
std::string toDiskPath(const std::string& entryName);

// Why a stored name must not be written to disk: empty, absolute ("\..." or
// a drive such as "c:"), a ".." or "." component, an empty component, a "/" or
// a zero byte. Nothing when the name is safe.
std::optional<std::string> unsafeEntryNameReason(const std::string& entryName, bool isFolder);

// The text after the last "\" (a folder's final "\" not counted).
std::string lastEntryComponent(const std::string& entryName);

}  // namespace zor
