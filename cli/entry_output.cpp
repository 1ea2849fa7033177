// entry_output.cpp - the walk that decodes chosen files onto standard output.
#include "cli/entry_output.h"

#include <cstdio>

#include "archive/archive_reader.h"
#include "archive/entry_decoding.h"
#include "archive/extraction.h"
#include "archive/file_messages.h"
#include "archive/password_prompt.h"
#include "archive/report_counter.h"

namespace zor::cli {
namespace {

std::string standardOutputFailed() { return aboutFile("(standard output)", kWriteFailedMessage); }

}  // namespace

OperationOutcome writeEntriesToStandardOutput(OperationContext& context, EntryMatcher& matcher) {
    OperationUi& ui = context.ui;
    ArchiveReader reader;
    if (!reader.open(context.window.ArchivePath)) {
        ui.reportError(kCouldNotOpenFileMessage, false);
        return OperationOutcome::Failed;
    }
    if (auto refusal = reader.readHeader()) {
        ui.reportError(*refusal, false);
        return OperationOutcome::Failed;
    }
    std::optional<std::string> password;
    if (reader.header().isPasswordProtected()) {
        bool cancelled = false;
        password = askArchivePassword(context, reader.header(), cancelled);
        if (!password && cancelled && ui.abortRequested()) return OperationOutcome::Aborted;
        if (!password) return cancelled ? OperationOutcome::Cancelled : OperationOutcome::Failed;
    }
    context.progress = DriverProgress{};
    context.progress.totalSize = reader.header().totalSize;
    ui.showProgress();
    OperationOutcome outcome = OperationOutcome::Succeeded;
    ArchiveEntry entry;
    for (;;) {
        const ArchiveReader::Step step = reader.next(entry);
        if (step == ArchiveReader::Step::End) break;
        if (step == ArchiveReader::Step::Corrupt) {
            ui.reportError(kCorruptArchiveMessage, false);
            return OperationOutcome::Failed;
        }
        if (!matcher.matches(entry) || entry.record.folder()) continue;
        if (!entryRecordAgrees(entry)) {
            ui.reportError(entry.name + " is corrupt", false);
            outcome = OperationOutcome::Failed;
            continue;
        }
        if (entry.record.size == 0) continue;
        ui.setCurrentFileLabel(entry.name);
        if (password) resetCipher(context.cipher, *password);
        context.progress.FileBytesDone = 0;
        context.progress.fileSize = entry.record.size;
        ReportCounter counter(ui);
        DriverContext driver{counter, context.progress, context.settings};
        const std::optional<bool> decoded =
            decodeEntryData(reader, entry, password ? &context.cipher : nullptr, stdout, driver);
        if (ui.abortRequested()) return OperationOutcome::Aborted;
        if (counter.fatalReports > 0) return OperationOutcome::Fatal;
        if (std::ferror(stdout)) {
            ui.reportError(standardOutputFailed(), false);
            return OperationOutcome::Failed;
        }
        if (!decoded) {
            ui.reportError(kCannotOpenFileMessage, false);
            return OperationOutcome::Failed;
        }
        if (!*decoded) {
            // The driver says nothing when the data do not even begin a stream.
            if (counter.reports == 0) ui.reportError(entry.name + " is corrupt", false);
            outcome = OperationOutcome::Failed;
        }
    }
    ui.setCurrentFileLabel("");
    ui.closeProgress();
    if (std::fflush(stdout) != 0) {
        ui.reportError(standardOutputFailed(), false);
        return OperationOutcome::Failed;
    }
    return outcome;
}

}  // namespace zor::cli
