// entry_record.cpp - field-by-field encoding of the entry record.
#include "archive/entry_record.h"

#include <algorithm>

#include "archive/little_endian.h"

namespace zor {

std::array<uint8_t, kEntryRecordSize> encodeEntryRecord(const EntryRecord& r) {
    std::array<uint8_t, kEntryRecordSize> bytes {};
    uint8_t* b = bytes.data();
    le::putU32(b + 0, r.fileTime);
    le::putI32(b + 4, r.isFolder);
    le::putU32(b + 8, r.size);
    le::putU32(b + 12, r.packedSize);
    le::putI32(b + 16, r.attributes);
    le::putI16(b + 20, r.nameLength);
    le::putU16(b + 22, r.reserved1);
    le::putI32(b + 24, r.entryType);
    le::putI16(b + 28, r.depth);
    std::copy(r.reserved2.begin(), r.reserved2.end(), b + 30);
    return bytes;
}

EntryRecord decodeEntryRecord(const uint8_t* b) {
    EntryRecord r;
    r.fileTime = le::getU32(b + 0);
    r.isFolder = le::getI32(b + 4);
    r.size = le::getU32(b + 8);
    r.packedSize = le::getU32(b + 12);
    r.attributes = le::getI32(b + 16);
    r.nameLength = le::getI16(b + 20);
    r.reserved1 = le::getU16(b + 22);
    r.entryType = le::getI32(b + 24);
    r.depth = le::getI16(b + 28);
    std::copy(b + 30, b + 40, r.reserved2.begin());
    return r;
}

bool readEntryRecord(std::FILE* file, EntryRecord& record) {
    std::array<uint8_t, kEntryRecordSize> bytes {};
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) return false;
    record = decodeEntryRecord(bytes.data());
    return true;
}

bool writeEntryRecord(std::FILE* file, const EntryRecord& record) {
    const auto bytes = encodeEntryRecord(record);
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace zor
