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
#include <unistd.h>

#include "archive/archive_info.h"
#include "archive/archive_listing.h"
#include "archive/archive_reader.h"
#include "archive/entry_names.h"
#include "archive/extraction.h"
#include "archive/lock_archive.h"
#include "archive/packing.h"
#include "archive/testing.h"
#include "cli/archive_streams.h"
#include "cli/entry_listing.h"
#include "cli/entry_matcher.h"
#include "cli/entry_output.h"
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
    std::string archive;             // what to open ("-" is resolved before a command runs)
    std::string shownArchive;        // what messages call it; empty: `archive`
    std::vector<std::string> items;  // pack: the items; unpack, test: the entries
    std::string folder;              // list: the archive folder
    std::string destination = ".";   // unpack
    std::string overwrite;           // unpack: ask, all or skip ("" = by standard input)
    PasswordOptions password;
    bool quiet = false;
    bool verbose = false;           // pack, unpack: name each entry once done
    bool toStandardOutput = false;  // unpack -c
    bool recursive = false;         // list -r
    bool json = false;              // list --json
    bool force = false;  // pack: replace an existing file at the archive path
    bool plain = false;  // pack: no exact-restore block
    int32_t threads = coreCount();  // pack, unpack, test
};

const std::string& shownName(const ArchiveOptions& options) {
    return options.shownArchive.empty() ? options.archive : options.shownArchive;
}

TerminalOptions plainTerminal(const ArchiveOptions& options) {
    TerminalOptions terminal;
    terminal.quiet = options.quiet;
    terminal.archive = shownName(options);
    return terminal;
}

void complain(const std::string& text) { printMessage(text); }

int exitStatusFor(OperationOutcome outcome, const TerminalUi& ui) {
    if (outcome == OperationOutcome::Fatal || ui.fatalReported()) return kFatal;
    // Ctrl+C at a question or the password prompt is an abort, whatever the operation made of the answer.
    if (outcome == OperationOutcome::Aborted || ui.interruptedAtPrompt()) {
        complain("aborted");
        return kInterrupted;
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
bool openForBrowsing(OperationContext& context, const ArchiveOptions& options) {
    const ArchiveCheck check = checkArchiveFile(options.archive);
    if (check.result != ArchiveCheck::Result::Accepted) {
        complain(shownName(options) + ": " + check.message);
        return false;
    }
    enterArchive(context, options.archive, check);
    return true;
}

// Runs `command` on the archive the options name, with "-" taken as standard input.
int onArchiveInput(const ArchiveOptions& options, int (*command)(const ArchiveOptions&)) {
    ArchiveInput input;
    if (const int status = input.take(options.archive); status != kSuccess) return status;
    ArchiveOptions resolved = options;
    resolved.archive = input.path();
    resolved.shownArchive = input.shown();
    return command(resolved);
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
    // "-": packed in a private folder, then copied to standard output.
    const bool toStandardOutput = options.archive == kStandardStream;
    ArchiveOutput output;
    if (toStandardOutput) {
        if (const int status = output.prepare(); status != kSuccess) return status;
    }
    bool passwordFailed = false;
    bool interrupted = false;
    const auto password = passwordFrom(options.password, true, passwordFailed, interrupted);
    if (interrupted) return kInterrupted;
    if (passwordFailed) return kUsage;
    TerminalOptions terminal = plainTerminal(options);
    terminal.force = options.force;
    terminal.namePackedFiles = options.verbose;
    if (toStandardOutput) {
        terminal.archive = "(standard output)";
        terminal.namesOnStandardError = true;  // standard output carries the archive
    }
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
    context.window.ArchivePath = toStandardOutput ? output.archivePath() : options.archive;
    context.packingPassword = password;
    const int status = exitStatusFor(Initialize_Compression(context), ui);
    if (status != kSuccess || !toStandardOutput) return status;
    return output.deliver() ? kSuccess : kFailed;
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

// Reports each of `names` that no entry of the archive matches, and returns
// how many do not. A walk that cannot be made says nothing: the operation
// that follows reports why.
std::size_t reportUnmatched(const ArchiveOptions& options, const std::vector<std::string>& names) {
    ArchiveReader reader;
    if (names.empty() || !reader.open(options.archive) || reader.readHeader()) return 0;
    EntryMatcher matcher(names);
    ArchiveEntry entry;
    ArchiveReader::Step step;
    while ((step = reader.next(entry)) == ArchiveReader::Step::Entry) matcher.matches(entry);
    if (step == ArchiveReader::Step::Corrupt) return 0;
    const std::vector<std::string> unmatched = matcher.unmatched();
    for (const std::string& name : unmatched) complain("no entry " + name + " in " + shownName(options));
    return unmatched.size();
}

int runUnpack(const ArchiveOptions& options) {
    if (options.toStandardOutput && ::isatty(STDOUT_FILENO)) {
        complain("file contents will not be written to a terminal (redirect standard output)");
        return kUsage;
    }
    bool passwordFailed = false;
    TerminalOptions terminal = decryptingOptions(options, passwordFailed);
    if (passwordFailed) return kUsage;
    terminal.overwrite = *overwriteMode(options.overwrite);
    TerminalUi ui(terminal);
    OperationContext context(ui);
    context.settings.threads = options.threads;
    if (!openForBrowsing(context, options)) return kFailed;
    const std::size_t unmatched = reportUnmatched(options, options.items);
    if (unmatched > 0 && unmatched == options.items.size()) return kFailed;  // nothing to extract

    EntryMatcher matcher(options.items);
    OperationOutcome outcome;
    if (options.toStandardOutput) {
        outcome = writeEntriesToStandardOutput(context, matcher);
    } else {
        ExtractionChoice choice;
        if (!options.items.empty()) choice.wanted = [&matcher](const ArchiveEntry& entry) { return matcher.matches(entry); };
        if (options.verbose) choice.extracted = [&ui](const ArchiveEntry& entry) { ui.nameDone(toDiskPath(entry.name)); };
        outcome = ExtractArchive(context, options.destination, choice);
    }
    const int status = exitStatusFor(outcome, ui);
    return status == kSuccess && unmatched > 0 ? kFailed : status;
}

// Turns the named entries into list rows as selecting them in the window does; false when one is missing.
bool selectEntries(OperationContext& context, const std::vector<std::string>& given, const std::string& shown) {
    ArchiveReader reader;
    if (!reader.open(context.window.ArchivePath) || reader.readHeader()) return true;  // testing will say why
    std::vector<std::string> wanted;
    for (const auto& name : given) wanted.push_back(entryNameFor(name));
    std::vector<bool> found(wanted.size(), false);
    ArchiveEntry entry;
    while (reader.next(entry) == ArchiveReader::Step::Entry) {
        const bool folder = entry.record.folder();
        const std::vector<std::string> names = namesToMatch(entry);
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            if (found[i] || std::find(names.begin(), names.end(), wanted[i]) == names.end()) continue;
            found[i] = true;
            // The row as the list shows it: testing finds the entry by its own name, in its own case.
            context.listSelection.push_back({lastEntryComponent(entry.name), folder, entryParentPath(entry.name)});
        }
    }
    bool all = true;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (found[i]) continue;
        complain("no entry " + given[i] + " in " + shown);
        all = false;
    }
    return all;
}

int runTest(const ArchiveOptions& options) {
    bool passwordFailed = false;
    TerminalOptions terminal = decryptingOptions(options, passwordFailed);
    if (passwordFailed) return kUsage;
    terminal.printFileOk = !options.quiet;
    TerminalUi ui(terminal);
    OperationContext context(ui);
    context.settings.threads = options.threads;
    if (!openForBrowsing(context, options)) return kFailed;
    const bool allFound = selectEntries(context, options.items, shownName(options));
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

// Every entry of the archive, in archive order; nothing once the reason has been reported.
std::optional<std::vector<ArchiveEntry>> readEntries(OperationUi& ui, const std::string& archive) {
    ArchiveReader reader;
    if (!reader.open(archive)) {
        ui.reportError(kCannotOpenFileMessage, false);
        return std::nullopt;
    }
    if (auto refusal = reader.readHeader()) {
        ui.reportError(*refusal, false);
        return std::nullopt;
    }
    std::vector<ArchiveEntry> entries;
    ArchiveEntry entry;
    ArchiveReader::Step step;
    while ((step = reader.next(entry)) == ArchiveReader::Step::Entry) entries.push_back(entry);
    if (step == ArchiveReader::Step::Corrupt) {
        ui.reportError(kCorruptArchiveMessage, false);
        return std::nullopt;
    }
    return entries;
}

// list -r: every entry, or those in FOLDER and below.
int runFullList(const ArchiveOptions& options, OperationUi& ui) {
    const auto entries = readEntries(ui, options.archive);
    if (!entries) return kFailed;
    EntryMatcher matcher(options.folder.empty() ? std::vector<std::string>{} : std::vector{options.folder});
    std::vector<ListedEntry> listed;
    for (const ArchiveEntry& entry : *entries)
        if (matcher.matches(entry)) listed.push_back(listedEntry(entry));
    if (!matcher.unmatched().empty()) {
        complain("no folder " + options.folder + " in " + shownName(options));
        return kFailed;
    }
    if (options.json) printEntryJson(listed);
    else printEntryLines(listed);
    return kSuccess;
}

// list --json of one level: the rows the listing shows, in its order, as JSON.
int printLevelJson(const OperationContext& context, OperationUi& ui) {
    const auto entries = readEntries(ui, context.window.ArchivePath);
    if (!entries) return kFailed;
    std::vector<ArchiveEntry> level;
    for (const ArchiveEntry& entry : *entries)
        if (entryParentPath(entry.name) == context.window.currentArchiveFolder) level.push_back(entry);
    std::stable_sort(level.begin(), level.end(), [](const ArchiveEntry& left, const ArchiveEntry& right) {
        if (left.record.folder() != right.record.folder()) return left.record.folder();
        return lastEntryComponent(left.name) < lastEntryComponent(right.name);
    });
    std::vector<ListedEntry> listed;
    for (const ArchiveEntry& entry : level) listed.push_back(listedEntry(entry));
    printEntryJson(listed);
    return kSuccess;
}

int runList(const ArchiveOptions& options) {
    TerminalUi ui(plainTerminal(options));
    OperationContext context(ui);
    if (!openForBrowsing(context, options)) return kFailed;
    if (options.recursive) return runFullList(options, ui);
    auto listing = ListArchiveFolder(context);
    const std::string folder = entryNameFor(options.folder);
    std::size_t start = 0;
    // Enter the folder level by level, as double-clicking does, checking that each exists.
    while (listing && !folder.empty() && start <= folder.size()) {
        const std::size_t end = std::min(folder.find('\\', start), folder.size());
        const std::string component = folder.substr(start, end - start);
        // Matched in any case, as entries are: an archive with exact names shows its folders in their own.
        const auto row = std::find_if(listing->folders.begin(), listing->folders.end(), [&](const ArchiveListRow& row) {
            return entryNameFor(row.caption) == component;
        });
        if (row == listing->folders.end()) {
            complain("no folder " + options.folder + " in " + shownName(options));
            return kFailed;
        }
        enterArchiveFolder(context.window, row->caption);
        listing = ListArchiveFolder(context);
        start = end + 1;
    }
    if (!listing) return kFailed;
    if (options.json) return printLevelJson(context, ui);
    printListing(*listing);
    return kSuccess;
}

int runInfo(const ArchiveOptions& options) {
    TerminalUi ui(plainTerminal(options));
    OperationContext context(ui);
    if (!openForBrowsing(context, options)) return kFailed;
    std::printf("Info about archive: %s\n", printableName(shownName(options)).c_str());
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
    command->add_flag("-q,--quiet", options.quiet, "nothing but errors: no progress line, no per-entry lines");
}

CLI::Option* addVerbose(CLI::App* command, ArchiveOptions& options) {
    return command->add_flag("-v,--verbose", options.verbose, "name each entry on standard output once it is done");
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
    command->add_option("ARCHIVE", options->archive, "the archive (\"-\": standard input)")->required();
    return command;
}

}  // namespace

void addArchiveCommands(CLI::App& app, int& exitStatus) {
    auto pack = std::make_shared<ArchiveOptions>();
    CLI::App* packCommand = addCommand(app, "pack", "pack files and folders into a new ZOR archive", pack);
    packCommand->get_option("ARCHIVE")->description("the new archive (\"-\": standard output)");
    packCommand->add_option("ITEM", pack->items, "files and folders to pack")->required();
    addQuiet(packCommand, *pack);
    addVerbose(packCommand, *pack);
    addThreadsOption(packCommand, *pack, "threads compressing each file (default: all cores)");
    packCommand->add_flag("-f,--force", pack->force, "replace an existing file at the archive path without asking");
    packCommand->add_flag("--plain", pack->plain,
                          "write only what older ZOR programs read: names in lower case, no permissions or links");
    addPasswordOptions(packCommand, *pack);
    packCommand->callback([pack, &exitStatus] { exitStatus = runPack(*pack); });

    auto unpack = std::make_shared<ArchiveOptions>();
    CLI::App* unpackCommand =
        addCommand(app, "unpack", "extract a ZOR archive, or the named files and folders", unpack);
    unpackCommand->add_option("ENTRY", unpack->items, "entries to extract, \"/\" or \"\\\" between components");
    auto* toOutput = unpackCommand->add_flag(
        "-c,--stdout", unpack->toStandardOutput,
        "write the files' contents to standard output, in archive order, nothing on the disk");
    addQuiet(unpackCommand, *unpack);
    addVerbose(unpackCommand, *unpack)->excludes(toOutput);
    unpackCommand->add_option("-d,--directory", unpack->destination, "destination folder (default: the current one)")
        ->excludes(toOutput);
    unpackCommand->add_option("--overwrite", unpack->overwrite,
                              "existing files: ask, all or skip (default: ask on a terminal, else skip)")
        ->check(CLI::IsMember({"ask", "all", "skip"}))
        ->excludes(toOutput);
    addThreadsOption(unpackCommand, *unpack, "threads decoding entries (default: all cores)");
    addPasswordOptions(unpackCommand, *unpack);
    unpackCommand->callback([unpack, &exitStatus] { exitStatus = onArchiveInput(*unpack, runUnpack); });

    auto test = std::make_shared<ArchiveOptions>();
    CLI::App* testCommand = addCommand(app, "test", "test every entry, or the named files and folders", test);
    testCommand->add_option("ENTRY", test->items, "entries to test, \"/\" or \"\\\" between components");
    addQuiet(testCommand, *test);
    addThreadsOption(testCommand, *test, "threads decoding entries (default: all cores)");
    addPasswordOptions(testCommand, *test);
    testCommand->callback([test, &exitStatus] { exitStatus = onArchiveInput(*test, runTest); });

    auto list = std::make_shared<ArchiveOptions>();
    CLI::App* listCommand = addCommand(app, "list", "list one folder level of a ZOR archive, or every entry", list);
    listCommand->add_option("FOLDER", list->folder, "the folder inside the archive (default: the top level)");
    listCommand->add_flag("-r,--recursive", list->recursive,
                          "every entry (below FOLDER), one a line: size, packed, modified, attributes, path");
    listCommand->add_flag("--json", list->json, "the entries as one JSON array (keys: see the README)");
    listCommand->callback([list, &exitStatus] { exitStatus = onArchiveInput(*list, runList); });

    auto info = std::make_shared<ArchiveOptions>();
    addCommand(app, "info", "show the totals, ratio, password and lock state of a ZOR archive", info)
        ->callback([info, &exitStatus] { exitStatus = onArchiveInput(*info, runInfo); });

    auto lock = std::make_shared<ArchiveOptions>();
    CLI::App* lockCommand = addCommand(app, "lock", "mark a ZOR archive as locked", lock);
    lockCommand->get_option("ARCHIVE")->description("the archive");  // written in place: never a stream
    lockCommand->callback([lock, &exitStatus] { exitStatus = runLock(*lock); });
}

}  // namespace zor::cli
