// entry_decoding.h - runs the decompress or test driver over one entry's data on the calling thread.
//
// An entry's data are read through a stream bounded to its bytes
// (entry_data_stream.h), so the driver can never read into the next entry.
// The block-parallel drivers (engine/parallel_decompress.h) need a plain
// file whose end is the end of the input; an entry whose data run to the
// end of the archive file and are not enciphered (the only entry of a
// one-file archive, or the last entry of any) is handed to them as the
// archive file itself, positioned at its data. Both roads give the same
// bytes, result and messages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

#include "archive/archive_reader.h"
#include "archive/cipher.h"
#include "engine/file_drivers.h"

namespace zor {

// True when decodeEntryData decodes this entry's blocks on several threads:
// `threads` above one, data not enciphered, running to the end of an
// archive of `archiveLength` bytes, and large enough to gain from it.
bool decodesInParallelBlocks(const ArchiveEntry& entry, uint64_t archiveLength, bool enciphered, int32_t threads);

// Runs decompressFile (`output` given) or testFile (`output` null) over the
// entry's data, deciphered through `cipher` (reset for this entry) when
// given, with `driver.settings.threads` threads where the data allow it.
// The driver's result, or nothing (and nothing reported) when the data
// cannot be opened.
std::optional<bool> decodeEntryData(const ArchiveReader& reader, const ArchiveEntry& entry, CipherState* cipher,
                                    std::FILE* output, DriverContext& driver);

}  // namespace zor
