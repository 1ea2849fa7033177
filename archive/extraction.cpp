// extraction.cpp - ExtractArchive: the entry walk, the overwrite questions and writing one file.
#include "archive/extraction.h"

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/archive_reader.h"
#include "archive/clean_up.h"
#include "archive/decode_ahead.h"
#include "archive/entry_names.h"
#include "archive/password_prompt.h"
#include "archive/report_counter.h"
#include "archive/safe_destination.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"

namespace zor {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

class Extractor {
public:
    Extractor(OperationContext& context, const std::string& destination)
        : context_(context), ui_(context.ui), destination_(destination) {
        if (!destination_.empty() && destination_.back() != '/') destination_ += '/';
    }

    OperationOutcome run() {
        if (!reader_.open(context_.window.ArchivePath)) return failAndEnd(kCouldNotOpenFileMessage);
        context_.progress = DriverProgress{};
        ui_.setProgressBars(0, 0);
        if (auto refusal = reader_.readHeader()) return failAndEnd(*refusal);
        context_.header = reader_.header();
        const ArchiveHeader& header = context_.header;
        if (header.isPasswordProtected()) {
            bool cancelled = false;
            password_ = askArchivePassword(context_, header, cancelled);
            if (!password_) return end(cancelled ? OperationOutcome::Cancelled : OperationOutcome::Failed);
        }
        if (!context_.listSelection.empty()) return failAndEnd(kSelectedNotSupportedMessage);
        if (!target_.open(destination_)) {
            return failAndEnd("Cannot create the destination folder " + destination_);
        }
        context_.progress.totalSize = header.totalSize;
        // With several threads, workers decode the files ahead of this walk.
        ahead_ = decodeAheadFor(context_, password_, true,
                                [](const ArchiveEntry& entry) { return !unsafeEntryNameReason(entry.name, false); });

        ArchiveEntry entry;
        for (;;) {
            const int64_t index = reader_.entryIndex();
            const ArchiveReader::Step step = reader_.next(entry);
            if (step == ArchiveReader::Step::End) break;
            if (step == ArchiveReader::Step::Corrupt) return failAndEnd(kCorruptArchiveMessage);
            context_.entry = entry.record;
            context_.entryName = entry.name;
            auto reason = unsafeEntryNameReason(entry.name, entry.record.folder());
            if (!reason && !entryRecordAgrees(entry)) reason = "its record is damaged";
            if (reason) {
                ui_.reportError("Entry \"" + printable(entry.name) + "\" was not extracted: " + *reason + ".", false);
                outcome_ = OperationOutcome::Failed;
                continue;
            }
            if (entry.record.folder()) {
                target_.makeFolder(splitEntryName(entry.name));  // an error here is ignored, as for an existing folder
                continue;
            }
            const OperationOutcome fileOutcome = extractFile(entry, index);
            if (fileOutcome == OperationOutcome::Aborted || fileOutcome == OperationOutcome::Fatal) return fileOutcome;
            if (fileOutcome != OperationOutcome::Succeeded && stopped_) return end(fileOutcome);
            if (fileOutcome != OperationOutcome::Succeeded) outcome_ = fileOutcome;
        }
        return end(outcome_);
    }

private:
    static std::string printable(const std::string& name) {
        std::string shown;
        for (char c : name) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
        return shown;
    }

    OperationOutcome extractFile(const ArchiveEntry& entry, int64_t index) {
        const std::vector<std::string> components = splitEntryName(entry.name);
        const std::string shownPath = destination_ + toDiskPath(entry.name);
        ui_.pumpMessages();
        const int parent = target_.openParent(components);
        if (parent < 0) return stop(kCannotOpenFileMessage);
        const std::string& leaf = components.back();
        bool restoreReadOnly = false;
        struct stat existing {};
        if (::fstatat(parent, leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            if (isTheArchive(existing)) {
                ::close(parent);
                ui_.reportError("File " + shownPath + " is the archive being extracted; it was not overwritten.", false);
                return OperationOutcome::Failed;
            }
            QuestionAnswer answer = QuestionAnswer::All;
            if (!overwriteAll_) {
                ui_.hideProgress();
                answer = ui_.askQuestion("File " + shownPath + " already exists. Overwrite ?");
            }
            if (answer == QuestionAnswer::All) overwriteAll_ = true;
            if (answer != QuestionAnswer::Yes && answer != QuestionAnswer::All) return skip(parent);
            if (S_ISLNK(existing.st_mode)) {
                ::unlinkat(parent, leaf.c_str(), 0);  // replaced, never followed
            } else if (S_ISREG(existing.st_mode) && !(existing.st_mode & S_IWUSR)) {
                if (!ui_.confirmReadOnlyOverwrite("File " + shownPath + " is read-only. Overwrite ?")) return skip(parent);
                ::fchmodat(parent, leaf.c_str(), (existing.st_mode | S_IWUSR) & 07777, 0);
                ui_.enableAbort();
                restoreReadOnly = true;
            }
        }
        ui_.showProgress();
        const int fd = ::openat(parent, leaf.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
        ::close(parent);
        FileHandle output(fd >= 0 ? ::fdopen(fd, "wb") : nullptr);
        if (!output) {
            if (fd >= 0) ::close(fd);
            return stop(kCannotOpenFileMessage);
        }
        ui_.setCurrentFileLabel(shownPath);
        ui_.setTotalFiles(context_.header.numberOfFiles);
        ui_.setTotalDirectories(context_.header.numberOfDirectories);
        ui_.setCurrentFileNumber(index);
        context_.progress.FileBytesDone = 0;
        context_.progress.fileSize = entry.record.size;
        ui_.pumpMessages();

        bool decoded = true;
        int reportsBefore = 0;
        ReportCounter counter(ui_);
        if (entry.record.size > 0) {
            if (password_) {
                ui_.setActionLabel("Decrypting file ...");
                ui_.pumpMessages();
                resetCipher(context_.cipher, *password_);
            }
            DriverContext driver{counter, context_.progress, context_.settings};
            reportsBefore = counter.reports;
            const std::optional<bool> result = decodeEntry(ahead_.get(), reader_, entry,
                                                           password_ ? &context_.cipher : nullptr, output.get(), driver);
            if (!result) return stop(kCannotOpenFileMessage);
            decoded = *result;
        }
        if (ui_.abortRequested()) {
            ahead_.reset();
            ui_.clearAbortRequest();
            if (password_) ui_.clearDecryptPassword();
            OperationFiles files;
            files.input = output.release();  // closed; the partly written file stays as far as it got
            CleanUpAfterFailure(context_, files);
            ui_.closeProgress();
            return OperationOutcome::Aborted;
        }
        if (counter.fatalReports > 0) return OperationOutcome::Fatal;
        OperationOutcome result = OperationOutcome::Succeeded;
        if (!decoded) {
            // The driver says nothing when the data do not even begin a stream.
            if (counter.reports == reportsBefore) ui_.reportError(entry.name + " is corrupt", false);
            result = OperationOutcome::Failed;
        }
        std::fflush(output.get());
        setFileDosDateTime(::fileno(output.get()), entry.record.fileTime);
        setAttributes(::fileno(output.get()), restoreReadOnly ? kAttributeReadOnly : entry.record.attributes);
        if (std::fclose(output.release()) != 0) return stop("I/O or other error, bailing out.");
        return result;
    }

    // An entry named like the archive itself (or a hard link to it) would
    // truncate the archive while it is being read.
    bool isTheArchive(const struct stat& existing) const {
        struct stat archive {};
        return ::fstat(::fileno(reader_.file()), &archive) == 0 && archive.st_dev == existing.st_dev &&
               archive.st_ino == existing.st_ino;
    }

    OperationOutcome skip(int parent) {
        ::close(parent);
        return OperationOutcome::Succeeded;
    }

    // A failure that ends the whole extraction.
    OperationOutcome stop(const std::string& message) {
        ui_.reportError(message, false);
        stopped_ = true;
        return OperationOutcome::Failed;
    }

    OperationOutcome failAndEnd(const std::string& message) {
        ui_.reportError(message, false);
        return end(OperationOutcome::Failed);
    }

    OperationOutcome end(OperationOutcome outcome) {
        ahead_.reset();
        ui_.clearDecryptPassword();
        reader_.close();
        ui_.hideProgress();
        context_.progress.FileBytesDone = 0;
        context_.progress.TotalBytesDone = 0;
        ui_.setCurrentFileLabel("");
        ui_.setActionLabel("");
        context_.selection.clear();
        return outcome;
    }

    OperationContext& context_;
    OperationUi& ui_;
    std::string destination_;
    ArchiveReader reader_;
    SafeDestination target_;
    std::optional<std::string> password_;
    std::unique_ptr<DecodeAhead> ahead_;  // stopped and joined when the extraction ends
    bool overwriteAll_ = false;
    bool stopped_ = false;
    OperationOutcome outcome_ = OperationOutcome::Succeeded;
};

}  // namespace

OperationOutcome ExtractArchive(OperationContext& context, const std::string& destination) {
    if (destination.empty()) {
        context.ui.reportError(kChooseExtractionPathMessage, false);
        return OperationOutcome::Failed;
    }
    return Extractor(context, destination).run();
}

}  // namespace zor
