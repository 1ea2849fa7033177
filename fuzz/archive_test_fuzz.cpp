// archive_test_fuzz.cpp - tests every entry of arbitrary bytes opened as an archive.
//
// Testing writes nothing; whatever the records and streams hold it must end
// with an outcome, report each failure (never succeed silently on a refused
// header or a corrupt walk) and never make a fatal report.
#include <cstdlib>

#include "archive/archive_listing.h"
#include "archive/testing.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zor::fuzz::InputArchive input(data, size);
    zor::fuzz::SilentUi ui;
    zor::OperationContext context(ui);
    context.window.ArchivePath = input.path();
    const zor::OperationOutcome outcome = zor::TestButtonClick(context);
    if (outcome == zor::OperationOutcome::Fatal) std::abort();
    if (outcome == zor::OperationOutcome::Failed && ui.reports == 0) std::abort();
    // An archive whose header is refused can never test as sound.
    if (outcome == zor::OperationOutcome::Succeeded &&
        zor::checkArchiveFile(input.path()).result != zor::ArchiveCheck::Result::Accepted)
        std::abort();
    return 0;
}
