// testing.h - checks that the open archive's entries (all, or the selected ones) decompress without error.
//
// Nothing is written: a protected archive's data are deciphered in memory
// on their way into the stream tester.
#pragma once

#include "archive/operation_context.h"
#include "archive/operation_outcome.h"

namespace zor {

// Tests every entry of `context.window.ArchivePath`, or with rows in
// `context.listSelection` only the selected files and everything beneath
// the selected folders. Each entry ends with "File OK" in the action label
// or "<name> is corrupt" reported; Failed when any entry was corrupt.
OperationOutcome TestButtonClick(OperationContext& context);

}  // namespace zor
