// archive_commands.cpp - zor-cli's archive commands (pack, unpack, test, list, info, lock).
//
// Each command drives the same archive operations as the window, through
// the terminal's interface, and turns their outcome into the exit status.
#include "cli/archive_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <unistd.h>

#include "archive/archive_info.h"
#include "archive/archive_listing.h"
#include "archive/archive_reader.h"
#include "archive/entry_names.h"
#include "archive/extraction.h"
#include "archive/lock_archive.h"
#include "archive/packing.h"
#include "archive/testing.h"
#include "cli/exit_status.h"
#include "cli/password_input.h"
#include "cli/terminal_ui.h"

namespace zor::cli {
namespace {

struct PasswordOptions {
    std::string file;
    bool ask = false;
};

struct ArchiveOptions {
    std::string archive;
    std::vector<std::string> items;  // pack: the items; test: the entries
    std::string folder;              // list: the archive folder
    std::string destination = ".";   // unpack
    std::string overwrite;           // unpack: ask, all or skip ("" = by standard input)
    PasswordOptions password;
    bool quiet = false;
    bool force = false;  // pack: replace an existing file at the archive path
    bool plain = false;  // pack: no exact-restore block
    int32_t threads = static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));  // pack, unpack, test
};

TerminalOptions plainTerminal(const ArchiveOptions& options) {
    TerminalOptions terminal;
    terminal.quiet = options.quiet;
    return terminal;
}

void complain(const std::string& text) { printMessage(text); }

int exitStatusFor(OperationOutcome outcome, const TerminalUi& ui) {
    if (outcome == OperationOutcome::Fatal || ui.fatalReported()) return kFatal;
    // Ctrl+C at a question or the password prompt is an abort, whatever the operation made of the answer.
    if (outcome == OperationOutcome::Aborted || ui.interruptedAtPrompt()) {
        complain("aborted");
        return kFailed;
    }
    return outcome == OperationOutcome::Succeeded ? kSuccess : kFailed;
}

// The password the options name, asked twice on the terminal when `confirm`.
// Nothing without a password option; `failed` on an unreadable or unusable
// one, and `interrupted` as well when Ctrl+C ended the prompt ("aborted").
std::optional<std::string> passwordFrom(const PasswordOptions& options, bool confirm, bool& failed,
                                        bool& interrupted) {
    failed = false;
    interrupted = false;
    if (options.file.empty() && !options.ask) return std::nullopt;
    const PasswordResult result = options.file.empty() ? askPasswordOnTerminal("Enter password: ", confirm)
                                                       : readPasswordFile(options.file);
    if (!result.password) {
        complain(result.error);
        failed = true;
        interrupted = result.interrupted;
    }
    return result.password;
}

// The archive opened for browsing, as double-clicking it does; false after telling why not.
bool openForBrowsing(OperationContext& context, const std::string& path) {
    const ArchiveCheck check = checkArchiveFile(path);
    if (check.result != ArchiveCheck::Result::Accepted) {
        complain(path + ": " + check.message);
        return false;
    }
    enterArchive(context, path, check);
    return true;
}

// An item as the window selects it: its last name component in the folder that holds it.
std::optional<SelectedItem> selectedItemFor(const std::string& item) {
    std::filesystem::path path(item);
    if (path.has_relative_path() && !path.has_filename()) path = path.parent_path();  // "dir/"
    const std::string last = path.filename().string();
    if (last.empty() || last == "." || last == "..") {
        std::error_code error;
        path = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    }
    SelectedItem selected;
    selected.name = path.filename().string();
    if (selected.name.empty()) return std::nullopt;  // "/": nothing names it
    selected.folder = path.has_parent_path() ? path.parent_path().string() : std::string();
    return selected;
}

int runPack(const ArchiveOptions& options) {
    bool passwordFailed = false;
    bool interrupted = false;
    const auto password = passwordFrom(options.password, true, passwordFailed, interrupted);
    if (interrupted) return kFailed;
    if (passwordFailed) return kUsage;
    TerminalOptions terminal = plainTerminal(options);
    terminal.force = options.force;
    TerminalUi ui(terminal);
    OperationContext context(ui);
    context.settings.threads = options.threads;
    context.plainArchive = options.plain;
    for (const std::string& item : options.items) {
        auto selected = selectedItemFor(item);
        if (!selected) {
            complain("cannot pack " + item + " as an item");
            return kUsage;
        }
        context.selection.push_back(std::move(*selected));
    }
    context.window.ArchivePath = options.archive;
    context.packingPassword = password;
    return exitStatusFor(Initialize_Compression(context), ui);
}

std::optional<OverwriteMode> overwriteMode(const std::string& text) {
    if (text.empty()) return ::isatty(STDIN_FILENO) ? OverwriteMode::Ask : OverwriteMode::Skip;
    if (text == "ask") return OverwriteMode::Ask;
    if (text == "all") return OverwriteMode::All;
    if (text == "skip") return OverwriteMode::Skip;
    return std::nullopt;
}

TerminalOptions decryptingOptions(const ArchiveOptions& options, bool& failed) {
    TerminalOptions terminal = plainTerminal(options);
    bool interrupted = false;  // the file is read without a prompt
    terminal.password =
        options.password.file.empty() ? std::nullopt : passwordFrom(options.password, false, failed, interrupted);
    terminal.askPassword = options.password.ask;
    return terminal;
}

int runUnpack(const ArchiveOptions& options) {
    bool passwordFailed = false;
    TerminalOptions terminal = decryptingOptions(options, passwordFailed);
    if (passwordFailed) return kUsage;
    terminal.overwrite = *overwriteMode(options.overwrite);
    TerminalUi ui(terminal);
    OperationContext context(ui);
    context.settings.threads = options.threads;
    if (!openForBrowsing(context, options.archive)) return kFailed;
    return exitStatusFor(ExtractArchive(context, options.destination), ui);
}

// Archive names of the entries: lower case, "\" between components, no final "\".
std::string entryNameFor(const std::string& given) {
    std::string name = toEntryName(given);
    while (!name.empty() && name.back() == '\\') name.pop_back();
    return name;
}

// Turns the named entries into list rows as selecting them in the window does; false when one is missing.
bool selectEntries(OperationContext& context, const std::vector<std::string>& names) {
    ArchiveReader reader;
    if (!reader.open(context.window.ArchivePath) || reader.readHeader()) return true;  // testing will say why
    std::vector<std::string> wanted;
    for (const auto& name : names) wanted.push_back(entryNameFor(name));
    std::vector<bool> found(wanted.size(), false);
    ArchiveEntry entry;
    while (reader.next(entry) == ArchiveReader::Step::Entry) {
        const bool folder = entry.record.folder();
        const std::string name = entryNameFor(entry.name);
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            if (found[i] || wanted[i] != name) continue;
            found[i] = true;
            context.listSelection.push_back({lastEntryComponent(name), folder, entryParentPath(entry.name)});
        }
    }
    bool all = true;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (found[i]) continue;
        complain("no entry " + names[i] + " in " + context.window.ArchivePath);
        all = false;
    }
    return all;
}

int runTest(const ArchiveOptions& options) {
    bool passwordFailed = false;
    TerminalOptions terminal = decryptingOptions(options, passwordFailed);
    if (passwordFailed) return kUsage;
    terminal.printFileOk = true;
    TerminalUi ui(terminal);
    OperationContext context(ui);
    context.settings.threads = options.threads;
    if (!openForBrowsing(context, options.archive)) return kFailed;
    const bool allFound = selectEntries(context, options.items);
    if (!options.items.empty() && context.listSelection.empty()) return kFailed;
    const int status = exitStatusFor(TestButtonClick(context), ui);
    return status == kSuccess && !allFound ? kFailed : status;
}

// "TXT File" for a caption ending in ".txt", "File" without an extension, as a desktop names file types.
std::string fileTypeText(const std::string& caption) {
    const auto dot = caption.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == caption.size()) return "File";
    std::string extension = caption.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return extension + " File";
}

void printListing(const ArchiveListing& listing) {
    struct Line {
        std::string name, size, packed, type, path;
    };
    std::vector<Line> lines{{"Name", "Size", "Packed", "Type", "Path"}};
    for (const auto& row : listing.folders)
        lines.push_back({printableName(row.caption), "", "", kFolderTypeText, printableName(row.parentPath)});
    for (const auto& row : listing.files) {
        lines.push_back({printableName(row.caption), std::to_string(row.size), std::to_string(row.packedSize),
                         printableName(fileTypeText(row.caption)), printableName(row.parentPath)});
    }
    std::size_t widths[4] = {0, 0, 0, 0};
    for (const Line& line : lines) {
        widths[0] = std::max(widths[0], line.name.size());
        widths[1] = std::max(widths[1], line.size.size());
        widths[2] = std::max(widths[2], line.packed.size());
        widths[3] = std::max(widths[3], line.type.size());
    }
    for (const Line& line : lines) {
        std::printf("%-*s  %*s  %*s  %-*s  %s\n", int(widths[0]), line.name.c_str(), int(widths[1]), line.size.c_str(),
                    int(widths[2]), line.packed.c_str(), int(widths[3]), line.type.c_str(), line.path.c_str());
    }
    std::printf("%s\n", listing.totals.c_str());
}

int runList(const ArchiveOptions& options) {
    TerminalUi ui(plainTerminal(options));
    OperationContext context(ui);
    if (!openForBrowsing(context, options.archive)) return kFailed;
    auto listing = ListArchiveFolder(context);
    const std::string folder = entryNameFor(options.folder);
    std::size_t start = 0;
    // Enter the folder level by level, as double-clicking does, checking that each exists.
    while (listing && !folder.empty() && start <= folder.size()) {
        const std::size_t end = std::min(folder.find('\\', start), folder.size());
        const std::string caption = folder.substr(start, end - start);
        const bool exists = std::any_of(listing->folders.begin(), listing->folders.end(),
                                        [&](const ArchiveListRow& row) { return row.caption == caption; });
        if (!exists) {
            complain("no folder " + options.folder + " in " + options.archive);
            return kFailed;
        }
        enterArchiveFolder(context.window, caption);
        listing = ListArchiveFolder(context);
        start = end + 1;
    }
    if (!listing) return kFailed;
    printListing(*listing);
    return kSuccess;
}

int runInfo(const ArchiveOptions& options) {
    TerminalUi ui(plainTerminal(options));
    OperationContext context(ui);
    if (!openForBrowsing(context, options.archive)) return kFailed;
    std::printf("Info about archive: %s\n", printableName(options.archive).c_str());
    for (const ArchiveInfoLine& line : archiveInfoLines(archiveInfoValues(context.header)))
        std::printf("%-23s %s\n", line.label, line.value.c_str());
    return kSuccess;
}

int runLock(const ArchiveOptions& options) {
    TerminalUi ui(plainTerminal(options));
    OperationContext context(ui);
    context.window.ArchivePath = options.archive;
    return exitStatusFor(lockArchive(context), ui);
}

void addQuiet(CLI::App* command, ArchiveOptions& options) {
    command->add_flag("-q,--quiet", options.quiet, "no progress line");
}

void addThreadsOption(CLI::App* command, ArchiveOptions& options, const char* description) {
    command->add_option("--threads", options.threads, description)->check(CLI::Range(1, 256));
}

void addPasswordOptions(CLI::App* command, ArchiveOptions& options) {
    auto* file = command->add_option("--password-file", options.password.file,
                                     "take the password from the first line of FILE");
    auto* ask = command->add_flag("--password", options.password.ask, "ask for the password on the terminal");
    file->excludes(ask);
}

CLI::App* addCommand(CLI::App& app, const char* name, const char* description,
                     const std::shared_ptr<ArchiveOptions>& options) {
    CLI::App* command = app.add_subcommand(name, description);
    command->add_option("ARCHIVE", options->archive, "the archive")->required();
    addQuiet(command, *options);
    return command;
}

}  // namespace

void addArchiveCommands(CLI::App& app, int& exitStatus) {
    auto pack = std::make_shared<ArchiveOptions>();
    CLI::App* packCommand = addCommand(app, "pack", "pack files and folders into a new ZOR archive", pack);
    packCommand->add_option("ITEM", pack->items, "files and folders to pack")->required();
    addThreadsOption(packCommand, *pack, "threads compressing each file (default: all cores)");
    packCommand->add_flag("-f,--force", pack->force, "replace an existing file at the archive path without asking");
    packCommand->add_flag("--plain", pack->plain,
                          "write only what older ZOR programs read: names in lower case, no permissions or links");
    addPasswordOptions(packCommand, *pack);
    packCommand->callback([pack, &exitStatus] { exitStatus = runPack(*pack); });

    auto unpack = std::make_shared<ArchiveOptions>();
    CLI::App* unpackCommand = addCommand(app, "unpack", "extract a whole ZOR archive", unpack);
    unpackCommand->add_option("-d,--directory", unpack->destination, "destination folder (default: the current one)");
    unpackCommand->add_option("--overwrite", unpack->overwrite,
                              "existing files: ask, all or skip (default: ask on a terminal, else skip)")
        ->check(CLI::IsMember({"ask", "all", "skip"}));
    addThreadsOption(unpackCommand, *unpack, "threads decoding entries (default: all cores)");
    addPasswordOptions(unpackCommand, *unpack);
    unpackCommand->callback([unpack, &exitStatus] { exitStatus = runUnpack(*unpack); });

    auto test = std::make_shared<ArchiveOptions>();
    CLI::App* testCommand = addCommand(app, "test", "test every entry, or the named files and folders", test);
    testCommand->add_option("ENTRY", test->items, "entries to test, \"/\" or \"\\\" between components");
    addThreadsOption(testCommand, *test, "threads decoding entries (default: all cores)");
    addPasswordOptions(testCommand, *test);
    testCommand->callback([test, &exitStatus] { exitStatus = runTest(*test); });

    auto list = std::make_shared<ArchiveOptions>();
    CLI::App* listCommand = addCommand(app, "list", "list one folder level of a ZOR archive", list);
    listCommand->add_option("FOLDER", list->folder, "the folder inside the archive (default: the top level)");
    listCommand->callback([list, &exitStatus] { exitStatus = runList(*list); });

    auto info = std::make_shared<ArchiveOptions>();
    addCommand(app, "info", "show the totals, ratio, password and lock state of a ZOR archive", info)
        ->callback([info, &exitStatus] { exitStatus = runInfo(*info); });

    auto lock = std::make_shared<ArchiveOptions>();
    addCommand(app, "lock", "mark a ZOR archive as locked", lock)
        ->callback([lock, &exitStatus] { exitStatus = runLock(*lock); });
}

}  // namespace zor::cli
