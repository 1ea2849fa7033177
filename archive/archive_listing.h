// archive_listing.h - browsing inside an archive: opening it, moving between its folders and listing one folder level.
//
// The window (and zor-cli) show an archive one folder at a time. Opening
// checks the header; entering and leaving folders only changes the window
// state; a listing walks every entry of the archive (there is no index) and
// keeps those that sit directly in the folder shown, folders first, then
// files, each sorted by the bytes of their caption.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_header.h"
#include "archive/operation_context.h"
#include "archive/operation_outcome.h"

namespace zor {

inline constexpr char kFolderTypeText[] = "<DIR>";
inline constexpr char kReadingFilesStatus[] = "Reading files : ";

// What looking at a file as a ZOR archive found.
struct ArchiveCheck {
    enum class Result {
        Accepted,        // a finished ZOR archive of a structure this program reads
        NotZorArchive,   // the signature is not "ZOR" (the window hands such a file to its program)
        Refused,         // unfinished, damaged, or of another structure or version
        CannotOpen,      // the file cannot be opened for reading
    };
    Result result = Result::CannotOpen;
    std::string message;  // the text to show; empty for Accepted
    ArchiveHeader header;
};

// Reads and validates the header of the file at `path`, and checks that the
// file can hold the entries the header counts. Shows nothing.
ArchiveCheck checkArchiveFile(const std::string& path);

// Enters the archive whose header `check` accepted: InArchive set, level 0
// (the top), ArchivePath = `path` as given, the header kept for the
// information dialog and testing. ListingFresh stays clear until the first
// listing.
void enterArchive(OperationContext& context, const std::string& path, const ArchiveCheck& check);

// Double-click on a folder row: one level down into `caption`.
void enterArchiveFolder(WindowState& window, const std::string& caption);

// The Up button inside an archive: one level up. False when the archive's
// top level was shown; the archive has then been left (InArchive and
// ListingFresh clear, ArchivePath empty, level -1).
bool archiveFolderUp(WindowState& window);

// One row of the list while an archive is browsed.
struct ArchiveListRow {
    std::string caption;     // "Name"
    bool isFolder = false;   // "Type" is "<DIR>"
    uint32_t size = 0;       // "Size" (files only)
    uint32_t packedSize = 0; // "Packed" (files only)
    std::string parentPath;  // "Path": the entry's name without its last component ("" at the top)
};

struct ArchiveListing {
    std::vector<ArchiveListRow> folders;  // sorted by caption, byte-wise
    std::vector<ArchiveListRow> files;    // sorted by caption, byte-wise
    uint64_t listedBytes = 0;             // sum of the listed files' sizes
    std::string totals;                   // the status bar's totals text for the rows
};

// The status bar's first panel while the first listing of an archive reads
// its entries ("Reading files : " and the entry index every 50 entries, and
// the count at the end).
using ListingStatus = std::function<void(const std::string& text)>;

// Lists the folder `context.window.currentArchiveFolder` at level
// `context.window.ArchiveLevel` of the archive `context.window.ArchivePath`,
// re-reading its header, and sets ListingFresh. Nothing on failure: "Cannot
// open file", or the header's refusal, or "ZOR archive is corrupt" when an
// entry does not fit the file, has been reported through the interface.
std::optional<ArchiveListing> ListArchiveFolder(OperationContext& context, const ListingStatus& status = {});

// The parent path of an entry name: "docs\img\" -> "docs\", "docs\a.txt" -> "docs\", "a.txt" -> "".
std::string entryParentPath(const std::string& entryName);

}  // namespace zor
