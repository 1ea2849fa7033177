// archive_commands.cpp - zor-cli's archive commands (pack, unpack, test, list, info, lock).
#include "cli/archive_commands.h"

namespace zor::cli {

void addArchiveCommands(CLI::App&, int&) {}

}  // namespace zor::cli
