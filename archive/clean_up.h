// clean_up.h - the common clean-up that every failed or aborted pack and extraction ends with.
#pragma once

#include <cstdio>
#include <string>

#include "archive/operation_context.h"
#include "platform/new_file.h"

namespace zor {

// The files an operation has open, and the partial archive while one is being written.
struct OperationFiles {
    std::FILE* input = nullptr;
    std::FILE* archive = nullptr;
    bool packingArchive = false;   // while set, the clean-up discards `archiveBeingWritten`
    NewFile archiveBeingWritten;   // the archive until it is committed under its name
};

// Closes the open files, discards the archive being written (only while
// packingArchive is set), frees the selection and item lists, lets the
// folder list follow the disk again and re-enables the main window.
void CleanUpAfterFailure(OperationContext& context, OperationFiles& files);

}  // namespace zor
