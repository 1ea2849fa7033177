// archive_fixture.h - a scratch folder, a context driven by the scripted interface, and helpers to pack and inspect archives.
#pragma once

#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <utime.h>
#include <vector>

#include "archive/archive_header.h"
#include "archive/entry_record.h"
#include "archive/extraction.h"
#include "archive/operation_context.h"
#include "archive/packing.h"
#include "tests/archive/scripted_ui.h"
#include "tests/platform/temp_folder.h"

namespace zor::test {

// Text-like bytes from a small vocabulary: compressible, not to nothing, and
// different for every seed.
inline std::string wordsText(std::size_t length, uint32_t seed) {
    static const char* const kWords[] = {"alpha ", "beta ", "gamma\n", "delta ", "epsilon ", "zeta\t", "eta ", "theta "};
    std::string text;
    while (text.size() < length) {
        seed = seed * 1103515245u + 12345u;
        text += kWords[(seed >> 16) % 8];
    }
    text.resize(length);
    return text;
}

// Threads the test process has now: an operation must leave none behind.
inline int threadsOfThisProcess() {
    // ThreadSanitizer starts a thread of its own with the first one a program
    // makes; one made and joined before the first count lets it be there already.
    static const bool threadMadeOnce = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)threadMadeOnce;
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) count += task.exists() ? 1 : 0;
    return count;
}

// Bytes that hardly compress.
inline std::string noiseBytes(std::size_t length, uint32_t seed) {
    std::string bytes(length, '\0');
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    return bytes;
}

inline std::string asBytes(const uint8_t* data, std::size_t length) {
    return std::string(reinterpret_cast<const char*>(data), length);
}

// One entry of a hand-made archive.
struct HandEntry {
    std::string name;  // without the terminating zero
    bool folder = false;
    std::string data;  // stored bytes (a compressed stream)
    uint32_t size = 0;
    int16_t depth = 0;
};

class ArchiveFixture : public testing::Test {
protected:
    ArchiveFixture() : context(ui) { context.window.TempPath = folder.path() + "/"; }

    // Packs `names` (relative to `from`, default the scratch folder) into `archive`.
    OperationOutcome pack(const std::string& archive, const std::vector<std::string>& names,
                          const std::string& from = "") {
        context.selection.clear();
        for (const auto& name : names) context.selection.push_back({name, 0, from.empty() ? folder.path() : from});
        context.window.ArchivePath = archive;
        return Initialize_Compression(context);
    }

    OperationOutcome extract(const std::string& archive, const std::string& destination) {
        context.window.ArchivePath = archive;
        return ExtractArchive(context, destination);
    }

    // Sets a file's modification time to a fixed moment (an even second, so the DOS time keeps it).
    static void setTime(const std::string& path, std::time_t when = 1700000000) {
        struct utimbuf times { when, when };
        ::utime(path.c_str(), &times);
    }

    static std::time_t modificationTime(const std::string& path) {
        struct stat status {};
        ::stat(path.c_str(), &status);
        return status.st_mtime;
    }

    static bool exists(const std::string& path) {
        struct stat status {};
        return ::lstat(path.c_str(), &status) == 0;
    }

    static bool isReadOnly(const std::string& path) {
        struct stat status {};
        ::stat(path.c_str(), &status);
        return (status.st_mode & S_IWUSR) == 0;
    }

    static ArchiveHeader headerOf(const std::string& archive) {
        const std::string bytes = readFile(archive);
        return decodeArchiveHeader(reinterpret_cast<const uint8_t*>(bytes.data()));
    }

    // The stored data bytes of the single file entry of an archive packed from one file.
    std::string storedStreamOf(const std::string& archive) const {
        const std::string bytes = readFile(archive);
        const EntryRecord record = decodeEntryRecord(reinterpret_cast<const uint8_t*>(bytes.data()) + 76);
        return bytes.substr(76 + 40 + static_cast<std::size_t>(record.nameLength), record.packedSize);
    }

    // Writes a finished archive holding exactly `entries`.
    static void writeHandArchive(const std::string& path, const std::vector<HandEntry>& entries) {
        ArchiveHeader header = newArchiveHeader();
        std::string body;
        for (const HandEntry& entry : entries) {
            EntryRecord record;
            record.isFolder = entry.folder ? 1 : 0;
            record.entryType = entry.folder ? kEntryTypeFolder : kEntryTypeFile;
            record.size = entry.size;
            record.packedSize = static_cast<uint32_t>(entry.data.size());
            record.attributes = entry.folder ? 0 : 32;
            record.nameLength = static_cast<int16_t>(entry.name.size() + 1);
            record.depth = entry.depth;
            const auto bytes = encodeEntryRecord(record);
            body += asBytes(bytes.data(), bytes.size()) + entry.name + std::string(1, '\0') + entry.data;
            (entry.folder ? header.numberOfDirectories : header.numberOfFiles) += 1;
            header.totalSize += entry.size;
        }
        header.archiveSize = static_cast<int32_t>(76 + body.size());
        const auto bytes = encodeArchiveHeader(header);
        writeFile(path, asBytes(bytes.data(), bytes.size()) + body);
    }

    TempFolder folder;
    ScriptedUi ui;
    OperationContext context;
};

}  // namespace zor::test
