// safe_destination.h - creates folders and files under a destination folder without ever leaving it.
//
// Paths below the destination are walked one component at a time through
// folder descriptors opened with O_NOFOLLOW, so a symbolic link already
// standing anywhere below the destination is never followed: a link where a
// folder is needed is replaced by a real folder, a link where a file is to
// be written is removed first. The destination itself may be reached
// through links (the person chose it). Callers pass only names that passed
// the unsafe-name check (no "..", no absolute names).
#pragma once

#include <string>
#include <sys/stat.h>
#include <vector>

namespace zor {

class SafeDestination {
public:
    SafeDestination() = default;
    SafeDestination(const SafeDestination&) = delete;
    SafeDestination& operator=(const SafeDestination&) = delete;
    ~SafeDestination();

    // Opens the destination folder, creating it and any missing folder above it.
    bool open(const std::string& folder);

    // Creates the folder at `components` below the destination (and any
    // missing folder above it). False when something other than a folder stands in the way.
    bool makeFolder(const std::vector<std::string>& components);

    // A descriptor of the folder that holds `components`' last name,
    // creating missing folders on the way; -1 on failure. The caller closes it.
    int openParent(const std::vector<std::string>& components);

private:
    // Opens (creating if needed) the folder `name` inside `parent`; -1 on failure.
    static int enterFolder(int parent, const std::string& name);

    int root_ = -1;
};

// Splits an entry name at "\" ("docs\img\" -> {"docs", "img"}).
std::vector<std::string> splitEntryName(const std::string& entryName);

}  // namespace zor
