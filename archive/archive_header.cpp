// archive_header.cpp - header creation values, field-by-field encoding and the four refusals.
#include "archive/archive_header.h"

#include <algorithm>
#include <cstring>

#include "archive/little_endian.h"

namespace zor {
namespace {

template <std::size_t N>
void setText(std::array<uint8_t, N>& field, const char* text) {
    field.fill(0);
    const std::size_t length = std::min(std::strlen(text), N - 1);
    std::memcpy(field.data(), text, length);
}

// Byte-wise comparison of two zero-terminated texts, as strcmp does.
int compareText(const std::string& left, const std::string& right) {
    return std::strcmp(left.c_str(), right.c_str());
}

}  // namespace

ArchiveHeader newArchiveHeader() {
    ArchiveHeader header;
    setText(header.signature, "ZOR");
    header.archiveSize = -1;
    header.totalPackedSize = 0xFFFFFFFFu;
    setText(header.version, kProgramVersion);
    header.blockSize = 9;
    header.ratio = -1;
    header.passwordProtected = -1;
    header.markerLength = -1;
    setText(header.minVersion, kStructureVersion);
    header.reserved1 = header.reserved2 = header.reserved3 = -1;
    header.locked = -1;
    return header;
}

std::array<uint8_t, kArchiveHeaderSize> encodeArchiveHeader(const ArchiveHeader& h) {
    std::array<uint8_t, kArchiveHeaderSize> bytes {};
    uint8_t* b = bytes.data();
    std::copy(h.signature.begin(), h.signature.end(), b + 0);
    le::putI32(b + 4, h.archiveSize);
    le::putU32(b + 8, h.totalSize);
    le::putU32(b + 12, h.totalPackedSize);
    le::putI32(b + 16, h.numberOfFiles);
    le::putI32(b + 20, h.numberOfDirectories);
    std::copy(h.version.begin(), h.version.end(), b + 24);
    le::putI16(b + 30, h.blockSize);
    le::putI16(b + 32, h.ratio);
    le::putI16(b + 34, h.passwordProtected);
    std::copy(h.marker.begin(), h.marker.end(), b + 36);
    le::putI16(b + 48, h.markerLength);
    std::copy(h.minVersion.begin(), h.minVersion.end(), b + 50);
    le::putI16(b + 56, h.reserved1);
    le::putI16(b + 58, h.reserved2);
    le::putI16(b + 60, h.reserved3);
    le::putI16(b + 62, h.locked);
    std::copy(h.reserved4.begin(), h.reserved4.end(), b + 64);
    return bytes;
}

ArchiveHeader decodeArchiveHeader(const uint8_t* b) {
    ArchiveHeader h;
    std::copy(b + 0, b + 4, h.signature.begin());
    h.archiveSize = le::getI32(b + 4);
    h.totalSize = le::getU32(b + 8);
    h.totalPackedSize = le::getU32(b + 12);
    h.numberOfFiles = le::getI32(b + 16);
    h.numberOfDirectories = le::getI32(b + 20);
    std::copy(b + 24, b + 30, h.version.begin());
    h.blockSize = le::getI16(b + 30);
    h.ratio = le::getI16(b + 32);
    h.passwordProtected = le::getI16(b + 34);
    std::copy(b + 36, b + 48, h.marker.begin());
    h.markerLength = le::getI16(b + 48);
    std::copy(b + 50, b + 56, h.minVersion.begin());
    h.reserved1 = le::getI16(b + 56);
    h.reserved2 = le::getI16(b + 58);
    h.reserved3 = le::getI16(b + 60);
    h.locked = le::getI16(b + 62);
    std::copy(b + 64, b + 76, h.reserved4.begin());
    return h;
}

bool readArchiveHeader(std::FILE* file, ArchiveHeader& header) {
    std::array<uint8_t, kArchiveHeaderSize> bytes {};
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) return false;
    header = decodeArchiveHeader(bytes.data());
    return true;
}

bool writeArchiveHeader(std::FILE* file, const ArchiveHeader& header) {
    const auto bytes = encodeArchiveHeader(header);
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

std::string fieldText(const uint8_t* field, std::size_t width) {
    const uint8_t* end = std::find(field, field + width, uint8_t{0});
    return std::string(reinterpret_cast<const char*>(field), static_cast<std::size_t>(end - field));
}

std::optional<std::string> headerValidationError(const ArchiveHeader& header) {
    if (fieldText(header.signature) != "ZOR") return std::string(kNotZorArchiveMessage);
    if (header.archiveSize == -1) return std::string(kCorruptArchiveMessage);
    const std::string minVersion = fieldText(header.minVersion);
    if (compareText(kStructureVersion, minVersion) > 0) {
        return std::string("Archive structure changed since ZOR version ") + kStructureVersion + "\n" +
               "This archive is made with ZOR version " + minVersion + "\n" +
               "You need to decompress this archive with ZOR version " + minVersion + " or lower.";
    }
    const std::string version = fieldText(header.version);
    if (compareText(kProgramVersion, version) < 0) {
        return "This archive was made with ZOR version " + version + "\n" + "Your ZOR version is " +
               kProgramVersion + "\n" + "You need to decompress this archive with ZOR version " + version +
               " or higher.";
    }
    return std::nullopt;
}

int16_t computeRatio(uint32_t totalPackedSize, uint32_t totalSize) {
    if (totalSize == 0) return 0;
    const float ratio = static_cast<float>(static_cast<double>(totalPackedSize) * 100.0 / static_cast<double>(totalSize));
    if (ratio >= 32767.0f) return 32767;
    return static_cast<int16_t>(ratio);
}

}  // namespace zor
