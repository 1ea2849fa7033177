// volumes.cpp - reads the mount table and keeps the file systems a person stores files on.
#include "platform/volumes.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <string_view>

namespace zor {
namespace {

constexpr std::array<std::string_view, 24> kPseudoFileSystems = {
    "proc",     "sysfs",   "devtmpfs", "devpts",     "cgroup",  "cgroup2",   "pstore",   "bpf",
    "tracefs",  "debugfs", "securityfs", "configfs", "fusectl", "mqueue",    "hugetlbfs", "autofs",
    "binfmt_misc", "rpc_pipefs", "nsfs", "efivarfs", "selinuxfs", "overlay", "squashfs", "ramfs"};

// The mount table writes blanks and some other bytes in paths as "\" and three octal digits.
std::string unescape(const std::string& text) {
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && isOctal(text[i + 1]) && isOctal(text[i + 2]) &&
            isOctal(text[i + 3])) {
            plain += static_cast<char>(((text[i + 1] - '0') << 6) | ((text[i + 2] - '0') << 3) | (text[i + 3] - '0'));
            i += 3;
            continue;
        }
        plain += text[i];
    }
    return plain;
}

bool isPseudo(const std::string& fileSystem) {
    return std::find(kPseudoFileSystems.begin(), kPseudoFileSystems.end(), fileSystem) != kPseudoFileSystems.end();
}

}  // namespace

std::vector<Volume> mountedVolumes(const std::string& mountTable) {
    std::vector<Volume> volumes;
    std::ifstream table(mountTable);
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        Volume volume;
        if (!(fields >> volume.device >> volume.mountPoint >> volume.fileSystem)) continue;
        volume.mountPoint = unescape(volume.mountPoint);
        volume.device = unescape(volume.device);
        if (isPseudo(volume.fileSystem) && volume.mountPoint != "/") continue;
        if (volume.fileSystem == "tmpfs" && volume.mountPoint.rfind("/tmp", 0) != 0) continue;
        const bool seen = std::any_of(volumes.begin(), volumes.end(),
                                      [&](const Volume& v) { return v.mountPoint == volume.mountPoint; });
        if (!seen) volumes.push_back(volume);
    }
    std::stable_partition(volumes.begin(), volumes.end(), [](const Volume& v) { return v.mountPoint == "/"; });
    if (volumes.empty() || volumes.front().mountPoint != "/") volumes.insert(volumes.begin(), Volume{"/", "", ""});
    return volumes;
}

}  // namespace zor
