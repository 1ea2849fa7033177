// archive_info.cpp - formats the header's totals, flags and ratio for the information dialog.
#include "archive/archive_info.h"

#include <algorithm>

namespace zor {
namespace {

const char* yesNo(bool value) { return value ? "Yes" : "No"; }

}  // namespace

ArchiveInfoValues archiveInfoValues(const ArchiveHeader& header) {
    ArchiveInfoValues values;
    values.TotalSize = std::to_string(header.totalSize);
    values.TotalPackedSize = std::to_string(header.totalPackedSize);
    values.NumberOfFiles = std::to_string(header.numberOfFiles);
    values.NumberOfDirectories = std::to_string(header.numberOfDirectories);
    values.PasswordProtected = yesNo(header.isPasswordProtected());
    values.Ratio = std::to_string(header.ratio) + " %";
    values.Locked = yesNo(header.isLocked());
    // Compression can enlarge data, so the ratio may pass 100; the bar stops at its end.
    values.ratioBarPosition = std::clamp<int>(header.ratio, 0, 100);
    return values;
}

std::vector<ArchiveInfoLine> archiveInfoLines(const ArchiveInfoValues& values) {
    return {
        {"Total size:", values.TotalSize},
        {"Total packed size:", values.TotalPackedSize},
        {"Number of files:", values.NumberOfFiles},
        {"Number of directories:", values.NumberOfDirectories},
        {"Password protected:", values.PasswordProtected},
        {"Ratio:", values.Ratio},
        {"Locked:", values.Locked},
    };
}

}  // namespace zor
