// archive_commands.h - zor-cli's archive commands (pack, unpack, test, list, info, lock).
#pragma once

#include <CLI/CLI.hpp>

namespace zor::cli {

// Adds the archive commands; their callbacks store the exit status.
void addArchiveCommands(CLI::App& app, int& exitStatus);

}  // namespace zor::cli
