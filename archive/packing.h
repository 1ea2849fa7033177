// packing.h - creates an archive from the selection: tree walk, header, one entry per item, enciphering, final header.
//
// The archive is written under a temporary name beside `window.ArchivePath`
// and renamed onto it only once it is complete, so a failure or an abort
// never leaves a half-written archive (nor destroys an archive of the same
// name). The archive being replaced is never packed into itself. Sizes the
// format cannot count are refused before anything is written; an archive
// that would grow past 2 GiB is refused when it reaches that size. The
// archive's bytes are the same for every `context.settings.threads`.
#pragma once

#include <string>

#include "archive/operation_context.h"
#include "archive/operation_outcome.h"

namespace zor {

inline constexpr char kNoFilesSelectedMessage[] = "No files selected";
inline constexpr char kEnterArchiveNameMessage[] = "You have to enter an archive name";
inline constexpr char kCannotCreateArchiveMessage[] = "Cannot create archive";
inline constexpr char kCannotOpenInputMessage[] = "Cannot open input file";
inline constexpr char kWriteFailedMessage[] = "I/O or other error, bailing out.";
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
