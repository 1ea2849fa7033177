// foreign_archive_listing.cpp - recognises other archive types (zip, tar, 7z, rar, iso, cpio) and reads their directory.
//
// libarchive reads these formats as a stream of entry headers, pulling the
// file through the block reader below; each block read is a point at which
// the caller hears how far the reading has come.
#include "archive/foreign_archive_listing.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zor {

namespace {

constexpr size_t kReadBlockSize = 64 * 1024;

// The archive file as libarchive reads it. Only a regular file is read: a
// FIFO or a device picked in the list would block or never end.
struct FileSource {
    std::FILE* file = nullptr;
    int64_t size = 0;
    std::vector<char> block = std::vector<char>(kReadBlockSize);
    ForeignReadProgress progress;
    uint64_t entriesRead = 0;

    ~FileSource() {
        if (file) std::fclose(file);
    }

    bool open(const std::string& path, std::string* error) {
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        if (descriptor < 0 || ::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
            if (error) *error = descriptor < 0 ? std::strerror(errno) : "not a regular file";
            if (descriptor >= 0) ::close(descriptor);
            return false;
        }
        ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
        file = ::fdopen(descriptor, "rb");
        if (!file) {
            ::close(descriptor);
            if (error) *error = std::strerror(errno);
            return false;
        }
        size = info.st_size;
        return true;
    }
};

la_ssize_t readBlock(archive* handle, void* data, const void** buffer) {
    auto* source = static_cast<FileSource*>(data);
    if (source->progress) source->progress(source->entriesRead);
    const size_t got = std::fread(source->block.data(), 1, source->block.size(), source->file);
    if (got == 0 && std::ferror(source->file)) {
        archive_set_error(handle, errno, "read error");
        return ARCHIVE_FATAL;
    }
    *buffer = source->block.data();
    return static_cast<la_ssize_t>(got);
}

// Skips forward without reading (stored tar members); never past the end.
la_int64_t skipBytes(archive*, void* data, la_int64_t request) {
    auto* source = static_cast<FileSource*>(data);
    const int64_t position = ::ftello(source->file);
    if (position < 0 || request <= 0) return 0;
    const int64_t skip = std::min<int64_t>(request, source->size - position);
    if (skip <= 0 || ::fseeko(source->file, skip, SEEK_CUR) != 0) return 0;
    return skip;
}

// Zip, 7z and ISO read their directories from where the format keeps them.
la_int64_t seekTo(archive*, void* data, la_int64_t offset, int whence) {
    auto* source = static_cast<FileSource*>(data);
    if (::fseeko(source->file, offset, whence) != 0) return ARCHIVE_FATAL;
    return ::ftello(source->file);
}

struct ArchiveCloser {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using ArchiveHandle = std::unique_ptr<archive, ArchiveCloser>;

// A reader for the supported formats over an open file. The source is
// declared first, so the archive handle that reads it goes first.
struct ForeignReader {
    FileSource source;
    ArchiveHandle handle;
};

std::unique_ptr<ForeignReader> openReader(const std::string& path, std::string* error,
                                          ForeignReadProgress progress = {}) {
    auto reader = std::make_unique<ForeignReader>();
    if (!reader->source.open(path, error)) return nullptr;
    reader->source.progress = std::move(progress);
    reader->handle.reset(archive_read_new());
    archive* handle = reader->handle.get();
    if (!handle) {
        if (error) *error = "out of memory";
        return nullptr;
    }
    archive_read_support_filter_all(handle);
    archive_read_support_format_zip(handle);
    archive_read_support_format_tar(handle);
    archive_read_support_format_gnutar(handle);
    archive_read_support_format_7zip(handle);
    archive_read_support_format_rar(handle);
    archive_read_support_format_rar5(handle);
    archive_read_support_format_iso9660(handle);
    archive_read_support_format_cpio(handle);
    archive_read_set_callback_data(handle, &reader->source);
    archive_read_set_read_callback(handle, readBlock);
    archive_read_set_skip_callback(handle, skipBytes);
    archive_read_set_seek_callback(handle, seekTo);
    if (archive_read_open1(handle) != ARCHIVE_OK) {
        if (error) *error = archive_error_string(handle) ? archive_error_string(handle) : "cannot open";
        return nullptr;
    }
    return reader;
}

// The stored name with "/" between components, without the "." components
// (an ISO's root, tar's "./" prefix) and empty ones; "" for the root itself.
std::string entryPath(archive_entry* entry) {
    const char* name = archive_entry_pathname(entry);
    if (!name) name = archive_entry_pathname_utf8(entry);
    const std::string stored = name ? name : "";
    std::string path;
    size_t start = 0;
    while (start <= stored.size()) {
        size_t end = stored.find('/', start);
        if (end == std::string::npos) end = stored.size();
        const std::string component = stored.substr(start, end - start);
        if (!component.empty() && component != ".") {
            if (!path.empty()) path += '/';
            path += component;
        }
        start = end + 1;
    }
    return path;
}

}  // namespace

std::string ForeignArchiveEntry::fileName() const {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ForeignArchiveEntry::folderPart() const {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::optional<ForeignArchiveType> recogniseForeignArchive(const std::string& path) {
    const std::unique_ptr<ForeignReader> reader = openReader(path, nullptr);
    if (!reader) return std::nullopt;
    archive* handle = reader->handle.get();
    // The format is known once the first header has been read; an archive
    // with no entries at all (an empty zip or tar) still ends cleanly.
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(handle, &entry);
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN && status != ARCHIVE_EOF) return std::nullopt;
    if (archive_format(handle) == 0 || archive_format(handle) == ARCHIVE_FORMAT_EMPTY) return std::nullopt;
    const char* name = archive_format_name(handle);
    return ForeignArchiveType {name ? name : "archive"};
}

bool readForeignArchiveDirectory(const std::string& path,
                                 const std::function<void(const ForeignArchiveEntry&)>& onEntry,
                                 std::string* error, const ForeignReadProgress& progress) {
    const std::unique_ptr<ForeignReader> reader = openReader(path, error, progress);
    if (!reader) return false;
    archive* handle = reader->handle.get();
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(handle, &entry);
        if (status == ARCHIVE_EOF) return true;
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            if (error) *error = archive_error_string(handle) ? archive_error_string(handle) : "damaged archive";
            return false;
        }
        ForeignArchiveEntry next;
        next.path = entryPath(entry);
        if (next.path.empty()) continue;  // the archive's own root
        next.isFolder = archive_entry_filetype(entry) == AE_IFDIR;
        if (!next.isFolder && archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0)
            next.size = static_cast<uint64_t>(archive_entry_size(entry));
        ++reader->source.entriesRead;
        onEntry(next);
    }
}

}  // namespace zor
