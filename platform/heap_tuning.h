// heap_tuning.h - keeps the codec's large work areas in the process heap between streams.
#pragma once

namespace zor {

// Every stream takes its work areas (about 7.5 MB to compress) when it opens
// and gives them back when it closes. By default the C library returns such
// blocks to the system at once, so packing many small files pays for fresh,
// zeroed pages on every file. Called once at program start, this keeps freed
// blocks for reuse; the peak stays that of one stream.
void keepFreedMemoryForReuse();

}  // namespace zor
