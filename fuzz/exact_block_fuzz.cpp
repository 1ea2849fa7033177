// exact_block_fuzz.cpp - decodes arbitrary bytes as an exact-restore block, and opens them as an archive that may end with one.
//
// Decoding must refuse or give records that encode back to the same body.
// Opened as an archive, a block the reader believes must name every entry
// so that the packer's stored-name rule gives the entry's stored bytes, and
// the walk must end as the header counts, with or without the block.
#include <algorithm>
#include <cstdlib>

#include "archive/archive_reader.h"
#include "archive/entry_names.h"
#include "archive/exact_block.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 1) {
        // The first byte is the entry count the body is checked against.
        const auto records = zor::decodeExactBlock(data + 1, size - 1, data[0]);
        if (records) {
            const std::vector<uint8_t> again = zor::encodeExactBlock(*records);
            if (again.size() != size - 1 + zor::kExactTrailerSize ||
                !std::equal(again.begin(), again.end() - zor::kExactTrailerSize, data + 1)) {
                std::abort();
            }
        }
    }

    zor::fuzz::InputArchive input(data, size);
    zor::ArchiveReader reader;
    if (!reader.open(input.path()) || reader.readHeader()) return 0;
    zor::ArchiveEntry entry;
    zor::ArchiveReader::Step step;
    while ((step = reader.next(entry)) == zor::ArchiveReader::Step::Entry) {
        if (reader.hasExactBlock() != entry.exact.has_value()) std::abort();
        if (entry.exact && (zor::toEntryName(entry.exact->name) != entry.storedName || entry.exact->name != entry.name)) {
            std::abort();
        }
    }
    if (reader.hasExactBlock() && step != zor::ArchiveReader::Step::End) std::abort();
    return 0;
}
