// parallel_replay.h - handing a doubtful input back to the one-thread driver without writing any byte twice.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/file_drivers.h"

namespace zor {

// Runs the one-thread decompress driver (output given) or test driver
// (output null) on `source` from byte `start`, after `alreadyWritten`
// bytes of its output have been written to `output` by other means: those
// are dropped, the rest goes to `output`. The progress counters go back to
// `progressAtStart` first. Returns the driver's result; every message is
// the driver's own. The source must be seekable.
bool replayOneThread(std::FILE* source, int64_t start, std::FILE* output, uint64_t alreadyWritten,
                     DriverContext& context, const DriverProgress& progressAtStart);

}  // namespace zor
