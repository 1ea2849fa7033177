// unique_file.h - a stdio stream closed when its owner goes out of scope.
//
// For streams whose close result does not matter (input, or output already
// given up). Output that must reach the disk is closed with closeChecked,
// whose result says whether every byte was written.
#pragma once

#include <cstdio>
#include <memory>

namespace zor {

struct StdioCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, StdioCloser>;

// Closes the stream now; false when a buffered write or the close failed.
inline bool closeChecked(UniqueFile& file) { return file && std::fclose(file.release()) == 0; }

}  // namespace zor
