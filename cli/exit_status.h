// exit_status.h - zor-cli's exit statuses.
#pragma once

namespace zor::cli {

enum ExitStatus : int {
    kSuccess = 0,
    kFailed = 1,  // an operation failed, or the input is damaged or corrupt
    kUsage = 2,
    kFatal = 3,  // the program's fatal reports (memory, internal errors)
    kInterrupted = 130,  // Ctrl+C, also at a question or a prompt, as shells report an interrupted command
};

}  // namespace zor::cli
