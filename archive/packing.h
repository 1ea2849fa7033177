// packing.h - creates an archive from the selection: tree walk, header, one entry per item, enciphering, final header.
//
// Before anything is written the archive path is checked: a folder, FIFO,
// device or socket there is refused; an existing file or symbolic link is
// replaced only when OperationUi::confirmArchiveOverwrite says so (keeping a
// replaced file's permissions); a selected item that is the archive itself
// refuses the whole pack. The archive is written as a new file beside
// `window.ArchivePath` (unnamed where the file system allows) and appears
// under its name only once it is complete and synced, so a failure or an
// abort never leaves a half-written archive (nor destroys an archive of the
// same name). With a password, streams are enciphered before they reach the
// file. The archive being replaced is never packed into itself. Sizes the
// format cannot count are refused before anything is written; an archive
// that would grow past 2 GiB is refused when it reaches that size. The
// archive's bytes are the same for every `context.settings.threads`.
//
// A file is read up to the length it had when opened; one that changes
// meanwhile is stored as read (its record says so) and named at the end, and
// packing then fails although the archive is written, as it does when the
// walk left anything out.
#pragma once

#include <string>

#include "archive/file_messages.h"
#include "archive/operation_context.h"
#include "archive/operation_outcome.h"

namespace zor {

inline constexpr char kNoFilesSelectedMessage[] = "No files selected";
inline constexpr char kEnterArchiveNameMessage[] = "You have to enter an archive name";
inline constexpr char kCannotCreateArchiveMessage[] = "Cannot create archive";
inline constexpr char kCannotOpenInputMessage[] = "Cannot open input file";
inline constexpr char kArchiveTooLargeMessage[] =
    "The archive would grow past 2 GiB, which a ZOR archive cannot hold; nothing was packed.";

// Packs `context.selection` into `context.window.ArchivePath`, with
// `context.packingPassword` when it is set. Items' names are relative to
// their SelectedItem::folder (or the current folder).
OperationOutcome Initialize_Compression(OperationContext& context);

// The pack-to dialog's suggestion for a first selected item with this
// caption: up to 4 characters whole, otherwise without its last "." and
// what follows (whole when there is no "." after the first character).
std::string suggestedArchiveName(const std::string& caption);

}  // namespace zor
