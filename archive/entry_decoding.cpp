// entry_decoding.cpp - running the decompress or test driver over one entry's bounded data.
#include "archive/entry_decoding.h"

#include <unistd.h>

#include "archive/entry_data_stream.h"
#include "platform/unique_file.h"

namespace zor {

bool decodesInParallelBlocks(const ArchiveEntry& entry, bool enciphered, int32_t threads) {
    EngineSettings settings;
    settings.threads = threads;
    return !enciphered && decodesInParallel(int64_t{entry.record.packedSize}, settings);
}

DriverContext boundedToEntry(const DriverContext& driver, const ArchiveEntry& entry) {
    DriverContext bounded = driver;
    bounded.expectedLength = entry.record.size;
    return bounded;
}

std::optional<bool> decodeEntryData(const ArchiveReader& reader, const ArchiveEntry& entry, CipherState* cipher,
                                    std::FILE* output, DriverContext& driver) {
    UniqueFile data(openEntryDataStream(reader.file(), entry.dataOffset, entry.record.packedSize, cipher));
    if (!data) return std::nullopt;
    DriverContext bounded = boundedToEntry(driver, entry);
    // Enciphered data can only be read from the start: the driver decodes
    // a stream of unknown length on one thread.
    if (!cipher) bounded.inputLength = entry.record.packedSize;
    return output ? decompressFile(data.get(), output, bounded) : testFile(data.get(), bounded);
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
