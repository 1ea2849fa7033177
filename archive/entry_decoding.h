// entry_decoding.h - runs the decompress or test driver over one entry's data on the calling thread.
//
// An entry's data are read through a stream bounded to its bytes
// (entry_data_stream.h), so the driver never reads into what follows. The
// block-parallel drivers (engine/parallel_decompress.h) need instead a plain
// file, which they read to its end. The last file entry of an archive is
// followed only by the packer's trailing copy of its record, so a large,
// unenciphered last entry is handed to them as the archive file itself,
// positioned at its data. They stop where the stream ends, since a record
// copy never begins a stream; should they report anything at all (a damaged
// stream, which they would read on into the trailing bytes), their run is
// dropped and the entry decoded again on the bounded stream, whose messages
// are the ones the person sees.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

#include "archive/archive_reader.h"
#include "archive/cipher.h"
#include "engine/file_drivers.h"

namespace zor {

// True when decodeEntryData decodes this entry's blocks on several threads:
// `threads` above one, data not enciphered, large enough to gain from it,
// and followed in the archive of `reader` by nothing but the copy of its record.
bool decodesInParallelBlocks(const ArchiveReader& reader, const ArchiveEntry& entry, bool enciphered, int32_t threads);

// Runs decompressFile (`output` given) or testFile (`output` null) over the
// entry's data, deciphered through `cipher` (reset for this entry) when
// given, with `driver.settings.threads` threads where the data allow it.
// `output` must be unbuffered and not yet written to. The driver's result,
// or nothing (and nothing reported) when the data cannot be opened.
std::optional<bool> decodeEntryData(const ArchiveReader& reader, const ArchiveEntry& entry, CipherState* cipher,
                                    std::FILE* output, DriverContext& driver);

// Empties `output` (when given) and puts the progress back to `before`, for
// decoding an entry once more from its start.
void restartEntryOutput(std::FILE* output, DriverContext& driver, const DriverProgress& before);

}  // namespace zor
