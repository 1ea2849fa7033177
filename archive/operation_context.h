// operation_context.h - the records an archive operation works on, gathered in one object passed explicitly.
//
// One context lives as long as the window (or one zor-cli run). Operations
// run one at a time and take it by reference; nothing here is global.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_header.h"
#include "archive/cipher.h"
#include "archive/entry_record.h"
#include "archive/operation_ui.h"
#include "engine/file_drivers.h"

namespace zor {

// The window state the operations share with the main window.
struct WindowState {
    int32_t InArchive = 0;          // 1 while the list shows the inside of a ZOR archive
    int32_t ArchiveLevel = -1;      // -1 outside an archive, n when n folders deep inside it
    uint8_t InForeignArchive = 0;
    int32_t FolderDepth = 0;
    std::string ArchivePath;        // the open archive, as it was opened
    std::string currentArchiveFolder;  // path inside the archive of the folder shown, ending with "\"
    uint8_t ListingFresh = 0;
    std::string TempPath;           // the temporary folder, ending with "/"
    std::string HelpPath;
};

// One item chosen for packing: its name in the folder that holds it.
struct SelectedItem {
    std::string name;
    int32_t isFolder = 0;  // filled in only for items chosen inside an archive
    // The disk folder holding the item; empty for the current folder.
    std::string folder;
};

// One file or folder to store, in walk order.
struct PackItem {
    std::string path;      // relative path inside the archive, "\" between components, a folder's ending with "\"
    uint8_t isFolder = 0;
    int32_t depth = 0;     // folders above the item; 0 for a selected item
    std::string diskPath;  // where it is on disk
    uint64_t size = 0;     // a file's length when the walk saw it (a link's: its target's)
    // Kept for the exact-restore block: a link inside a packed folder is
    // stored as a link, its target text as the entry's data. Folders' and
    // links' permissions and times are the walk's; a file's are taken when it is packed.
    uint8_t isLink = 0;
    std::string linkTarget;
    uint16_t mode = 0;         // permission bits, 0777 at most
    int64_t seconds = 0;       // modification time
    uint32_t nanoseconds = 0;
};

// Counts of the tree walk; they become the header's totals.
struct WalkTotals {
    int64_t files = 0;
    int64_t folders = 0;
    uint64_t bytes = 0;
    int32_t currentDepth = 0;
    // Set when the selection cannot be stored at all (a file of 4 GiB or
    // more, for example); the walk stops and packing refuses with this text.
    std::string refusal;
    bool fatalReported = false;  // a fatal report returned (only a test double returns)
    // Items and files the walk left out (each reported, now or in
    // `omissions`); packing that leaves anything out does not succeed.
    int64_t leftOut = 0;
    // Reports of what was left out that no message of the walk's own gave,
    // each naming the path and the reason, given together at the end.
    std::vector<std::string> omissions;
    // A file the walk leaves out wherever it appears: the archive being written.
    bool hasExcludedFile = false;
    uint64_t excludedDevice = 0;
    uint64_t excludedInode = 0;
};

// One item selected in the list while an archive is browsed: its "Name"
// (caption), whether its "Type" is "<DIR>", and its "Path" (parent path,
// ending with "\" or empty at the top level).
struct ListSelectionItem {
    std::string caption;
    bool isFolder = false;
    std::string path;
};

struct OperationContext {
    explicit OperationContext(OperationUi& operationUi) : ui(operationUi) {}

    OperationUi& ui;
    WindowState window;

    ArchiveHeader header;
    EntryRecord entry;
    std::string entryName;
    CipherState cipher;

    std::vector<SelectedItem> selection;       // packing's input
    std::vector<PackItem> items;               // the walk's output
    // Packing writes only what the first ZOR programs wrote: no exact-restore
    // block, links followed, and what that loses (case, permissions, links) is reported.
    bool plainArchive = false;
    WalkTotals walk;
    std::vector<ListSelectionItem> listSelection;  // selected rows while browsing an archive

    // The password dialog's password for the next archive; nothing when unset.
    std::optional<std::string> packingPassword;

    EngineSettings settings;
    DriverProgress progress;
};

}  // namespace zor
