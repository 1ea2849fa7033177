// lock_archive.cpp - rewrites the header of an accepted archive with the locked mark set.
#include "archive/lock_archive.h"

#include <cstdio>

#include "archive/archive_listing.h"
#include "archive/extraction.h"

namespace zor {

OperationOutcome lockArchive(OperationContext& context) {
    OperationUi& ui = context.ui;
    const std::string& path = context.window.ArchivePath;

    // Check first: writing the mark into a file that is not a finished ZOR
    // archive would damage whatever that file is.
    const ArchiveCheck check = checkArchiveFile(path);
    if (check.result != ArchiveCheck::Result::Accepted) {
        ui.reportError(check.message, false);
        return OperationOutcome::Failed;
    }

    std::FILE* file = std::fopen(path.c_str(), "rb+");
    if (!file) {
        ui.reportError(kCannotOpenFileMessage, false);
        return OperationOutcome::Failed;
    }
    ArchiveHeader header;
    if (!readArchiveHeader(file, header)) {
        std::fclose(file);
        ui.reportError(kCorruptArchiveMessage, false);
        return OperationOutcome::Failed;
    }
    if (header.isLocked()) {
        std::fclose(file);
        ui.reportError(kAlreadyLockedMessage, false);
        return OperationOutcome::Failed;
    }
    header.locked = 1;
    const bool written = std::fseek(file, 0, SEEK_SET) == 0 && writeArchiveHeader(file, header);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        ui.reportError(kLockWriteFailedMessage, false);
        return OperationOutcome::Failed;
    }
    context.header = header;
    return OperationOutcome::Succeeded;
}

}  // namespace zor
