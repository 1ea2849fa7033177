// entry_decoding.h - runs the decompress or test driver over one entry's data on the calling thread.
//
// An entry's data are read through a stream bounded to its bytes
// (entry_data_stream.h), so the driver never reads into what follows. For
// an unenciphered entry the driver is told the data's length, so that it
// can decode a large one on several threads on that same seekable stream,
// writing, reporting and returning exactly what one thread would.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

#include "archive/archive_reader.h"
#include "archive/cipher.h"
#include "engine/file_drivers.h"

namespace zor {

// True when decodeEntryData decodes this entry's blocks on several threads:
// `threads` above one, data not enciphered (enciphered data can only be
// read from the start) and large enough to gain from it.
bool decodesInParallelBlocks(const ArchiveEntry& entry, bool enciphered, int32_t threads);

// The driver context for decoding `entry`: its recorded size is the length
// its streams must decode to (no byte beyond it is written; another length
// makes the entry damaged).
DriverContext boundedToEntry(const DriverContext& driver, const ArchiveEntry& entry);

// Runs decompressFile (`output` given) or testFile (`output` null) over the
// entry's data, deciphered through `cipher` (reset for this entry) when
// given, with `driver.settings.threads` threads where the data allow it,
// bounded to the entry's recorded size. The driver's result, or nothing
// (and nothing reported) when the data cannot be opened.
std::optional<bool> decodeEntryData(const ArchiveReader& reader, const ArchiveEntry& entry, CipherState* cipher,
                                    std::FILE* output, DriverContext& driver);

// Empties `output` (when given) and puts the progress back to `before`, for
// decoding an entry once more from its start.
void restartEntryOutput(std::FILE* output, DriverContext& driver, const DriverProgress& before);

}  // namespace zor
