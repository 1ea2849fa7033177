// long_path.h - opens a path of any length, even one longer than the system's limit for a single call.
//
// The kernel refuses a path of PATH_MAX bytes or more in one call
// (ENAMETOOLONG), though a tree may be nested as deep as one likes. Such a
// path is opened a stretch at a time: each stretch is as many whole
// components as fit in one call, resolved from the folder the previous
// stretch opened, so links along the way are followed exactly as one call
// would follow them.
#pragma once

#include <string>
#include <sys/types.h>

namespace zor {

// openat(folder, path, flags, mode), and for a path too long for that, the
// same open done a stretch at a time. -1 with errno set on failure (a
// component longer than a name may be still gives ENAMETOOLONG).
int openLongPath(int folder, const std::string& path, int flags, mode_t mode = 0);

}  // namespace zor
