// main.cpp - zor-cli, the command-line companion of ZOR: parses the command line and runs one command.
#include <CLI/CLI.hpp>

#include "cli/archive_commands.h"
#include "cli/codec_commands.h"
#include "cli/exit_status.h"
#include "cli/terminal_ui.h"
#include "platform/heap_tuning.h"
#include "platform/signal_cleanup.h"

int main(int argc, char** argv) {
    zor::keepFreedMemoryForReuse();
    zor::installPartFileRemovalOnSignals();
    // Named here, or the usage lines would show the path the program was started by.
    CLI::App app{"zor-cli - the command-line companion of the ZOR archiver", "zor-cli"};
    // The parser's complaints look like every other message: each line after "zor-cli: ".
    app.failure_message([](const CLI::App* command, const CLI::Error& error) {
        std::string text = CLI::FailureMessage::simple(command, error);
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return zor::cli::terminalMessage(text);
    });
    app.set_version_flag("--version", "zor-cli 2.00 (build 61)");
    app.require_subcommand(1);
    app.footer(
        "Passwords: the archive password is an obfuscation compatible with the ZOR format, not strong encryption.\n"
        "Use a real encryption tool for secrets.\n"
        "Exit status: 0 success, 1 failed or damaged input, 2 usage error, 3 fatal error, 130 interrupted (Ctrl+C).");

    int exitStatus = zor::cli::kSuccess;
    zor::cli::addCodecCommands(app, exitStatus);
    zor::cli::addArchiveCommands(app, exitStatus);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? zor::cli::kSuccess : zor::cli::kUsage;
    }
    return exitStatus;
}
