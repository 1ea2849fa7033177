// packing.cpp - Initialize_Compression: walk, then header, entries, enciphering and the final header.
//
// Write order: the header with archiveSize -1 and a 40-byte placeholder
// record at 76; for each item at the current entry offset either a folder's
// record and name, or a file's name, its compressed stream appended, its
// final record written back into the slot (with a password the stream is
// enciphered on its way into the archive) and a copy of its record appended
// as the next placeholder (which the next entry overwrites; after the last file it
// stays as the trailing record). Finally the header is rewritten with the
// archive's length, packed total and ratio.
//
// With several threads, workers compress the small files ahead of their
// turn (pack_ahead.h); such an entry's record, name and stream are appended
// in one go and its placeholder is written only if no entry follows to
// overwrite it, which leaves the same bytes. Every other file, and every
// file a worker had trouble with, is done here as with one thread.
//
// Each item's exact name, permissions, time and kind are kept as it is
// packed; when the entries would lose any of it, the exact-restore block
// (exact_block.h) is appended after them, and the header's archiveSize
// counts it. A plain archive gets no block, and what it loses is named.
#include "archive/packing.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/clean_up.h"
#include "archive/entry_names.h"
#include "archive/exact_block.h"
#include "archive/file_messages.h"
#include "archive/pack_ahead.h"
#include "archive/packing_streams.h"
#include "archive/report_counter.h"
#include "archive/tree_walk.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/regular_file.h"
#include "platform/unique_file.h"

namespace zor {
namespace {

constexpr uint64_t kLargestArchive = std::numeric_limits<int32_t>::max();
// Entries of small files take a few hundred bytes each, and each record is
// written back once its stream is known: a window this large holds many
// entries, so the disk sees one write for them all.
constexpr std::size_t kArchiveWindow = 256 * 1024;

constexpr char kPackedIntoItselfMessage[] = "This is the archive being written; it cannot be packed into itself";

// What stands at a path that is neither a file nor a symbolic link, for the refusal.
const char* kindOf(const struct stat& status) {
    if (S_ISDIR(status.st_mode)) return "it is a folder";
    if (S_ISFIFO(status.st_mode)) return "it is a FIFO";
    if (S_ISSOCK(status.st_mode)) return "it is a socket";
    return "it is a device";
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// True when both paths name the same entry of the same folder, whether or not anything stands there.
bool samePlace(const std::string& a, const std::string& b) {
    auto split = [](const std::string& path) {
        std::string trimmed = path;
        while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
        const std::size_t slash = trimmed.rfind('/');
        if (slash == std::string::npos) return std::pair<std::string, std::string>(".", trimmed);
        const std::string folder = slash == 0 ? "/" : trimmed.substr(0, slash);
        return std::pair<std::string, std::string>(folder, trimmed.substr(slash + 1));
    };
    const auto [folderA, nameA] = split(a);
    const auto [folderB, nameB] = split(b);
    if (nameA != nameB || nameA.empty() || nameA == "." || nameA == "..") return false;
    struct stat statusA {}, statusB {};
    return ::stat(folderA.c_str(), &statusA) == 0 && ::stat(folderB.c_str(), &statusB) == 0 &&
           sameFile(statusA, statusB);
}

// True when `path` holds a finished ZOR archive (a header that reads, written to its end).
bool isFinishedArchive(const std::string& path) {
    ArchiveReader reader;
    ArchiveHeader header;
    return reader.open(path) && readArchiveHeader(reader.file(), header) && fieldText(header.signature) == "ZOR" &&
           header.archiveSize != -1;
}

std::string diskPathOf(const SelectedItem& item) {
    return item.folder.empty() ? item.name : item.folder + "/" + item.name;
}

bool seekTo(std::FILE* file, uint64_t offset) { return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0; }

uint64_t endOf(std::FILE* file) {
    if (::fseeko(file, 0, SEEK_END) != 0) return std::numeric_limits<uint64_t>::max();
    return static_cast<uint64_t>(::ftello(file));
}

class Packer {
public:
    explicit Packer(OperationContext& context)
        : context_(context), ui_(context.ui), header_(context.header), record_(context.entry) {}
    Packer(const Packer&) = delete;
    Packer& operator=(const Packer&) = delete;
    // Leaving by an exception (out of memory) still removes the partial archive.
    ~Packer() {
        if (reader_ || files_.archive || files_.packingArchive) fail(OperationOutcome::Fatal);
    }

    OperationOutcome run() {
        ui_.clearAbortRequest();
        context_.items.clear();
        context_.walk.currentDepth = 0;
        ui_.suspendFolderMonitoring();
        if (const std::optional<OperationOutcome> refused = checkArchivePath()) return *refused;
        ui_.showProgress();
        ui_.enableAbort();
        ui_.pumpMessages();
        header_ = newArchiveHeader();
        ui_.setProgressBars(0, 0);
        context_.progress = DriverProgress{};
        context_.walk.leftOut = 0;
        context_.walk.omissions.clear();
        // Workers start on the first small files while the walk goes on.
        if (context_.settings.threads > 1) ahead_.emplace(context_.settings);
        TotalLength(context_, [this](std::size_t index) {
            if (ahead_) ahead_->listed(index, context_.items[index]);
        });
        ui_.setTotalDirectories(context_.walk.folders);
        ui_.setTotalFiles(context_.walk.files);
        if (ui_.abortRequested()) {
            ui_.clearAbortRequest();
            CleanUpAfterFailure(context_, files_);
            ui_.closeProgress();
            return OperationOutcome::Aborted;
        }
        if (context_.walk.fatalReported) return fail(OperationOutcome::Fatal);
        if (!context_.walk.refusal.empty()) return failWith(context_.walk.refusal);
        if (context_.walk.files > std::numeric_limits<int32_t>::max() ||
            context_.walk.folders > std::numeric_limits<int32_t>::max()) {
            return failWith("The selection holds more files or folders than a ZOR archive can count.");
        }

        ui_.startProgressUpdates(context_.progress);
        progressStarted_ = true;
        header_.totalSize = static_cast<uint32_t>(context_.walk.bytes);
        header_.numberOfFiles = static_cast<int32_t>(context_.walk.files);
        header_.numberOfDirectories = static_cast<int32_t>(context_.walk.folders);
        header_.blockSize = static_cast<int16_t>(context_.settings.blockSizeLevel);
        entryOffset_ = kArchiveHeaderSize;
        if (protectedArchive()) {
            const auto marker = encipherMarker(context_.cipher, *context_.packingPassword);
            std::copy(marker.begin(), marker.end(), header_.marker.begin());
            header_.marker[kPasswordMarkerLength] = 0;
            header_.markerLength = static_cast<int16_t>(kPasswordMarkerLength);
            header_.passwordProtected = 1;
        }

        if (!createArchive()) {
            return failWith(aboutFile(context_.window.ArchivePath, kCannotCreateArchiveMessage, errno));
        }
        if (!writeArchiveHeader(files_.archive, header_) || !writeEntryRecord(files_.archive, EntryRecord{})) {
            return failWith(kWriteFailedMessage);
        }

        for (std::size_t i = 0; i < context_.items.size(); ++i) {
            const PackItem& item = context_.items[i];
            if (ahead_) ahead_->reached(i);
            const OperationOutcome outcome = item.isFolder ? packFolder(item) : packFile(item, i);
            if (outcome != OperationOutcome::Succeeded) return outcome;
        }
        return finish();
    }

private:
    bool protectedArchive() const { return context_.packingPassword && !context_.packingPassword->empty(); }

    // Before anything is written: what stands at the archive path may be
    // replaced only when it is a file or a link and the person says so, and
    // no selected item may be the archive itself. The outcome of a refusal.
    std::optional<OperationOutcome> checkArchivePath() {
        const std::string& target = context_.window.ArchivePath;
        struct stat status {};
        const bool exists = ::lstat(target.c_str(), &status) == 0;
        const bool regular = exists && S_ISREG(status.st_mode);
        if (exists && !regular && !S_ISLNK(status.st_mode)) {
            return refuse(aboutFile(target, kCannotCreateArchiveMessage) + " (" + kindOf(status) + ")");
        }
        // A read-only archive is kept, as a file that cannot be written over.
        if (regular && !(status.st_mode & S_IWUSR)) {
            return refuse(aboutFile(target, kCannotCreateArchiveMessage, EACCES));
        }
        for (const SelectedItem& item : context_.selection) {
            const std::string diskPath = diskPathOf(item);
            struct stat itemStatus {};
            const bool sameAsArchive =
                regular && ::stat(diskPath.c_str(), &itemStatus) == 0 && sameFile(itemStatus, status);
            if (sameAsArchive || samePlace(diskPath, target)) {
                return refuse(aboutFile(diskPath, kPackedIntoItselfMessage));
            }
        }
        // The archive being replaced is left out wherever the walk meets it
        // (a link at the archive path is replaced itself; its target may be packed).
        context_.walk.hasExcludedFile = regular;
        context_.walk.excludedDevice = status.st_dev;
        context_.walk.excludedInode = status.st_ino;
        if (!exists) return std::nullopt;
        if (!ui_.confirmArchiveOverwrite(target, isFinishedArchive(target))) {
            // Ctrl+C at the question stops the operation; a No just declines it.
            const bool aborted = ui_.abortRequested();
            ui_.clearAbortRequest();
            CleanUpAfterFailure(context_, files_);
            return aborted ? OperationOutcome::Aborted : OperationOutcome::Cancelled;
        }
        replace_ = true;
        if (regular) keptMode_ = status.st_mode & 0777;
        return std::nullopt;
    }

    OperationOutcome refuse(const std::string& message) {
        ui_.reportError(message, false);
        CleanUpAfterFailure(context_, files_);
        return OperationOutcome::Failed;
    }

    // The new archive, unnamed or as a part file beside the target, with a
    // writer of its own over it; false with errno set.
    bool createArchive() {
        if (!files_.archiveBeingWritten.createBeside(context_.window.ArchivePath)) return false;
        files_.packingArchive = true;
        const int fd = ::fcntl(files_.archiveBeingWritten.descriptor(), F_DUPFD_CLOEXEC, 0);
        if (fd < 0) return false;
        writer_.emplace(fd, kArchiveWindow);
        files_.archive = writer_->stream();
        return files_.archive != nullptr;
    }

    void fillRecord(const PackItem& item, const std::string& name) {
        record_ = EntryRecord{};
        record_.isFolder = item.isFolder ? 1 : 0;
        record_.entryType = item.isFolder ? kEntryTypeFolder : kEntryTypeFile;
        record_.nameLength = static_cast<int16_t>(name.size() + 1);
        record_.depth = static_cast<int16_t>(item.depth);
    }

    bool writeName(const std::string& name) {
        return std::fwrite(name.c_str(), 1, name.size() + 1, files_.archive) == name.size() + 1;
    }

    OperationOutcome packFolder(const PackItem& item) {
        keepExact(item, ExactKind::Folder, item.mode, item.seconds, item.nanoseconds);
        context_.entryName = toEntryName(item.path);
        fillRecord(item, context_.entryName);
        if (!moveToEntry() || !writeEntryRecord(files_.archive, record_) || !writeName(context_.entryName)) {
            return failWith(kWriteFailedMessage);
        }
        entryOffset_ += kEntryRecordSize + static_cast<uint64_t>(record_.nameLength);
        positionedAtEntry_ = true;
        if (ui_.abortRequested()) return abort();
        return OperationOutcome::Succeeded;
    }

    OperationOutcome packFile(const PackItem& item, std::size_t index) {
        if (ahead_) {
            std::optional<CompressedAhead> ahead = ahead_->take(index, [this] {
                ui_.pumpMessages();
                return !ui_.abortRequested();
            });
            if (ahead) return storeCompressedAhead(item, index, *ahead);
            if (ui_.abortRequested()) return abort();
        }
        if (!settlePlaceholder()) return failWith(kWriteFailedMessage);
        struct stat status {};
        if (item.isLink) {
            // The link's target text, read from memory as a file holding it would be.
            status.st_mode = S_IFREG | 0644;
            status.st_size = static_cast<off_t>(item.linkTarget.size());
            status.st_mtim = {item.seconds, static_cast<long>(item.nanoseconds)};
            linkText_ = item.linkTarget;
            linkSource_.reset(::fmemopen(linkText_.data(), linkText_.size(), "rb"));
            if (!linkSource_) return failWith(aboutFile(item.diskPath, kCannotOpenInputMessage, errno));
        } else {
            errno = 0;  // a name that is no regular file (any more) fails with no reason of the system's
            const int fd = openRegularDescriptor(item.diskPath, status);
            if (fd < 0) return failWith(aboutFile(item.diskPath, kCannotOpenInputMessage, errno));
            // The length taken now is the most that is read, however the file changes.
            reader_.emplace(fd, static_cast<uint64_t>(status.st_size));
            if (!reader_->stream()) return failWith(aboutFile(item.diskPath, kCannotOpenInputMessage, errno));
        }
        if (static_cast<uint64_t>(status.st_size) > std::numeric_limits<uint32_t>::max()) {
            return failWith("File " + item.diskPath + " is 4 GiB or larger; a ZOR archive cannot hold it.");
        }
        fillFileRecord(item, status);

        const uint64_t dataOffset = entryOffset_ + kEntryRecordSize + static_cast<uint64_t>(record_.nameLength);
        if (!seekTo(files_.archive, entryOffset_ + kEntryRecordSize) || !writeName(context_.entryName)) {
            return failWith(kWriteFailedMessage);
        }
        if (record_.size > 0) {
            if (endOf(files_.archive) != dataOffset) return failWith(kWriteFailedMessage);
            showFileStarted(item, index);
            const OperationOutcome compressed = compressCurrentFile(item, status);
            if (compressed != OperationOutcome::Succeeded) return compressed;
            if (endOf(files_.archive) != dataOffset + record_.packedSize) return failWith(kWriteFailedMessage);
            if (record_.size == 0) {
                // The file was emptied before a byte of it was read: an empty
                // file's entry holds no stream, so the empty one goes again.
                if (!writer_->truncate(dataOffset)) {
                    return failWith(kWriteFailedMessage);
                }
                record_.packedSize = 0;
            }
            if (dataOffset + record_.packedSize + kEntryRecordSize > kLargestArchive) {
                return failWith(kArchiveTooLargeMessage);
            }
            totalPacked_ += record_.packedSize;
            totalStored_ += record_.size;
        }
        if (!seekTo(files_.archive, entryOffset_) || !writeEntryRecord(files_.archive, record_)) {
            return failWith(kWriteFailedMessage);
        }
        entryOffset_ = dataOffset + record_.packedSize;
        if (::fseeko(files_.archive, 0, SEEK_END) != 0 || !writeEntryRecord(files_.archive, record_)) {
            return failWith(kWriteFailedMessage);
        }
        positionedAtEntry_ = false;
        reader_.reset();
        linkSource_.reset();
        return OperationOutcome::Succeeded;
    }

    // Appends the current file's stream (enciphered on its way with a
    // password) and sets the record's packedSize; a file that changed
    // meanwhile gets the size of what was read, which the stream holds, and is named at the end.
    OperationOutcome compressCurrentFile(const PackItem& item, const struct stat& opened) {
        std::optional<EncipheringWriter> enciphering;
        std::FILE* into = files_.archive;
        if (protectedArchive()) {
            announceEnciphering();
            enciphering.emplace(files_.archive, context_.cipher);
            if (!enciphering->stream()) return failWith(kWriteFailedMessage);
            into = enciphering->stream();
        }
        ReportCounter driverUi(ui_, true, item.diskPath);
        DriverContext driver{driverUi, context_.progress, context_.settings};
        std::FILE* source = item.isLink ? linkSource_.get() : reader_->stream();
        const CompressResult result = compressFile(source, into, driver);
        const bool enciphered = !enciphering || enciphering->close();
        if (driverUi.fatalReports > 0) {
            fail(OperationOutcome::Fatal);  // the partial archive goes before the process may end
            driverUi.releaseFatal();
            return OperationOutcome::Fatal;
        }
        if (ui_.abortRequested()) return abort();
        if (result.failed) return fail(OperationOutcome::Failed);
        if (!enciphered) return failWith(kWriteFailedMessage);
        record_.packedSize = result.LastPackedSize;
        if (item.isLink) return OperationOutcome::Succeeded;

        struct stat now {};
        const uint64_t read = reader_->bytesRead();
        if (read != record_.size || ::fstat(reader_->descriptor(), &now) != 0 || now.st_size != opened.st_size ||
            now.st_mtim.tv_sec != opened.st_mtim.tv_sec || now.st_mtim.tv_nsec != opened.st_mtim.tv_nsec) {
            record_.size = static_cast<uint32_t>(read);
            changedFiles_.push_back(item.diskPath + " changed while it was packed");
        }
        return OperationOutcome::Succeeded;
    }

    // The entry of a file a worker has compressed: the same record, name and
    // (enciphered) stream as above, appended in one go. The placeholder after
    // it is owed until the next entry, which would overwrite it at once.
    OperationOutcome storeCompressedAhead(const PackItem& item, std::size_t index, CompressedAhead& ahead) {
        fillFileRecord(item, ahead.status);
        showFileStarted(item, index);
        ui_.setActionLabel("Writing to disk and cleaning up unused memory...");
        record_.packedSize = static_cast<uint32_t>(ahead.length);
        const uint64_t dataOffset = entryOffset_ + kEntryRecordSize + static_cast<uint64_t>(record_.nameLength);
        if (dataOffset + record_.packedSize + kEntryRecordSize > kLargestArchive) {
            return failWith(kArchiveTooLargeMessage);
        }
        context_.progress.advance(record_.size);
        if (ui_.abortRequested()) return abort();

        if (protectedArchive()) {
            announceEnciphering();
            cipherBuffer(context_.cipher, ahead.stream.get(), ahead.length);
        }
        if (!moveToEntry() || !writeEntryRecord(files_.archive, record_) || !writeName(context_.entryName) ||
            std::fwrite(ahead.stream.get(), 1, ahead.length, files_.archive) != ahead.length) {
            return failWith(kWriteFailedMessage);
        }
        totalPacked_ += record_.packedSize;
        totalStored_ += record_.size;
        entryOffset_ = dataOffset + record_.packedSize;
        positionedAtEntry_ = true;
        placeholder_ = record_;
        placeholderPending_ = true;
        return OperationOutcome::Succeeded;
    }

    // The record of a file item read under `status`, and its entry name.
    void fillFileRecord(const PackItem& item, const struct stat& status) {
        if (item.isLink) keepExact(item, ExactKind::Link, 0777, item.seconds, item.nanoseconds);
        else keepExact(item, ExactKind::File, status.st_mode & 0777, status.st_mtim.tv_sec, status.st_mtim.tv_nsec);
        context_.entryName = toEntryName(item.path);
        fillRecord(item, context_.entryName);
        record_.attributes = attributesFromStatus(status, item.diskPath.substr(item.diskPath.rfind('/') + 1));
        ui_.pumpMessages();
        record_.fileTime = toDosDateTime(status.st_mtime);
        record_.size = static_cast<uint32_t>(status.st_size);
    }

    void keepExact(const PackItem& item, ExactKind kind, mode_t mode, int64_t seconds, long nanoseconds) {
        ExactRecord record;
        record.kind = kind;
        record.mode = static_cast<uint16_t>(mode & 0777);
        record.seconds = seconds;
        record.nanoseconds = static_cast<uint32_t>(nanoseconds);
        record.name = item.path;
        if (kind == ExactKind::Link) record.target = item.linkTarget;
        const std::string lost = lostWithoutBlock(record);
        if (!lost.empty()) {
            if (context_.plainArchive) plainLosses_.push_back(aboutFile(item.diskPath, lost));
            else blockNeeded_ = true;
        }
        exact_.push_back(std::move(record));
    }

    // What the entries alone lose of an item, or nothing. A file's own
    // lines are kept by a plain entry only as a read-only bit, a folder's not at all.
    static std::string lostWithoutBlock(const ExactRecord& record) {
        if (record.kind == ExactKind::Link) return {};  // the walk has named a link it followed
        if (storedNameLosesExactName(record.name)) {
            return "Packed, but it comes back as " + toDiskPath(readableEntryName(toEntryName(record.name)));
        }
        const bool ordinary = record.kind == ExactKind::Folder ? record.mode == 0755
                                                               : record.mode == 0644 || record.mode == 0444;
        if (ordinary) return {};
        char octal[8];
        std::snprintf(octal, sizeof octal, "%04o", record.mode);
        return std::string("Packed, but its permissions ") + octal + " are not kept";
    }

    // Appends the exact-restore block after the entries when they need one.
    bool appendExactBlock() {
        if (!blockNeeded_ || context_.plainArchive) return true;
        const std::vector<uint8_t> block = encodeExactBlock(exact_);
        return ::fseeko(files_.archive, 0, SEEK_END) == 0 &&
               std::fwrite(block.data(), 1, block.size(), files_.archive) == block.size();
    }

    void showFileStarted(const PackItem& item, std::size_t index) {
        context_.progress.FileBytesDone = 0;
        context_.progress.fileSize = record_.size;
        context_.progress.totalSize = header_.totalSize;
        ui_.setProgressBars(0, static_cast<int>(context_.progress.TotalProgressPercent));
        ui_.setCurrentFileLabel(item.path);
        ui_.setCurrentFileNumber(static_cast<int64_t>(index));
    }

    // Puts the archive at the entry offset, where a placeholder still owed is simply overwritten.
    bool moveToEntry() {
        placeholderPending_ = false;
        return positionedAtEntry_ || seekTo(files_.archive, entryOffset_);
    }

    // Writes the placeholder still owed at the entry offset, where the archive stands.
    bool settlePlaceholder() {
        if (!placeholderPending_) return true;
        placeholderPending_ = false;
        positionedAtEntry_ = false;
        return writeEntryRecord(files_.archive, placeholder_);
    }

    void announceEnciphering() {
        ui_.setActionLabel("Encrypting file ...");
        ui_.pumpMessages();
        resetCipher(context_.cipher, *context_.packingPassword);
    }

    OperationOutcome finish() {
        ahead_.reset();
        if (!settlePlaceholder() || !appendExactBlock()) {
            return failWith(kWriteFailedMessage);
        }
        const uint64_t end = endOf(files_.archive);
        if (end == std::numeric_limits<uint64_t>::max()) return failWith(kWriteFailedMessage);
        if (end > kLargestArchive) return failWith(kArchiveTooLargeMessage);
        header_.totalSize = static_cast<uint32_t>(totalStored_);  // the records' sum, also when a file changed
        header_.totalPackedSize = totalPacked_;
        header_.archiveSize = static_cast<int32_t>(end);
        header_.ratio = computeRatio(totalPacked_, header_.totalSize);
        // The entries still in the writer's window reach the disk here at the
        // latest: a failure to write them is a write failure.
        if (!seekTo(files_.archive, 0) || !writeArchiveHeader(files_.archive, header_) || !writer_->sync()) {
            return failWith(kWriteFailedMessage);
        }
        const int closed = std::fclose(files_.archive);
        files_.archive = nullptr;
        if (closed != 0) return failWith(kWriteFailedMessage);
        // A replaced archive keeps who may read and write it.
        const std::string& target = context_.window.ArchivePath;
        if (keptMode_ && ::fchmod(files_.archiveBeingWritten.descriptor(), *keptMode_) != 0) {
            return failWith(aboutFile(target, kCannotCreateArchiveMessage, errno));
        }
        if (!files_.archiveBeingWritten.commit(replace_)) {
            return failWith(aboutFile(target, kCannotCreateArchiveMessage, errno));
        }
        files_.packingArchive = false;
        stopProgress();
        ui_.closeProgress();
        ui_.setMainWindowEnabled(true);
        ui_.setProgressBars(0, 0);
        ui_.setCurrentFileLabel("");
        ui_.setActionLabel("");
        ui_.resumeFolderMonitoring();
        context_.selection.clear();
        context_.items.clear();
        const bool complete = context_.walk.leftOut == 0 && changedFiles_.empty() && plainLosses_.empty();
        reportLeftOut();
        return complete ? OperationOutcome::Succeeded : OperationOutcome::Failed;
    }

    // What the walk left out and the files that changed while they were
    // packed, named together once, whether the archive was written or not.
    void reportLeftOut() {
        std::vector<std::string> lines = context_.walk.omissions;
        lines.insert(lines.end(), plainLosses_.begin(), plainLosses_.end());
        lines.insert(lines.end(), changedFiles_.begin(), changedFiles_.end());
        context_.walk.omissions.clear();
        plainLosses_.clear();
        changedFiles_.clear();
        if (!lines.empty()) ui_.reportOmissions(lines);
    }

    OperationOutcome failWith(const std::string& message) {
        ui_.reportError(message, false);
        return fail(OperationOutcome::Failed);
    }

    OperationOutcome fail(OperationOutcome outcome) {
        ahead_.reset();  // no worker outlives the operation
        reader_.reset();
        linkSource_.reset();
        stopProgress();
        CleanUpAfterFailure(context_, files_);
        ui_.closeProgress();
        if (outcome == OperationOutcome::Failed) reportLeftOut();
        return outcome;
    }

    OperationOutcome abort() {
        ui_.clearAbortRequest();
        fail(OperationOutcome::Aborted);
        return OperationOutcome::Aborted;
    }

    void stopProgress() {
        if (progressStarted_) ui_.stopProgressUpdates();
        progressStarted_ = false;
    }

    OperationContext& context_;
    OperationUi& ui_;
    ArchiveHeader& header_;
    EntryRecord& record_;
    // Declared before files_: the archive's stream may be closed as the object goes, and its writer must outlive it.
    std::optional<ArchiveWriter> writer_;
    OperationFiles files_;
    std::optional<PackAhead> ahead_;  // small files compressed on worker threads, when there are several threads
    std::optional<LimitedReader> reader_;  // the file being compressed
    std::string linkText_;  // the link being packed: its target text
    UniqueFile linkSource_;  // ... read from memory
    std::vector<ExactRecord> exact_;                    // each item's exact name, permissions, time and kind
    bool blockNeeded_ = false;                          // the entries alone would lose something
    std::vector<std::string> plainLosses_;              // what a plain archive loses, one line per item
    bool replace_ = false;                 // the person agreed to replace what stands at the archive path
    std::optional<mode_t> keptMode_;       // the permissions of the archive being replaced
    std::vector<std::string> changedFiles_;
    bool positionedAtEntry_ = false;    // the archive's position is the entry offset
    bool placeholderPending_ = false;   // `placeholder_` is owed at the entry offset
    EntryRecord placeholder_;
    uint64_t entryOffset_ = kArchiveHeaderSize;
    uint32_t totalPacked_ = 0;
    uint64_t totalStored_ = 0;
    bool progressStarted_ = false;
};

}  // namespace

OperationOutcome Initialize_Compression(OperationContext& context) {
    try {
        return Packer(context).run();
    } catch (const std::bad_alloc&) {
        context.ui.reportError("Memory allocation error in Initialize_Compression.", true);
        return OperationOutcome::Fatal;
    }
}

std::string suggestedArchiveName(const std::string& caption) {
    if (caption.size() <= 4) return caption;
    const auto dot = caption.rfind('.');
    if (dot == std::string::npos || dot == 0) return caption;
    return caption.substr(0, dot);
}

}  // namespace zor
