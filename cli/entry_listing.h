// entry_listing.h - zor-cli's listings of archive entries with their full paths: as lines, or as a JSON document.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_reader.h"

namespace zor::cli {

// One entry as the listings show it.
struct ListedEntry {
    std::string path;  // "/" between components, no final "/"
    bool folder = false;
    uint32_t size = 0;
    uint32_t packedSize = 0;
    std::optional<std::time_t> modified;  // none for a folder's stored time of 0
    bool readOnly = false;
    bool hidden = false;
};

// The entry's time is its exact one when the archive holds it, else the stored DOS time.
ListedEntry listedEntry(const ArchiveEntry& entry);

// One line per entry: size, packed size, modification time (ISO 8601,
// local; "-" for none), attributes ("d" folder, "r" read-only, "h" hidden, "-" where
// not), path; a folder's path ends with "/". Control bytes show as "?".
void printEntryLines(const std::vector<ListedEntry>& entries);

// The entries as one JSON array of objects with the keys path, folder,
// size, packed, modified (null for none), readOnly and hidden.
void printEntryJson(const std::vector<ListedEntry>& entries);

}  // namespace zor::cli
