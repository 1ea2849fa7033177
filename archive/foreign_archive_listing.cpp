// foreign_archive_listing.cpp - recognises other archive types (zip, tar, 7z, rar, iso, cpio) and reads their directory.
//
// libarchive reads these formats as a stream of entry headers. It does not
// report an entry's compressed size, so the packed size is taken from where
// the headers lie: the distance from one entry's header to the next (for
// the last entry, to the end of what the reader consumed). For formats that
// keep entries apart (zip, tar, cpio) that is the entry's own header and
// data; for 7z, whose data is solid, the packed size stays 0.
#include "archive/foreign_archive_listing.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>
#include <vector>

namespace zor {

namespace {

constexpr size_t kReadBlockSize = 64 * 1024;

struct ArchiveCloser {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using ArchiveHandle = std::unique_ptr<archive, ArchiveCloser>;

// A reader for the supported formats, opened on `path`; nothing when
// libarchive does not take the file.
ArchiveHandle openReader(const std::string& path, std::string* error) {
    ArchiveHandle reader(archive_read_new());
    if (!reader) {
        if (error) *error = "out of memory";
        return nullptr;
    }
    archive* handle = reader.get();
    archive_read_support_filter_all(handle);
    archive_read_support_format_zip(handle);
    archive_read_support_format_tar(handle);
    archive_read_support_format_gnutar(handle);
    archive_read_support_format_7zip(handle);
    archive_read_support_format_rar(handle);
    archive_read_support_format_rar5(handle);
    archive_read_support_format_iso9660(handle);
    archive_read_support_format_cpio(handle);
    if (archive_read_open_filename(handle, path.c_str(), kReadBlockSize) != ARCHIVE_OK) {
        if (error) *error = archive_error_string(handle) ? archive_error_string(handle) : "cannot open";
        return nullptr;
    }
    return reader;
}

std::string entryPath(archive_entry* entry) {
    const char* name = archive_entry_pathname(entry);
    if (!name) name = archive_entry_pathname_utf8(entry);
    std::string path = name ? name : "";
    while (path.size() >= 2 && path.compare(0, 2, "./") == 0) path.erase(0, 2);
    while (!path.empty() && path.back() == '/') path.pop_back();
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
    ArchiveHandle reader = openReader(path, nullptr);
    if (!reader) return std::nullopt;
    // The format is known once the first header has been read; an archive
    // with no entries at all (an empty zip or tar) still ends cleanly.
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(reader.get(), &entry);
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN && status != ARCHIVE_EOF) return std::nullopt;
    if (archive_format(reader.get()) == 0 || archive_format(reader.get()) == ARCHIVE_FORMAT_EMPTY) return std::nullopt;
    const char* name = archive_format_name(reader.get());
    return ForeignArchiveType {name ? name : "archive"};
}

bool readForeignArchiveDirectory(const std::string& path,
                                 const std::function<void(const ForeignArchiveEntry&)>& onEntry,
                                 std::string* error) {
    ArchiveHandle reader = openReader(path, error);
    if (!reader) return false;
    archive* handle = reader.get();

    // Each entry is reported once the next header (or the end) tells where it ends.
    std::optional<ForeignArchiveEntry> pending;
    int64_t pendingPosition = -1;
    auto finishPending = [&](int64_t endPosition) {
        if (!pending) return;
        if (pendingPosition >= 0 && endPosition > pendingPosition)
            pending->packedSize = static_cast<uint64_t>(endPosition - pendingPosition);
        onEntry(*pending);
        pending.reset();
    };

    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(handle, &entry);
        if (status == ARCHIVE_EOF) {
            finishPending(archive_filter_bytes(handle, 0));
            return true;
        }
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            finishPending(-1);
            if (error) *error = archive_error_string(handle) ? archive_error_string(handle) : "damaged archive";
            return false;
        }
        const int64_t position = archive_read_header_position(handle);
        finishPending(position);

        ForeignArchiveEntry next;
        next.path = entryPath(entry);
        if (next.path.empty()) continue;  // the archive's own root ("./")
        next.isFolder = archive_entry_filetype(entry) == AE_IFDIR;
        if (!next.isFolder && archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0)
            next.size = static_cast<uint64_t>(archive_entry_size(entry));
        pending = std::move(next);
        // 7z keeps its directory apart from the (solid) data: its header
        // positions say nothing about an entry's share of the file.
        pendingPosition = (archive_format(handle) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_7ZIP ? -1 : position;
    }
}

}  // namespace zor
