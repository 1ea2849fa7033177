// command_line.h - the options zor answers on the terminal instead of opening its window.
#pragma once

#include <optional>
#include <string>

namespace zor {

struct CommandLineAnswer {
    std::string text;  // for standard output, ends with a newline
    int status = 0;
};

// "--help"/"-h" and "--version" as the first argument. Anything else (an
// archive, Qt's own options such as "-platform", nothing) opens the
// window: no answer.
std::optional<CommandLineAnswer> answerCommandLine(int argc, const char* const* argv);

}  // namespace zor
