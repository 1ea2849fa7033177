// file_attributes.h - a file's attribute bits (read-only, hidden, system, folder, archive) derived from its mode and name.
//
// The archive format stores the attribute bits a desktop file system
// reports. On Linux they are derived, not stored: read-only is the owner's
// write bit being clear in the mode (the mode is read rather than asking
// access(), because root may write anything), hidden is a name that starts
// with ".", system is never set, folder marks a directory and archive marks
// every other file. Setting attributes changes only the write bits; hidden,
// system and archive cannot be set and are ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace zor {

inline constexpr int32_t kAttributeReadOnly = 1;
inline constexpr int32_t kAttributeHidden = 2;
inline constexpr int32_t kAttributeSystem = 4;
inline constexpr int32_t kAttributeFolder = 16;
inline constexpr int32_t kAttributeArchive = 32;

// The bits for a file whose status is `status` and whose last name component is `name`.
int32_t attributesFromStatus(const struct stat& status, const std::string& name);

// The bits of the file at `path` (links followed); nothing when it cannot be examined.
std::optional<int32_t> getAttributes(const std::string& path);

// Makes the file at `path` read-only (every write bit cleared) when
// `attributes` holds kAttributeReadOnly, writable by its owner otherwise.
bool setAttributes(const std::string& path, int32_t attributes);

// The same for an open descriptor.
bool setAttributes(int fd, int32_t attributes);

}  // namespace zor
