// extraction.h - unpacks the open archive, or the entries a caller picks, into a folder, asking before it overwrites.
//
// Folders are created, files decompressed (deciphered in memory when the
// archive is protected) and given their stored date, time and read-only
// state. Entries whose names could land outside the destination (empty,
// absolute, "..", "/" or a zero byte inside) are reported and skipped. A
// missing destination folder is created.
//
// What stands in the destination is never written through and never
// removed unasked: each file is written to a new file in its folder and
// put in place only when complete, replacing what stood at its path (a
// file, a hard link, a symbolic link itself) only when the person agreed;
// a file replaced passes its permission bits on. A file whose data turn out
// damaged, or that an abort cuts short, stays as far as it got where
// nothing stood; where something stood, that stays instead. A pipe,
// device, socket or folder at a file's path, and anything but a folder at a
// folder's path, leave that entry (and the entries below it) unextracted;
// each entry left out is named with its reason once the operation ends, and
// the operation then fails.
#pragma once

#include <functional>
#include <string>

#include "archive/archive_reader.h"
#include "archive/operation_context.h"
#include "archive/operation_outcome.h"

namespace zor {

inline constexpr char kNotInArchiveMessage[] = "You aren't in an archive";
inline constexpr char kChooseExtractionPathMessage[] = "You have to choose an extraction path";
inline constexpr char kCouldNotOpenFileMessage[] = "Could not open file";
inline constexpr char kCannotOpenFileMessage[] = "Cannot open file";
inline constexpr char kSelectedNotSupportedMessage[] = "Decompress selected files isn't supported yet";

// What a caller may add to extracting the whole archive.
struct ExtractionChoice {
    // The entries to extract; null for every one. An entry not wanted is
    // passed over without a word, as if the archive did not hold it.
    std::function<bool(const ArchiveEntry&)> wanted;
    // Told of each folder made (or found) and each file put in place whole.
    std::function<void(const ArchiveEntry&)> extracted;
};

// Extracts `context.window.ArchivePath` (the entries `choice` wants) into
// `destination`. With rows selected in `context.listSelection` nothing is
// extracted.
OperationOutcome ExtractArchive(OperationContext& context, const std::string& destination,
                                const ExtractionChoice& choice = {});

}  // namespace zor
