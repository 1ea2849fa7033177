// extraction.h - unpacks the whole open archive into a destination folder, asking before it overwrites.
//
// Folders are created, files decompressed (deciphered in memory when the
// archive is protected) and given their stored date, time and read-only
// state. Entries whose names could land outside the destination (empty,
// absolute, "..", "/" or a zero byte inside) are reported and skipped;
// symbolic links below the destination are replaced, never followed. A
// missing destination folder is created.
#pragma once

#include <string>

#include "archive/operation_context.h"
#include "archive/operation_outcome.h"

namespace zor {

inline constexpr char kNotInArchiveMessage[] = "You aren't in an archive";
inline constexpr char kChooseExtractionPathMessage[] = "You have to choose an extraction path";
inline constexpr char kCouldNotOpenFileMessage[] = "Could not open file";
inline constexpr char kCannotOpenFileMessage[] = "Cannot open file";
inline constexpr char kSelectedNotSupportedMessage[] = "Decompress selected files isn't supported yet";

// Extracts `context.window.ArchivePath` into `destination`. With rows
// selected in `context.listSelection` nothing is extracted.
OperationOutcome ExtractArchive(OperationContext& context, const std::string& destination);

}  // namespace zor
