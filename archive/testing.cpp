// testing.cpp - TestButtonClick: testing all entries, or a selection matched by name.
#include "archive/testing.h"

#include <memory>

#include "archive/archive_reader.h"
#include "archive/decode_ahead.h"
#include "archive/extraction.h"
#include "archive/password_prompt.h"
#include "archive/report_counter.h"

namespace zor {
namespace {

class Tester {
public:
    explicit Tester(OperationContext& context) : context_(context), ui_(context.ui) {}

    OperationOutcome run() {
        context_.progress = DriverProgress{};
        if (!reader_.open(context_.window.ArchivePath)) {
            ui_.reportError(kCannotOpenFileMessage, false);
            return OperationOutcome::Failed;
        }
        if (auto refusal = reader_.readHeader()) {
            ui_.reportError(*refusal, false);
            return OperationOutcome::Failed;
        }
        const ArchiveHeader& header = reader_.header();
        if (header.isPasswordProtected()) {
            bool cancelled = false;
            password_ = askArchivePassword(context_, header, cancelled);
            if (!password_ && cancelled && ui_.abortRequested()) {
                // Ctrl+C at the prompt ends the test as an abort, not as a Cancel.
                ui_.clearAbortRequest();
                return OperationOutcome::Aborted;
            }
            if (!password_) return cancelled ? OperationOutcome::Cancelled : OperationOutcome::Failed;
        }
        ui_.setMainWindowEnabled(false);
        ui_.setProgressBars(0, 0);
        ui_.showProgress();
        ui_.enableAbort();
        context_.progress.totalSize = header.totalSize;
        ui_.setTotalFiles(header.numberOfFiles);
        ui_.setTotalDirectories(header.numberOfDirectories);
        startDecodingAhead();

        const OperationOutcome outcome = context_.listSelection.empty() ? testAll() : testSelection();
        if (outcome == OperationOutcome::Aborted) return abort();
        return finish(outcome);
    }

private:
    enum class Read { Entry, End, Corrupt };

    Read readNext(ArchiveEntry& entry) {
        context_.progress.FileBytesDone = 0;
        const int64_t index = reader_.entryIndex();
        const ArchiveReader::Step step = reader_.next(entry);
        if (step == ArchiveReader::Step::End) return Read::End;
        if (step == ArchiveReader::Step::Corrupt) {
            ui_.reportError(kCorruptArchiveMessage, false);
            return Read::Corrupt;
        }
        context_.entry = entry.record;
        context_.entryName = entry.name;
        ui_.setCurrentFileLabel(entry.name);
        ui_.setCurrentFileNumber(index);
        ui_.pumpMessages();
        return Read::Entry;
    }

    OperationOutcome testAll() {
        ArchiveEntry entry;
        for (;;) {
            ui_.setActionLabel("Testing...");
            const Read read = readNext(entry);
            if (read == Read::End) return outcome_;
            if (read == Read::Corrupt) return OperationOutcome::Failed;
            const OperationOutcome result = testOne(entry);
            if (result != OperationOutcome::Succeeded) return result;
        }
    }

    OperationOutcome testSelection() {
        ArchiveEntry entry;
        Read read = readNext(entry);
        while (read == Read::Entry) {
            const ListSelectionItem* match = matchingItem(entry.name, entry.record.folder());
            if (!match) {
                if (ui_.abortRequested()) return OperationOutcome::Aborted;
                skipEntry(entry);
                read = readNext(entry);
                continue;
            }
            ui_.setActionLabel("Testing...");
            OperationOutcome result = testOne(entry);
            if (result != OperationOutcome::Succeeded) return result;
            if (!match->isFolder) {
                read = readNext(entry);
                continue;
            }
            // Everything deeper than the folder that follows it lies inside it.
            const int16_t folderDepth = entry.record.depth;
            while ((read = readNext(entry)) == Read::Entry && entry.record.depth > folderDepth) {
                result = testOne(entry);
                if (result != OperationOutcome::Succeeded) return result;
            }
        }
        return read == Read::Corrupt ? OperationOutcome::Failed : outcome_;
    }

    const ListSelectionItem* matchingItem(const std::string& name, bool folder) const {
        for (const ListSelectionItem& item : context_.listSelection) {
            if (item.isFolder != folder) continue;
            if (name == item.path + item.caption + (item.isFolder ? "\\" : "")) return &item;
        }
        return nullptr;
    }

    void skipEntry(const ArchiveEntry& entry) {
        context_.progress.skipTotal(entry.record.size);
        ui_.setProgressBars(100, static_cast<int>(context_.progress.TotalProgressPercent));
        ui_.pumpMessages();
        ui_.setActionLabel("Skipping file");
    }

    // Succeeded when testing goes on (the entry passed or was reported corrupt); Aborted or Fatal otherwise.
    OperationOutcome testOne(const ArchiveEntry& entry) {
        bool passed = entryRecordAgrees(entry);
        if (passed && !entry.record.folder() && entry.record.size > 0) {
            if (password_) {
                ui_.setActionLabel("Decrypting file ...");
                ui_.pumpMessages();
                resetCipher(context_.cipher, *password_);
            }
            context_.progress.fileSize = entry.record.size;
            ReportCounter counter(ui_);
            DriverContext driver{counter, context_.progress, context_.settings};
            const std::optional<bool> result =
                decodeEntry(ahead_.get(), reader_, entry, password_ ? &context_.cipher : nullptr, nullptr, driver);
            if (!result) {
                ui_.reportError(kCannotOpenFileMessage, false);
                return OperationOutcome::Failed;
            }
            passed = *result;
            if (counter.fatalReports > 0) return OperationOutcome::Fatal;
        }
        if (ui_.abortRequested()) return OperationOutcome::Aborted;
        if (passed) {
            ui_.setActionLabel("File OK");
        } else {
            ui_.reportError(entry.name + " is corrupt", false);
            ui_.showProgress();
            outcome_ = OperationOutcome::Failed;
        }
        return OperationOutcome::Succeeded;
    }

    // With several threads, workers test the entries ahead of this walk.
    void startDecodingAhead() {
        std::function<bool(const ArchiveEntry&)> wanted;
        if (!context_.listSelection.empty()) {
            // A guess that only decides where workers spend their time: the
            // selected files, and whatever lies inside a selected folder.
            wanted = [selection = context_.listSelection](const ArchiveEntry& entry) {
                for (const ListSelectionItem& item : selection) {
                    const std::string name = item.path + item.caption;
                    if (item.isFolder ? entry.name.starts_with(name + "\\") : entry.name == name) return true;
                }
                return false;
            };
        }
        ahead_ = decodeAheadFor(context_, password_, false, std::move(wanted));
    }

    OperationOutcome abort() {
        ahead_.reset();
        ui_.clearAbortRequest();
        reader_.close();
        if (password_) ui_.clearDecryptPassword();
        ui_.closeProgress();
        ui_.setMainWindowEnabled(true);
        return OperationOutcome::Aborted;
    }

    OperationOutcome finish(OperationOutcome outcome) {
        ahead_.reset();
        context_.progress.FileBytesDone = 0;
        context_.progress.TotalBytesDone = 0;
        ui_.setProgressBars(0, 0);
        ui_.setCurrentFileLabel("");
        ui_.setActionLabel("");
        ui_.closeProgress();
        ui_.setMainWindowEnabled(true);
        reader_.close();
        return outcome;
    }

    OperationContext& context_;
    OperationUi& ui_;
    ArchiveReader reader_;
    std::optional<std::string> password_;
    std::unique_ptr<DecodeAhead> ahead_;  // stopped and joined when testing ends
    OperationOutcome outcome_ = OperationOutcome::Succeeded;
};

}  // namespace

OperationOutcome TestButtonClick(OperationContext& context) {
    context.progress.TotalBytesDone = 0;
    return Tester(context).run();
}

}  // namespace zor
