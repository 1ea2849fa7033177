// exact_block.cpp - encoding and bounded decoding of the exact-restore block.
#include "archive/exact_block.h"

#include <cstring>

#include "engine/crc32.h"

namespace zor {
namespace {

constexpr char kBodySignature[8] = {'Z', 'O', 'R', 'E', 'X', 'A', 'C', 'T'};
constexpr char kTrailerSignature[8] = {'Z', 'O', 'R', 'E', 'X', 'E', 'N', 'D'};
constexpr uint16_t kVersion = 1;
constexpr std::size_t kBodyHeaderSize = 16;
constexpr std::size_t kRecordFixedSize = 24;
constexpr uint32_t kNanosecondsPerSecond = 1000000000;

void put(std::vector<uint8_t>& out, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint64_t get(const uint8_t* at, int width) {
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | at[i];
    return value;
}

}  // namespace

uint32_t exactBlockCrc(const uint8_t* data, std::size_t size) { return crcFinish(crcUpdate(kCrcStart, data, size)); }

std::vector<uint8_t> encodeExactBlock(const std::vector<ExactRecord>& records) {
    std::vector<uint8_t> out(kBodySignature, kBodySignature + sizeof kBodySignature);
    put(out, kVersion, 2);
    put(out, 0, 2);
    put(out, records.size(), 4);
    for (const ExactRecord& record : records) {
        put(out, static_cast<uint8_t>(record.kind), 1);
        put(out, 0, 1);
        put(out, record.mode & 0777, 2);
        put(out, static_cast<uint64_t>(record.seconds), 8);
        put(out, record.nanoseconds, 4);
        put(out, record.name.size(), 4);
        put(out, record.target.size(), 4);
        out.insert(out.end(), record.name.begin(), record.name.end());
        out.insert(out.end(), record.target.begin(), record.target.end());
    }
    const auto bodyLength = static_cast<uint32_t>(out.size());
    const uint32_t crc = exactBlockCrc(out.data(), out.size());
    put(out, bodyLength, 4);
    put(out, crc, 4);
    out.insert(out.end(), kTrailerSignature, kTrailerSignature + sizeof kTrailerSignature);
    return out;
}

std::optional<ExactTrailer> decodeExactTrailer(const uint8_t* trailer, uint64_t fileLength, uint64_t entriesEnd) {
    if (std::memcmp(trailer + 8, kTrailerSignature, sizeof kTrailerSignature) != 0) return std::nullopt;
    ExactTrailer found;
    found.bodyLength = static_cast<uint32_t>(get(trailer, 4));
    found.crc = static_cast<uint32_t>(get(trailer + 4, 4));
    if (fileLength < kExactTrailerSize || entriesEnd > fileLength - kExactTrailerSize ||
        found.bodyLength > fileLength - kExactTrailerSize - entriesEnd || found.bodyLength < kBodyHeaderSize) {
        return std::nullopt;
    }
    found.bodyOffset = fileLength - kExactTrailerSize - found.bodyLength;
    return found;
}

std::optional<std::vector<ExactRecord>> decodeExactBlock(const uint8_t* body, std::size_t size, uint64_t entryCount) {
    if (size < kBodyHeaderSize || std::memcmp(body, kBodySignature, sizeof kBodySignature) != 0 ||
        get(body + 8, 2) != kVersion || get(body + 10, 2) != 0 || get(body + 12, 4) != entryCount) {
        return std::nullopt;
    }
    // Every record takes at least its fixed part, so the count is bounded by the body before anything is reserved.
    if (entryCount > (size - kBodyHeaderSize) / kRecordFixedSize) return std::nullopt;
    std::vector<ExactRecord> records;
    records.reserve(static_cast<std::size_t>(entryCount));
    std::size_t at = kBodyHeaderSize;
    for (uint64_t i = 0; i < entryCount; ++i) {
        if (size - at < kRecordFixedSize) return std::nullopt;
        const uint8_t* fixed = body + at;
        ExactRecord record;
        const uint64_t kind = get(fixed, 1);
        if (kind > static_cast<uint8_t>(ExactKind::Link) || fixed[1] != 0 || get(fixed + 2, 2) > 0777) return std::nullopt;
        record.kind = static_cast<ExactKind>(kind);
        record.mode = static_cast<uint16_t>(get(fixed + 2, 2));
        record.seconds = static_cast<int64_t>(get(fixed + 4, 8));
        record.nanoseconds = static_cast<uint32_t>(get(fixed + 12, 4));
        const uint64_t nameLength = get(fixed + 16, 4);
        const uint64_t targetLength = get(fixed + 20, 4);
        at += kRecordFixedSize;
        if (record.nanoseconds >= kNanosecondsPerSecond || nameLength == 0 || nameLength > size - at ||
            targetLength > size - at - nameLength || (targetLength == 0) == (record.kind == ExactKind::Link)) {
            return std::nullopt;
        }
        record.name.assign(reinterpret_cast<const char*>(body + at), static_cast<std::size_t>(nameLength));
        at += static_cast<std::size_t>(nameLength);
        record.target.assign(reinterpret_cast<const char*>(body + at), static_cast<std::size_t>(targetLength));
        at += static_cast<std::size_t>(targetLength);
        records.push_back(std::move(record));
    }
    if (at != size) return std::nullopt;
    return records;
}

}  // namespace zor
