// entry_decoding.cpp - choosing between the bounded entry stream and the block-parallel drivers for one entry.
#include "archive/entry_decoding.h"

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include "archive/entry_data_stream.h"
#include "engine/parallel_decompress.h"

namespace zor {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// What follows the entry's data to the end of the file: nothing, or the
// packer's copy of the entry's record, which cannot begin a stream.
bool onlyRecordCopyFollows(int fd, uint64_t fileLength, const ArchiveEntry& entry) {
    const uint64_t end = entry.dataOffset + entry.record.packedSize;
    if (end == fileLength) return true;
    if (end + kEntryRecordSize != fileLength) return false;
    std::array<uint8_t, kEntryRecordSize> trailing {};
    if (::pread(fd, trailing.data(), trailing.size(), static_cast<off_t>(end)) != ssize_t(trailing.size())) return false;
    const bool beginsStream = trailing[0] == 0 && trailing[1] == 0 && trailing[2] == 0 && trailing[3] >= '1' &&
                              trailing[3] <= '9';
    return !beginsStream && trailing == encodeEntryRecord(entry.record);
}

// The archive file once more, positioned at the entry's data.
FileHandle archiveAtEntryData(const ArchiveReader& reader, const ArchiveEntry& entry) {
    const int fd = ::fcntl(::fileno(reader.file()), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    FileHandle file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        return nullptr;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !onlyRecordCopyFollows(fd, uint64_t(status.st_size), entry) ||
        ::fseeko(file.get(), static_cast<off_t>(entry.dataOffset), SEEK_SET) != 0) {
        return nullptr;
    }
    return file;
}

// Passes the driver's calls on but holds its reports back.
class HeldReports : public DriverUi {
public:
    explicit HeldReports(DriverUi& ui) : ui_(ui) {}
    void reportError(const std::string&, bool) override { ++held; }
    void setActionLabel(const std::string& text) override { ui_.setActionLabel(text); }
    void setProgressBars(int filePercent, int totalPercent) override { ui_.setProgressBars(filePercent, totalPercent); }
    bool abortRequested() const override { return ui_.abortRequested(); }
    void pumpMessages() override { ui_.pumpMessages(); }

    int held = 0;

private:
    DriverUi& ui_;
};

}  // namespace

bool decodesInParallelBlocks(const ArchiveReader& reader, const ArchiveEntry& entry, bool enciphered, int32_t threads) {
    return threads > 1 && !enciphered &&
           int64_t{entry.record.packedSize} >= ParallelDecodeOptions{}.smallestParallelInput &&
           onlyRecordCopyFollows(::fileno(reader.file()), reader.fileLength(), entry);
}

std::optional<bool> decodeEntryData(const ArchiveReader& reader, const ArchiveEntry& entry, CipherState* cipher,
                                    std::FILE* output, DriverContext& driver) {
    const int32_t threads = driver.settings.threads;
    if (decodesInParallelBlocks(reader, entry, cipher != nullptr, threads)) {
        if (FileHandle source = archiveAtEntryData(reader, entry)) {
            const DriverProgress before = driver.progress;
            HeldReports quiet(driver.ui);
            DriverContext parallel{quiet, driver.progress, driver.settings};
            ParallelDecodeOptions options;
            options.threads = threads;
            const bool result = output ? decompressFileParallel(source.get(), output, parallel, options)
                                       : testFileParallel(source.get(), parallel, options);
            if (quiet.held == 0 && (result || driver.ui.abortRequested())) return result;
            restartEntryOutput(output, driver, before);
        }
    }
    FileHandle data(openEntryDataStream(reader.file(), entry.dataOffset, entry.record.packedSize, cipher));
    if (!data) return std::nullopt;
    return output ? decompressFile(data.get(), output, driver) : testFile(data.get(), driver);
}

void restartEntryOutput(std::FILE* output, DriverContext& driver, const DriverProgress& before) {
    driver.progress = before;
    if (!output) return;
    std::clearerr(output);
    if (::ftruncate(::fileno(output), 0) != 0) {
        // The next run meets the same trouble and reports it.
    }
    std::rewind(output);
}

}  // namespace zor
