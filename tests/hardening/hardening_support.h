// hardening_support.h - what the hostile-input and fault tests share: folder snapshots, sample trees, limited runs of zor-cli.
#pragma once

#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <vector>

#include "archive/archive_reader.h"
#include "tests/cli/cli_runner.h"
#include "tests/platform/temp_folder.h"

namespace zor::test {

// What a folder holds: each path below it (relative) with its kind and, for
// files, its bytes; links are recorded with their target, never followed.
using FolderSnapshot = std::map<std::string, std::string>;

inline FolderSnapshot snapshotOf(const std::string& folder) {
    namespace fs = std::filesystem;
    FolderSnapshot snapshot;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(folder, error))) return snapshot;
    for (auto it = fs::recursive_directory_iterator(folder, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        // Lexical: relative() would resolve a link and record it under its target's name.
        const std::string relative = it->path().lexically_relative(folder).string();
        const fs::file_status status = it->symlink_status();
        if (fs::is_symlink(status)) snapshot[relative] = "link -> " + fs::read_symlink(it->path()).string();
        else if (fs::is_directory(status)) snapshot[relative] = "folder";
        else if (fs::is_regular_file(status)) snapshot[relative] = "file: " + readFile(it->path().string());
        else snapshot[relative] = "other";
    }
    return snapshot;
}

// The files of a folder snapshot whose content is not one of `allowed`, and anything that is neither file nor folder.
inline std::vector<std::string> unexpectedItems(const FolderSnapshot& snapshot, const std::set<std::string>& allowed) {
    std::vector<std::string> unexpected;
    for (const auto& [path, what] : snapshot) {
        if (what == "folder") continue;
        if (what.rfind("file: ", 0) == 0 && allowed.count(what.substr(6))) continue;
        unexpected.push_back(path + " (" + what.substr(0, 60) + ")");
    }
    return unexpected;
}

// The contents of `expected` that no file of the snapshot holds.
inline std::vector<std::string> missingContents(const FolderSnapshot& snapshot, const std::set<std::string>& expected) {
    std::set<std::string> found;
    for (const auto& [path, what] : snapshot)
        if (what.rfind("file: ", 0) == 0) found.insert(what.substr(6));
    std::vector<std::string> missing;
    for (const auto& bytes : expected)
        if (!found.count(bytes)) missing.push_back(bytes);
    return missing;
}

// Sample contents: a folder with a file, a top-level file and an empty file.
struct SampleTree {
    std::map<std::string, std::string> files{
        {"d/a.txt", "alpha alpha alpha alpha\n"},
        {"b.txt", "bravo\n"},
        {"e", ""},
    };
    void writeInto(const std::string& folder) const {
        for (const auto& [path, bytes] : files) writeFile(folder + "/" + path, bytes);
    }
    std::set<std::string> contents() const {
        std::set<std::string> all;
        for (const auto& [path, bytes] : files) all.insert(bytes);
        return all;
    }
};

// The byte ranges an archive's walk depends on: the header and every record with its name.
inline std::vector<std::pair<std::size_t, std::size_t>> recordAndNameRanges(const std::string& archive) {
    std::vector<std::pair<std::size_t, std::size_t>> ranges{{0, kArchiveHeaderSize}};
    ArchiveReader reader;
    if (!reader.open(archive) || reader.readHeader()) return ranges;
    ArchiveEntry entry;
    while (reader.next(entry) == ArchiveReader::Step::Entry) ranges.emplace_back(entry.offset, entry.dataOffset);
    return ranges;
}

// Runs zor-cli with its files limited to `limit` bytes: a write past the
// limit fails with EFBIG (the signal is ignored), as on a full disk.
inline CliResult runCliWithFileLimit(const std::string& folder, const std::vector<std::string>& args, rlim_t limit) {
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limited{limit, saved.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limited);
    CliProcess process(folder, args);  // the child inherits the limit and the ignored signal
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    return process.wait();
}

// A tmpfs of a few KB mounted at `folder` (created if needed), for a real
// full disk or a read-only destination; mounted() is false where the
// process may not mount (then the test skips).
class SmallFilesystem {
public:
    SmallFilesystem(const std::string& folder, std::size_t bytes, bool readOnly = false) : folder_(folder) {
        std::filesystem::create_directories(folder_);
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
        mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0;
    }
    ~SmallFilesystem() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallFilesystem(const SmallFilesystem&) = delete;
    SmallFilesystem& operator=(const SmallFilesystem&) = delete;

    bool mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

// Bytes that do not compress: the compressed stream is a little longer than they are.
inline std::string incompressibleBytes(std::size_t length, uint32_t seed = 12345) {
    std::string bytes(length, '\0');
    for (char& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 23);
    }
    return bytes;
}

}  // namespace zor::test
