// parallel_compress_file.h - the compress driver on several threads: same stream, messages and result as compressFile.
#pragma once

#include <cstdio>

#include "engine/file_drivers.h"

namespace zor {

// Like compressFile, with context.settings.threads workers; a count of 1
// or less runs compressFile itself. The bytes written are those of
// compressFile for every count. Progress (FileBytesDone, TotalBytesDone and
// the percentages) advances as blocks are written, in order; the user
// interface is pumped on the calling thread only, also while it waits for
// the workers; the abort request is honoured after the stream, as there.
CompressResult compressFileParallel(std::FILE* input, std::FILE* archive, DriverContext& context);

}  // namespace zor
