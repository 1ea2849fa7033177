// parallel_decompress.h - decompressing or testing one input of concatenated streams on several threads, with the one-thread results.
//
// The drivers here behave exactly like decompressFile and testFile of
// file_drivers.h (same bytes written, same result, same messages through
// the DriverUi, concatenated streams, the abort request honoured after a
// stream), only faster on several cores. They need a regular file, or a
// seekable source whose length is given; for any other source, and for
// small inputs, they are the one-thread drivers.
//
// Memory: each worker holds one block store (3.6 MB) and a copy of the
// compressed bytes of its block (about the block's size, 1.2 MB at most,
// 64 KB at least), which once the block is read carries its output out in
// pieces; the coordinator scans the input through a window of 128 KB and
// reads each job's bytes from the source.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/file_drivers.h"

namespace zor {

struct ParallelDecodeOptions {
    int32_t threads = 2;  // workers decoding blocks; 1 or less: the one-thread driver
    // Inputs with fewer bytes left than this are decoded on one thread,
    // where starting the workers would cost more than they save.
    int64_t smallestParallelInput = int64_t{1} << 20;
    // The input's bytes from the source's position, for a seekable source
    // that is no regular file and ends there (a stream bounded to a part of
    // a file); -1 for a regular file read to its end.
    int64_t inputLength = -1;
};

bool decompressFileParallel(std::FILE* source, std::FILE* output, DriverContext& context,
                            const ParallelDecodeOptions& options);

bool testFileParallel(std::FILE* source, DriverContext& context, const ParallelDecodeOptions& options);

}  // namespace zor
