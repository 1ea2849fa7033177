// entry_matcher.h - the archive entries named on the command line: files, and everything inside named folders.
//
// A name is given as a person writes a path, with "/" or "\" between its
// components, in any case; it is compared with the names an entry is
// matched by, each as an entry name (lower case, "\" between components,
// no final "\"). A name matches the entry of that name and, as a folder,
// every entry below it.
#pragma once

#include <string>
#include <vector>

#include "archive/archive_reader.h"

namespace zor::cli {

// `given` as an entry name: "Docs/Img/" -> "docs\img".
std::string entryNameFor(const std::string& given);

// The names an entry is matched by, as entry names: its exact name when the
// archive holds one; otherwise its stored name, and the name it is shown by
// when that differs (a stored name in a Windows code page is shown in UTF-8).
std::vector<std::string> namesToMatch(const ArchiveEntry& entry);

class EntryMatcher {
public:
    explicit EntryMatcher(std::vector<std::string> given);

    // True when `entry` is one of the named ones or lies inside a named
    // folder; an empty list of names matches every entry. Notes which names
    // matched.
    bool matches(const ArchiveEntry& entry);

    // The given names that no entry matched so far, as they were given.
    std::vector<std::string> unmatched() const;

private:
    std::vector<std::string> given_;
    std::vector<std::string> wanted_;  // the given names as entry names
    std::vector<bool> matched_;
};

}  // namespace zor::cli
