// command_line.cpp - the options zor answers on the terminal instead of opening its window.
#include "ui/command_line.h"

#include "ui/zor.h"

#include <string_view>

namespace zor {

namespace {

constexpr char kUsage[] =
    "Usage: zor [ARCHIVE.zor]\n"
    "Opens the ZOR window on the working folder, or inside ARCHIVE.zor.\n"
    "A copy started while another runs brings that one to the front.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "The command-line companion is zor-cli.\n";

}  // namespace

std::optional<CommandLineAnswer> answerCommandLine(int argc, const char* const* argv) {
    if (argc < 2) return std::nullopt;
    const std::string_view first = argv[1];
    if (first == "--help" || first == "-h") return CommandLineAnswer {kUsage, 0};
    if (first == "--version")
        return CommandLineAnswer {"zor 2.00 (build " + std::to_string(kBuildNumber) + ")\n", 0};
    return std::nullopt;
}

}  // namespace zor
