// clean_up.cpp - CleanUpAfterFailure.
#include "archive/clean_up.h"

namespace zor {

void CleanUpAfterFailure(OperationContext& context, OperationFiles& files) {
    if (files.input) std::fclose(files.input);
    if (files.archive) std::fclose(files.archive);
    files.input = nullptr;
    files.archive = nullptr;
    if (files.packingArchive) files.archiveBeingWritten.discard();
    files.packingArchive = false;
    context.selection.clear();
    context.items.clear();
    context.ui.resumeFolderMonitoring();
    context.ui.setMainWindowEnabled(true);
}

}  // namespace zor
