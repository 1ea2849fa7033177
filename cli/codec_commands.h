// codec_commands.h - zor-cli's compress and decompress commands over single streams.
#pragma once

#include <CLI/CLI.hpp>

namespace zor::cli {

// Adds `compress` and `decompress`; their callbacks store the exit status.
void addCodecCommands(CLI::App& app, int& exitStatus);

}  // namespace zor::cli
