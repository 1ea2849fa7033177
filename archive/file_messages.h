// file_messages.h - a message about one file: the product's text with the path before it and the system's reason after.
#pragma once

#include <string>

#include "engine/driver_texts.h"

namespace zor {

// The drivers' and operations' text for a failed read or write.
inline constexpr const char* kWriteFailedMessage = texts::kIoError;

// "PATH: TEXT", and " (REASON)" with the system's text for `error` when it is not 0:
// "docs/a.txt: Cannot open input file (Permission denied)".
std::string aboutFile(const std::string& path, const std::string& text, int error = 0);

}  // namespace zor
