// entry_output.h - writes the contents of an archive's chosen files to standard output, one after another.
#pragma once

#include "archive/operation_context.h"
#include "archive/operation_outcome.h"
#include "cli/entry_matcher.h"

namespace zor::cli {

// Decodes the files of `context.window.ArchivePath` that `matcher` matches,
// in archive order, onto standard output, and nothing onto the disk. A
// protected archive's password is asked for as extraction asks for it. A
// damaged file is reported by name (the bytes it gave are already out) and
// the others still follow; Failed then. A corrupt archive ends the run.
OperationOutcome writeEntriesToStandardOutput(OperationContext& context, EntryMatcher& matcher);

}  // namespace zor::cli
