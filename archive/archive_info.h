// archive_info.h - the values the information dialog shows for an archive's header.
#pragma once

#include <string>
#include <vector>

#include "archive/archive_header.h"

namespace zor {

// The dialog's value labels, in the order of its rows.
struct ArchiveInfoValues {
    std::string TotalSize;            // unsigned decimal
    std::string TotalPackedSize;      // unsigned decimal
    std::string NumberOfFiles;        // decimal
    std::string NumberOfDirectories;  // decimal
    std::string PasswordProtected;    // "Yes" or "No"
    std::string Ratio;                // the ratio and " %"
    std::string Locked;               // "Yes" or "No"
    int ratioBarPosition = 0;         // the ratio, held to the bar's range 0 to 100
};

ArchiveInfoValues archiveInfoValues(const ArchiveHeader& header);

// The dialog's row labels, paired with the values above, for front ends that print them.
struct ArchiveInfoLine {
    const char* label;
    std::string value;
};
std::vector<ArchiveInfoLine> archiveInfoLines(const ArchiveInfoValues& values);

}  // namespace zor
