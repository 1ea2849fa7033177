// entry_data_stream.h - a read-only stdio stream over one entry's compressed bytes, deciphered on the fly when protected.
//
// The decoder reads an entry's stream from a FILE*. Handing it the archive
// itself would let it read past the entry; deciphering into a temporary
// file would leave readable plain data in a shared folder. This stream
// instead reads exactly the entry's bytes straight from the archive's
// descriptor (pread, so the archive's own stdio position is untouched, and
// several threads may read entries of one archive at once) and, with a
// cipher, deciphers each chunk in memory as the decoder asks for it.
// Nothing is ever written to disk. Without a cipher the stream is seekable
// (positions count from the entry's first byte), as the block-parallel
// decoder needs.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "archive/cipher.h"

namespace zor {

// `cipher`, when given, must have been reset for this entry and outlive the
// stream. Returns nullptr when the stream cannot be made. Close with fclose.
std::FILE* openEntryDataStream(std::FILE* archive, uint64_t offset, uint64_t length, CipherState* cipher);

// The same over the archive's descriptor `archiveFd`. Once `cancel` (when
// given) is set, every further read fails, so that a decoder running in
// another thread gives up at its next read.
std::FILE* openEntryDataStream(int archiveFd, uint64_t offset, uint64_t length, CipherState* cipher,
                               const std::atomic<bool>* cancel);

}  // namespace zor
