// totals_text.h - the status bar's totals text: "Total 2 folders and 12.345 bytes in 3 files".
#pragma once

#include <cstdint>
#include <string>

namespace zor {

// An unsigned decimal number with "." between groups of three digits counted from the right: 1234567 -> "1.234.567".
std::string groupDigits(uint64_t value);

// "Total " + the folder part (when there are folders) + "and " (when there are
// both) + the file part (when there are files). One folder and no files
// ends in a blank; nothing at all gives "Total " alone.
std::string totalsText(int64_t folders, int64_t files, uint64_t bytes);

// The totals text for the direct contents of a disk folder (subfolders are
// not descended into; hidden entries count).
std::string diskFolderTotalsText(const std::string& folder);

}  // namespace zor
