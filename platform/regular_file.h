// regular_file.h - opens a regular file for reading without ever blocking on a pipe or device of the same name.
#pragma once

#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace zor {

// The descriptor of the file at `path`, opened for reading, with the status
// it was opened under in `status`; -1 when it cannot be opened or is not a
// regular file (a FIFO, a device, a folder). Links are followed. A path
// longer than one system call takes is opened a stretch at a time.
int openRegularDescriptor(const std::string& path, struct stat& status);

// The same file as a binary stdio stream; nullptr where the above gives -1.
std::FILE* openRegularFile(const std::string& path);

}  // namespace zor
