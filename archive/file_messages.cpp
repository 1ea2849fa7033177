// file_messages.cpp - aboutFile.
#include "archive/file_messages.h"

#include <cstring>

namespace zor {

std::string aboutFile(const std::string& path, const std::string& text, int error) {
    std::string message = path + ": " + text;
    if (error != 0) message += std::string(" (") + std::strerror(error) + ")";
    return message;
}

}  // namespace zor
