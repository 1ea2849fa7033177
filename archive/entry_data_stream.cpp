// entry_data_stream.cpp - a fopencookie stream bounded to one entry's bytes.
#include "archive/entry_data_stream.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace zor {
namespace {

struct EntryData {
    int fd;
    uint64_t start;
    uint64_t length;
    uint64_t position;
    uint64_t remaining;
    CipherState* cipher;
    const std::atomic<bool>* cancel;
};

ssize_t readEntryData(void* cookie, char* buffer, size_t size) {
    auto* data = static_cast<EntryData*>(cookie);
    if (data->cancel && data->cancel->load(std::memory_order_relaxed)) {
        errno = ECANCELED;
        return -1;
    }
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(size, data->remaining));
    if (wanted == 0) return 0;
    ssize_t got;
    do {
        got = ::pread(data->fd, buffer, wanted, static_cast<off_t>(data->position));
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return got;  // a short archive reads as the end of the data
    if (data->cipher) cipherBuffer(*data->cipher, reinterpret_cast<uint8_t*>(buffer), static_cast<size_t>(got));
    data->position += static_cast<uint64_t>(got);
    data->remaining -= static_cast<uint64_t>(got);
    return got;
}

// Plain data can be read in any order; enciphered data only from the start.
int seekEntryData(void* cookie, off64_t* offset, int whence) {
    auto* data = static_cast<EntryData*>(cookie);
    const int64_t base = whence == SEEK_SET   ? 0
                         : whence == SEEK_CUR ? static_cast<int64_t>(data->position - data->start)
                                              : static_cast<int64_t>(data->length);
    const int64_t target = base + *offset;
    if (target < 0 || target > static_cast<int64_t>(data->length)) {
        errno = EINVAL;
        return -1;
    }
    data->position = data->start + static_cast<uint64_t>(target);
    data->remaining = data->length - static_cast<uint64_t>(target);
    *offset = target;
    return 0;
}

int closeEntryData(void* cookie) {
    delete static_cast<EntryData*>(cookie);
    return 0;
}

}  // namespace

std::FILE* openEntryDataStream(std::FILE* archive, uint64_t offset, uint64_t length, CipherState* cipher) {
    return openEntryDataStream(::fileno(archive), offset, length, cipher, nullptr);
}

std::FILE* openEntryDataStream(int archiveFd, uint64_t offset, uint64_t length, CipherState* cipher,
                               const std::atomic<bool>* cancel) {
    auto* data = new EntryData{archiveFd, offset, length, offset, length, cipher, cancel};
    cookie_io_functions_t functions {};
    functions.read = readEntryData;
    if (!cipher) functions.seek = seekEntryData;
    functions.close = closeEntryData;
    std::FILE* stream = ::fopencookie(data, "rb", functions);
    if (!stream) {
        delete data;
        return nullptr;
    }
    std::setvbuf(stream, nullptr, _IOFBF, kCipherChunkSize);
    return stream;
}

}  // namespace zor
