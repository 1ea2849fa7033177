// totals_text.cpp - digit grouping and the totals sentence.
#include "archive/totals_text.h"

#include "platform/directory_search.h"

namespace zor {

std::string groupDigits(uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += '.';
        grouped += digits[i];
    }
    return grouped;
}

std::string totalsText(int64_t folders, int64_t files, uint64_t bytes) {
    std::string text = "Total ";
    if (folders > 1) text += std::to_string(folders) + " folders ";
    else if (folders == 1) text += "1 folder ";
    if (files > 0 && folders > 0) text += "and ";
    if (files > 1) text += groupDigits(bytes) + " bytes in " + std::to_string(files) + " files";
    else if (files == 1) text += groupDigits(bytes) + " bytes in 1 file";
    return text;
}

std::string diskFolderTotalsText(const std::string& folder) {
    int64_t folders = 0;
    int64_t files = 0;
    uint64_t bytes = 0;
    DirectorySearch search;
    DirectoryEntry entry;
    if (search.open(folder)) {
        while (search.next(entry)) {
            if (entry.kind == DirectoryEntry::Kind::Folder) {
                ++folders;
            } else {
                ++files;
                bytes += entry.size;
            }
        }
    }
    return totalsText(folders, files, bytes);
}

}  // namespace zor
