// entry_listing.cpp - the full-path listings: aligned lines and JSON.
#include "cli/entry_listing.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>

#include "cli/json_text.h"
#include "cli/terminal_ui.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"

namespace zor::cli {
namespace {

// A time in local time, as extraction gives it to the file: "2023-11-14T22:13:20".
std::optional<std::string> isoTime(std::optional<std::time_t> time) {
    if (!time) return std::nullopt;
    std::tm local {};
    char text[32] = "";
    if (!::localtime_r(&*time, &local)) return std::nullopt;
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return std::string(text);
}

std::string attributesText(const ListedEntry& entry) {
    return std::string(entry.folder ? "d" : "-") + (entry.readOnly ? "r" : "-") + (entry.hidden ? "h" : "-");
}

std::string modifiedJson(std::optional<std::time_t> modified) {
    const auto time = isoTime(modified);
    return time ? jsonString(*time) : "null";
}

}  // namespace

ListedEntry listedEntry(const ArchiveEntry& entry) {
    ListedEntry listed;
    listed.folder = entry.record.folder();
    listed.path = entry.name;
    while (!listed.path.empty() && listed.path.back() == '\\') listed.path.pop_back();
    std::replace(listed.path.begin(), listed.path.end(), '\\', '/');
    listed.size = entry.record.size;
    listed.packedSize = entry.record.packedSize;
    if (entry.exact) listed.modified = static_cast<std::time_t>(entry.exact->seconds);
    else if (entry.record.fileTime != 0) listed.modified = fromDosDateTime(entry.record.fileTime);
    listed.readOnly = (entry.record.attributes & kAttributeReadOnly) != 0;
    listed.hidden = (entry.record.attributes & kAttributeHidden) != 0;
    return listed;
}

void printEntryLines(const std::vector<ListedEntry>& entries) {
    int sizeWidth = 1, packedWidth = 1;
    for (const ListedEntry& entry : entries) {
        sizeWidth = std::max(sizeWidth, static_cast<int>(std::to_string(entry.size).size()));
        packedWidth = std::max(packedWidth, static_cast<int>(std::to_string(entry.packedSize).size()));
    }
    for (const ListedEntry& entry : entries) {
        const std::string path = printableName(entry.path) + (entry.folder ? "/" : "");
        const std::string time = isoTime(entry.modified).value_or("-");
        std::printf("%*u  %*u  %-19s  %s  %s\n", sizeWidth, entry.size, packedWidth, entry.packedSize, time.c_str(),
                    attributesText(entry).c_str(), path.c_str());
    }
}

void printEntryJson(const std::vector<ListedEntry>& entries) {
    std::string json = "[";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ListedEntry& entry = entries[i];
        json += i == 0 ? "\n" : ",\n";
        json += "  {\"path\": " + jsonString(entry.path) + ", \"folder\": " + (entry.folder ? "true" : "false") +
                ", \"size\": " + std::to_string(entry.size) + ", \"packed\": " + std::to_string(entry.packedSize) +
                ", \"modified\": " + modifiedJson(entry.modified) +
                ", \"readOnly\": " + (entry.readOnly ? "true" : "false") +
                ", \"hidden\": " + (entry.hidden ? "true" : "false") + "}";
    }
    json += entries.empty() ? "]\n" : "\n]\n";
    std::fputs(json.c_str(), stdout);
}

}  // namespace zor::cli
