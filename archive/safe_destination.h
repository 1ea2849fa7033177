// safe_destination.h - reaches folders below a destination folder without ever leaving it or removing anything.
//
// Paths below the destination are walked one component at a time through
// folder descriptors opened with O_NOFOLLOW, so a symbolic link standing
// anywhere below the destination is never followed, and nothing standing in
// the way (a link, a file, a pipe) is ever removed: the walk stops there and
// says why. Missing folders are created. The destination itself may be
// reached through links (the person chose it). Callers pass only names that
// passed the unsafe-name check (no "..", no absolute names).
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

    // The destination followed by `components` joined with "/": the path the person knows.
    std::string diskPath(const std::vector<std::string>& components, std::size_t count) const;

    // Creates the folder at `components` below the destination (and any
    // missing folder above it); an existing folder is fine. False, with
    // `refusal` saying which path stood in the way and why, otherwise.
    // `created`, when given, says whether this call made the folder itself.
    bool makeFolder(const std::vector<std::string>& components, std::string& refusal, bool* created = nullptr);

    // A descriptor of the folder at `components` (created when missing); -1 with `refusal` set as above.
    int openFolderAt(const std::vector<std::string>& components, std::string& refusal);

    // A descriptor of the folder that holds `components`' last name,
    // creating missing folders on the way; -1, with `refusal` set as above,
    // when it cannot be reached. The caller closes it.
    int openParent(const std::vector<std::string>& components, std::string& refusal);

private:
    // Opens the folder made of the first `count` components; -1 and `refusal` on failure.
    int openFolder(const std::vector<std::string>& components, std::size_t count, std::string& refusal,
                   bool* createdLast = nullptr);

    int root_ = -1;
    std::string folder_;  // ends with "/"
};

// What a status describes, as a person calls it: "a file", "a symbolic link", "a named pipe", ...
std::string kindOfFile(const struct stat& status);

// Splits an entry name at "\" ("docs\img\" -> {"docs", "img"}).
std::vector<std::string> splitEntryName(const std::string& entryName);

}  // namespace zor
