// archive_reader.cpp - header checks and the bounded entry walk.
#include "archive/archive_reader.h"

#include <algorithm>
#include <array>
#include <sys/stat.h>
#include <vector>

#include "archive/entry_names.h"
#include "platform/regular_file.h"

namespace zor {
namespace {

// The smallest entry: a record and a name of one byte (its terminating zero).
constexpr uint64_t kSmallestEntry = kEntryRecordSize + 1;

bool seekTo(std::FILE* file, uint64_t offset) {
    return offset <= 0x7FFFFFFFFFFFFFFFull && ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

// The folders above an entry: the "\" of its name, a folder's final one not counted.
int64_t depthOfName(const std::string& name, bool folder) {
    const auto separators = static_cast<int64_t>(std::count(name.begin(), name.end(), '\\'));
    return folder && !name.empty() && name.back() == '\\' ? separators - 1 : separators;
}

}  // namespace

bool entryRecordAgrees(const ArchiveEntry& entry) {
    const EntryRecord& record = entry.record;
    if (record.folder()) {
        return record.size == 0 && record.packedSize == 0 && !entry.name.empty() && entry.name.back() == '\\';
    }
    return record.size > 0 || record.packedSize == 0;
}

ArchiveReader::~ArchiveReader() { close(); }

bool ArchiveReader::open(const std::string& path) {
    close();
    file_ = openRegularFile(path);
    if (!file_) return false;
    struct stat status {};
    if (::fstat(::fileno(file_), &status) != 0) {
        close();
        return false;
    }
    fileLength_ = static_cast<uint64_t>(status.st_size);
    return true;
}

void ArchiveReader::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

std::optional<std::string> ArchiveReader::readHeader() {
    std::array<uint8_t, kArchiveHeaderSize> bytes {};
    if (!seekTo(file_, 0)) return std::string(kCorruptArchiveMessage);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file_);
    header_ = decodeArchiveHeader(bytes.data());
    if (got < 4 || fieldText(header_.signature) != "ZOR") return std::string(kNotZorArchiveMessage);
    if (got < bytes.size()) return std::string(kCorruptArchiveMessage);
    if (auto refusal = headerValidationError(header_)) return refusal;
    const int64_t count = header_.entryCount();
    if (header_.numberOfFiles < 0 || header_.numberOfDirectories < 0 ||
        uint64_t(count) > (fileLength_ - kArchiveHeaderSize) / kSmallestEntry) {
        return std::string(kCorruptArchiveMessage);
    }
    rewindEntries();
    loadExactBlock();
    return std::nullopt;
}

void ArchiveReader::loadExactBlock() {
    exact_.clear();
    const int64_t count = header_.entryCount();
    std::array<uint8_t, kExactTrailerSize> trailerBytes {};
    if (count == 0 || fileLength_ < kArchiveHeaderSize + kExactTrailerSize ||
        !seekTo(file_, fileLength_ - kExactTrailerSize) ||
        std::fread(trailerBytes.data(), 1, trailerBytes.size(), file_) != trailerBytes.size()) {
        return;
    }
    // The block follows the entries: walking them tells where they end.
    ArchiveEntry entry;
    Step step;
    while ((step = next(entry)) == Step::Entry) {
    }
    const uint64_t entriesEnd = position_;
    rewindEntries();
    if (step != Step::End) return;
    const auto trailer = decodeExactTrailer(trailerBytes.data(), fileLength_, entriesEnd);
    if (!trailer) return;
    std::vector<uint8_t> body(trailer->bodyLength);
    if (!seekTo(file_, trailer->bodyOffset) || std::fread(body.data(), 1, body.size(), file_) != body.size() ||
        exactBlockCrc(body.data(), body.size()) != trailer->crc) {
        return;
    }
    auto records = decodeExactBlock(body.data(), body.size(), uint64_t(count));
    if (!records) return;
    exact_ = std::move(*records);
    if (!exactBlockAgrees()) exact_.clear();
    rewindEntries();
}

// Each record must describe its entry: the same kind, a link's target as
// the file's contents (by length), and the stored name being what the
// packer makes of the exact name.
bool ArchiveReader::exactBlockAgrees() {
    ArchiveEntry entry;
    while (next(entry) == Step::Entry) {
        const ExactRecord& record = *entry.exact;
        const bool folder = record.kind == ExactKind::Folder;
        if (folder != entry.record.folder() || folder != (record.name.back() == '\\')) return false;
        if (record.kind == ExactKind::Link && entry.record.size != record.target.size()) return false;
        if (toEntryName(record.name) != entry.storedName) return false;
    }
    return index_ == header_.entryCount();
}

void ArchiveReader::rewindEntries() {
    position_ = kArchiveHeaderSize;
    index_ = 0;
}

ArchiveReader::Step ArchiveReader::next(ArchiveEntry& entry) {
    if (index_ >= header_.entryCount()) return Step::End;
    if (position_ + kEntryRecordSize > fileLength_ || !seekTo(file_, position_)) return Step::Corrupt;
    if (!readEntryRecord(file_, entry.record)) return Step::Corrupt;
    const int16_t nameLength = entry.record.nameLength;
    const uint64_t nameOffset = position_ + kEntryRecordSize;
    if (nameLength <= 0 || nameOffset + uint64_t(nameLength) > fileLength_) return Step::Corrupt;
    std::vector<char> name(static_cast<std::size_t>(nameLength));
    if (std::fread(name.data(), 1, name.size(), file_) != name.size() || name.back() != '\0') return Step::Corrupt;
    entry.offset = position_;
    entry.dataOffset = nameOffset + uint64_t(nameLength);
    entry.nextOffset = entry.dataOffset + entry.record.packedSize;
    if (entry.nextOffset > fileLength_) return Step::Corrupt;
    entry.storedName.assign(name.data(), name.size() - 1);
    // Readers that go by depth (listing, testing a folder) and readers that
    // go by name (extraction) would otherwise see different archives.
    if (entry.record.depth != depthOfName(entry.storedName, entry.record.folder())) return Step::Corrupt;
    if (exact_.empty()) {
        entry.exact.reset();
        entry.name = readableEntryName(entry.storedName);
    } else {
        entry.exact = exact_[static_cast<std::size_t>(index_)];
        entry.name = entry.exact->name;
    }
    position_ = entry.nextOffset;
    ++index_;
    return Step::Entry;
}

}  // namespace zor
