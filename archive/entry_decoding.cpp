// entry_decoding.cpp - choosing between the bounded entry stream and the block-parallel drivers for one entry.
#include "archive/entry_decoding.h"

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/entry_data_stream.h"
#include "engine/parallel_decompress.h"

namespace zor {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The archive file once more, positioned at the entry's data, when its end
// is still exactly the end of those data; nothing otherwise.
FileHandle archiveFromEntryData(const ArchiveReader& reader, const ArchiveEntry& entry) {
    const int fd = ::fcntl(::fileno(reader.file()), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    FileHandle file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        return nullptr;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || uint64_t(status.st_size) != entry.dataOffset + entry.record.packedSize ||
        ::fseeko(file.get(), static_cast<off_t>(entry.dataOffset), SEEK_SET) != 0) {
        return nullptr;
    }
    return file;
}

}  // namespace

bool decodesInParallelBlocks(const ArchiveEntry& entry, uint64_t archiveLength, bool enciphered, int32_t threads) {
    return threads > 1 && !enciphered && entry.dataOffset + entry.record.packedSize == archiveLength &&
           int64_t{entry.record.packedSize} >= ParallelDecodeOptions{}.smallestParallelInput;
}

std::optional<bool> decodeEntryData(const ArchiveReader& reader, const ArchiveEntry& entry, CipherState* cipher,
                                    std::FILE* output, DriverContext& driver) {
    const int32_t threads = driver.settings.threads;
    if (decodesInParallelBlocks(entry, reader.fileLength(), cipher != nullptr, threads)) {
        if (FileHandle source = archiveFromEntryData(reader, entry)) {
            ParallelDecodeOptions options;
            options.threads = threads;
            return output ? decompressFileParallel(source.get(), output, driver, options)
                          : testFileParallel(source.get(), driver, options);
        }
    }
    FileHandle data(openEntryDataStream(reader.file(), entry.dataOffset, entry.record.packedSize, cipher));
    if (!data) return std::nullopt;
    return output ? decompressFile(data.get(), output, driver) : testFile(data.get(), driver);
}

}  // namespace zor
