// volumes.h - the mounted local volumes that stand in for a desktop system's drives.
#pragma once

#include <string>
#include <vector>

namespace zor {

struct Volume {
    std::string mountPoint;
    std::string device;
    std::string fileSystem;
};

// Mounted volumes holding user files, "/" first; pseudo file systems
// (proc, sysfs, cgroups, ...) are left out. Reads `mountTable` (normally
// /proc/self/mounts); "/" alone when it cannot be read.
std::vector<Volume> mountedVolumes(const std::string& mountTable = "/proc/self/mounts");

}  // namespace zor
