// extraction.cpp - ExtractArchive: the entry walk, the overwrite questions and writing one file.
#include "archive/extraction.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/archive_reader.h"
#include "archive/clean_up.h"
#include "archive/decode_ahead.h"
#include "archive/entry_names.h"
#include "archive/file_messages.h"
#include "archive/password_prompt.h"
#include "archive/report_counter.h"
#include "archive/safe_destination.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/new_file.h"
#include "platform/unique_descriptor.h"
#include "platform/unique_file.h"

namespace zor {
namespace {

class Extractor {
public:
    Extractor(OperationContext& context, const std::string& destination, const ExtractionChoice& choice)
        : context_(context), ui_(context.ui), destination_(destination), choice_(choice) {
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
            if (!password_ && cancelled && ui_.abortRequested()) return abort();
            if (!password_) return end(cancelled ? OperationOutcome::Cancelled : OperationOutcome::Failed);
        }
        if (!context_.listSelection.empty()) return failAndEnd(kSelectedNotSupportedMessage);
        if (!target_.open(destination_)) {
            return failAndEnd("Cannot create the destination folder " + destination_);
        }
        context_.progress.totalSize = header.totalSize;
        // Recorded permissions are masked as a plain create masks them.
        umask_ = ::umask(0);
        ::umask(umask_);
        // With several threads, workers decode the files ahead of this walk (a link's target is in its record).
        ahead_ = decodeAheadFor(context_, password_, true, [wanted = choice_.wanted](const ArchiveEntry& entry) {
            return (!wanted || wanted(entry)) && !unsafeEntryNameReason(entry.name, false) && !isLink(entry);
        });

        ArchiveEntry entry;
        for (;;) {
            const int64_t index = reader_.entryIndex();
            const ArchiveReader::Step step = reader_.next(entry);
            if (step == ArchiveReader::Step::End) break;
            if (step == ArchiveReader::Step::Corrupt) return failAndEnd(kCorruptArchiveMessage);
            if (choice_.wanted && !choice_.wanted(entry)) {
                context_.progress.TotalBytesDone += entry.record.size;  // the overall progress counts it as done
                continue;
            }
            context_.entry = entry.record;
            context_.entryName = entry.name;
            auto reason = unsafeEntryNameReason(entry.name, entry.record.folder());
            if (!reason && !entryRecordAgrees(entry)) reason = "its record is damaged";
            if (reason) {
                leaveOut(entry, *reason);
                continue;
            }
            if (entry.record.folder()) {
                // An existing folder is fine; anything else in the way is never removed.
                std::string refusal;
                bool created = false;
                if (!target_.makeFolder(splitEntryName(entry.name), refusal, &created)) {
                    leaveOut(entry, refusal);
                    continue;
                }
                // A folder made here gets its own permissions and time once all it holds is in it.
                if (created && entry.exact) madeFolders_.push_back(*entry.exact);
                if (choice_.extracted) choice_.extracted(entry);
                continue;
            }
            if (isLink(entry)) {
                makeLink(entry);
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
        std::string refusal;
        const UniqueDescriptor parent(target_.openParent(components, refusal));
        if (!parent.open()) return leaveOut(entry, refusal);
        const std::string& leaf = components.back();
        bool replacing = false;
        bool restoreReadOnly = false;
        mode_t permissions = 0;  // of a file replaced: the new one keeps them, as writing in place did
        struct stat existing {};
        if (::fstatat(parent.get(), leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            if (isTheArchive(existing)) {
                ui_.reportError("File " + shownPath + " is the archive being extracted; it was not overwritten.", false);
                return OperationOutcome::Failed;
            }
            // A pipe or a device is never opened, and a folder is no file to overwrite.
            if (!S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode)) {
                return leaveOut(entry, shownPath + " is " + kindOfFile(existing) + ", not a file");
            }
            QuestionAnswer answer = QuestionAnswer::All;
            if (!overwriteAll_) {
                ui_.hideProgress();
                answer = ui_.askOverwrite(shownPath);
                if (ui_.abortRequested()) return abort();
            }
            if (answer == QuestionAnswer::All) overwriteAll_ = true;
            if (answer != QuestionAnswer::Yes && answer != QuestionAnswer::All) return OperationOutcome::Succeeded;
            // A link is replaced itself, so only a read-only file is asked about.
            if (S_ISREG(existing.st_mode) && !(existing.st_mode & S_IWUSR)) {
                const bool overwrite = ui_.confirmReadOnlyOverwrite("File " + shownPath + " is read-only. Overwrite ?");
                if (ui_.abortRequested()) return abort();
                if (!overwrite) return OperationOutcome::Succeeded;
                ui_.enableAbort();
                restoreReadOnly = true;
            }
            replacing = true;
            if (S_ISREG(existing.st_mode)) permissions = existing.st_mode & 0777;
        } else if (errno != ENOENT) {
            return leaveOut(entry, aboutFile(shownPath, "cannot be examined", errno));
        }

        // What stood at the path stays untouched until the new file is complete.
        ui_.showProgress();
        NewFile file;
        if (!file.create(parent.get(), leaf)) return stop(aboutFile(shownPath, kCannotOpenFileMessage, errno));
        if (permissions != 0) ::fchmod(file.descriptor(), permissions);
        const int written = ::fcntl(file.descriptor(), F_DUPFD_CLOEXEC, 0);
        UniqueFile output(written >= 0 ? ::fdopen(written, "wb") : nullptr);
        if (!output) {
            if (written >= 0) ::close(written);
            return stop(aboutFile(shownPath, kCannotOpenFileMessage, errno));
        }
        ui_.setCurrentFileLabel(shownPath);
        ui_.setTotalFiles(context_.header.numberOfFiles);
        ui_.setTotalDirectories(context_.header.numberOfDirectories);
        ui_.setCurrentFileNumber(index);
        context_.progress.FileBytesDone = 0;
        context_.progress.fileSize = entry.record.size;
        ui_.pumpMessages();

        std::optional<bool> result = true;
        int reportsBefore = 0;
        ReportCounter counter(ui_, false, shownPath);
        if (entry.record.size > 0) {
            if (password_) {
                ui_.setActionLabel("Decrypting file ...");
                ui_.pumpMessages();
                resetCipher(context_.cipher, *password_);
            }
            DriverContext driver{counter, context_.progress, context_.settings};
            reportsBefore = counter.reports;
            result = decodeEntry(ahead_.get(), reader_, entry, password_ ? &context_.cipher : nullptr, output.get(),
                                 driver);
        }
        const bool closed = closeChecked(output);
        if (ui_.abortRequested()) {
            // A file of its own stays as far as it got; one that replaced another would lose it.
            if (!replacing) file.commit(false);
            return abort();
        }
        if (!result) return stop(aboutFile(shownPath, kCannotOpenFileMessage));
        if (counter.fatalReports > 0) return OperationOutcome::Fatal;
        if (!closed) return stop(aboutFile(shownPath, kWriteFailedMessage, errno));
        const bool decoded = *result;
        if (!decoded) {
            // The driver says nothing when the data do not even begin a stream.
            if (counter.reports == reportsBefore) ui_.reportError(entry.name + " is corrupt", false);
            if (replacing) return leaveOut(entry, "its data are damaged, so " + shownPath + " was kept as it was");
            outcome_ = OperationOutcome::Failed;
        }
        setFileDosDateTime(file.descriptor(), entry.record.fileTime);
        setAttributes(file.descriptor(), restoreReadOnly ? kAttributeReadOnly : entry.record.attributes);
        if (entry.exact) {
            ::fchmod(file.descriptor(), entry.exact->mode & ~umask_);
            const struct timespec times[2] = {{0, UTIME_OMIT}, timeOf(*entry.exact)};
            ::futimens(file.descriptor(), times);
        }
        // The old file goes only once the new one is on the disk, even if the machine stops.
        if (replacing && ::fsync(file.descriptor()) != 0) return stop(aboutFile(shownPath, kWriteFailedMessage, errno));
        if (!file.commit(replacing)) {
            if (errno == EEXIST) return leaveOut(entry, shownPath + " appeared while it was written; it was left as it was");
            return leaveOut(entry, aboutFile(shownPath, "cannot be put in place", errno));
        }
        if (decoded && choice_.extracted) choice_.extracted(entry);
        return decoded ? OperationOutcome::Succeeded : OperationOutcome::Failed;
    }

    static bool isLink(const ArchiveEntry& entry) { return entry.exact && entry.exact->kind == ExactKind::Link; }

    static struct timespec timeOf(const ExactRecord& record) {
        return {static_cast<time_t>(record.seconds), static_cast<long>(record.nanoseconds)};
    }

    // A symbolic link, made as the link itself with its recorded time. What
    // stands at its path is kept; later entries never pass through it, as
    // the destination walk follows no link.
    void makeLink(const ArchiveEntry& entry) {
        const std::vector<std::string> components = splitEntryName(entry.name);
        const std::string shownPath = destination_ + toDiskPath(entry.name);
        std::string refusal;
        const UniqueDescriptor parent(target_.openParent(components, refusal));
        if (!parent.open()) return (void)leaveOut(entry, refusal);
        const std::string& leaf = components.back();
        if (::symlinkat(entry.exact->target.c_str(), parent.get(), leaf.c_str()) != 0) {
            if (errno == EEXIST) return (void)leaveOut(entry, shownPath + " already exists; the link was not made");
            return (void)leaveOut(entry, aboutFile(shownPath, "cannot be made as a link", errno));
        }
        const struct timespec times[2] = {{0, UTIME_OMIT}, timeOf(*entry.exact)};
        ::utimensat(parent.get(), leaf.c_str(), times, AT_SYMLINK_NOFOLLOW);
        if (choice_.extracted) choice_.extracted(entry);
    }

    // The folders made here, innermost first (entries list a folder before
    // what it holds), get their recorded permissions and time through their
    // own descriptors: a read-only folder was writable while it was filled.
    void settleMadeFolders() {
        for (auto folder = madeFolders_.rbegin(); folder != madeFolders_.rend(); ++folder) {
            std::string refusal;
            const UniqueDescriptor fd(target_.openFolderAt(splitEntryName(folder->name), refusal));
            if (!fd.open()) continue;
            const struct timespec times[2] = {{0, UTIME_OMIT}, timeOf(*folder)};
            ::futimens(fd.get(), times);
            ::fchmod(fd.get(), folder->mode & ~umask_);
        }
        madeFolders_.clear();
    }

    // An entry that cannot be extracted: named with the reason once the operation ends; the others go on.
    OperationOutcome leaveOut(const ArchiveEntry& entry, const std::string& reason) {
        leftOut_.push_back("Entry \"" + printable(entry.name) + "\" was not extracted: " + reason + ".");
        outcome_ = OperationOutcome::Failed;
        return OperationOutcome::Failed;
    }

    // The person aborted (the Abort button, or Ctrl+C at a question or a prompt).
    OperationOutcome abort() {
        ahead_.reset();
        settleMadeFolders();
        ui_.clearAbortRequest();
        if (password_) ui_.clearDecryptPassword();
        OperationFiles files;
        CleanUpAfterFailure(context_, files);
        ui_.closeProgress();
        reportLeftOut();
        return OperationOutcome::Aborted;
    }

    void reportLeftOut() {
        if (!leftOut_.empty()) ui_.reportOmissions(leftOut_);
        leftOut_.clear();
    }

    // An entry named like the archive itself (or a hard link to it) would
    // truncate the archive while it is being read.
    bool isTheArchive(const struct stat& existing) const {
        struct stat archive {};
        return ::fstat(::fileno(reader_.file()), &archive) == 0 && archive.st_dev == existing.st_dev &&
               archive.st_ino == existing.st_ino;
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
        settleMadeFolders();
        ui_.clearDecryptPassword();
        reader_.close();
        ui_.hideProgress();
        reportLeftOut();
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
    const ExtractionChoice& choice_;
    ArchiveReader reader_;
    SafeDestination target_;
    std::optional<std::string> password_;
    std::unique_ptr<DecodeAhead> ahead_;  // stopped and joined when the extraction ends
    std::vector<std::string> leftOut_;  // entries not extracted, each with its reason
    std::vector<ExactRecord> madeFolders_;  // folders made here that have recorded permissions and times
    mode_t umask_ = 022;
    bool overwriteAll_ = false;
    bool stopped_ = false;
    OperationOutcome outcome_ = OperationOutcome::Succeeded;
};

}  // namespace

OperationOutcome ExtractArchive(OperationContext& context, const std::string& destination,
                                const ExtractionChoice& choice) {
    if (destination.empty()) {
        context.ui.reportError(kChooseExtractionPathMessage, false);
        return OperationOutcome::Failed;
    }
    return Extractor(context, destination, choice).run();
}

}  // namespace zor
