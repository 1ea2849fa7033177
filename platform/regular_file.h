// regular_file.h - opens a regular file for reading without ever blocking on a pipe or device of the same name.
#pragma once

#include <cstdio>
#include <string>

namespace zor {

// The file opened for binary reading; nullptr when it cannot be opened or
// is not a regular file (a FIFO, a device, a folder). Links are followed.
std::FILE* openRegularFile(const std::string& path);

}  // namespace zor
