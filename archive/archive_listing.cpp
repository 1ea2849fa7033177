// archive_listing.cpp - header check on opening, folder navigation and the one-level listing.
#include "archive/archive_listing.h"

#include <algorithm>

#include "archive/archive_reader.h"
#include "archive/entry_names.h"
#include "archive/extraction.h"
#include "archive/totals_text.h"

namespace zor {
namespace {

constexpr int64_t kStatusEvery = 50;

// The text after the last "\" of a name whose final "\" (a folder's) has been removed.
std::string withoutFinalSeparator(const std::string& name) {
    if (!name.empty() && name.back() == '\\') return name.substr(0, name.size() - 1);
    return name;
}

// A listing holds at most this many folders and this many files: far more
// than a person scrolls through, few enough that a hostile archive of
// millions of entries in one folder cannot exhaust memory.
constexpr std::size_t kMaxListedRows = 100000;

// std::string compares its bytes as unsigned values, which is the order the list shows.
bool byCaption(const ArchiveListRow& a, const ArchiveListRow& b) { return a.caption < b.caption; }

void sortByCaption(std::vector<ArchiveListRow>& rows) { std::stable_sort(rows.begin(), rows.end(), byCaption); }

// Keeps the rows that come first in the list's order, up to the limit. Done
// as rows arrive (whenever twice the limit is reached), so a folder of
// millions of entries never holds more than twice the limit in memory.
void keepFirstRows(std::vector<ArchiveListRow>& rows) {
    if (rows.size() <= kMaxListedRows) return;
    std::nth_element(rows.begin(), rows.begin() + kMaxListedRows, rows.end(), byCaption);
    rows.resize(kMaxListedRows);
}

void addRow(std::vector<ArchiveListRow>& rows, ArchiveListRow&& row) {
    rows.push_back(std::move(row));
    if (rows.size() >= 2 * kMaxListedRows) keepFirstRows(rows);
}

// The row for `entry` when it belongs in the folder shown, or nothing.
std::optional<ArchiveListRow> rowFor(const ArchiveEntry& entry, const WindowState& window) {
    if (entry.record.depth != window.ArchiveLevel) return std::nullopt;
    ArchiveListRow row;
    row.isFolder = entry.record.folder();
    row.parentPath = entryParentPath(entry.name);
    const bool topLevel = window.ArchiveLevel == 0;
    if (row.isFolder && topLevel) {
        // A top-level folder is shown under its whole name, whatever its parent path says.
        row.caption = withoutFinalSeparator(entry.name);
        return row;
    }
    if (row.parentPath != window.currentArchiveFolder) return std::nullopt;
    row.caption = topLevel ? entry.name : lastEntryComponent(entry.name);
    if (!row.isFolder) {
        row.size = entry.record.size;
        row.packedSize = entry.record.packedSize;
    }
    return row;
}

}  // namespace

std::string entryParentPath(const std::string& entryName) {
    const std::string trimmed = withoutFinalSeparator(entryName);
    const auto separator = trimmed.rfind('\\');
    return separator == std::string::npos ? std::string() : trimmed.substr(0, separator + 1);
}

ArchiveCheck checkArchiveFile(const std::string& path) {
    ArchiveCheck check;
    ArchiveReader reader;
    if (!reader.open(path)) {
        check.message = kCannotOpenFileMessage;
        return check;
    }
    const auto refusal = reader.readHeader();
    check.header = reader.header();
    if (!refusal) {
        check.result = ArchiveCheck::Result::Accepted;
    } else {
        check.result = *refusal == kNotZorArchiveMessage ? ArchiveCheck::Result::NotZorArchive
                                                         : ArchiveCheck::Result::Refused;
        check.message = *refusal;
    }
    return check;
}

void enterArchive(OperationContext& context, const std::string& path, const ArchiveCheck& check) {
    WindowState& window = context.window;
    window.InArchive = 1;
    window.ArchiveLevel = 0;
    window.ArchivePath = path;
    window.currentArchiveFolder.clear();
    window.ListingFresh = 0;
    context.header = check.header;
}

void enterArchiveFolder(WindowState& window, const std::string& caption) {
    window.currentArchiveFolder += caption + "\\";
    ++window.ArchiveLevel;
}

bool archiveFolderUp(WindowState& window) {
    --window.ArchiveLevel;
    if (window.ArchiveLevel >= 0) {
        window.currentArchiveFolder = entryParentPath(window.currentArchiveFolder);
        return true;
    }
    window.InArchive = 0;
    window.ListingFresh = 0;
    window.ArchivePath.clear();
    window.currentArchiveFolder.clear();
    return false;
}

std::optional<ArchiveListing> ListArchiveFolder(OperationContext& context, const ListingStatus& status) {
    WindowState& window = context.window;
    ArchiveReader reader;
    if (!reader.open(window.ArchivePath)) {
        context.ui.reportError(kCannotOpenFileMessage, false);
        return std::nullopt;
    }
    if (const auto refusal = reader.readHeader()) {
        context.ui.reportError(*refusal, false);
        return std::nullopt;
    }
    context.header = reader.header();

    const bool showReading = status && window.ArchiveLevel == 0 && !window.ListingFresh;
    ArchiveListing listing;
    ArchiveEntry entry;
    for (;;) {
        const int64_t index = reader.entryIndex();
        if (showReading && index > 0 && index % kStatusEvery == 0) status(kReadingFilesStatus + std::to_string(index));
        const ArchiveReader::Step step = reader.next(entry);
        if (step == ArchiveReader::Step::End) break;
        if (step == ArchiveReader::Step::Corrupt) {
            context.ui.reportError(kCorruptArchiveMessage, false);
            return std::nullopt;
        }
        auto row = rowFor(entry, window);
        if (row) addRow(row->isFolder ? listing.folders : listing.files, std::move(*row));
    }
    if (showReading) status(kReadingFilesStatus + std::to_string(reader.entryIndex()));

    keepFirstRows(listing.folders);
    keepFirstRows(listing.files);
    sortByCaption(listing.folders);
    sortByCaption(listing.files);
    for (const ArchiveListRow& file : listing.files) listing.listedBytes += file.size;
    listing.totals = totalsText(static_cast<int64_t>(listing.folders.size()),
                                static_cast<int64_t>(listing.files.size()), listing.listedBytes);
    window.ListingFresh = 1;
    return listing;
}

}  // namespace zor
