// lock_archive.h - marks the open archive as locked by setting the header's locked field.
//
// The mark is only shown (by the information dialog); nothing refuses or
// treats differently a locked archive, and nothing clears the mark.
#pragma once

#include "archive/operation_context.h"
#include "archive/operation_outcome.h"

namespace zor {

inline constexpr char kAlreadyLockedMessage[] = "Archive already locked.";
inline constexpr char kLockWriteFailedMessage[] = "Cannot write the archive header; the archive is not locked.";

// Locks the archive `context.window.ArchivePath`: its 76-byte header is
// rewritten in place with `locked` 1, every other byte unchanged, and
// `context.header` (the header the information dialog shows) follows.
// A file that is not an accepted ZOR archive is refused with the header's
// message and left untouched; an archive already locked gives "Archive
// already locked." and is left untouched.
OperationOutcome lockArchive(OperationContext& context);

}  // namespace zor
