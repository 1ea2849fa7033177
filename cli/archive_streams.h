// archive_streams.h - "-" as an archive: standard input spooled for the commands that read one, standard output for pack.
//
// The archive readers seek (the header, then each entry), so standard input
// that is not a file is first copied to an unnamed file in the temporary
// folder, which no one else can open and which disappears with the process.
// Packing writes its header last, so `pack -` packs into a private folder
// of the temporary folder and copies the finished archive to standard output.
#pragma once

#include <string>

#include "platform/new_file.h"

namespace zor::cli {

inline constexpr char kStandardStream[] = "-";

// The archive a reading command opens.
class ArchiveInput {
public:
    // Takes `given`: a path, or "-" for standard input (refused when it is a
    // terminal, copied when it is no file). An exit status: kSuccess, or
    // kUsage or kFailed after telling why not.
    int take(const std::string& given);
    // What to open, as often as needed.
    const std::string& path() const { return path_; }
    // What messages call it.
    const std::string& shown() const { return shown_; }

private:
    NewFile spool_;
    std::string path_;
    std::string shown_;
};

// Where `pack -` lets packing write: a fresh private folder, removed with what it holds when this ends.
class ArchiveOutput {
public:
    ArchiveOutput() = default;
    ArchiveOutput(const ArchiveOutput&) = delete;
    ArchiveOutput& operator=(const ArchiveOutput&) = delete;
    ~ArchiveOutput();

    // An exit status: kSuccess, or kUsage (standard output is a terminal) or
    // kFailed (no folder can be made) after telling why.
    int prepare();
    // The path packing is to write the archive at.
    const std::string& archivePath() const { return archive_; }
    // Copies the packed archive to standard output; false after telling why not.
    bool deliver();

private:
    std::string folder_;
    std::string archive_;
};

}  // namespace zor::cli
