// file_attributes.cpp - attribute bits from mode and name, and the write bits set from them.
#include "platform/file_attributes.h"

#include <fcntl.h>
#include <unistd.h>

namespace zor {
namespace {

constexpr mode_t kAllWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

mode_t modeFor(mode_t current, int32_t attributes) {
    if (attributes & kAttributeReadOnly) return current & ~kAllWriteBits & 07777;
    return (current | S_IWUSR) & 07777;
}

std::string lastComponent(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const auto slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

}  // namespace

int32_t attributesFromStatus(const struct stat& status, const std::string& name) {
    int32_t attributes = 0;
    if (!(status.st_mode & S_IWUSR)) attributes |= kAttributeReadOnly;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") attributes |= kAttributeHidden;
    attributes |= S_ISDIR(status.st_mode) ? kAttributeFolder : kAttributeArchive;
    return attributes;
}

std::optional<int32_t> getAttributes(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return attributesFromStatus(status, lastComponent(path));
}

bool setAttributes(const std::string& path, int32_t attributes) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return false;
    return ::chmod(path.c_str(), modeFor(status.st_mode, attributes)) == 0;
}

bool setAttributes(int fd, int32_t attributes) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return false;
    return ::fchmod(fd, modeFor(status.st_mode, attributes)) == 0;
}

}  // namespace zor
